#pragma once

#include "client/label.h"
#include "client/win32/gdi_font.h"

#include <windows.h>

#include <memory>

// The hidden measuring label over a STATIC control. It sizes itself to its caption, measured in its
// own font as the list box draws text in the same font.
class Win32Label final : public Label {
public:
    explicit Win32Label(HWND label) : m_label(label) {}

    std::string Caption() const override;
    void SetCaption(const std::string& caption) override;
    double Width() const override;
    FontSpec Font() const override;
    void SetFont(const FontSpec& font) override;

private:
    void FitToCaption();

    HWND m_label;
    std::unique_ptr<GdiFont> m_font; // after SetFont; the window's font before
};
