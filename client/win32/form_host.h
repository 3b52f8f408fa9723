#pragma once

#include "client/form_host.h"

#include <windows.h>

#include <functional>
#include <vector>

// What Form_Main asks of the program: message boxes owned by the main window, the end of the
// message loop, the local time, and work at the end of the message-loop turn.
class Win32FormHost final : public FormHost {
public:
    // `endOfTurnMessage` is posted to the owner, which answers it with RunEndOfTurn.
    void SetOwner(HWND owner, UINT endOfTurnMessage) {
        m_owner = owner;
        m_endOfTurnMessage = endOfTurnMessage;
    }

    void MsgBox(const std::string& text) override;
    void End() override;
    TimeOfDay Now() const override;
    void AtEndOfTurn(std::function<void()> work) override;
    void RunEndOfTurn();

private:
    HWND m_owner = nullptr;
    UINT m_endOfTurnMessage = 0;
    std::vector<std::function<void()>> m_endOfTurn;
};
