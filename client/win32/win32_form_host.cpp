#include "client/win32/win32_form_host.h"

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
