#include "client/win32/clipboard_text.h"

#include <cstring>

bool ClipboardText::Set(HWND owner, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) {
        return false;
    }
    void* target = GlobalLock(memory);
    if (target == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it took it.
    const bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!taken) {
        GlobalFree(memory);
    }
    return taken;
}

std::optional<std::wstring> ClipboardText::Get(HWND owner) {
    if (!OpenClipboard(owner)) {
        return std::nullopt;
    }
    std::optional<std::wstring> text;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data != nullptr) {
        if (const auto* characters = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = std::wstring(characters);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}
