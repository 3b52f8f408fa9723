#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Unicode text on the system's clipboard, so that Japanese reaches every other program whatever
// its code page.
class ClipboardText {
public:
    // Whether the clipboard took the text.
    static bool Set(HWND owner, const std::wstring& text);
    // Nothing when the clipboard holds no text or cannot be opened.
    static std::optional<std::wstring> Get(HWND owner);
};
