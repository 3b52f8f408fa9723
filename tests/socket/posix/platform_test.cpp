// What only PosixPlatform promises, against real loopback sockets: its pump (one descriptor that is
// readable exactly while messages wait, nested pumps) and the dropping of queued notifications with
// their socket or window. What every layer promises is in platform_contract_test.cpp.

#include "socket/posix/platform.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace winsock;
using namespace std::chrono_literals;

namespace {

constexpr auto WAIT = 5s;     // an upper bound for what must happen
constexpr auto QUIET = 100ms; // long enough for what must not happen to show up

const char* EventName(std::int32_t event) {
    for (const auto& [bit, name] : {std::pair{FD_READ, "FD_READ"},
                                    {FD_WRITE, "FD_WRITE"},
                                    {FD_ACCEPT, "FD_ACCEPT"},
                                    {FD_CONNECT, "FD_CONNECT"},
                                    {FD_CLOSE, "FD_CLOSE"}}) {
        if (event == bit) {
            return name;
        }
    }
    return "?";
}

struct Note {
    HWND hWnd;
    UINT msg;
    SOCKET s;
    std::int32_t event;
    int error;
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << EventName(n.event) << "(socket " << n.s << ", error " << n.error << ")";
}

// A peer socket that does not go through the layer; its blocking calls give up after a while.
class RawSocket {
public:
    explicit RawSocket(int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) : m_fd(fd) {
        timeval tv{5, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
    ~RawSocket() { Close(); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    RawSocket(RawSocket&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    RawSocket& operator=(RawSocket&& other) noexcept {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        return *this;
    }

    int fd() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) {
            ::close(std::exchange(m_fd, -1));
        }
    }
    // Listens on 127.0.0.1 at a port the kernel chooses; returns the port.
    std::uint16_t Listen() {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        EXPECT_EQ(::listen(m_fd, 8), 0);
        return LocalPort();
    }
    std::uint16_t LocalPort() const {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
        return ntohs(sa.sin_port);
    }
    RawSocket Accept() { return RawSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)); }
    void Send(const std::string& bytes) {
        EXPECT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }

private:
    int m_fd;
};

SockAddrIn Loopback(std::uint16_t port) {
    SockAddrIn sa;
    sa.sin_family = WS_AF_INET;
    sa.sin_port = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port & 0xFF)};
    sa.sin_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

class PosixPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(p.WSAStartup(WINSOCK_VERSION_1_1), 0);
        WndClass wc;
        wc.lpszClassName = "TestNotify";
        wc.lpfnWndProc = [this](HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
            const Note note{hWnd, msg, wParam, WSAGETSELECTEVENT(lParam),
                            WSAGETSELECTERROR(lParam)};
            notes.push_back(note);
            if (onNote) {
                onNote(note);
            }
            return p.DefWindowProcA(hWnd, msg, wParam, lParam);
        };
        ASSERT_NE(p.RegisterClassA(wc), 0);
        window = NewWindow("TestNotify");
        ASSERT_GT(window, 0);
    }

    HWND NewWindow(const std::string& className) {
        return p.CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, 0, 0, p.GetModuleInstance(), 0);
    }

    int Count(SOCKET s, std::int32_t event) const {
        int n = 0;
        for (const Note& note : notes) {
            n += (note.s == s && note.event == event) ? 1 : 0;
        }
        return n;
    }
    bool WaitFor(SOCKET s, std::int32_t event, int count = 1) {
        return p.RunUntil([&] { return Count(s, event) >= count; }, WAIT);
    }
    // Pumps for a short while so that whatever is due gets delivered.
    void Settle() {
        p.RunUntil([] { return false; }, QUIET);
    }

    SOCKET Select(SOCKET s, std::int32_t mask) {
        EXPECT_EQ(p.WSAAsyncSelect(s, window, WM_SOCKET_NOTIFY, mask), 0);
        return s;
    }
    // A socket of the layer connected to a raw peer; FD_CONNECT has been delivered.
    SOCKET ConnectTo(RawSocket& listener, RawSocket& peer, std::int32_t mask) {
        const SOCKET s = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
        EXPECT_NE(s, INVALID_SOCKET);
        Select(s, mask | FD_CONNECT);
        EXPECT_EQ(p.connect(s, Loopback(listener.LocalPort()), 16), SOCKET_ERROR);
        EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
        peer = listener.Accept();
        EXPECT_TRUE(WaitFor(s, FD_CONNECT));
        return s;
    }
    std::string Recv(SOCKET s, int len) {
        std::string bytes(static_cast<std::size_t>(len), '\0');
        const int n = p.recv(s, reinterpret_cast<std::uint8_t*>(bytes.data()), len, 0);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }
    bool PumpReadable() const {
        pollfd pfd{p.PumpDescriptor(), POLLIN, 0};
        return ::poll(&pfd, 1, 0) == 1;
    }

    PosixPlatform p;
    HWND window = 0;
    std::vector<Note> notes;
    std::function<void(const Note&)> onNote;
    RawSocket listener;
};

TEST_F(PosixPlatformTest, UnreadBytesWhileDeselectedDoNotKeepThePumpBusy) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, FD_READ | FD_CLOSE);
    Select(s, FD_CLOSE); // the component reads with notifications off
    peer.Send("waiting");
    peer.Close();
    Settle();
    EXPECT_EQ(Count(s, FD_READ), 0);
    EXPECT_EQ(Count(s, FD_CLOSE), 0) << "bytes still wait";
    EXPECT_FALSE(PumpReadable()) << "unread bytes must not keep the pump descriptor readable";
    EXPECT_EQ(p.Pump(), 0u);
}

// ---- the pump ----

TEST_F(PosixPlatformTest, NestedPumpDeliversEachMessageOnce) {
    listener.Listen();
    RawSocket peerA;
    RawSocket peerB;
    const SOCKET a = ConnectTo(listener, peerA, 0);
    const SOCKET b = ConnectTo(listener, peerB, 0);
    notes.clear();
    std::size_t nestedDelivered = 0;
    onNote = [&](const Note& n) {
        if (n.s == a && n.event == FD_WRITE) {
            nestedDelivered = p.Pump();
        }
    };
    Select(a, FD_WRITE);
    Select(b, FD_WRITE);
    EXPECT_EQ(p.Pump(), 1u) << "the outer pump delivered only the first message itself";
    EXPECT_EQ(nestedDelivered, 1u);
    Settle();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(Count(a, FD_WRITE), 1);
    EXPECT_EQ(Count(b, FD_WRITE), 1);
}

TEST_F(PosixPlatformTest, MessagesPostedWhileDeliveringWaitForTheNextPump) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, 0);
    notes.clear();
    onNote = [&](const Note&) {
        if (notes.size() < 3) {
            Select(s, FD_WRITE); // posts FD_WRITE again at once
        }
    };
    Select(s, FD_WRITE);
    EXPECT_EQ(p.Pump(), 1u);
    EXPECT_TRUE(PumpReadable()) << "a message waits";
    EXPECT_EQ(p.Pump(), 1u);
    EXPECT_EQ(p.Pump(), 1u);
    EXPECT_FALSE(PumpReadable()) << "idle";
    EXPECT_EQ(p.Pump(), 0u);
}

TEST_F(PosixPlatformTest, QueuedMessagesGoWithTheirSocketOrWindow) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, 0);
    notes.clear();
    Select(s, FD_WRITE);
    EXPECT_TRUE(PumpReadable());
    ASSERT_EQ(p.closesocket(s), 0);
    EXPECT_FALSE(PumpReadable());

    // The next socket the layer makes with that number hears nothing of the old one.
    SOCKET again = INVALID_SOCKET;
    for (int i = 0; i < 16 && again != s; ++i) {
        again = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    }
    ASSERT_EQ(again, s);
    Select(again, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    Settle();
    EXPECT_TRUE(notes.empty()) << notes.front();

    RawSocket other;
    const SOCKET t = ConnectTo(listener, other, 0);
    notes.clear();
    Select(t, FD_WRITE);
    ASSERT_NE(p.DestroyWindow(window), 0);
    EXPECT_FALSE(PumpReadable());
    EXPECT_EQ(p.Pump(), 0u);
    EXPECT_TRUE(notes.empty());
}

TEST_F(PosixPlatformTest, DescriptorsThatAreNotSocketsOfTheLayerAreLeftAlone) {
    std::uint8_t byte = 0;
    // Standard input is a descriptor, but not one of the layer's sockets: never closed here.
    EXPECT_EQ(p.closesocket(STDIN_FILENO), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(p.recv(STDIN_FILENO, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);
}

} // namespace
