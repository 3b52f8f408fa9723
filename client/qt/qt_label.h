#pragma once

#include "client/label.h"

class QLabel;

// The measuring label: it sizes itself to its caption, and its width is the caption's drawn width.
class QtLabel final : public Label {
public:
    explicit QtLabel(QLabel& label) : m_label(label) {}

    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    double Width() const override;
    FontSpec Font() const override;
    void SetFont(const FontSpec& font) override;

private:
    QLabel& m_label;
};
