#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A plain IRC client for tests: one loopback TCP connection, raw bytes out, lines in. Lines are
// byte strings in whatever encoding the peer used, without their line end. Every wait is bounded;
// a PING from the server is answered as soon as it is read.
class RawIrcClient {
public:
    using Match = std::function<bool(const std::string& line)>;

    RawIrcClient() = default;
    ~RawIrcClient();
    RawIrcClient(const RawIrcClient&) = delete;
    RawIrcClient& operator=(const RawIrcClient&) = delete;

    bool Connect(int port, std::chrono::milliseconds timeout);
    // Takes over a connected socket, e.g. one a test server accepted; small writes go out at once.
    void Adopt(int fd);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // The server closed the connection and every line before the close has been read.
    bool ServerClosed() const { return m_serverClosed && m_pending.empty(); }

    bool SendBytes(std::string_view bytes, std::chrono::milliseconds timeout);
    // Sends the line with CR LF.
    bool SendLine(std::string_view line);

    // The next line, or nothing when none came in time or the server closed.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Reads lines until one matches; the lines passed over stay in Lines().
    std::optional<std::string> WaitForLine(const Match& match, std::chrono::milliseconds timeout);
    std::optional<std::string> WaitForCommand(std::string_view command,
                                              std::chrono::milliseconds timeout);
    // Reads the lines that have already arrived, without waiting; returns how many.
    int Poll();
    // Waits until the server has closed the connection.
    bool WaitForClose(std::chrono::milliseconds timeout);

    // NICK and USER, then waits for the welcome (001).
    bool Register(const std::string& nick, std::chrono::milliseconds timeout);
    // JOIN, then waits for the end of the channel's names list (366).
    bool Join(const std::string& channel, std::chrono::milliseconds timeout);

    // Every line read so far, in order.
    const std::vector<std::string>& Lines() const { return m_lines; }

    // The command word of a line: the first word, or the second after a ":prefix".
    static std::string CommandOf(std::string_view line);
    // The text after the first " :" that follows the prefix and the command; "" when none.
    static std::string TrailingOf(std::string_view line);

    static constexpr std::chrono::milliseconds DefaultTimeout{10000};

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);
    std::optional<std::string> TakeLine();

    int m_fd = -1;
    std::string m_pending;
    bool m_serverClosed = false;
    std::vector<std::string> m_lines;
};
