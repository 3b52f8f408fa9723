#pragma once

#include <windows.h>

#include <chrono>

// The thread's message loop. Every message passes the main window's keyboard handling first (Tab
// and Shift+Tab move the focus); the socket layer's notifications reach its hidden window here too.
class MessageLoop {
public:
    // Until the quit message; returns its exit code.
    static int Run(HWND dialog);
    // For at most the given time, or until a quit message, which stays queued for Run.
    static void RunFor(HWND dialog, std::chrono::milliseconds time);

private:
    static void Dispatch(HWND dialog, MSG& message);
};
