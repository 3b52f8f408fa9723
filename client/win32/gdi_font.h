#pragma once

#include "client/font_spec.h"

#include <windows.h>

// A font the window owns, made from a FontSpec in Japanese fonts' character set, so that the
// system picks a face with Japanese glyphs where the named one is missing: the text is measured
// and drawn in one face, never in a fallback that measures otherwise.
class GdiFont {
public:
    // Made for a window drawn at the given dots per inch.
    GdiFont(const FontSpec& spec, int dpi);
    ~GdiFont();
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    HFONT Handle() const { return m_handle; }

    // What a font handle made for that scale was made from: the face asked for, its size in
    // points, weight and slant.
    static FontSpec SpecOf(HFONT font, int dpi);

private:
    HFONT m_handle = nullptr;
};
