// Loopback throughput: 256 MB from one TCPSock to another through PosixPlatform's pump, against
// the same bytes copied between two plain non-blocking sockets driven by poll().

#include "socket/posix/platform.h"
#include "socket/tcp_sock.h"
#include "socket/tcp_sock_events.h"
#include "socket/tcp_sock_proc.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::size_t TotalBytes = 256u * 1024 * 1024;
constexpr std::size_t PieceBytes = 1024 * 1024;
// Bytes handed to the sender and not yet received. The raw loop never has more than one piece
// in flight (it reads everything after each send); the same bound keeps both runs comparable.
constexpr std::size_t WindowBytes = PieceBytes;
// The raw loop reads as a plain program would; the component reads 8 KiB per recv by design, so
// the raw loop is also measured with that size to tell the two costs apart.
constexpr std::int64_t RawReadBytes = 64 * 1024;
constexpr std::int64_t ComponentReadBytes = 8 * 1024;
constexpr int Iterations = 3;
constexpr double BytesPerMB = 1e6;
constexpr auto Timeout = std::chrono::seconds(120);

struct Measured {
    double seconds = 0;
    double bytes = 0;
    double MBps() const { return bytes / seconds / BytesPerMB; }
};
Measured tcpsockRun;
std::map<std::int64_t, Measured> rawRuns; // by read size

Bytes Piece() {
    Bytes piece(PieceBytes);
    for (std::size_t i = 0; i < piece.size(); ++i) {
        piece[i] = static_cast<std::uint8_t>(i * 31 + (i >> 10));
    }
    return piece;
}

// Counts what arrives; a receiving owner that takes every arrival, as the chat window does.
struct Receiver : TCPSockEvents {
    std::shared_ptr<TCPSock> sock;
    std::shared_ptr<TCPSock> sender;
    const Bytes* piece = nullptr;
    std::size_t received = 0;
    std::size_t queued = 0;
    std::size_t total = 0;
    Bytes buffer;

    void TopUp() {
        while (queued < total && queued - received < WindowBytes) {
            sender->SendBinaryData(*piece);
            queued += piece->size();
        }
    }
    void DataArrival(std::int32_t BytesTotal) override {
        received += static_cast<std::size_t>(sock->GetBinaryData(buffer, BytesTotal));
        TopUp();
    }
};

struct Acceptor : TCPSockEvents {
    std::shared_ptr<TCPSock> adopter;
    void ConnectionRequest(std::int32_t requestID) override { adopter->Accept(requestID); }
};

void Require(bool condition, const char* what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

void BM_TCPSockLoopback(benchmark::State& state) {
    PosixPlatform platform;
    TCPSockProc proc{platform};
    Require(proc.StartUpWindow(), "start-up");
    auto listener = std::make_shared<TCPSock>(proc);
    auto server = std::make_shared<TCPSock>(proc);
    auto client = std::make_shared<TCPSock>(proc);
    Acceptor acceptor;
    acceptor.adopter = server;
    listener->SetEvents(&acceptor);
    int port = 0;
    for (int candidate = 30000 + getpid() % 20000; port == 0 && candidate < 65536; ++candidate) {
        if (listener->Bind(candidate) && listener->Listen()) {
            port = candidate;
        } else {
            listener->CloseTCP();
        }
    }
    Require(port != 0, "a free port");
    client->RemoteHost("127.0.0.1");
    client->RemotePort(port);
    Require(client->Connect(), "connect");
    Require(platform.RunUntil(
                [&] {
                    return server->State() == TCPSock::StateConnected &&
                           client->State() == TCPSock::StateConnected;
                },
                Timeout),
            "connected");

    const Bytes piece = Piece();
    Receiver receiver;
    receiver.sock = server;
    receiver.sender = client;
    receiver.piece = &piece;
    server->SetEvents(&receiver);
    for (auto _ : state) {
        receiver.received = 0;
        receiver.queued = 0;
        receiver.total = TotalBytes;
        const auto start = Clock::now();
        receiver.TopUp();
        Require(platform.RunUntil([&] { return receiver.received >= TotalBytes; }, Timeout),
                "all bytes arrived");
        tcpsockRun.seconds += std::chrono::duration<double>(Clock::now() - start).count();
        tcpsockRun.bytes += TotalBytes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalBytes));
    client->CloseTCP();
    server->CloseTCP();
    listener->CloseTCP();
    proc.CleanUpWindow();
}

struct Fd {
    int fd;
    explicit Fd(int value) : fd(value) { Require(fd >= 0, "socket"); }
    ~Fd() { ::close(fd); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

void NonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void BM_RawLoopback(benchmark::State& state) {
    Fd listening(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    Require(::bind(listening.fd, reinterpret_cast<sockaddr*>(&address), length) == 0, "bind");
    Require(::listen(listening.fd, 1) == 0, "listen");
    Require(::getsockname(listening.fd, reinterpret_cast<sockaddr*>(&address), &length) == 0,
            "getsockname");
    Fd sender(::socket(AF_INET, SOCK_STREAM, 0));
    Require(::connect(sender.fd, reinterpret_cast<sockaddr*>(&address), length) == 0, "connect");
    Fd receiver(::accept(listening.fd, nullptr, nullptr));
    NonBlocking(sender.fd);
    NonBlocking(receiver.fd);

    const Bytes piece = Piece();
    Bytes buffer(static_cast<std::size_t>(state.range(0)));
    Measured& measured = rawRuns[state.range(0)];
    for (auto _ : state) {
        std::size_t sent = 0, received = 0, offset = 0;
        const auto start = Clock::now();
        while (received < TotalBytes) {
            pollfd fds[2] = {{receiver.fd, POLLIN, 0}, {sender.fd, POLLOUT, 0}};
            Require(::poll(fds, sent < TotalBytes ? 2 : 1, 1000) > 0, "progress");
            if ((fds[1].revents & POLLOUT) != 0 && sent < TotalBytes) {
                const ssize_t n =
                    ::send(sender.fd, piece.data() + offset, piece.size() - offset, MSG_NOSIGNAL);
                if (n > 0) {
                    sent += static_cast<std::size_t>(n);
                    offset = (offset + static_cast<std::size_t>(n)) % piece.size();
                }
            }
            if ((fds[0].revents & POLLIN) != 0) {
                ssize_t n;
                while ((n = ::recv(receiver.fd, buffer.data(), buffer.size(), 0)) > 0) {
                    received += static_cast<std::size_t>(n);
                }
                Require(n < 0 && errno == EAGAIN, "recv");
            }
        }
        measured.seconds += std::chrono::duration<double>(Clock::now() - start).count();
        measured.bytes += TotalBytes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * TotalBytes));
}

BENCHMARK(BM_TCPSockLoopback)->Iterations(Iterations)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawLoopback)
    ->Arg(RawReadBytes)
    ->Arg(ComponentReadBytes)
    ->Iterations(Iterations)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const Measured& raw = rawRuns[RawReadBytes];
    const Measured& raw8k = rawRuns[ComponentReadBytes];
    if (tcpsockRun.seconds > 0 && raw.seconds > 0 && raw8k.seconds > 0) {
        std::printf("raw with 8 KiB reads: %.0f MB/s; tcpsock against it = %.2fx\n", raw8k.MBps(),
                    tcpsockRun.MBps() / raw8k.MBps());
        std::printf("tcpsock_loopback: %.0f MB/s vs raw %.0f MB/s = %.2fx\n", tcpsockRun.MBps(),
                    raw.MBps(), tcpsockRun.MBps() / raw.MBps());
    }
    return 0;
}
