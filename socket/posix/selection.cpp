#include "socket/posix/selection.h"

#include "socket/posix/address_record.h"
#include "socket/posix/error.h"
#include "socket/posix/notification_sink.h"
#include "socket/posix/tls_channel.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

using namespace winsock;
using posix_error::Fail;
using namespace posix_address_record;
using posix_error::EndsConnection;
using posix_error::FailErrno;
using posix_error::IsConnectOutcome;

namespace {

constexpr int IpprotoTcpNumber = 6;
constexpr std::int32_t AllEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
constexpr std::uint32_t WatchedEvents = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
constexpr int EpollBatch = 64;

int PendingSocketError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        return errno;
    }
    return err;
}

} // namespace

// Block copies (rep movsb, in the kernel and in memcpy) run many times slower on some processors
// when the destination lies less than 32 bytes past the source modulo the page size. Socket data
// in the kernel mostly starts on a page boundary, large blocks from malloc 16 bytes past one; the
// read-ahead bytes start half a page away from both, so that copies into and out of them stay fast
// wherever the allocator put the buffer.
std::uint8_t* PosixSelection::AheadSpace(std::vector<std::uint8_t>& ahead) {
    constexpr std::size_t AheadPageOffset = MemoryPage / 2;
    const std::size_t offset = reinterpret_cast<std::uintptr_t>(ahead.data()) % MemoryPage;
    return ahead.data() + (AheadPageOffset + MemoryPage - offset) % MemoryPage;
}

PosixSelection::PosixSelection(PosixNotificationSink& sink) : m_sink(sink) {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0) {
        throw std::system_error(errno, std::generic_category(), "socket layer readiness");
    }
}

PosixSelection::~PosixSelection() {
    ReleaseAll();
    ::close(m_epoll);
}

bool PosixSelection::AddWake(int fd) {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = fd;
    return ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev) == 0;
}

void PosixSelection::ReleaseAll() {
    for (std::size_t fd = 0; fd < m_sockets.size(); ++fd) {
        if (m_sockets[fd].phase != Phase::Free) {
            Release(static_cast<SOCKET>(fd), m_sockets[fd]);
        }
    }
}

void PosixSelection::Poll() {
    std::array<epoll_event, EpollBatch> events;
    const int ready = ::epoll_wait(m_epoll, events.data(), EpollBatch, 0);
    for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        SocketState* st = Find(fd);
        if (st != nullptr && st->watched) {
            Observe(fd, *st, events[i].events);
            Evaluate(fd, *st);
        }
    }
}

void PosixSelection::MarkPeerClosed(SocketState& st) {
    if (st.phase == Phase::Connected) {
        st.phase = Phase::PeerClosed;
    }
}

PosixSelection::SocketState* PosixSelection::Find(SOCKET s) {
    if (s < 0 || static_cast<std::size_t>(s) >= m_sockets.size() ||
        m_sockets[s].phase == Phase::Free) {
        return nullptr;
    }
    return &m_sockets[s];
}

PosixSelection::SocketState* PosixSelection::Usable(SOCKET s) {
    SocketState* st = Find(s);
    if (st == nullptr) {
        Fail(WSAENOTSOCK);
    }
    return st;
}

PosixSelection::SocketState& PosixSelection::Adopt(int fd, Phase phase) {
    if (static_cast<std::size_t>(fd) >= m_sockets.size()) {
        m_sockets.resize(static_cast<std::size_t>(fd) + 1);
    }
    SocketState& st = m_sockets[fd];
    st = SocketState{};
    st.phase = phase;
    return st;
}

void PosixSelection::Release(SOCKET s, SocketState& st) {
    if (st.watched) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, s, nullptr);
    }
    ::close(s);
    st = SocketState{};
    // The number is handed out again by the next socket or accept; no notification of this
    // socket may reach its next owner.
    m_sink.ForgetSocket(s);
}

bool PosixSelection::Watch(SOCKET s, SocketState& st) {
    int on = 1;
    if (::ioctl(s, FIONBIO, &on) != 0) {
        return false;
    }
    epoll_event ev{};
    ev.events = WatchedEvents;
    ev.data.fd = s;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, s, &ev) != 0) {
        return false;
    }
    st.watched = true;
    // Edge-triggered readiness only reports changes; learn the present state once.
    pollfd pfd{s, POLLIN | POLLOUT | POLLRDHUP, 0};
    if (::poll(&pfd, 1, 0) == 1) {
        Observe(s, st, static_cast<std::uint32_t>(pfd.revents));
    }
    return true;
}

void PosixSelection::Observe(SOCKET s, SocketState& st, std::uint32_t events) {
    if (st.phase == Phase::Connecting) {
        if ((events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) == 0) {
            return;
        }
        FinishConnect(s, st, PendingSocketError(s));
    }
    if (events & EPOLLIN) {
        st.in = Readiness::Yes;
    }
    if (events & EPOLLOUT) {
        st.out = Readiness::Yes;
    }
    if (st.phase == Phase::Handshaking) {
        // A close or an error ends the handshake; reading is what tells which.
        if ((events & (EPOLLERR | EPOLLHUP | EPOLLRDHUP)) != 0 && st.in == Readiness::No) {
            st.in = Readiness::Unknown;
        }
        DriveHandshake(s, st);
        return;
    }
    if (!Established(st)) {
        return;
    }
    if (events & EPOLLERR) {
        const int err = PendingSocketError(s);
        if (err != 0 && st.closeError == 0) {
            st.closeError = posix_error::FromErrno(err);
        }
    }
    if (events & (EPOLLRDHUP | EPOLLHUP)) {
        MarkPeerClosed(st);
    }
}

void PosixSelection::FinishConnect(SOCKET s, SocketState& st, int err) {
    // An encrypted connection is made only when its handshake has ended well.
    if (err == 0 && st.tls) {
        st.phase = Phase::Handshaking;
        st.out = Readiness::Yes; // a new connection has room
        DriveHandshake(s, st);
        return;
    }
    st.phase = err == 0 ? Phase::Connected : Phase::Created;
    if (st.mask & FD_CONNECT) {
        Post(s, st, FD_CONNECT, posix_error::FromErrno(err));
    }
}

bool PosixSelection::DataWaiting(SOCKET s, SocketState& st) {
    if (st.aheadStart < st.aheadEnd) {
        return true;
    }
    if (st.tls) {
        return TlsDataWaiting(s, st);
    }
    if (st.in == Readiness::No) {
        return false;
    }
    // Readable after the peer's FIN says nothing about bytes; ask how many wait.
    if (st.in == Readiness::Yes && !PeerGone(st)) {
        return true;
    }
    int waiting = 0;
    if (::ioctl(s, FIONREAD, &waiting) != 0) {
        waiting = 0;
    }
    st.in = waiting > 0 ? Readiness::Yes : Readiness::No;
    return waiting > 0;
}

bool PosixSelection::ConnectionWaiting(SOCKET s, SocketState& st) {
    if (st.in == Readiness::Unknown) {
        pollfd pfd{s, POLLIN, 0};
        st.in =
            (::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLIN)) ? Readiness::Yes : Readiness::No;
    }
    return st.in == Readiness::Yes;
}

void PosixSelection::Evaluate(SOCKET s, SocketState& st) {
    auto armed = [&st](std::int32_t event) { return (st.mask & st.enabled & event) != 0; };
    if (st.phase == Phase::Listening) {
        if (armed(FD_ACCEPT) && ConnectionWaiting(s, st)) {
            st.enabled &= ~FD_ACCEPT;
            Post(s, st, FD_ACCEPT, 0);
        }
        return;
    }
    if (!Established(st)) {
        return;
    }
    if (armed(FD_READ) && DataWaiting(s, st)) {
        st.enabled &= ~FD_READ;
        Post(s, st, FD_READ, 0);
    }
    if (st.tls) {
        FlushTls(s, st);
    }
    const bool room = st.tls ? TlsCanTakeMore(st) : st.out != Readiness::No;
    if (armed(FD_WRITE) && room && st.closeError == 0 && !st.writeShutdown) {
        st.enabled &= ~FD_WRITE;
        Post(s, st, FD_WRITE, 0);
    }
    // After a local shutdown of the receiving side the kernel reports the end of input itself;
    // only a reset is then still news from the peer.
    if ((st.mask & FD_CLOSE) && st.phase == Phase::PeerClosed &&
        (!st.readShutdown || st.closeError != 0) && !DataWaiting(s, st)) {
        st.phase = Phase::CloseReported;
        Post(s, st, FD_CLOSE, st.closeError);
    }
}

void PosixSelection::Post(SOCKET s, const SocketState& st, std::int32_t event, int error) {
    m_sink.Post(st.hWnd, st.wMsg, s, WSAMAKESELECTREPLY(event, error));
}

int PosixSelection::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent,
                                   bool windowExists) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (lEvent != 0 && !windowExists) {
        return Fail(WSAEINVAL);
    }
    if (!st->watched && !Watch(s, *st)) {
        return FailErrno();
    }
    st->hWnd = hWnd;
    st->wMsg = wMsg;
    st->mask = lEvent;
    st->enabled = AllEvents;
    // Every event is re-enabled, FD_CLOSE too: as on Windows, a close that still holds is posted
    // again.
    if (st->phase == Phase::CloseReported) {
        st->phase = Phase::PeerClosed;
    }
    Evaluate(s, *st);
    return 0;
}

SOCKET PosixSelection::socket(int af, int type, int protocol) {
    if (af != WS_AF_INET) {
        return Fail(WSAEAFNOSUPPORT);
    }
    if (type != WS_SOCK_STREAM) {
        return Fail(WSAESOCKTNOSUPPORT);
    }
    if (protocol != 0 && protocol != IpprotoTcpNumber) {
        return Fail(WSAEPROTONOSUPPORT);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return FailErrno();
    }
    Adopt(fd, Phase::Created);
    return fd;
}

int PosixSelection::bind(SOCKET s, const SockAddrIn& name, int namelen) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (CheckPeerAddress(name, namelen) != 0) {
        return SOCKET_ERROR;
    }
    const sockaddr_in sa = ToSockaddr(name);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        return FailErrno();
    }
    if (st->phase == Phase::Created) {
        st->phase = Phase::Bound;
    }
    return 0;
}

int PosixSelection::listen(SOCKET s, int backlog) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    // The kernel would pick a port for an unbound socket; nobody could then connect to it.
    if (st->phase != Phase::Bound && st->phase != Phase::Listening) {
        return Fail(WSAEINVAL);
    }
    if (::listen(s, backlog) != 0) {
        return FailErrno();
    }
    st->phase = Phase::Listening;
    st->in = Readiness::Unknown;
    Evaluate(s, *st);
    return 0;
}

SOCKET PosixSelection::accept(SOCKET s, SockAddrIn& addr, int& addrlen) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (CheckAddressLength(addrlen) != 0) {
        return SOCKET_ERROR;
    }
    if (st->phase != Phase::Listening) {
        return Fail(WSAEINVAL);
    }
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int fd = ::accept4(s, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    const int err = errno;
    st->enabled |= FD_ACCEPT;
    if (fd < 0) {
        st->in = err == EAGAIN ? Readiness::No : Readiness::Unknown;
        Evaluate(s, *st);
        return Fail(posix_error::FromErrno(err));
    }
    addr = FromSockaddr(sa);
    addrlen = static_cast<int>(sizeof(SockAddrIn));
    st->in = Readiness::Unknown;
    const HWND hWnd = st->hWnd;
    const UINT wMsg = st->wMsg;
    const std::int32_t mask = st->mask;
    const bool inherit = st->watched;
    Evaluate(s, *st);

    // Adopt may move the table; the listener's entry is not used after this point.
    SocketState& accepted = Adopt(fd, Phase::Connected);
    // The new socket shares the listener's selection, as it does on Windows.
    if (inherit) {
        if (!Watch(fd, accepted)) {
            const int watchErr = errno;
            Release(fd, accepted);
            return Fail(posix_error::FromErrno(watchErr));
        }
        accepted.hWnd = hWnd;
        accepted.wMsg = wMsg;
        accepted.mask = mask;
        accepted.enabled = AllEvents;
        Evaluate(fd, accepted);
    }
    return fd;
}

int PosixSelection::connect(SOCKET s, const SockAddrIn& name, int namelen) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (CheckPeerAddress(name, namelen) != 0) {
        return SOCKET_ERROR;
    }
    // The handshake runs as readiness comes, which only a selected socket observes.
    if (st->tls && !st->watched) {
        return Fail(WSAEINVAL);
    }
    const sockaddr_in sa = ToSockaddr(name);
    const int result = ::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    const int err = result == 0 ? 0 : errno;
    if (!st->watched) {
        if (err != 0) {
            return Fail(posix_error::FromErrno(err));
        }
        st->phase = Phase::Connected;
        return 0;
    }
    // A non-blocking connect is always under way for the caller; how it ends comes with
    // FD_CONNECT, also when the kernel knew at once.
    if (err == EINPROGRESS) {
        st->phase = Phase::Connecting;
    } else if (err == 0 || IsConnectOutcome(err)) {
        FinishConnect(s, *st, err);
        Evaluate(s, *st);
    } else {
        return Fail(posix_error::FromErrno(err));
    }
    return Fail(WSAEWOULDBLOCK);
}

int PosixSelection::getsockname(SOCKET s, SockAddrIn& name, int& namelen) {
    const SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    // As on Windows, a socket neither bound nor connecting has no name (Linux gives 0.0.0.0:0).
    if (st->phase == Phase::Created) {
        return Fail(WSAEINVAL);
    }
    if (CheckAddressLength(namelen) != 0) {
        return SOCKET_ERROR;
    }
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return FailErrno();
    }
    name = FromSockaddr(sa);
    namelen = static_cast<int>(sizeof(SockAddrIn));
    return 0;
}

long PosixSelection::KernelRecv(SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len,
                                int flags, int& err) {
    const ssize_t n = ::recv(s, buf, len, flags);
    err = n < 0 ? errno : 0;
    if (!st.watched || len == 0) {
        return n;
    }
    if (n > 0) {
        // Even a short read may stop before the end of what waits (at urgent data); what is left
        // is asked for only if an event depends on it.
        st.in = (flags & MSG_PEEK) ? Readiness::Yes : Readiness::Unknown;
    } else if (n == 0) {
        st.in = Readiness::No;
        MarkPeerClosed(st);
    } else if (err == EAGAIN) {
        st.in = Readiness::No;
    } else if (EndsConnection(err)) {
        st.in = Readiness::No;
        MarkPeerClosed(st);
        if (st.closeError == 0) {
            st.closeError = posix_error::FromErrno(err);
        }
    }
    return n;
}

int PosixSelection::recv(SOCKET s, std::uint8_t* buf, int len, int flags) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (len < 0 || (buf == nullptr && len > 0)) {
        return Fail(WSAEFAULT);
    }
    if ((flags & ~(WS_MSG_OOB | WS_MSG_PEEK)) != 0) {
        return Fail(WSAEOPNOTSUPP);
    }
    const std::size_t wanted = static_cast<std::size_t>(len);
    if (st->tls) {
        return TlsRecv(s, *st, buf, wanted, flags);
    }
    int err = 0;
    if (!st->watched || (flags & WS_MSG_OOB) != 0 || wanted == 0) {
        const long n = KernelRecv(s, *st, buf, wanted, flags, err);
        if (st->watched && wanted > 0) {
            st->enabled |= FD_READ;
            Evaluate(s, *st);
        }
        return n < 0 ? Fail(posix_error::FromErrno(err)) : static_cast<int>(n);
    }

    st->enabled |= FD_READ;
    if (st->aheadStart == st->aheadEnd) {
        const bool small = wanted < ReadAhead;
        if (small && st->ahead.empty()) {
            st->ahead.resize(ReadAhead + MemoryPage);
        }
        const long n = small ? KernelRecv(s, *st, AheadSpace(st->ahead), ReadAhead, 0, err)
                             : KernelRecv(s, *st, buf, wanted, flags, err);
        if (n <= 0 || !small) {
            Evaluate(s, *st);
            return n < 0 ? Fail(posix_error::FromErrno(err)) : static_cast<int>(n);
        }
        st->aheadStart = 0;
        st->aheadEnd = static_cast<std::size_t>(n);
    }
    const std::size_t count = std::min(wanted, st->aheadEnd - st->aheadStart);
    std::memcpy(buf, AheadSpace(st->ahead) + st->aheadStart, count);
    if ((flags & WS_MSG_PEEK) == 0) {
        st->aheadStart += count;
    }
    Evaluate(s, *st);
    return static_cast<int>(count);
}

int PosixSelection::send(SOCKET s, const std::uint8_t* buf, int len, int flags) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (len < 0 || (buf == nullptr && len > 0)) {
        return Fail(WSAEFAULT);
    }
    if ((flags & ~(WS_MSG_OOB | WS_MSG_DONTROUTE)) != 0) {
        return Fail(WSAEOPNOTSUPP);
    }
    if (st->tls) {
        return TlsSend(s, *st, buf, static_cast<std::size_t>(len));
    }
    const ssize_t n = ::send(s, buf, static_cast<std::size_t>(len), flags | MSG_NOSIGNAL);
    if (n >= 0) {
        // A short send means the buffer filled; the kernel reports when it has room again.
        if (n < len) {
            st->out = Readiness::No;
        }
        return static_cast<int>(n);
    }
    const int err = errno;
    if (st->watched) {
        if (err == EAGAIN) {
            st->out = Readiness::No;
            st->enabled |= FD_WRITE;
        } else if (EndsConnection(err)) {
            MarkPeerClosed(*st);
            if (st->closeError == 0) {
                st->closeError = posix_error::FromErrno(err);
            }
        }
        Evaluate(s, *st);
    }
    if (err == EPIPE && st->writeShutdown) {
        return Fail(WSAESHUTDOWN);
    }
    return Fail(posix_error::FromErrno(err));
}

int PosixSelection::shutdown(SOCKET s, int how) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (how < SD_RECEIVE || how > SD_BOTH) {
        return Fail(WSAEINVAL);
    }
    if (how != SD_RECEIVE) {
        SendCloseNotify(s, *st);
    }
    if (::shutdown(s, how) != 0) {
        return FailErrno();
    }
    st->readShutdown = st->readShutdown || how != SD_SEND;
    st->writeShutdown = st->writeShutdown || how != SD_RECEIVE;
    return 0;
}

int PosixSelection::closesocket(SOCKET s) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    SendCloseNotify(s, *st);
    Release(s, *st);
    return 0;
}
