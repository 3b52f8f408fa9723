#pragma once

#include "client/command_button.h"

#include <windows.h>

// A push button over a BUTTON control.
class Win32CommandButton final : public CommandButton {
public:
    explicit Win32CommandButton(HWND button) : m_button(button) {}

    // Its own visibility, whether or not the window around it is shown yet.
    bool Visible() const override;
    void SetVisible(bool visible) override;

private:
    HWND m_button;
};
