#pragma once

#include <windows.h>

#include <chrono>

// The thread's message loop. Every message passes the main window's keyboard handling first (Tab
// and Shift+Tab move the focus); the socket layer's notifications reach its hidden window here too.
//
// The system hands out posted messages before input and painting, so a stream of socket
// notifications (a flood of lines) would keep typed keys and painting waiting until it ends. The
// loop takes the queue in passes: first the waiting input, sent messages and painting, then the
// rest in the system's order for at most BatchTime. Posted messages keep their order.
class MessageLoop {
public:
    static constexpr std::chrono::milliseconds BatchTime{40};
    enum class PassEnd { Idle, Busy, Quit };

    // Until the quit message; returns its exit code.
    static int Run(HWND dialog);
    // Until the queue is empty and the given time has passed, or until a quit message, which stays
    // queued for Run.
    static void RunFor(HWND dialog, std::chrono::milliseconds time);
    // One pass: Idle when the queue was found empty, Quit with the quit message's exit code.
    static PassEnd Pass(HWND dialog, int& exitCode);

private:
    static void Dispatch(HWND dialog, MSG& message);
    static void Wait(DWORD milliseconds);
};
