#include "socket/win32/windows.h"

#include <windows.h>

namespace {

LRESULT CALLBACK Trampoline(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* receiver =
        reinterpret_cast<const WinWindows::Receiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (receiver != nullptr && message >= WinWindows::FirstNotification &&
        message < WinWindows::FirstNotification + WinWindows::NotificationCount) {
        (*receiver)(window, message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void* WinWindows::Instance() const {
    return GetModuleHandleW(nullptr);
}

std::uint16_t WinWindows::AddClass(const std::string& name) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Trampoline;
    windowClass.hInstance = static_cast<HINSTANCE>(Instance());
    windowClass.lpszClassName = name.c_str();
    return RegisterClassA(&windowClass);
}

bool WinWindows::RemoveClass(const std::string& name) {
    return UnregisterClassA(name.c_str(), static_cast<HINSTANCE>(Instance())) != 0;
}

void* WinWindows::Create(std::uint32_t exStyle, const std::string& className,
                         const std::string& windowName, std::uint32_t style, int x, int y,
                         int width, int height, std::intptr_t menu, std::intptr_t param) {
    HWND window =
        CreateWindowExA(exStyle, className.c_str(), windowName.c_str(), style, x, y, width, height,
                        nullptr, reinterpret_cast<HMENU>(menu), static_cast<HINSTANCE>(Instance()),
                        reinterpret_cast<void*>(param));
    if (window != nullptr) {
        // Set after creation: what arrives while the window is made has default processing.
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_receiver));
    }
    return window;
}

bool WinWindows::Destroy(void* window) {
    return DestroyWindow(static_cast<HWND>(window)) != 0;
}

bool WinWindows::Post(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != 0;
}

std::intptr_t WinWindows::DefaultProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
    return DefWindowProcA(static_cast<HWND>(window), message, wParam, lParam);
}

bool WinWindows::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return done();
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (done()) {
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return done();
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    return true;
}
