#include "tests/e2e/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackListener::LoopbackListener(int backlog) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_fd, backlog) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
        return;
    }
    m_Port = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

int LoopbackListener::Accept(std::chrono::milliseconds timeout) {
    if (m_fd < 0) {
        return -1;
    }
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) {
        return -1;
    }
    return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
}
