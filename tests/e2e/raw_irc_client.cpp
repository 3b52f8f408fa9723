#include "tests/e2e/raw_irc_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

} // namespace

RawIrcClient::~RawIrcClient() {
    Close();
}

bool RawIrcClient::Connect(int port, std::chrono::milliseconds timeout) {
    Close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    int error = errno;
    if (error == EINPROGRESS && WaitFor(m_fd, POLLOUT, Clock::now() + timeout)) {
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error == 0) {
            return true;
        }
    }
    Close();
    return false;
}

void RawIrcClient::Adopt(int fd) {
    Close();
    m_fd = fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void RawIrcClient::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_pending.clear();
    m_serverClosed = false;
}

bool RawIrcClient::SendBytes(std::string_view bytes, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!bytes.empty() && m_fd >= 0) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!WaitFor(m_fd, POLLOUT, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return bytes.empty();
}

bool RawIrcClient::SendLine(std::string_view line) {
    std::string bytes(line);
    bytes += "\r\n";
    return SendBytes(bytes, DefaultTimeout);
}

bool RawIrcClient::Fill(Clock::time_point deadline) {
    if (m_fd < 0 || m_serverClosed || !WaitFor(m_fd, POLLIN, deadline)) {
        return false;
    }
    char chunk[8192];
    const ssize_t received = ::recv(m_fd, chunk, sizeof chunk, 0);
    if (received > 0) {
        m_pending.append(chunk, static_cast<std::size_t>(received));
        return true;
    }
    if (received == 0 || (errno != EAGAIN && errno != EINTR)) {
        m_serverClosed = true;
        return false;
    }
    return true;
}

std::optional<std::string> RawIrcClient::TakeLine() {
    const auto end = m_pending.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = m_pending.substr(0, end);
    m_pending.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> RawIrcClient::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::optional<std::string> line = TakeLine();
    while (!line) {
        if (!Fill(deadline)) {
            // A last line without line end still counts once the server has closed.
            if (m_serverClosed && !m_pending.empty()) {
                line = std::move(m_pending);
                m_pending.clear();
                break;
            }
            return std::nullopt;
        }
        line = TakeLine();
    }
    m_lines.push_back(*line);
    if (CommandOf(*line) == "PING") {
        std::string_view ping = *line;
        if (ping.starts_with(':')) {
            ping.remove_prefix(ping.find(' ') + 1);
        }
        SendLine("PONG" + std::string(ping.substr(4)));
    }
    return line;
}

std::optional<std::string> RawIrcClient::WaitForLine(const Match& match,
                                                     std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (auto line = ReadLine(std::chrono::milliseconds(MillisecondsLeft(deadline)))) {
        if (match(*line)) {
            return line;
        }
    }
    return std::nullopt;
}

std::optional<std::string> RawIrcClient::WaitForCommand(std::string_view command,
                                                        std::chrono::milliseconds timeout) {
    return WaitForLine([command](const std::string& line) { return CommandOf(line) == command; },
                       timeout);
}

int RawIrcClient::Poll() {
    int count = 0;
    while (ReadLine(std::chrono::milliseconds(0))) {
        ++count;
    }
    return count;
}

bool RawIrcClient::WaitForClose(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!ServerClosed()) {
        if (!ReadLine(std::chrono::milliseconds(MillisecondsLeft(deadline))) && !ServerClosed()) {
            return false;
        }
    }
    return true;
}

bool RawIrcClient::Register(const std::string& nick, std::chrono::milliseconds timeout) {
    return SendLine("NICK " + nick) && SendLine("USER " + nick + " 0 * :Hoshiwa test peer") &&
           WaitForCommand("001", timeout).has_value();
}

bool RawIrcClient::Join(const std::string& channel, std::chrono::milliseconds timeout) {
    return SendLine("JOIN " + channel) && WaitForCommand("366", timeout).has_value();
}

std::string RawIrcClient::CommandOf(std::string_view line) {
    if (line.starts_with(':')) {
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos) {
            return "";
        }
        line.remove_prefix(blank + 1);
    }
    return std::string(line.substr(0, line.find(' ')));
}

std::string RawIrcClient::TrailingOf(std::string_view line) {
    std::size_t from = 0;
    if (line.starts_with(':')) {
        from = line.find(' ');
        if (from == std::string_view::npos) {
            return "";
        }
    }
    const auto colon = line.find(" :", from);
    return colon == std::string_view::npos ? "" : std::string(line.substr(colon + 2));
}
