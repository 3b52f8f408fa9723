#pragma once

#include <chrono>

// A listening socket on a free loopback port, for tests that play the server themselves.
class LoopbackListener {
public:
    explicit LoopbackListener(int backlog = 4);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool Listening() const { return m_fd >= 0; }
    int Port() const { return m_Port; }
    // The descriptor of the next connection, or -1 when none came in time. The caller owns it.
    int Accept(std::chrono::milliseconds timeout);

private:
    int m_fd = -1;
    int m_Port = 0;
};
