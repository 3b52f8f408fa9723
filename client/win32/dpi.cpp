#include "client/win32/dpi.h"

namespace {

template <typename Function> Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

} // namespace

int Dpi::OfWindow(HWND window) {
    static const auto getDpiForWindow = User32<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? static_cast<int>(dpi) : ScreenDpi();
}

RECT Dpi::WindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjust = User32<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, clientWidth, clientHeight};
    if (adjust == nullptr || !adjust(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        frame = {0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

int Dpi::SystemMetric(int index, int dpi) {
    static const auto metric = User32<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    return metric != nullptr ? metric(index, static_cast<UINT>(dpi))
                             : MulDiv(GetSystemMetrics(index), dpi, ScreenDpi());
}
