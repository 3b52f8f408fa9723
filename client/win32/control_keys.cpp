#include "client/win32/control_keys.h"

#include "client/win32/clipboard_text.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr UINT_PTR SubclassId = 1;
constexpr WPARAM CtrlA = 0x01; // the character Ctrl+A types

// Ctrl alone: with Alt it is AltGr, which types characters.
bool ControlHeld() {
    return GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
}

// Ctrl+A selects all; its character would only beep.
bool SelectAll(HWND edit, UINT message, WPARAM wParam) {
    if (message == WM_KEYDOWN && wParam == 'A' && ControlHeld()) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return true;
    }
    return message == WM_CHAR && wParam == CtrlA;
}

LRESULT CALLBACK TextBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (SelectAll(edit, message, wParam)) {
        return 0;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

LRESULT CALLBACK InputLineProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
    if (SelectAll(edit, message, wParam)) {
        return 0;
    }
    if (message == WM_PASTE) {
        if (const auto text = ClipboardText::Get(edit)) {
            SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text->c_str()));
        }
        return 0;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

LRESULT CALLBACK LogProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR) {
    if (message == WM_KEYDOWN && (wParam == 'C' || wParam == VK_INSERT) && ControlHeld()) {
        const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (selected != LB_ERR && length != LB_ERR) {
            std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
            const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(selected),
                                                reinterpret_cast<LPARAM>(entry.data()));
            entry.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
            ClipboardText::Set(list, entry);
        }
        return 0;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

} // namespace

void ControlKeys::ForTextBox(HWND edit) {
    SetWindowSubclass(edit, &TextBoxProc, SubclassId, 0);
}

void ControlKeys::ForInputLine(HWND edit) {
    SetWindowSubclass(edit, &InputLineProc, SubclassId, 0);
}

void ControlKeys::ForLog(HWND list) {
    SetWindowSubclass(list, &LogProc, SubclassId, 0);
}
