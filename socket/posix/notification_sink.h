#pragma once

#include "socket/platform.h"

// Where the POSIX selection engine sends what it learns: notifications for the window a socket
// was selected for, and the end of a socket whose queued notifications must not reach the next
// socket with the same number.
class PosixNotificationSink {
public:
    virtual ~PosixNotificationSink() = default;

    // Queues a message; false when the window does not exist (the message is dropped).
    virtual bool Post(winsock::HWND hWnd, winsock::UINT uMsg, winsock::WPARAM wParam,
                      winsock::LPARAM lParam) = 0;
    virtual void ForgetSocket(winsock::SOCKET s) = 0;
};
