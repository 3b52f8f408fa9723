#include "client/win32/gdi_font.h"

#include "client/win32/wide_text.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr double PointsPerInch = 72.0;

} // namespace

GdiFont::GdiFont(const FontSpec& spec, int dpi) {
    LOGFONTW font{};
    // A negative height asks for the character height, which is what a point size measures.
    font.lfHeight = -static_cast<LONG>(std::lround(spec.Size * dpi / PointsPerInch));
    font.lfWeight = spec.Bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = spec.Italic ? TRUE : FALSE;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = WideText::FromUtf8(spec.Name);
    wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    m_handle = CreateFontIndirectW(&font);
}

GdiFont::~GdiFont() {
    if (m_handle != nullptr) {
        DeleteObject(m_handle);
    }
}

FontSpec GdiFont::SpecOf(HFONT font, int dpi) {
    LOGFONTW logFont{};
    if (font == nullptr || GetObjectW(font, sizeof logFont, &logFont) == 0) {
        return {};
    }
    FontSpec spec;
    spec.Size = std::abs(static_cast<double>(logFont.lfHeight)) * PointsPerInch / dpi;
    spec.Name = WideText::ToUtf8(logFont.lfFaceName);
    spec.Bold = logFont.lfWeight >= FW_BOLD;
    spec.Italic = logFont.lfItalic != FALSE;
    return spec;
}
