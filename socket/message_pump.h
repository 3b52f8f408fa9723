#pragma once

#include <cstddef>

// The side of a platform layer that an event loop drives where the system has no notification
// window of its own: a descriptor that is readable whenever Pump has work, and Pump, which
// delivers what is queued on the thread that calls it.
class MessagePump {
public:
    virtual ~MessagePump() = default;

    virtual int PumpDescriptor() const = 0;
    // Returns how many messages it delivered.
    virtual std::size_t Pump() = 0;
};
