// The contract every platform layer keeps: the selection rules the socket component relies on, the
// window calls, start-up and clean-up, the resolver and the error numbers. One list of tests, run
// against each layer named in platform_contract_backends.h.

#include "tests/socket/platform_contract.h"
#include "tests/socket/platform_contract_backends.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace winsock;
using namespace std::chrono_literals;

namespace {

constexpr auto Wait = 5s;     // an upper bound for what must happen
constexpr auto Quiet = 100ms; // long enough for what must not happen to show up
constexpr int RecordLength = static_cast<int>(sizeof(SockAddrIn));
constexpr std::int32_t ReadClose = FD_READ | FD_CLOSE;
constexpr std::int32_t ReadWriteClose = FD_READ | FD_WRITE | FD_CLOSE;

struct Note {
    HWND hWnd;
    UINT msg;
    SOCKET s;
    std::int32_t event;
    int error;
};

std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::array<std::uint8_t, 4> octets{a, b, c, d};
    std::uint32_t address = 0;
    std::memcpy(&address, octets.data(), octets.size());
    return address;
}

const std::uint32_t LoopbackAddress = Address(127, 0, 0, 1);

SockAddrIn Loopback(std::uint16_t port) {
    SockAddrIn sa;
    sa.sin_family = WS_AF_INET;
    sa.sin_port = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port & 0xFF)};
    sa.sin_addr = LoopbackAddress;
    return sa;
}

std::uint16_t PortOf(const SockAddrIn& sa) {
    return static_cast<std::uint16_t>(sa.sin_port[0] << 8 | sa.sin_port[1]);
}

struct BackendName {
    template <typename Traits> static std::string GetName(int) { return Traits::Name; }
};

template <PlatformContractTraits Traits> class PlatformContract : public ::testing::Test {
protected:
    using Backend = typename Traits::Backend;

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
        ASSERT_NE(window, 0);
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
    bool RunUntil(const std::function<bool()>& done) { return Traits::RunUntil(p, done, Wait); }
    bool WaitFor(SOCKET s, std::int32_t event, int count = 1) {
        return RunUntil([&] { return Count(s, event) >= count; });
    }
    // Delivers for a short while whatever is due.
    void Settle() {
        Traits::RunUntil(
            p, [] { return false; }, Quiet);
    }

    SOCKET Select(SOCKET s, std::int32_t mask) {
        EXPECT_EQ(p.WSAAsyncSelect(s, window, WM_SOCKET_NOTIFY, mask), 0);
        return s;
    }
    SOCKET NewSocket() {
        const SOCKET s = p.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
        EXPECT_NE(s, INVALID_SOCKET);
        return s;
    }
    std::uint16_t LocalPort(SOCKET s) {
        SockAddrIn bound;
        int length = RecordLength;
        EXPECT_EQ(p.getsockname(s, bound, length), 0);
        return PortOf(bound);
    }
    // A socket bound to 127.0.0.1 at a port the layer picks; listening unless told otherwise.
    SOCKET Listener(std::uint16_t& port, bool listening = true) {
        const SOCKET s = NewSocket();
        EXPECT_EQ(p.bind(s, Loopback(0), RecordLength), 0);
        if (listening) {
            Select(s, FD_ACCEPT);
            EXPECT_EQ(p.listen(s, LISTEN_BACKLOG), 0);
        }
        port = LocalPort(s);
        return s;
    }
    // A socket of the layer connected to a peer that the listener accepted; FD_CONNECT has been
    // delivered. The peer shares the listener's selection (FD_ACCEPT only).
    std::pair<SOCKET, SOCKET> Connected(std::int32_t mask) {
        std::uint16_t port = 0;
        const SOCKET listener = Listener(port);
        const SOCKET s = Select(NewSocket(), mask | FD_CONNECT);
        if constexpr (requires { Traits::Encrypt(p, s, port); }) {
            encryption = Traits::Encrypt(p, s, port);
        }
        EXPECT_EQ(p.connect(s, Loopback(port), RecordLength), SOCKET_ERROR);
        EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
        EXPECT_TRUE(WaitFor(listener, FD_ACCEPT));
        SockAddrIn from;
        int fromLength = RecordLength;
        const SOCKET peer = p.accept(listener, from, fromLength);
        EXPECT_NE(peer, INVALID_SOCKET);
        EXPECT_TRUE(WaitFor(s, FD_CONNECT));
        return {s, peer};
    }
    std::string Recv(SOCKET s, int len) {
        std::string bytes(static_cast<std::size_t>(len), '\0');
        const int n = p.recv(s, reinterpret_cast<std::uint8_t*>(bytes.data()), len, 0);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return bytes;
    }
    void Send(SOCKET s, const std::string& bytes) {
        EXPECT_EQ(p.send(s, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0),
                  static_cast<int>(bytes.size()));
    }

    std::unique_ptr<Backend> owned = Traits::Make();
    Backend& p = *owned;
    HWND window = 0;
    std::vector<Note> notes;
    std::function<void(const Note&)> onNote;
    // What an encrypted connection needs kept while it lasts.
    std::shared_ptr<void> encryption;
};

TYPED_TEST_SUITE(PlatformContract, PlatformContractBackends, BackendName);

// The cases of a connected socket, which hold over an encrypted connection too.
template <PlatformContractTraits Traits>
class ConnectedContract : public PlatformContract<Traits> {};
TYPED_TEST_SUITE(ConnectedContract, ConnectedContractBackends, BackendName);

// ---- selection rules ----

TYPED_TEST(PlatformContract, ConnectIsUnderWayThenFdConnectCarriesTheOutcome) {
    auto& p = this->p;
    struct Case {
        const char* name;
        bool listening;
        int error;
    };
    for (const Case& c : {Case{"port with a listener", true, 0},
                          Case{"port bound without a listener", false, WSAECONNREFUSED}}) {
        SCOPED_TRACE(c.name);
        this->notes.clear();
        std::uint16_t port = 0;
        this->Listener(port, c.listening);
        const SOCKET s = this->Select(this->NewSocket(), FD_CONNECT);
        EXPECT_EQ(p.connect(s, Loopback(port), RecordLength), SOCKET_ERROR);
        EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
        ASSERT_TRUE(this->WaitFor(s, FD_CONNECT));
        this->Settle();
        EXPECT_EQ(this->Count(s, FD_CONNECT), 1);
        EXPECT_EQ(this->Last(s, FD_CONNECT)->error, c.error);
        EXPECT_EQ(this->Last(s, FD_CONNECT)->msg, WM_SOCKET_NOTIFY);
        EXPECT_EQ(this->Last(s, FD_CONNECT)->hWnd, this->window);
        EXPECT_EQ(p.closesocket(s), 0);
    }
}

TYPED_TEST(ConnectedContract, ReadIsPostedOnceUntilRecvAndAgainWhileBytesAreLeft) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadClose);

    this->Send(peer, "first");
    ASSERT_TRUE(this->WaitFor(s, FD_READ));
    this->Send(peer, "second");
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_READ), 1) << "no second FD_READ before recv";

    EXPECT_EQ(this->Recv(s, 3), "fir"); // bytes are left: posted again
    ASSERT_TRUE(this->WaitFor(s, FD_READ, 2));
    std::string rest;
    ASSERT_TRUE(this->RunUntil([&] {
        rest += this->Recv(s, 100);
        return rest.size() >= 8;
    }));
    EXPECT_EQ(rest, "stsecond");
    this->Settle();
    EXPECT_LE(this->Count(s, FD_READ), 3) << "at most one more, for the second piece";

    // Selecting again while nothing waits posts nothing; while bytes wait it posts FD_READ.
    const int before = this->Count(s, FD_READ);
    this->Select(s, ReadClose);
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_READ), before);
    this->Send(peer, "x");
    ASSERT_TRUE(this->WaitFor(s, FD_READ, before + 1));
    this->Select(s, ReadClose);
    ASSERT_TRUE(this->WaitFor(s, FD_READ, before + 2));
    std::uint8_t peeked = 0;
    ASSERT_EQ(p.recv(s, &peeked, 1, WS_MSG_PEEK), 1);
    EXPECT_EQ(peeked, 'x');
    EXPECT_EQ(this->Recv(s, 1 << 20), "x");
    EXPECT_EQ(this->Count(s, FD_CLOSE), 0);
}

TYPED_TEST(ConnectedContract, ReadStopsWhileDeselected) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadClose);
    this->Select(s, FD_CLOSE); // the component reads with notifications off
    this->Send(peer, "waiting");
    EXPECT_EQ(p.closesocket(peer), 0);
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_READ), 0);
    EXPECT_EQ(this->Count(s, FD_CLOSE), 0) << "bytes still wait";
    this->Select(s, ReadClose);
    ASSERT_TRUE(this->WaitFor(s, FD_READ));
    EXPECT_EQ(this->Recv(s, 100), "waiting");
    ASSERT_TRUE(this->WaitFor(s, FD_CLOSE));
}

TYPED_TEST(ConnectedContract, WriteIsPostedOnSelectAndAgainOnlyAfterASendWouldBlock) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadClose);
    EXPECT_EQ(this->Count(s, FD_WRITE), 0) << "FD_WRITE was not selected";

    this->Select(s, ReadWriteClose);
    ASSERT_TRUE(this->WaitFor(s, FD_WRITE));
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_WRITE), 1) << "still writable, but not re-enabled";
    this->Select(s, ReadWriteClose);
    ASSERT_TRUE(this->WaitFor(s, FD_WRITE, 2)) << "selecting re-enables FD_WRITE";

    const std::vector<std::uint8_t> chunk(65536, 'w');
    std::size_t sent = 0;
    int result = 0;
    for (int i = 0; i < 4000 && (result = p.send(s, chunk.data(), 65536, 0)) > 0; ++i) {
        sent += static_cast<std::size_t>(result);
    }
    ASSERT_EQ(result, SOCKET_ERROR) << "the peer reads nothing, so the send must block at last";
    EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);

    std::size_t got = 0;
    ASSERT_TRUE(this->RunUntil([&] {
        for (std::size_t n; (n = this->Recv(peer, 65536).size()) > 0;) {
            got += n;
        }
        return got >= sent;
    }));
    EXPECT_EQ(got, sent);
    ASSERT_TRUE(this->WaitFor(s, FD_WRITE, 3)) << "room again after a send that would block";
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_WRITE), 3) << "once, however often room was made";
}

TYPED_TEST(PlatformContract, AcceptIsPostedOncePerAcceptWhileConnectionsWait) {
    auto& p = this->p;
    std::uint16_t port = 0;
    const SOCKET server = this->Listener(port);
    const SOCKET first = this->Select(this->NewSocket(), FD_CONNECT);
    const SOCKET second = this->Select(this->NewSocket(), FD_CONNECT);
    EXPECT_EQ(p.connect(first, Loopback(port), RecordLength), SOCKET_ERROR);
    EXPECT_EQ(p.connect(second, Loopback(port), RecordLength), SOCKET_ERROR);
    ASSERT_TRUE(this->WaitFor(first, FD_CONNECT));
    ASSERT_TRUE(this->WaitFor(second, FD_CONNECT));
    ASSERT_TRUE(this->WaitFor(server, FD_ACCEPT));
    this->Settle();
    EXPECT_EQ(this->Count(server, FD_ACCEPT), 1) << "no second FD_ACCEPT before accept";

    SockAddrIn from;
    int fromLength = RecordLength;
    const SOCKET a = p.accept(server, from, fromLength);
    ASSERT_NE(a, INVALID_SOCKET);
    EXPECT_EQ(fromLength, RecordLength);
    EXPECT_EQ(from.sin_family, WS_AF_INET);
    EXPECT_EQ(from.sin_addr, LoopbackAddress);
    EXPECT_EQ(PortOf(from), this->LocalPort(first));
    ASSERT_TRUE(this->WaitFor(server, FD_ACCEPT, 2)) << "another connection waits";

    const SOCKET b = p.accept(server, from, fromLength);
    ASSERT_NE(b, INVALID_SOCKET);
    EXPECT_EQ(PortOf(from), this->LocalPort(second));
    EXPECT_EQ(p.accept(server, from, fromLength), INVALID_SOCKET);
    EXPECT_EQ(p.WSAGetLastError(), WSAEWOULDBLOCK);
    this->Settle();
    EXPECT_EQ(this->Count(server, FD_ACCEPT), 2);
}

TYPED_TEST(ConnectedContract, CloseComesOnceAndOnlyAfterEveryByteWasRead) {
    auto& p = this->p;
    struct Case {
        const char* name;
        std::string lastBytes;
        bool selectAfterClose;
    };
    for (const Case& c : {Case{"last line before the close", ":server NOTICE bye\r\n", false},
                          Case{"nothing before the close", "", false},
                          Case{"closed before selecting", "tail", true}}) {
        SCOPED_TRACE(c.name);
        this->notes.clear();
        const auto [s, peer] = this->Connected(c.selectAfterClose ? 0 : ReadClose);
        if (!c.lastBytes.empty()) {
            this->Send(peer, c.lastBytes);
        }
        EXPECT_EQ(p.closesocket(peer), 0);
        this->Settle();
        if (c.selectAfterClose) {
            EXPECT_EQ(this->Count(s, FD_READ) + this->Count(s, FD_CLOSE), 0);
            this->Select(s, ReadClose);
        }
        if (!c.lastBytes.empty()) {
            ASSERT_TRUE(this->WaitFor(s, FD_READ));
            this->Settle();
            EXPECT_EQ(this->Count(s, FD_CLOSE), 0) << "bytes still wait";
            // Read in small pieces: the close waits for the last one.
            std::string got;
            for (std::string piece; !(piece = this->Recv(s, 5)).empty();) {
                got += piece;
                if (got.size() < c.lastBytes.size()) {
                    this->Settle();
                    EXPECT_EQ(this->Count(s, FD_CLOSE), 0) << "after " << got.size() << " bytes";
                }
            }
            EXPECT_EQ(got, c.lastBytes);
        }
        ASSERT_TRUE(this->WaitFor(s, FD_CLOSE));
        EXPECT_EQ(this->Last(s, FD_CLOSE)->error, 0);
        EXPECT_EQ(this->Recv(s, 4096), "");
        this->Settle();
        EXPECT_EQ(this->Count(s, FD_CLOSE), 1);
        // Selecting re-enables every event, FD_CLOSE too: the close that still holds comes again.
        this->Select(s, ReadClose);
        ASSERT_TRUE(this->WaitFor(s, FD_CLOSE, 2));
        this->Settle();
        EXPECT_EQ(this->Count(s, FD_CLOSE), 2);
        EXPECT_EQ(p.closesocket(s), 0);
    }
}

TYPED_TEST(ConnectedContract, ResetGivesCloseWithConnectionResetAndSendFailsQuietly) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadWriteClose);
    // A peer that closes with bytes it never read resets the connection.
    this->Send(s, "unread");
    this->Select(peer, FD_READ);
    ASSERT_TRUE(this->WaitFor(peer, FD_READ));
    EXPECT_EQ(p.closesocket(peer), 0);
    ASSERT_TRUE(this->WaitFor(s, FD_CLOSE));
    EXPECT_EQ(this->Last(s, FD_CLOSE)->error, WSAECONNRESET);

    // A send on the reset connection fails; it must not end the program (SIGPIPE).
    const std::uint8_t byte = 'x';
    EXPECT_EQ(p.send(s, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAECONNRESET);
    this->Settle();
    EXPECT_EQ(this->Count(s, FD_CLOSE), 1);
}

// Windows queues a notification as soon as it happens and keeps it when the socket is closed; the
// system may give the closed socket's handle to the next socket at once.
TYPED_TEST(ConnectedContract, NotificationsQueuedForAClosedSocketReachNobody) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadWriteClose);
    this->Send(peer, "late");
    std::this_thread::sleep_for(Quiet); // the notification is queued, not delivered
    this->notes.clear();
    EXPECT_EQ(p.closesocket(s), 0);
    const SOCKET next = this->Select(this->NewSocket(), ReadWriteClose);
    this->Settle();
    // Neither the closed socket nor the new, unconnected one has anything to be told.
    for (const Note& note : this->notes) {
        ADD_FAILURE() << "event " << note.event << " for socket " << note.s << " (closed " << s
                      << ", new " << next << ")";
    }
}

TYPED_TEST(ConnectedContract, HandlerMayReadAndCloseFromInsideTheProcedure) {
    auto& p = this->p;
    const auto [s, peer] = this->Connected(ReadClose);
    std::string received;
    this->onNote = [&, s = s](const Note& n) {
        if (n.s != s) {
            return;
        }
        if (n.event == FD_READ) {
            // As the component does: notifications off, drain, notifications on.
            p.WSAAsyncSelect(s, this->window, WM_SOCKET_NOTIFY, FD_CLOSE);
            for (std::string chunk; !(chunk = this->Recv(s, 7)).empty();) {
                received += chunk;
            }
            p.WSAAsyncSelect(s, this->window, WM_SOCKET_NOTIFY, ReadClose);
        } else if (n.event == FD_CLOSE) {
            EXPECT_EQ(p.shutdown(s, SD_BOTH), 0);
            EXPECT_EQ(p.closesocket(s), 0);
        }
    };
    this->Send(peer, "PING :abc\r\n:srv 001 me :hello\r\n");
    EXPECT_EQ(p.closesocket(peer), 0);
    ASSERT_TRUE(this->WaitFor(s, FD_CLOSE));
    this->Settle();
    EXPECT_EQ(received, "PING :abc\r\n:srv 001 me :hello\r\n");
    EXPECT_EQ(this->Count(s, FD_CLOSE), 1);
    EXPECT_EQ(p.closesocket(s), SOCKET_ERROR) << "already closed";
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
}

// ---- the window calls ----

TYPED_TEST(PlatformContract, WindowClassesAndWindows) {
    auto& p = this->p;
    WndClass wc;
    wc.lpszClassName = "TestNotify";
    wc.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) { return 0; };
    EXPECT_EQ(p.RegisterClassA(wc), 0) << "registered twice";
    EXPECT_EQ(this->NewWindow("NoSuchClass"), 0);
    EXPECT_EQ(p.UnregisterClassA("NoSuchClass", p.GetModuleInstance()), 0);
    EXPECT_EQ(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0) << "a window exists";

    const HWND second = this->NewWindow("TestNotify");
    EXPECT_NE(second, 0);
    EXPECT_NE(second, this->window);
    EXPECT_NE(p.DestroyWindow(this->window), 0);
    EXPECT_EQ(p.DestroyWindow(this->window), 0);
    EXPECT_EQ(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0) << "one still exists";
    EXPECT_NE(p.DestroyWindow(second), 0);
    EXPECT_NE(p.UnregisterClassA("TestNotify", p.GetModuleInstance()), 0);
    EXPECT_EQ(this->NewWindow("TestNotify"), 0);
    EXPECT_NE(p.RegisterClassA(wc), 0) << "the name is free again";
    EXPECT_NE(p.GetModuleInstance(), 0);
}

// ---- start-up and errors ----

TYPED_TEST(PlatformContract, SocketCallsFailUntilStartedAndAfterTheLastCleanup) {
    const auto owned = TypeParam::Make();
    auto& p = *owned;
    std::uint8_t byte = 0;
    SockAddrIn sa = Loopback(1);
    int len = RecordLength;
    char name[256];
    const SOCKET any = 3;
    struct Call {
        const char* name;
        std::function<bool()> fails; // true when the call reported failure
    };
    const std::vector<Call> calls = {
        {"socket", [&] { return p.socket(WS_AF_INET, WS_SOCK_STREAM, 0) == INVALID_SOCKET; }},
        {"bind", [&] { return p.bind(any, sa, RecordLength) == SOCKET_ERROR; }},
        {"listen", [&] { return p.listen(any, LISTEN_BACKLOG) == SOCKET_ERROR; }},
        {"accept", [&] { return p.accept(any, sa, len) == INVALID_SOCKET; }},
        {"connect", [&] { return p.connect(any, sa, RecordLength) == SOCKET_ERROR; }},
        {"getsockname", [&] { return p.getsockname(any, sa, len) == SOCKET_ERROR; }},
        {"recv", [&] { return p.recv(any, &byte, 1, 0) == SOCKET_ERROR; }},
        {"send", [&] { return p.send(any, &byte, 1, 0) == SOCKET_ERROR; }},
        {"shutdown", [&] { return p.shutdown(any, SD_BOTH) == SOCKET_ERROR; }},
        {"closesocket", [&] { return p.closesocket(any) == SOCKET_ERROR; }},
        {"WSAAsyncSelect", [&] { return p.WSAAsyncSelect(any, 1, WM_SOCKET_NOTIFY, 0) != 0; }},
        {"gethostname", [&] { return p.gethostname(name, 256) == SOCKET_ERROR; }},
        {"gethostbyname", [&] { return !p.gethostbyname("localhost"); }},
        {"gethostbyaddr", [&] { return !p.gethostbyaddr(LoopbackAddress, 4, WS_AF_INET); }},
        {"WSACleanup", [&] { return p.WSACleanup() == SOCKET_ERROR; }},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        EXPECT_TRUE(call.fails());
        EXPECT_EQ(p.WSAGetLastError(), WSANOTINITIALISED);
    }

    EXPECT_EQ(p.WSAStartup(0), WSAVERNOTSUPPORTED) << "version 0.0 does not exist";
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

TYPED_TEST(PlatformContract, CallsThatCannotBeMadeFailWithTheirNumber) {
    auto& p = this->p;
    std::uint8_t byte = 0;
    EXPECT_EQ(p.recv(INVALID_SOCKET, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);

    const SOCKET s = this->NewSocket();
    EXPECT_EQ(p.listen(s, LISTEN_BACKLOG), SOCKET_ERROR) << "not bound";
    EXPECT_EQ(p.WSAGetLastError(), WSAEINVAL);
    SockAddrIn name;
    int nameLength = RecordLength;
    EXPECT_EQ(p.getsockname(s, name, nameLength), SOCKET_ERROR) << "not bound";
    EXPECT_EQ(p.WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(p.WSAAsyncSelect(s, this->window + 100, WM_SOCKET_NOTIFY, FD_READ), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(p.socket(WS_AF_INET + 1, WS_SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(p.WSAGetLastError(), WSAEAFNOSUPPORT);

    std::uint16_t port = 0;
    this->Listener(port);
    EXPECT_EQ(p.bind(s, Loopback(port), RecordLength), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAEADDRINUSE);

    EXPECT_EQ(p.closesocket(s), 0);
    EXPECT_EQ(p.closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(p.WSAGetLastError(), WSAENOTSOCK);
}

// ---- names and addresses ----

TYPED_TEST(PlatformContract, HostLookups) {
    auto& p = this->p;
    if (!TypeParam::ResolverKnowsLocalhost()) {
        GTEST_SKIP() << "this machine's resolver does not know localhost";
    }
    const auto local = p.gethostbyname("localhost");
    ASSERT_TRUE(local);
    EXPECT_FALSE(local->h_name.empty());
    ASSERT_FALSE(local->h_addr_list.empty());
    EXPECT_EQ(local->h_addr_list.front(), LoopbackAddress);

    const auto dotted = p.gethostbyname("127.0.0.1");
    ASSERT_TRUE(dotted);
    EXPECT_EQ(dotted->h_addr_list.front(), LoopbackAddress);

    for (const std::string& name :
         {std::string("hoshiwa-test.invalid"), std::string("localhost\0.x", 12)}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(p.gethostbyname(name));
        EXPECT_EQ(p.WSAGetLastError(), WSAHOST_NOT_FOUND);
    }

    const auto reverse = p.gethostbyaddr(LoopbackAddress, 4, WS_AF_INET);
    ASSERT_TRUE(reverse);
    EXPECT_FALSE(reverse->h_name.empty());
    EXPECT_FALSE(p.gethostbyaddr(LoopbackAddress, 16, WS_AF_INET));
    EXPECT_EQ(p.WSAGetLastError(), WSAEFAULT);

    char name[256];
    ASSERT_EQ(p.gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(p.gethostname(name, 1), SOCKET_ERROR) << "no room for the name";
    EXPECT_EQ(p.WSAGetLastError(), WSAEFAULT);
}

TYPED_TEST(PlatformContract, InetAddrReadsDottedTextOnly) {
    auto& p = this->p;
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
        {"1.2.3.4 ", {1, 2, 3, 4}, false},      // white space ends the address,
        {"1.2.3.4\tjunk", {1, 2, 3, 4}, false}, // and what follows it is not read
        {"1.2.3.4x", {}, true},
        {" 1.2.3.4", {}, true},
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
