#pragma once

#include "socket/tcp_sock_events.h"

#include <functional>
#include <string>
#include <vector>

// Records the events a TCPSock raises, as "Error(10061)", and runs an optional action on each, so
// that a test can call back into the socket from inside its own dispatch.
class EventRecorder : public TCPSockEvents {
public:
    std::vector<std::string> Events;
    std::function<void(const std::string&)> OnEvent;

    void CloseTCP() override { Raised("CloseTCP"); }
    void ConnectTCP() override { Raised("ConnectTCP"); }
    void ConnectionRequest(std::int32_t requestID) override {
        Raised("ConnectionRequest(" + std::to_string(requestID) + ")");
    }
    void DataArrival(std::int32_t BytesTotal) override {
        Raised("DataArrival(" + std::to_string(BytesTotal) + ")");
    }
    void Error(std::int32_t Number) override { Raised("Error(" + std::to_string(Number) + ")"); }

private:
    void Raised(const std::string& event) {
        Events.push_back(event);
        if (OnEvent) {
            OnEvent(event);
        }
    }
};
