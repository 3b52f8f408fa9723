#include "socket/tcp_sock.h"

#include "encoding/ansi_code_page.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_platform.h"
#include "tests/socket/event_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <stdexcept>

using namespace winsock;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class TCPSockTest : public ::testing::Test {
protected:
    FakePlatform fake;
    TCPSockProc proc{fake};
    EventRecorder events;
    std::shared_ptr<TCPSock> sock;

    void SetUp() override {
        ASSERT_TRUE(proc.StartUpWindow());
        sock = Make(events);
        Forget();
    }
    std::shared_ptr<TCPSock> Make(EventRecorder& recorder) {
        auto made = std::make_shared<TCPSock>(proc);
        made->SetEvents(&recorder);
        return made;
    }
    void Forget() {
        fake.ClearCalls();
        events.Events.clear();
    }
    SOCKET H() const { return sock->GetHandle(); }
    std::string Select(int mask) const {
        return "WSAAsyncSelect(" + std::to_string(H()) + ",1,1024," + std::to_string(mask) + ")";
    }
    std::string Recv() const { return "recv(" + std::to_string(H()) + ",8192,0)"; }
    void StartConnect(const std::string& host = "127.0.0.1") {
        sock->RemoteHost(host);
        sock->RemotePort(6667);
        ASSERT_TRUE(sock->Connect());
    }
    void Connect() {
        StartConnect();
        fake.PumpAll();
        ASSERT_EQ(sock->State(), TCPSock::StateConnected);
        Forget();
    }
    // Bytes waiting in the receive queue, delivered through one read notification.
    void Receive(std::string_view bytes) {
        fake.Arrive(H(), B(bytes));
        fake.PumpAll();
    }
    void Listening() {
        ASSERT_TRUE(sock->Bind(6667));
        ASSERT_TRUE(sock->Listen());
        Forget();
    }
    // Brings sock into a state; reads in 8 and 9 find bytes waiting.
    void Enter(int state) {
        switch (state) {
        case TCPSock::StateOpen:
            ASSERT_TRUE(sock->Bind(0));
            break;
        case TCPSock::StateListening:
            Listening();
            break;
        case TCPSock::StateConnectionPending:
            Listening();
            fake.IncomingConnection(H(), FakePlatform::Address(10, 0, 0, 9), 40000);
            fake.PumpAll();
            break;
        case TCPSock::StateResolvingHost:
            sock->RemoteHost("nowhere.invalid");
            ASSERT_FALSE(sock->Connect());
            break;
        case TCPSock::StateHostResolved:
            fake.Script("connect", SOCKET_ERROR, WSAECONNREFUSED);
            sock->RemoteHost("127.0.0.1");
            ASSERT_FALSE(sock->Connect());
            break;
        case TCPSock::StateConnecting:
            StartConnect();
            break;
        case TCPSock::StateConnected:
            Connect();
            break;
        case TCPSock::StateClosing:
            Connect();
            fake.Arrive(H(), B("hello"));
            fake.PeerClose(H());
            fake.PumpAll();
            break;
        case TCPSock::StateError:
            Connect();
            Receive("hello");
            fake.Notify(H(), FD_READ, WSAECONNRESET);
            break;
        default:
            break;
        }
        ASSERT_EQ(sock->State(), state);
        Forget();
    }
};

TEST_F(TCPSockTest, ConstructionReadsTheLocalNameOrFallsBack) {
    struct Case {
        const char* what;
        std::function<void()> script;
        std::string name, ip;
    };
    const Case cases[] = {
        {"name resolves", [] {}, "testhost", "192.168.0.10"},
        {"name in CP932",
         [&] {
             fake.HostName = "\x83\x7A\x83\x58\x83\x67";
             fake.Hosts[fake.HostName] =
                 HostEnt{fake.HostName, {FakePlatform::Address(10, 1, 1, 1)}};
         },
         "ホスト", "10.1.1.1"},
        {"name does not resolve", [&] { fake.HostName = "lonely"; }, "lonely", "255.255.255.255"},
        {"no name", [&] { fake.Script("gethostname", SOCKET_ERROR, WSAENETDOWN); }, "localhost",
         "127.0.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.script();
        const auto made = std::make_shared<TCPSock>(proc);
        EXPECT_EQ(made->LocalHostName(), c.name);
        EXPECT_EQ(made->LocalIP(), c.ip);
        EXPECT_EQ(made->State(), TCPSock::StateClosed);
        EXPECT_EQ(made->GetHandle(), INVALID_SOCKET);
    }
}

// --- connect ---

TEST_F(TCPSockTest, ConnectSelectsBeforeConnectingAndCompletesOnTheNotification) {
    StartConnect();
    EXPECT_THAT(fake.Calls, ElementsAre("socket(2,1,0)", "inet_addr(127.0.0.1)", Select(FD_CONNECT),
                                        "connect(5,127.0.0.1:6667,16)", "getsockname(5,16)"));
    EXPECT_EQ(sock->State(), TCPSock::StateConnecting);
    EXPECT_EQ(sock->LocalPort(), 50000);
    EXPECT_EQ(sock->GetLastError(), 0);
    EXPECT_EQ(proc.SocketList().at(0).second, sock);

    fake.ClearCalls();
    fake.PumpAll();
    EXPECT_THAT(events.Events, ElementsAre("ConnectTCP"));
    EXPECT_EQ(sock->State(), TCPSock::StateConnected);
    // The reverse look-up's name replaces the dotted text, and is looked up again.
    EXPECT_EQ(sock->RemoteHost(), "localhost");
    EXPECT_EQ(sock->RemoteHostIP(), "127.0.0.1");
    EXPECT_THAT(fake.Calls,
                ElementsAre("gethostbyaddr(127.0.0.1,4,2)", "inet_addr(localhost)",
                            "gethostbyname(localhost)", Select(33), "DefWindowProcA(1,1024,5,16)"));
}

TEST_F(TCPSockTest, AnEncryptedConnectAsksForTlsWithTheNameAsGivenUntilCloseTCP) {
    sock->Encrypted(true);
    StartConnect();
    EXPECT_THAT(fake.Calls, ElementsAre("socket(2,1,0)", "inet_addr(127.0.0.1)",
                                        "SetTls(5,127.0.0.1,unpinned)", Select(FD_CONNECT),
                                        "connect(5,127.0.0.1:6667,16)", "getsockname(5,16)"));
    sock->Encrypted(false); // no longer settable while connecting
    fake.PumpAll();
    EXPECT_TRUE(sock->Encrypted());
    EXPECT_EQ(sock->Encryption().protocol, "TLS 1.3");
    sock->CloseTCP();
    EXPECT_FALSE(sock->Encrypted());
    EXPECT_FALSE(sock->Encryption().requested);

    // A layer that cannot encrypt leaves nothing to connect in plaintext.
    fake.ClearCalls();
    fake.Script("SetTls", SOCKET_ERROR, ErrorTlsHandshake);
    sock->Encrypted(true);
    sock->RemoteHost("127.0.0.1");
    EXPECT_FALSE(sock->Connect());
    EXPECT_EQ(sock->GetLastError(), ErrorTlsHandshake);
    EXPECT_TRUE(fake.CallsTo("connect").empty());
}

TEST_F(TCPSockTest, ConnectFailuresKeepTheirStateAndNumberUntilCloseTCP) {
    struct Case {
        const char* what;
        std::function<void()> script;
        std::string host;
        int state, error;
    };
    const Case cases[] = {
        {"no socket", [&] { fake.Script("socket", SOCKET_ERROR, WSAEMFILE); }, "127.0.0.1",
         TCPSock::StateClosed, WSAEMFILE},
        {"name does not resolve", [] {}, "nowhere.invalid", TCPSock::StateResolvingHost,
         WSAHOST_NOT_FOUND},
        // No call fails: the number left by an earlier failure must not stand for this one.
        {"resolves to no address", [&] { fake.SetLastError(WSAECONNREFUSED); }, "255.255.255.255",
         TCPSock::StateResolvingHost, WSAHOST_NOT_FOUND},
        {"selection fails", [&] { fake.Script("WSAAsyncSelect", SOCKET_ERROR, WSAENOTSOCK); },
         "127.0.0.1", TCPSock::StateHostResolved, WSAENOTSOCK},
        {"refused at once", [&] { fake.Script("connect", SOCKET_ERROR, WSAECONNREFUSED); },
         "127.0.0.1", TCPSock::StateHostResolved, WSAECONNREFUSED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.script();
        sock->RemoteHost(c.host);
        EXPECT_FALSE(sock->Connect());
        EXPECT_EQ(sock->State(), c.state);
        EXPECT_EQ(sock->GetLastError(), c.error);
        if (c.state != TCPSock::StateClosed) {
            EXPECT_EQ(proc.SocketList().size(), 1u) << "nothing is rolled back";
            EXPECT_FALSE(sock->Connect());
            EXPECT_EQ(sock->GetLastError(), TCPSock::ErrorInvalidState);
        }
        sock->CloseTCP();
        EXPECT_TRUE(proc.SocketList().empty());
        sock->RemoteHost("127.0.0.1");
        EXPECT_TRUE(sock->Connect());
        sock->CloseTCP();
    }
}

TEST_F(TCPSockTest, ConnectThatFinishesAtOnceIsUnderWayLikeAnyOther) {
    fake.Script("connect", 0);
    StartConnect();
    EXPECT_EQ(sock->State(), TCPSock::StateConnecting);
    fake.PumpAll();
    EXPECT_THAT(events.Events, ElementsAre("ConnectTCP"));
}

TEST_F(TCPSockTest, RefusedConnectRaisesErrorAndNothingElse) {
    struct Case {
        const char* what;
        std::function<void()> handler;
        std::string remoteHost;
        int state;
    };
    const Case cases[] = {
        {"handler leaves the object", [] {}, "127.0.0.1", TCPSock::StateError},
        {"handler closes the object", [&] { sock->CloseTCP(); }, "", TCPSock::StateClosed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.ConnectErrors.push_back(WSAECONNREFUSED);
        StartConnect();
        Forget();
        events.OnEvent = [&](const std::string&) { c.handler(); };
        fake.PumpAll();
        EXPECT_THAT(events.Events, ElementsAre("Error(10061)"));
        EXPECT_EQ(sock->State(), c.state);
        EXPECT_EQ(sock->RemoteHost(), c.remoteHost);
        EXPECT_TRUE(fake.CallsTo("gethostbyaddr").empty());
        EXPECT_TRUE(fake.CallsTo("WSAAsyncSelect").empty());
        events.OnEvent = nullptr;
        sock->CloseTCP();
    }
}

TEST_F(TCPSockTest, AnErrorHandlerThatReconnectsKeepsTheNewConnectPending) {
    fake.ConnectErrors.push_back(WSAECONNREFUSED);
    StartConnect();
    const SOCKET first = H();
    events.OnEvent = [&](const std::string& event) {
        if (event == "Error(10061)") {
            sock->CloseTCP();
            fake.Script("socket", first); // the handle number comes back at once
            StartConnect();
        }
    };
    fake.Pump(); // the refused FD_CONNECT only
    EXPECT_THAT(events.Events, ElementsAre("Error(10061)"));
    EXPECT_EQ(sock->State(), TCPSock::StateConnecting);
    EXPECT_EQ(fake.Sock(H()).mask, FD_CONNECT);
    fake.PumpAll();
    EXPECT_THAT(events.Events, ElementsAre("Error(10061)", "ConnectTCP"));
}

// --- notifications in general ---

TEST_F(TCPSockTest, CloseNotificationWithAnErrorRaisesOnlyCloseTCP) {
    Connect();
    fake.Notify(H(), FD_CLOSE, WSAECONNRESET);
    EXPECT_THAT(events.Events, ElementsAre("CloseTCP"));
    EXPECT_EQ(sock->State(), TCPSock::StateClosing);
    EXPECT_EQ(sock->GetLastError(), 0);
    EXPECT_THAT(fake.Calls,
                ElementsAre("DefWindowProcA(1,1024,5," +
                            std::to_string(WSAMAKESELECTREPLY(FD_CLOSE, WSAECONNRESET)) + ")"));
}

TEST_F(TCPSockTest, InStateErrorOnlyErrorWordsAndCloseAreHeard) {
    for (int event : {FD_READ, FD_WRITE, FD_ACCEPT, FD_CONNECT}) {
        SCOPED_TRACE(event);
        Enter(TCPSock::StateError);
        fake.Arrive(H(), B("more"));
        fake.Notify(H(), event);
        EXPECT_THAT(events.Events, IsEmpty());
        EXPECT_EQ(fake.CallsTo("DefWindowProcA").size(), fake.Calls.size());
        fake.Notify(H(), event, WSAENETDOWN);
        EXPECT_THAT(events.Events, ElementsAre("Error(10050)"));
        fake.Notify(H(), FD_CLOSE);
        EXPECT_THAT(events.Events, ElementsAre("Error(10050)", "CloseTCP"));
        sock->CloseTCP();
    }
}

// --- read ---

TEST_F(TCPSockTest, ReadReportsTheWholeWaitingCount) {
    Connect();
    Receive(std::string(100, 'a'));
    Receive(std::string(50, 'b'));
    EXPECT_THAT(events.Events, ElementsAre("DataArrival(100)", "DataArrival(150)"));

    // Nothing new (10035 at once): the waiting bytes are announced again.
    sock->Connect(); // refused, LastError 40020
    fake.Notify(H(), FD_READ);
    EXPECT_THAT(events.Events,
                ElementsAre("DataArrival(100)", "DataArrival(150)", "DataArrival(150)"));
    EXPECT_EQ(sock->GetLastError(), 0);
}

TEST_F(TCPSockTest, ReadWithNothingWaitingAnywhereRaisesNothing) {
    Connect();
    fake.Sock(H()).peerClosed = true; // recv gives 0 at once
    fake.Notify(H(), FD_READ);
    EXPECT_THAT(events.Events, IsEmpty());
    EXPECT_THAT(fake.Calls,
                ElementsAre(Select(32), Recv(), Select(33), "DefWindowProcA(1,1024,5,1)"));
}

TEST_F(TCPSockTest, ReadDrainsAtMostTwentyChunksPerNotification) {
    Connect();
    fake.Arrive(H(), Bytes(200000, 'x'));
    fake.Pump();
    std::vector<std::string> expected{Select(32)};
    expected.insert(expected.end(), 20, Recv());
    expected.push_back(Select(33));
    expected.push_back("DefWindowProcA(1,1024,5,1)");
    EXPECT_EQ(fake.Calls, expected);
    EXPECT_THAT(events.Events, ElementsAre("DataArrival(163840)"));
    fake.PumpAll(); // the re-arm brought the next read notification
    EXPECT_THAT(events.Events, ElementsAre("DataArrival(163840)", "DataArrival(200000)"));
}

TEST_F(TCPSockTest, ReadErrorMidDrainRaisesErrorWithoutDataArrival) {
    Connect();
    fake.Arrive(H(), Bytes(100, 'x'));
    fake.ArriveError(H(), WSAECONNRESET);
    fake.Pump();
    EXPECT_THAT(events.Events, ElementsAre("Error(10054)"));
    EXPECT_EQ(sock->State(), TCPSock::StateError);
    EXPECT_EQ(sock->BytesReceived(), 100);
    EXPECT_THAT(fake.CallsTo("WSAAsyncSelect"), ElementsAre(Select(32))); // no re-arm
}

TEST_F(TCPSockTest, ADataArrivalHandlerThatClosesStopsTheReArm) {
    Connect();
    events.OnEvent = [&](const std::string&) { sock->CloseTCP(); };
    Receive("bye");
    EXPECT_THAT(fake.CallsTo("WSAAsyncSelect"), ElementsAre("WSAAsyncSelect(5,1,1024,32)"));
    EXPECT_TRUE(proc.SocketList().empty());
}

// --- write ---

TEST_F(TCPSockTest, WriteOffersTheWholeQueueAndKeepsWhatWasNotTaken) {
    Connect();
    fake.Notify(H(), FD_WRITE);
    EXPECT_THAT(fake.Calls, ElementsAre(Select(33), "DefWindowProcA(1,1024,5,2)"));

    fake.ClearPosted();
    ASSERT_TRUE(sock->SendBinaryData(B("0123456789")));
    fake.Script("send", 3);
    fake.ClearCalls();
    fake.Pump();
    EXPECT_THAT(fake.Calls, ElementsAre("send(5,10,0)", Select(35), "DefWindowProcA(1,1024,5,2)"));
    EXPECT_EQ(sock->BytesRemaining(), 7);
    fake.PumpAll();
    EXPECT_THAT(fake.CallsTo("send"), ElementsAre("send(5,10,0)", "send(5,7,0)"));
    EXPECT_EQ(fake.SentText(H()), "0123456789");
    EXPECT_EQ(sock->BytesRemaining(), 0);
    EXPECT_EQ(fake.CallsTo("WSAAsyncSelect").back(), Select(33));
}

TEST_F(TCPSockTest, WriteThatWouldBlockWaitsAndAFailureKeepsTheQueue) {
    Connect();
    ASSERT_TRUE(sock->SendBinaryData(B("abc")));
    fake.ClearPosted();
    fake.Script("send", SOCKET_ERROR, WSAEWOULDBLOCK);
    fake.ClearCalls();
    fake.Notify(H(), FD_WRITE);
    EXPECT_EQ(sock->GetLastError(), 0);
    EXPECT_EQ(sock->BytesRemaining(), 3);
    EXPECT_EQ(fake.CallsTo("WSAAsyncSelect").back(), Select(35));

    fake.Script("send", SOCKET_ERROR, WSAECONNABORTED);
    fake.ClearCalls();
    fake.Notify(H(), FD_WRITE);
    EXPECT_THAT(events.Events, ElementsAre("Error(10053)"));
    EXPECT_EQ(sock->State(), TCPSock::StateError);
    EXPECT_EQ(sock->BytesRemaining(), 3);
    EXPECT_TRUE(fake.CallsTo("WSAAsyncSelect").empty());
    sock->CloseTCP();
    EXPECT_EQ(sock->BytesRemaining(), 0);
}

// --- accept ---

TEST_F(TCPSockTest, AnOfferNobodyAdoptsIsClosedAndTheListenerTurnsPending) {
    Listening();
    const SOCKET offered = fake.IncomingConnection(H(), FakePlatform::Address(10, 0, 0, 9), 40000);
    SOCKET pendingInHandler = INVALID_SOCKET;
    events.OnEvent = [&](const std::string&) { pendingInHandler = proc.Pending().PendingSocket(); };
    fake.PumpAll();
    EXPECT_THAT(events.Events, ElementsAre("ConnectionRequest(" + std::to_string(offered) + ")"));
    EXPECT_EQ(pendingInHandler, offered);
    EXPECT_EQ(proc.Pending().PendingAddress(), FakePlatform::Address(10, 0, 0, 9));
    EXPECT_EQ(proc.Pending().PendingPort(), 40000);
    EXPECT_EQ(proc.Pending().PendingSocket(), INVALID_SOCKET);
    EXPECT_TRUE(fake.Sock(offered).closed);
    EXPECT_EQ(sock->State(), TCPSock::StateConnectionPending);
}

TEST_F(TCPSockTest, AnAdoptedOfferIsConnectedWithThePeersNameAndPort) {
    struct Case {
        const char* what;
        std::function<void()> script;
        std::string host, ip;
    };
    const std::uint32_t peer = FakePlatform::Address(10, 0, 0, 9);
    const Case cases[] = {
        {"no reverse name", [] {}, "10.0.0.9", "10.0.0.9"},
        {"named peer",
         [&] {
             fake.Names[peer] = "peer.example";
             fake.Hosts["peer.example"] = HostEnt{"peer.example", {peer}};
         },
         "peer.example", "10.0.0.9"},
        {"name that does not resolve back", [&] { fake.Hosts.erase("peer.example"); },
         "peer.example", "255.255.255.255"},
    };
    Listening();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.script();
        EventRecorder adoptedEvents;
        auto adopted = Make(adoptedEvents);
        events.OnEvent = [&](const std::string&) {
            EXPECT_FALSE(adopted->Accept(proc.Pending().PendingSocket() + 1));
            EXPECT_EQ(adopted->GetLastError(), TCPSock::ErrorInvalidState);
            EXPECT_TRUE(adopted->Accept(proc.Pending().PendingSocket()));
        };
        const SOCKET offered = fake.IncomingConnection(H(), peer, 40000);
        fake.PumpAll();
        EXPECT_EQ(adopted->State(), TCPSock::StateConnected);
        EXPECT_EQ(adopted->GetHandle(), offered);
        EXPECT_EQ(adopted->RemoteHost(), c.host);
        EXPECT_EQ(adopted->RemoteHostIP(), c.ip);
        EXPECT_EQ(adopted->RemotePort(), 40000);
        EXPECT_FALSE(fake.Sock(offered).closed);
        EXPECT_EQ(proc.SocketList().back().second, adopted);
        EXPECT_EQ(sock->State(), TCPSock::StateListening);

        fake.Arrive(offered, B("hi"));
        fake.PumpAll();
        EXPECT_THAT(adoptedEvents.Events, ElementsAre("DataArrival(2)"));
        adopted->CloseTCP();
    }
    EXPECT_FALSE(Make(events)->Accept(6)) << "no offer outside the handler";
}

TEST_F(TCPSockTest, FailuresOfTheAcceptStepsAreSilent) {
    for (const char* call : {"accept", "WSAAsyncSelect"}) {
        SCOPED_TRACE(call);
        Listening();
        const SOCKET offered = fake.IncomingConnection(H(), FakePlatform::Address(10, 0, 0, 9), 1);
        fake.Script(call, SOCKET_ERROR, WSAENOBUFS);
        fake.PumpAll();
        EXPECT_THAT(events.Events, IsEmpty());
        EXPECT_EQ(sock->GetLastError(), 0);
        EXPECT_EQ(sock->State(), TCPSock::StateConnectionPending);
        EXPECT_EQ(proc.Pending().PendingSocket(), INVALID_SOCKET);
        EXPECT_EQ(fake.Sock(offered).closed, std::string(call) == "WSAAsyncSelect");
        sock->CloseTCP();
    }
}

TEST_F(TCPSockTest, AcceptFirstClosesASocketLeftByAFailedBind) {
    EventRecorder leftoverEvents;
    auto leftover = Make(leftoverEvents);
    fake.Script("bind", SOCKET_ERROR, WSAEADDRINUSE);
    ASSERT_FALSE(leftover->Bind(6667));
    const SOCKET old = leftover->GetHandle();
    ASSERT_EQ(leftover->State(), TCPSock::StateClosed);
    Listening();
    events.OnEvent = [&](const std::string&) {
        EXPECT_TRUE(leftover->Accept(proc.Pending().PendingSocket()));
    };
    const SOCKET offered = fake.IncomingConnection(H(), FakePlatform::Address(10, 0, 0, 9), 1);
    fake.PumpAll();
    EXPECT_TRUE(fake.Sock(old).closed);
    EXPECT_TRUE(fake.Sock(old).shutDown);
    std::vector<std::string> keys;
    for (const auto& entry : proc.SocketList()) {
        keys.push_back(entry.first);
    }
    EXPECT_THAT(keys, ElementsAre(" " + std::to_string(H()), " " + std::to_string(offered)));
}

// --- operations and states ---

TEST_F(TCPSockTest, OperationsRefusedInAStateChangeNothingButLastError) {
    struct Op {
        const char* name;
        std::set<int> allowed;
        std::function<bool(TCPSock&)> run;
    };
    std::vector<std::uint8_t> bytes{'k'};
    std::string text = "kept";
    const Op ops[] = {
        {"Connect", {0, 1}, [](TCPSock& s) { return s.Connect(); }},
        {"Bind", {0}, [](TCPSock& s) { return s.Bind(7000); }},
        {"Listen", {0, 1}, [](TCPSock& s) { return s.Listen(); }},
        {"Accept", {}, [&](TCPSock& s) { return s.Accept(proc.Pending().PendingSocket()); }},
        {"GetBinaryData", {7}, [&](TCPSock& s) { return s.GetBinaryData(bytes, 0) != 0; }},
        {"PeekBinaryData", {7}, [&](TCPSock& s) { return s.PeekBinaryData(bytes, 0) != 0; }},
        {"GetTextData", {7}, [&](TCPSock& s) { return s.GetTextData(text, 0) != 0; }},
        {"PeekTextData", {7}, [&](TCPSock& s) { return s.PeekTextData(text, 0) != 0; }},
        {"SendBinaryData", {7}, [](TCPSock& s) { return s.SendBinaryData({'x'}); }},
        {"SendTextData", {7}, [](TCPSock& s) { return s.SendTextData("x"); }},
    };
    for (int state = TCPSock::StateClosed; state <= TCPSock::StateError; ++state) {
        for (const Op& op : ops) {
            if (op.allowed.count(state) != 0) {
                continue;
            }
            SCOPED_TRACE(std::string(op.name) + " in state " + std::to_string(state));
            Enter(state);
            const int received = sock->BytesReceived();
            const int remaining = sock->BytesRemaining();
            EXPECT_FALSE(op.run(*sock));
            EXPECT_EQ(sock->GetLastError(), TCPSock::ErrorInvalidState);
            EXPECT_EQ(sock->State(), state);
            EXPECT_EQ(sock->BytesReceived(), received);
            EXPECT_EQ(sock->BytesRemaining(), remaining);
            EXPECT_THAT(fake.Calls, IsEmpty());
            EXPECT_THAT(bytes, ElementsAre('k'));
            EXPECT_EQ(text, "kept");
            sock->CloseTCP();
        }
    }
}

TEST_F(TCPSockTest, PropertySetsAreClampedAndIgnoredInOtherStates) {
    const std::pair<int, int> ports[] = {{70000, 65535}, {65535, 65535}, {-5, 0}, {1234, 1234}};
    for (const auto& [given, stored] : ports) {
        sock->LocalPort(given);
        sock->RemotePort(given);
        EXPECT_EQ(sock->LocalPort(), stored) << given;
        EXPECT_EQ(sock->RemotePort(), stored) << given;
    }
    for (int state = TCPSock::StateOpen; state <= TCPSock::StateError; ++state) {
        SCOPED_TRACE(state);
        Enter(state);
        const std::string host = sock->RemoteHost();
        const int localPort = sock->LocalPort();
        const int remotePort = sock->RemotePort();
        sock->LocalPort(1);
        sock->RemotePort(2);
        sock->RemoteHost("changed");
        const bool open = state == TCPSock::StateOpen;
        EXPECT_EQ(sock->LocalPort(), localPort);
        EXPECT_EQ(sock->RemotePort(), open ? 2 : remotePort);
        EXPECT_EQ(sock->RemoteHost(), open ? "changed" : host);
        sock->CloseTCP();
    }
}

TEST_F(TCPSockTest, BindTakesOnlyPortsInRangeAndKeepsTheGivenPort) {
    sock->Accept(99); // leaves 40020
    for (int port : {70000, -1}) {
        EXPECT_FALSE(sock->Bind(port)) << port;
        EXPECT_EQ(sock->GetLastError(), TCPSock::ErrorInvalidState) << port;
    }
    EXPECT_THAT(fake.Calls, IsEmpty());
    EXPECT_TRUE(sock->Bind(0));
    EXPECT_EQ(sock->LocalPort(), 0);
    EXPECT_EQ(sock->State(), TCPSock::StateOpen);
    EXPECT_EQ(sock->GetLastError(), TCPSock::ErrorInvalidState) << "Bind does not clear it";
}

TEST_F(TCPSockTest, ListenNeedsABoundSocket) {
    EXPECT_FALSE(sock->Listen());
    EXPECT_EQ(sock->GetLastError(), WSAEINVAL);
    EXPECT_EQ(sock->State(), TCPSock::StateClosed);
    EXPECT_TRUE(fake.CallsTo("listen").empty());
    EXPECT_FALSE(sock->Listen()) << "still unbound";

    sock->CloseTCP();
    EXPECT_TRUE(fake.Sock(5).closed);
    ASSERT_TRUE(sock->Bind(6667));
    EXPECT_TRUE(sock->Listen());
    EXPECT_THAT(fake.CallsTo("listen"), ElementsAre("listen(6,5)"));
    EXPECT_EQ(sock->State(), TCPSock::StateListening);
}

TEST_F(TCPSockTest, CloseTCPResetsTheConnectionButKeepsTheLocalSide) {
    sock->Accept(99); // 40020
    sock->CloseTCP();
    EXPECT_THAT(fake.Calls, IsEmpty());
    EXPECT_EQ(sock->GetLastError(), 0);

    Connect();
    Receive("waiting");
    ASSERT_TRUE(sock->SendTextData("queued"));
    fake.ClearCalls();
    sock->CloseTCP();
    EXPECT_THAT(fake.Calls, ElementsAre("shutdown(5,2)", "closesocket(5)"));
    EXPECT_EQ(sock->State(), TCPSock::StateClosed);
    EXPECT_EQ(sock->GetHandle(), INVALID_SOCKET);
    EXPECT_EQ(sock->BytesReceived(), 0);
    EXPECT_EQ(sock->BytesRemaining(), 0);
    EXPECT_EQ(sock->RemoteHost(), "");
    EXPECT_EQ(sock->RemoteHostIP(), "0.0.0.0");
    EXPECT_EQ(sock->RemotePort(), 0);
    EXPECT_EQ(sock->LocalPort(), 50000);
    EXPECT_TRUE(proc.SocketList().empty());
    fake.PumpAll(); // the write notification queued for the closed socket finds nobody
    EXPECT_TRUE(fake.Sent(5).empty());
}

// --- data ---

TEST_F(TCPSockTest, BinaryReadsTakeOrPeekExactlyWhatIsAsked) {
    struct Case {
        const char* what;
        bool get;
        int ask, result;
        std::string buffer;
        int left, error;
    };
    const Case cases[] = {
        {"get all", true, 6, 6, "abcdef", 0, 0},
        {"get some", true, 2, 2, "ab", 4, 0},
        {"get most", true, 4, 4, "abcd", 2, 0},
        {"get none", true, 0, 0, "", 6, 0},
        {"get one too many", true, 7, 0, "untouched", 6, TCPSock::ErrorInvalidState},
        {"peek some", false, 3, 3, "abc", 6, 0},
        {"peek one too many", false, 7, 0, "untouched", 6, TCPSock::ErrorInvalidState},
    };
    Connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Receive("abcdef");
        Bytes buffer = B("untouched");
        const int result =
            c.get ? sock->GetBinaryData(buffer, c.ask) : sock->PeekBinaryData(buffer, c.ask);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), c.buffer);
        EXPECT_EQ(sock->BytesReceived(), c.left);
        EXPECT_EQ(sock->GetLastError(), c.error);
        // What stays is read whole, after the partial take and into the buffer just filled.
        sock->GetBinaryData(buffer, sock->BytesReceived());
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()),
                  std::string("abcdef").substr(static_cast<std::size_t>(6 - c.left)));
    }
}

TEST_F(TCPSockTest, NegativeReadByteThrowsAndTakesNothing) {
    const std::function<void()> reads[] = {
        [&] {
            Bytes b;
            sock->GetBinaryData(b, -1);
        },
        [&] {
            Bytes b;
            sock->PeekBinaryData(b, -1);
        },
        [&] {
            std::string t;
            sock->GetTextData(t, -1);
        },
        [&] {
            std::string t;
            sock->PeekTextData(t, -1);
        },
    };
    Connect();
    Receive("abc");
    for (const auto& read : reads) {
        sock->Connect(); // 40020
        EXPECT_THROW(read(), std::invalid_argument);
        EXPECT_EQ(sock->BytesReceived(), 3);
        EXPECT_EQ(sock->GetLastError(), 0);
    }
}

TEST_F(TCPSockTest, TextReadsHandOutWholeCharactersOnly) {
    Connect();
    Receive("AB\x82");
    std::string text = "old";
    EXPECT_EQ(sock->GetTextData(text, 3), 2);
    EXPECT_EQ(text, "AB");
    EXPECT_EQ(sock->BytesReceived(), 1);
    Receive("\xA0");
    EXPECT_EQ(sock->GetTextData(text, 2), 2);
    EXPECT_EQ(text, "あ");

    // A lead byte that nothing can complete blocks text reads until a byte read moves past it.
    Receive("\x81\x20OK");
    for (int ask = 0; ask <= 4; ++ask) {
        text = "old";
        EXPECT_EQ(sock->PeekTextData(text, ask), 0) << ask;
        EXPECT_EQ(sock->GetTextData(text, ask), 0) << ask;
        EXPECT_EQ(text, "");
        EXPECT_EQ(sock->GetLastError(), 0);
    }
    Bytes skipped;
    EXPECT_EQ(sock->GetBinaryData(skipped, 1), 1);
    EXPECT_EQ(sock->GetTextData(text, 3), 3);
    EXPECT_EQ(text, " OK");
}

// The longest prefix of at most ReadByte bytes that survives the way to text and back, found by
// dropping one byte at a time from the end.
std::size_t LiteralTextLength(const Bytes& waiting, std::size_t n) {
    for (;; --n) {
        const Bytes prefix(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(n));
        if (AnsiCodePage::ToBytes(AnsiCodePage::ToText(prefix)) == prefix) {
            return n;
        }
    }
}

TEST_F(TCPSockTest, TextReadLengthMatchesDroppingOneByteAtATime) {
    Connect();
    std::mt19937 random(20240607);
    // Bytes that make ASCII, kana, two-byte characters, cut and broken ones.
    const Bytes pool{'A',  ' ',  '\0', 0x7F, 0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFF, 0x81, 0x82, 0x87,
                     0x88, 0x9F, 0xE0, 0xEA, 0xED, 0xF0, 0xFA, 0xFC, 0x40, 0x7E, 0x9E, 0xA0, 0xFC};
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1), length(0, 14);
    for (int round = 0; round < 1500; ++round) {
        Bytes waiting(length(random));
        for (auto& byte : waiting) {
            byte = pool[pick(random)];
        }
        if (!waiting.empty()) {
            Receive(std::string(waiting.begin(), waiting.end()));
        }
        for (std::size_t ask = 0; ask <= waiting.size(); ++ask) {
            std::string text;
            const auto expected = LiteralTextLength(waiting, ask);
            ASSERT_EQ(sock->PeekTextData(text, static_cast<int>(ask)), static_cast<int>(expected))
                << ::testing::PrintToString(waiting) << " asking " << ask;
            ASSERT_EQ(text, AnsiCodePage::ToText(waiting.data(), expected));
        }
        Bytes drop;
        sock->GetBinaryData(drop, sock->BytesReceived());
    }
}

TEST_F(TCPSockTest, SendTextQueuesCodePageBytes) {
    Connect();
    ASSERT_TRUE(sock->SendTextData(""));
    EXPECT_EQ(sock->BytesRemaining(), 0);
    EXPECT_THAT(fake.Calls, ElementsAre(Select(35)));
    fake.ClearCalls();
    fake.PumpAll();
    EXPECT_THAT(fake.Calls, ElementsAre(Select(33), "DefWindowProcA(1,1024,5,2)"));

    ASSERT_TRUE(sock->SendTextData("PRIVMSG #チャンネル :こんにちは\r\n"));
    EXPECT_EQ(sock->BytesRemaining(), 9 + 10 + 2 + 10 + 2);
    fake.PumpAll();
    EXPECT_EQ(fake.SentText(H()), "PRIVMSG #\x83\x60\x83\x83\x83\x93\x83\x6C\x83\x8B :"
                                  "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\r\n");
}

} // namespace
