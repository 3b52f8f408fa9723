#include "client/win32/form_host.h"

#include "client/form_layout.h"
#include "client/win32/wide_text.h"

void Win32FormHost::MsgBox(const std::string& text) {
    const std::wstring title = WideText::FromUtf8(FormLayout::Title);
    MessageBoxW(m_owner, WideText::FromUtf8(text).c_str(), title.c_str(), MB_OK);
}

void Win32FormHost::End() {
    PostQuitMessage(0);
}

TimeOfDay Win32FormHost::Now() const {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return {local.wHour, local.wMinute, local.wSecond};
}

void Win32FormHost::AtEndOfTurn(std::function<void()> work) {
    // Window painting waits until no posted message is left, so the work runs before it.
    if (m_endOfTurn.empty() && PostMessageW(m_owner, m_endOfTurnMessage, 0, 0) == FALSE) {
        work();
        return;
    }
    m_endOfTurn.push_back(std::move(work));
}

void Win32FormHost::RunEndOfTurn() {
    std::vector<std::function<void()>> due;
    due.swap(m_endOfTurn);
    for (const auto& work : due) {
        work();
    }
}
