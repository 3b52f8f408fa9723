// PosixPlatform against real loopback sockets: the selection rules the socket component relies on,
// the window receivers and the pump, start-up, and the resolver.

#include "socket/posix_platform.h"
#include "tests/socket/system_resolver.h"

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
    bool Connect(std::uint16_t port) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    RawSocket Accept() { return RawSocket(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC)); }
    void Send(const std::string& bytes) {
        EXPECT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Closes with a reset instead of a FIN.
    void Reset() {
        linger lg{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        Close();
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

std::uint16_t PortOf(const SockAddrIn& sa) {
    return static_cast<std::uint16_t>(sa.sin_port[0] << 8 | sa.sin_port[1]);
}

// A port on which nothing listens: bound once, then released.
std::uint16_t ClosedPort() {
    RawSocket probe;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return probe.LocalPort();
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
    const Note* Last(SOCKET s, std::int32_t event) const {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it) {
            if (it->s == s && it->event == event) {
                return &*it;
            }
        }
        return nullptr;
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

// ---- selection rules ----

TEST_F(PosixPlatformTest, ConnectIsUnderWayThenFdConnectCarriesTheOutcome) {
    struct Case {
        const char* name;
        bool listening;
        int error;
    };
    for (const Case& c :
         {Case{"port with a listener", true, 0}, Case{"closed port", false, WSAECONNREFUSED}}) {
        SCOPED_TRACE(c.name);
        notes.clear();
        RawSocket server;
        const std::uint16_t port = c.listening ? server.Listen() : ClosedPort();
        const SOCKET s = Select(p.socket(WS_AF_INET, WS_SOCK_STREAM, 0), FD_CONNECT);
        EXPECT_EQ(p.connect(s, Loopback(port), 16), SOCKET_ERROR);
        EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
        ASSERT_TRUE(WaitFor(s, FD_CONNECT));
        Settle();
        EXPECT_EQ(Count(s, FD_CONNECT), 1);
        EXPECT_EQ(Last(s, FD_CONNECT)->error, c.error);
        EXPECT_EQ(Last(s, FD_CONNECT)->msg, WM_SOCKET_NOTIFY);
        EXPECT_EQ(p.closesocket(s), 0);
    }
}

TEST_F(PosixPlatformTest, ReadIsPostedOnceUntilRecvAndAgainWhileBytesAreLeft) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, FD_READ | FD_CLOSE);

    peer.Send("first");
    ASSERT_TRUE(WaitFor(s, FD_READ));
    peer.Send("second");
    Settle();
    EXPECT_EQ(Count(s, FD_READ), 1) << "no second FD_READ before recv";

    EXPECT_EQ(Recv(s, 3), "fir"); // bytes are left: posted again
    ASSERT_TRUE(WaitFor(s, FD_READ, 2));
    EXPECT_EQ(Recv(s, 100), "stsecond");
    Settle();
    EXPECT_EQ(Count(s, FD_READ), 2);

    // Selecting again while nothing waits posts nothing; while bytes wait it posts FD_READ.
    Select(s, FD_READ | FD_CLOSE);
    Settle();
    EXPECT_EQ(Count(s, FD_READ), 2);
    peer.Send("x");
    ASSERT_TRUE(WaitFor(s, FD_READ, 3));
    Select(s, FD_READ | FD_CLOSE);
    ASSERT_TRUE(WaitFor(s, FD_READ, 4));
    std::uint8_t peeked = 0;
    ASSERT_EQ(p.recv(s, &peeked, 1, MSG_PEEK), 1);
    EXPECT_EQ(peeked, 'x');
    EXPECT_EQ(Recv(s, 1 << 20), "x");
    EXPECT_EQ(Count(s, FD_CLOSE), 0);
}

TEST_F(PosixPlatformTest, ReadStopsWhileDeselectedAndDoesNotKeepThePumpBusy) {
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

TEST_F(PosixPlatformTest, WriteIsPostedOnSelectAndAgainOnlyAfterASendWouldBlock) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    Select(s, FD_CONNECT | FD_READ | FD_CLOSE);
    p.connect(s, Loopback(listener.LocalPort()), 16);
    peer = listener.Accept();
    ::setsockopt(peer.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ASSERT_TRUE(WaitFor(s, FD_CONNECT));
    EXPECT_EQ(Count(s, FD_WRITE), 0) << "FD_WRITE was not selected";

    Select(s, FD_READ | FD_WRITE | FD_CLOSE);
    ASSERT_TRUE(WaitFor(s, FD_WRITE));
    Settle();
    EXPECT_EQ(Count(s, FD_WRITE), 1) << "still writable, but not re-enabled";
    Select(s, FD_READ | FD_WRITE | FD_CLOSE);
    ASSERT_TRUE(WaitFor(s, FD_WRITE, 2)) << "selecting re-enables FD_WRITE";

    const std::vector<std::uint8_t> chunk(65536, 'w');
    std::size_t sent = 0;
    int result = 0;
    for (int i = 0; i < 1000 && (result = p.send(s, chunk.data(), 65536, 0)) > 0; ++i) {
        sent += static_cast<std::size_t>(result);
    }
    ASSERT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);

    std::vector<char> sink(65536);
    for (std::size_t got = 0; got < sent;) {
        const ssize_t n = ::recv(peer.fd(), sink.data(), sink.size(), 0);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    ASSERT_TRUE(WaitFor(s, FD_WRITE, 3)) << "room again after a send that would block";
    Settle();
    EXPECT_EQ(Count(s, FD_WRITE), 3) << "once, however often room was made";
}

TEST_F(PosixPlatformTest, AcceptIsPostedOncePerAcceptWhileConnectionsWait) {
    const SOCKET server = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    ASSERT_EQ(p.bind(server, Loopback(0), 16), 0);
    Select(server, FD_ACCEPT);
    ASSERT_EQ(p.listen(server, LISTEN_BACKLOG), 0);
    SockAddrIn bound;
    int boundLen = 16;
    ASSERT_EQ(p.getsockname(server, bound, boundLen), 0);

    RawSocket first;
    RawSocket second;
    ASSERT_TRUE(first.Connect(PortOf(bound)));
    ASSERT_TRUE(second.Connect(PortOf(bound)));
    ASSERT_TRUE(WaitFor(server, FD_ACCEPT));
    Settle();
    EXPECT_EQ(Count(server, FD_ACCEPT), 1) << "no second FD_ACCEPT before accept";

    SockAddrIn peer;
    int peerLen = 16;
    const SOCKET a = p.accept(server, peer, peerLen);
    ASSERT_NE(a, INVALID_SOCKET);
    EXPECT_EQ(peerLen, 16);
    EXPECT_EQ(peer.sin_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(PortOf(peer), first.LocalPort());
    ASSERT_TRUE(WaitFor(server, FD_ACCEPT, 2)) << "another connection waits";

    const SOCKET b = p.accept(server, peer, peerLen);
    ASSERT_NE(b, INVALID_SOCKET);
    EXPECT_EQ(PortOf(peer), second.LocalPort());
    EXPECT_EQ(p.accept(server, peer, peerLen), INVALID_SOCKET);
    EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
    Settle();
    EXPECT_EQ(Count(server, FD_ACCEPT), 2);
}

TEST_F(PosixPlatformTest, CloseComesOnceAndOnlyAfterEveryByteWasRead) {
    struct Case {
        const char* name;
        std::string lastBytes;
        bool selectAfterClose;
    };
    for (const Case& c : {Case{"last line before the close", ":server NOTICE bye\r\n", false},
                          Case{"nothing before the close", "", false},
                          Case{"closed before selecting", "tail", true}}) {
        SCOPED_TRACE(c.name);
        notes.clear();
        RawSocket server;
        server.Listen();
        RawSocket peer;
        const SOCKET s = ConnectTo(server, peer, c.selectAfterClose ? 0 : FD_READ | FD_CLOSE);
        if (!c.lastBytes.empty()) {
            peer.Send(c.lastBytes);
        }
        peer.Close();
        Settle();
        if (c.selectAfterClose) {
            EXPECT_EQ(Count(s, FD_READ) + Count(s, FD_CLOSE), 0);
            Select(s, FD_READ | FD_CLOSE);
        }
        if (!c.lastBytes.empty()) {
            ASSERT_TRUE(WaitFor(s, FD_READ));
            Settle();
            EXPECT_EQ(Count(s, FD_CLOSE), 0) << "bytes still wait";
            // Read in small pieces: the close waits for the last one.
            std::string got;
            for (std::string piece; !(piece = Recv(s, 5)).empty();) {
                got += piece;
                if (got.size() < c.lastBytes.size()) {
                    Settle();
                    EXPECT_EQ(Count(s, FD_CLOSE), 0) << "after " << got.size() << " bytes";
                }
            }
            EXPECT_EQ(got, c.lastBytes);
        }
        ASSERT_TRUE(WaitFor(s, FD_CLOSE));
        EXPECT_EQ(Last(s, FD_CLOSE)->error, 0);
        EXPECT_EQ(Recv(s, 4096), "");
        Select(s, FD_READ | FD_CLOSE);
        Settle();
        EXPECT_EQ(Count(s, FD_CLOSE), 1);
        EXPECT_EQ(p.closesocket(s), 0);
    }
}

TEST_F(PosixPlatformTest, ResetGivesCloseWithConnectionResetAndSendDoesNotRaiseSigpipe) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, FD_READ | FD_WRITE | FD_CLOSE);
    peer.Reset();
    ASSERT_TRUE(WaitFor(s, FD_CLOSE));
    EXPECT_EQ(Last(s, FD_CLOSE)->error, WSAECONNRESET);

    // Without MSG_NOSIGNAL this send would end the test program.
    const std::uint8_t byte = 'x';
    EXPECT_EQ(p.send(s, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAECONNRESET);
    Settle();
    EXPECT_EQ(Count(s, FD_CLOSE), 1);
}

// ---- handlers that call back into the layer ----

TEST_F(PosixPlatformTest, HandlerMayReadAndCloseFromInsideTheProcedure) {
    listener.Listen();
    RawSocket peer;
    const SOCKET s = ConnectTo(listener, peer, FD_READ | FD_CLOSE);
    std::string received;
    onNote = [&](const Note& n) {
        if (n.event == FD_READ) {
            // As the component does: notifications off, drain, notifications on.
            p.WSAAsyncSelect(s, window, WM_SOCKET_NOTIFY, FD_CLOSE);
            for (std::string chunk; !(chunk = Recv(s, 7)).empty();) {
                received += chunk;
            }
            p.WSAAsyncSelect(s, window, WM_SOCKET_NOTIFY, FD_READ | FD_CLOSE);
        } else if (n.event == FD_CLOSE) {
            EXPECT_EQ(p.shutdown(s, SD_BOTH), 0);
            EXPECT_EQ(p.closesocket(s), 0);
        }
    };
    peer.Send("PING :abc\r\n:srv 001 me :hello\r\n");
    peer.Close();
    ASSERT_TRUE(WaitFor(s, FD_CLOSE));
    Settle();
    EXPECT_EQ(received, "PING :abc\r\n:srv 001 me :hello\r\n");
    EXPECT_EQ(Count(s, FD_CLOSE), 1);
    EXPECT_EQ(p.closesocket(s), SOCKET_ERROR) << "already closed";
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
}

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

// ---- the window calls ----

TEST_F(PosixPlatformTest, WindowClassesAndWindows) {
    WndClass wc;
    wc.lpszClassName = "TestNotify";
    wc.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) { return 0; };
    EXPECT_EQ(p.RegisterClassA(wc), 0) << "registered twice";
    EXPECT_EQ(NewWindow("NoSuchClass"), 0);
    EXPECT_EQ(p.UnregisterClassA("NoSuchClass", p.GetModuleInstance()), 0);
    EXPECT_EQ(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0) << "a window exists";

    const HWND second = NewWindow("TestNotify");
    EXPECT_GT(second, 0);
    EXPECT_NE(second, window);
    EXPECT_NE(p.DestroyWindow(window), 0);
    EXPECT_EQ(p.DestroyWindow(window), 0);
    EXPECT_EQ(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0) << "one still exists";
    EXPECT_NE(p.DestroyWindow(second), 0);
    EXPECT_NE(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0);
    EXPECT_EQ(NewWindow("TestNotify"), 0);
    EXPECT_NE(p.RegisterClassA(wc), 0) << "the name is free again";
    EXPECT_NE(p.GetModuleInstance(), 0);
}

// ---- start-up and errors ----

TEST(PosixPlatformStartup, SocketCallsFailUntilStartedAndAfterTheLastCleanup) {
    PosixPlatform p;
    std::uint8_t byte = 0;
    SockAddrIn sa = Loopback(1);
    int len = 16;
    char name[256];
    struct Call {
        const char* name;
        std::function<bool()> fails; // true when the call reported failure
    };
    const std::vector<Call> calls = {
        {"socket", [&] { return p.socket(WS_AF_INET, WS_SOCK_STREAM, 0) == INVALID_SOCKET; }},
        {"bind", [&] { return p.bind(3, sa, 16) == SOCKET_ERROR; }},
        {"listen", [&] { return p.listen(3, 5) == SOCKET_ERROR; }},
        {"accept", [&] { return p.accept(3, sa, len) == INVALID_SOCKET; }},
        {"connect", [&] { return p.connect(3, sa, 16) == SOCKET_ERROR; }},
        {"getsockname", [&] { return p.getsockname(3, sa, len) == SOCKET_ERROR; }},
        {"recv", [&] { return p.recv(3, &byte, 1, 0) == SOCKET_ERROR; }},
        {"send", [&] { return p.send(3, &byte, 1, 0) == SOCKET_ERROR; }},
        {"shutdown", [&] { return p.shutdown(3, SD_BOTH) == SOCKET_ERROR; }},
        {"closesocket", [&] { return p.closesocket(3) == SOCKET_ERROR; }},
        {"WSAAsyncSelect", [&] { return p.WSAAsyncSelect(3, 1, WM_SOCKET_NOTIFY, 0) != 0; }},
        {"gethostname", [&] { return p.gethostname(name, 256) == SOCKET_ERROR; }},
        {"gethostbyname", [&] { return !p.gethostbyname("localhost"); }},
        {"gethostbyaddr", [&] { return !p.gethostbyaddr(htonl(INADDR_LOOPBACK), 4, 2); }},
        {"WSACleanup", [&] { return p.WSACleanup() == SOCKET_ERROR; }},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        EXPECT_TRUE(call.fails());
        EXPECT_EQ(p.WSAGetLastError(), WSANOTINITIALISED);
    }

    ASSERT_EQ(p.WSAStartup(WINSOCK_VERSION_1_1), 0);
    ASSERT_EQ(p.WSAStartup(WINSOCK_VERSION_1_1), 0);
    EXPECT_EQ(p.WSACleanup(), 0);
    const SOCKET s = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    EXPECT_NE(s, INVALID_SOCKET) << "one start-up is still in force";
    EXPECT_EQ(p.WSACleanup(), 0);
    EXPECT_EQ(p.closesocket(s), SOCKET_ERROR) << "the last clean-up released the socket";
    EXPECT_EQ(p.WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(p.WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(PosixPlatformTest, CallsOnWhatIsNotASocketOfTheLayerFail) {
    std::uint8_t byte = 0;
    // Standard input is a descriptor, but not one of the layer's sockets: never closed here.
    EXPECT_EQ(p.closesocket(STDIN_FILENO), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(p.recv(-1, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
    EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFD), -1);

    const SOCKET s = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    EXPECT_EQ(p.listen(s, LISTEN_BACKLOG), SOCKET_ERROR) << "not bound";
    EXPECT_EQ(p.WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(p.WSAAsyncSelect(s, window + 100, WM_SOCKET_NOTIFY, FD_READ), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(p.socket(WS_AF_INET + 1, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(p.WSAGetLastError(), WSAEAFNOSUPPORT);

    RawSocket taken;
    const std::uint16_t port = taken.Listen();
    EXPECT_EQ(p.bind(s, Loopback(port), 16), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAEADDRINUSE);
}

// ---- names and addresses ----

TEST_F(PosixPlatformTest, HostLookups) {
    if (!SystemResolverKnowsLocalhost()) {
        GTEST_SKIP() << "this machine's resolver does not know localhost";
    }
    const auto local = p.gethostbyname("localhost");
    ASSERT_TRUE(local);
    EXPECT_FALSE(local->h_name.empty());
    ASSERT_FALSE(local->h_addr_list.empty());
    EXPECT_EQ(local->h_addr_list.front(), htonl(INADDR_LOOPBACK));

    const auto dotted = p.gethostbyname("127.0.0.1");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(dotted->h_addr_list.front(), htonl(INADDR_LOOPBACK));

    for (const std::string& name :
         {std::string("hoshiwa-test.invalid"), std::string("localhost\0.x", 12)}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(p.gethostbyname(name));
        EXPECT_EQ(p.WSAGetLastError(), WSAHOST_NOT_FOUND);
    }

    const auto reverse = p.gethostbyaddr(htonl(INADDR_LOOPBACK), 4, WS_AF_INET);
    ASSERT_TRUE(reverse);
    EXPECT_FALSE(reverse->h_name.empty());
    EXPECT_FALSE(p.gethostbyaddr(htonl(INADDR_LOOPBACK), 16, WS_AF_INET));
    EXPECT_EQ(p.WSAGetLastError(), WSAEFAULT);

    char name[256];
    ASSERT_EQ(p.gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(p.gethostname(name, 1), SOCKET_ERROR) << "no room for the name";
    EXPECT_EQ(p.WSAGetLastError(), WSAEFAULT);
}

TEST(PosixPlatformAddress, InetAddrReadsDottedTextOnly) {
    PosixPlatform p;
    struct Case {
        std::string text;
        std::array<std::uint8_t, 4> octets; // ignored when none
        bool none;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1", {127, 0, 0, 1}, false},
        {"192.168.1.255", {192, 168, 1, 255}, false},
        {"127.1", {127, 0, 0, 1}, false},       // a.b: b fills 24 bits
        {"10.1.258", {10, 1, 1, 2}, false},     // a.b.c: c fills 16 bits
        {"2130706433", {127, 0, 0, 1}, false},  // one 32-bit number
        {"0x7f.0.0.01", {127, 0, 0, 1}, false}, // hexadecimal and octal parts
        {"255.255.255.255", {}, true},          // indistinguishable from failure
        {"", {}, true},
        {"localhost", {}, true},
        {"1.2.3.4.5", {}, true},
        {"256.0.0.1", {}, true},
        {"1.2.65536", {}, true},
        {"1.2.3.", {}, true},
        {"1..2.3", {}, true},
        {"1.2.3.4 ", {}, true},
        {"08.1.1.1", {}, true}, // 8 is no octal digit
        {"4294967296", {}, true},
        {std::string("1.2.3.4\0junk", 12), {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        const std::uint32_t address = p.inet_addr(c.text);
        if (c.none) {
            EXPECT_EQ(address, WS_INADDR_NONE);
            continue;
        }
        std::array<std::uint8_t, 4> octets{};
        std::memcpy(octets.data(), &address, 4);
        EXPECT_EQ(octets, c.octets);
    }
}

} // namespace
