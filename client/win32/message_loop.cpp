#include "client/win32/message_loop.h"

#include <optional>

namespace {

// Input and painting taken in one pass at most: a window that never validates what it paints
// must not hold the loop.
constexpr int MaxUrgentMessages = 256;
constexpr UINT Urgent = PM_QS_INPUT | PM_QS_PAINT | PM_QS_SENDMESSAGE;

// The next key message (a typed character, which the loop itself posts when it translates a key,
// comes before the next key), else the next input, sent message or painting.
bool PeekUrgent(MSG& message) {
    return PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | Urgent);
}

using Clock = std::chrono::steady_clock;

} // namespace

int MessageLoop::Run(HWND dialog) {
    int exitCode = 0;
    for (;;) {
        switch (Pass(dialog, exitCode)) {
        case PassEnd::Quit:
            return exitCode;
        case PassEnd::Idle:
            Wait(INFINITE);
            break;
        case PassEnd::Busy:
            break;
        }
    }
}

void MessageLoop::RunFor(HWND dialog, std::chrono::milliseconds time) {
    const auto deadline = Clock::now() + time;
    for (;;) {
        int exitCode = 0;
        const PassEnd end = Pass(dialog, exitCode);
        if (end == PassEnd::Quit) {
            PostQuitMessage(exitCode);
            return;
        }
        if (end == PassEnd::Busy) {
            continue;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return;
        }
        Wait(static_cast<DWORD>(
            std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
    }
}

MessageLoop::PassEnd MessageLoop::Pass(HWND dialog, int& exitCode) {
    // The system hands out the quit message to any look at the queue, but only after the posted
    // messages before it: it ends the pass only when they are done, and otherwise waits for the
    // next one.
    std::optional<int> quit;
    MSG message{};
    for (int taken = 0; taken < MaxUrgentMessages && PeekUrgent(message); ++taken) {
        if (message.message == WM_QUIT) {
            quit = static_cast<int>(message.wParam);
        } else {
            Dispatch(dialog, message);
        }
    }
    PassEnd end = PassEnd::Idle;
    const auto batchEnd = Clock::now() + BatchTime;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = static_cast<int>(message.wParam);
            break;
        }
        Dispatch(dialog, message);
        if (Clock::now() >= batchEnd) {
            end = PassEnd::Busy;
            break;
        }
    }
    if (quit && end == PassEnd::Busy) {
        PostQuitMessage(*quit);
    } else if (quit) {
        exitCode = *quit;
        end = PassEnd::Quit;
    }
    return end;
}

void MessageLoop::Dispatch(HWND dialog, MSG& message) {
    if (dialog != nullptr && IsWindow(dialog) && IsDialogMessageW(dialog, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void MessageLoop::Wait(DWORD milliseconds) {
    // Also wakes for messages an earlier look at the queue has seen but left there.
    MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}
