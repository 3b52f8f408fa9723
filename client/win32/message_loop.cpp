#include "client/win32/message_loop.h"

int MessageLoop::Run(HWND dialog) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        Dispatch(dialog, message);
    }
    return static_cast<int>(message.wParam);
}

void MessageLoop::RunFor(HWND dialog, std::chrono::milliseconds time) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + time;
    for (;;) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            Dispatch(dialog, message);
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void MessageLoop::Dispatch(HWND dialog, MSG& message) {
    if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}
