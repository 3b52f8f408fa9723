#pragma once

#include "socket/platform.h"

#include <cstdint>

// What the notification window's procedure knows of a socket object: the handle it owns and the
// way in for a notification about that handle. Socket objects implement it; TCPSockProc knows
// them only through it.
class NotificationTarget {
public:
    virtual ~NotificationTarget() = default;

    // The owned socket handle; INVALID_SOCKET when there is none.
    virtual winsock::SOCKET GetHandle() const = 0;
    // Handles one notification word (event bits low, error number high).
    virtual void InvokeEvent(std::int32_t EventCode) = 0;
};
