#include "client/win32/label.h"

#include "client/win32/wide_text.h"
#include "client/win32/window_text.h"

namespace {

HFONT FontOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

} // namespace

std::string Win32Label::Caption() const {
    return WindowText::Get(m_label);
}

void Win32Label::SetCaption(const std::string& caption) {
    WindowText::Set(m_label, caption);
    FitToCaption();
}

double Win32Label::Width() const {
    const std::wstring caption = WideText::FromUtf8(Caption());
    HDC dc = GetDC(m_label);
    const HGDIOBJ previous = SelectObject(dc, FontOf(m_label));
    SIZE size{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(m_label, dc);
    return static_cast<double>(size.cx);
}

FontSpec Win32Label::Font() const {
    return GdiFont::SpecOf(FontOf(m_label));
}

void Win32Label::SetFont(const FontSpec& font) {
    auto replacement = std::make_unique<GdiFont>(font);
    SendMessageW(m_label, WM_SETFONT, reinterpret_cast<WPARAM>(replacement->Handle()), FALSE);
    m_font = std::move(replacement);
    FitToCaption();
}

void Win32Label::FitToCaption() {
    RECT place{};
    GetWindowRect(m_label, &place);
    const int height = place.bottom - place.top;
    SetWindowPos(m_label, nullptr, 0, 0, static_cast<int>(Width()), height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
