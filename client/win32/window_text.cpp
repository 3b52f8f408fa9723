#include "client/win32/window_text.h"

#include "client/win32/wide_text.h"

std::string WindowText::Get(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return WideText::ToUtf8(text);
}

void WindowText::Set(HWND window, const std::string& text) {
    SetWindowTextW(window, WideText::FromUtf8(text).c_str());
}
