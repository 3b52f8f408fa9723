// Two TCPSock objects talking over real loopback sockets through the system's platform layer.

#include "socket/tcp_sock.h"
#include "socket/tcp_sock_events.h"
#include "socket/tcp_sock_proc.h"
#include "tests/socket/system_platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace winsock;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// A socket object with an owner that takes every arrival and remembers what happened.
struct Peer : TCPSockEvents {
    std::shared_ptr<TCPSock> sock;
    Bytes received;
    bool connected = false;
    bool closed = false;
    std::size_t receivedAtClose = 0;
    std::int32_t error = 0;
    std::function<void(std::int32_t)> onRequest;

    explicit Peer(TCPSockProc& proc) : sock(std::make_shared<TCPSock>(proc)) {
        sock->SetEvents(this);
    }
    ~Peer() override {
        sock->SetEvents(nullptr);
        sock->CloseTCP();
    }
    void ConnectTCP() override { connected = true; }
    void CloseTCP() override {
        closed = true;
        receivedAtClose = received.size();
    }
    void ConnectionRequest(std::int32_t requestID) override {
        if (onRequest) {
            onRequest(requestID);
        }
    }
    void DataArrival(std::int32_t BytesTotal) override {
        Bytes chunk;
        ASSERT_EQ(sock->GetBinaryData(chunk, BytesTotal), BytesTotal);
        received.insert(received.end(), chunk.begin(), chunk.end());
    }
    void Error(std::int32_t Number) override { error = Number; }
};

class TCPSockLoopbackTest : public ::testing::Test {
protected:
    SystemPlatform platform;
    TCPSockProc proc{platform};
    std::unique_ptr<Peer> listener, server, client;

    void SetUp() override {
        ASSERT_TRUE(proc.StartUpWindow());
        listener = std::make_unique<Peer>(proc);
        server = std::make_unique<Peer>(proc);
        client = std::make_unique<Peer>(proc);
        listener->onRequest = [this](std::int32_t id) { EXPECT_TRUE(server->sock->Accept(id)); };
    }
    void TearDown() override {
        client.reset();
        server.reset();
        listener.reset();
        EXPECT_TRUE(proc.CleanUpWindow());
    }
    bool Run(const std::function<bool()>& done, std::chrono::milliseconds timeout = 30s) {
        return platform.RunUntil(done, timeout);
    }
    // Binds the listener to a free port (Bind(0) would not tell which) and listens.
    int Listen() {
        std::mt19937 random(std::random_device{}());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int port = 20000 + static_cast<int>(random() % 40000);
            if (listener->sock->Bind(port) && listener->sock->Listen()) {
                return port;
            }
            listener->sock->CloseTCP();
        }
        ADD_FAILURE() << "no free port";
        return 0;
    }
    void ConnectTo(int port) {
        client->sock->RemoteHost("127.0.0.1");
        client->sock->RemotePort(port);
        ASSERT_TRUE(client->sock->Connect()) << client->sock->GetLastError();
    }
    void Connected() {
        ConnectTo(Listen());
        ASSERT_TRUE(Run(
            [&] { return client->connected && server->sock->State() == TCPSock::StateConnected; }));
        EXPECT_EQ(server->sock->RemoteHostIP(), "127.0.0.1");
        EXPECT_EQ(server->sock->RemotePort(), client->sock->LocalPort());
        EXPECT_EQ(listener->sock->State(), TCPSock::StateListening);
    }
};

TEST_F(TCPSockLoopbackTest, TenMegabytesEachWayArriveWholeAndInOrder) {
    Connected();
    constexpr std::size_t Size = 10 * 1024 * 1024;
    const Bytes up = Pattern(Size, 1), down = Pattern(Size, 2);
    constexpr std::size_t Piece = 1024 * 1024;
    for (std::size_t at = 0; at < Size; at += Piece) {
        ASSERT_TRUE(client->sock->SendBinaryData(Bytes(up.begin() + at, up.begin() + at + Piece)));
        ASSERT_TRUE(
            server->sock->SendBinaryData(Bytes(down.begin() + at, down.begin() + at + Piece)));
    }
    ASSERT_TRUE(Run([&] {
        return server->received.size() >= Size && client->received.size() >= Size;
    })) << server->received.size()
        << " and " << client->received.size() << " bytes arrived";
    EXPECT_TRUE(server->received == up);
    EXPECT_TRUE(client->received == down);
    EXPECT_EQ(client->error, 0);
    EXPECT_EQ(server->error, 0);
}

TEST_F(TCPSockLoopbackTest, EveryByteSentBeforeThePeerClosesArrivesBeforeCloseTCP) {
    Connected();
    const Bytes lines = Pattern(3 * 1024 * 1024 + 17, 3);
    ASSERT_TRUE(client->sock->SendBinaryData(lines));
    ASSERT_TRUE(Run([&] { return client->sock->BytesRemaining() == 0; }));
    client->sock->CloseTCP();
    ASSERT_TRUE(Run([&] { return server->closed; }));
    EXPECT_EQ(server->receivedAtClose, lines.size());
    EXPECT_TRUE(server->received == lines);
    EXPECT_EQ(server->sock->State(), TCPSock::StateClosing);
    EXPECT_EQ(server->error, 0);
}

TEST_F(TCPSockLoopbackTest, ConnectToAPortNobodyListensOnRaisesError10061) {
    const int port = Listen();
    listener->sock->CloseTCP();
    ConnectTo(port);
    ASSERT_TRUE(Run([&] { return client->error != 0; }));
    EXPECT_EQ(client->error, WSAECONNREFUSED);
    EXPECT_EQ(client->sock->State(), TCPSock::StateError);
    EXPECT_FALSE(client->connected);
}

TEST_F(TCPSockLoopbackTest, CloseTCPWithBytesQueuedDropsThem) {
    Connected();
    ASSERT_TRUE(client->sock->SendBinaryData(Bytes(64 * 1024 * 1024, 'q')));
    Run([] { return false; }, 20ms); // some of it goes out
    // Windows may take all of it at once; nothing is then left to drop.
    const std::size_t handedOver = 64u * 1024 * 1024 - client->sock->BytesRemaining();
    client->sock->CloseTCP();
    EXPECT_EQ(client->sock->BytesRemaining(), 0);
    EXPECT_EQ(client->sock->State(), TCPSock::StateClosed);
    ASSERT_TRUE(Run([&] { return server->closed || server->error != 0; }));
    EXPECT_LE(server->received.size(), handedOver);
    EXPECT_EQ(proc.SocketList().size(), 2u) << "the listener and the server side";
}

TEST_F(TCPSockLoopbackTest, HostNamesResolveThroughTheSystemResolver) {
    if (!SystemResolverKnowsLocalhost()) {
        GTEST_SKIP() << "this machine's resolver does not know localhost";
    }
    const std::uint32_t loopback = proc.ResolveHost("localhost");
    EXPECT_EQ(TCPSockProc::AddressToText(loopback), "127.0.0.1");

    EXPECT_EQ(proc.ResolveHost("no-such-host.invalid"), WS_INADDR_NONE);
    EXPECT_EQ(platform.WSAGetLastError(), WSAHOST_NOT_FOUND);

    const std::string name = proc.ResolveAddress(loopback);
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(proc.ResolveHost(name), loopback) << name;
}

} // namespace
