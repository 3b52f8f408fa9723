#pragma once

#include <windows.h>

// The scale a window is drawn at, in dots per inch (96 is 100 %). Windows 10 tells each window
// the scale of its monitor; older Windows have one scale for the whole screen. The functions that
// know a window's scale are looked up when the program runs, so that it still starts where they
// are missing.
class Dpi {
public:
    static constexpr int Standard = 96;

    static int OfWindow(HWND window);
    // The outer size of a window whose client area has the given size, at that scale.
    static RECT WindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);
    // A system metric (SM_CXICON, ...) at that scale.
    static int SystemMetric(int index, int dpi);
};
