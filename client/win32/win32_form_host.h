#pragma once

#include "client/form_host.h"

#include <windows.h>

// What Form_Main asks of the program: message boxes owned by the main window, the end of the
// message loop, and the local time.
class Win32FormHost final : public FormHost {
public:
    void SetOwner(HWND owner) { m_owner = owner; }

    void MsgBox(const std::string& text) override;
    void End() override;
    TimeOfDay Now() const override;

private:
    HWND m_owner = nullptr;
};
