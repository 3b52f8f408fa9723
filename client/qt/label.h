#pragma once

#include "client/label.h"
#include "client/qt/character_advances.h"

class QLabel;
class QString;

// The measuring label: it sizes itself to its caption, and its width is the caption's drawn width.
// The caption is measured once when it is set; the label takes that width without a layout of
// its own. A caption too long to be laid out whole is measured as the sum of its characters'
// advances, which is where the log draws the parts of so long an entry.
class QtLabel final : public Label {
public:
    explicit QtLabel(QLabel& label);

    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    double Width() const override { return m_Width; }
    FontSpec Font() const override;
    void SetFont(const FontSpec& font) override;

private:
    void Measure();

    QLabel& m_label;
    CharacterAdvances m_advances;
    double m_Width = 0;
};
