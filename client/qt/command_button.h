#pragma once

#include "client/command_button.h"

class QPushButton;

// Visible is the button's own setting: it holds while the window itself is not shown yet.
class QtCommandButton final : public CommandButton {
public:
    explicit QtCommandButton(QPushButton& button) : m_button(button) {}

    bool Visible() const override;
    void SetVisible(bool visible) override;

private:
    QPushButton& m_button;
};
