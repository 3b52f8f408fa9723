#include "client/win32/command_button.h"

bool Win32CommandButton::Visible() const {
    return (GetWindowLongPtrW(m_button, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32CommandButton::SetVisible(bool visible) {
    ShowWindow(m_button, visible ? SW_SHOWNA : SW_HIDE);
}
