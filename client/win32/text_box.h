#pragma once

#include "client/text_box.h"

#include <windows.h>

// A text box over an EDIT control.
class Win32TextBox final : public TextBox {
public:
    explicit Win32TextBox(HWND edit) : m_edit(edit) {}

    std::string Text() const override;
    void SetText(const std::string& text) override;

private:
    HWND m_edit;
};
