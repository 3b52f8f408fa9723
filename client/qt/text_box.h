#pragma once

#include "client/text_box.h"

class QLineEdit;

class QtTextBox final : public TextBox {
public:
    explicit QtTextBox(QLineEdit& edit) : m_edit(edit) {}

    std::string Text() const override;
    void SetText(const std::string& text) override;

private:
    QLineEdit& m_edit;
};
