#include "client/win32/text_box.h"

#include "client/win32/window_text.h"

std::string Win32TextBox::Text() const {
    return WindowText::Get(m_edit);
}

void Win32TextBox::SetText(const std::string& text) {
    WindowText::Set(m_edit, text);
}
