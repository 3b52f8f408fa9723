#include "socket/posix_platform.h"

#include "socket/dotted_address.h"
#include "socket/posix_error.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string_view>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

using namespace winsock;

namespace {

constexpr int IPPROTO_TCP_NUMBER = 6;
constexpr HINSTANCE MODULE_INSTANCE = 0x400000;
constexpr std::int32_t ALL_EVENTS = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
constexpr std::uint32_t WATCHED_EVENTS = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
constexpr int EPOLL_BATCH = 64;
// Callers read in small pieces (the component takes 8 KiB at a time); one read of this size
// serves many of them, with a fraction of the calls into the kernel.
constexpr std::size_t READ_AHEAD = 64 * 1024;
// Block copies (rep movsb, in the kernel and in memcpy) run many times slower on some processors
// when the destination lies less than 32 bytes past the source modulo the page size. Socket data
// in the kernel mostly starts on a page boundary, large blocks from malloc 16 bytes past one; the
// read-ahead bytes start half a page away from both, so that copies into and out of them stay fast
// wherever the allocator put the buffer.
constexpr std::size_t MEMORY_PAGE = 4096;
constexpr std::size_t AHEAD_PAGE_OFFSET = MEMORY_PAGE / 2;

// The start of the read-ahead bytes in a buffer of READ_AHEAD + MEMORY_PAGE bytes.
std::uint8_t* AheadSpace(std::vector<std::uint8_t>& ahead) {
    const std::size_t offset = reinterpret_cast<std::uintptr_t>(ahead.data()) % MEMORY_PAGE;
    return ahead.data() + (AHEAD_PAGE_OFFSET + MEMORY_PAGE - offset) % MEMORY_PAGE;
}

// The error of the calling thread's last failing call.
thread_local int t_lastError = 0;

int Fail(int error) {
    t_lastError = error;
    return SOCKET_ERROR;
}

int FailErrno() {
    return Fail(posix_error::FromErrno(errno));
}

sockaddr_in ToSockaddr(const SockAddrIn& name) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    std::memcpy(&sa.sin_port, name.sin_port.data(), sizeof sa.sin_port);
    std::memcpy(&sa.sin_addr, &name.sin_addr, sizeof sa.sin_addr);
    return sa;
}

SockAddrIn FromSockaddr(const sockaddr_in& sa) {
    SockAddrIn name;
    name.sin_family = WS_AF_INET;
    std::memcpy(name.sin_port.data(), &sa.sin_port, sizeof sa.sin_port);
    std::memcpy(&name.sin_addr, &sa.sin_addr, sizeof name.sin_addr);
    return name;
}

// The address record arguments of bind, connect, accept and getsockname.
int CheckAddressLength(int namelen) {
    return namelen < static_cast<int>(sizeof(SockAddrIn)) ? Fail(WSAEFAULT) : 0;
}

int CheckPeerAddress(const SockAddrIn& name, int namelen) {
    if (CheckAddressLength(namelen) != 0) {
        return SOCKET_ERROR;
    }
    return name.sin_family == WS_AF_INET ? 0 : Fail(WSAEAFNOSUPPORT);
}

// The result of a connect that tells how the attempt ended rather than what was wrong with it;
// on a non-blocking socket it is reported through FD_CONNECT like a later outcome.
bool IsConnectOutcome(int err) {
    switch (err) {
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
        return true;
    default:
        return false;
    }
}

// An error after which the connection is gone: the peer reset it or it timed out.
bool EndsConnection(int err) {
    return err == ECONNRESET || err == ETIMEDOUT || err == ECONNABORTED || err == ENETRESET;
}

int PendingSocketError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        return errno;
    }
    return err;
}

std::string LowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// Names in the "invalid" domain never resolve; answering at once spares the window thread a wait
// on the name service.
bool IsInvalidDomain(const std::string& name) {
    std::string lower = LowerAscii(name);
    if (!lower.empty() && lower.back() == '.') {
        lower.pop_back();
    }
    constexpr std::string_view suffix = ".invalid";
    return lower == "invalid" || (lower.size() > suffix.size() && lower.ends_with(suffix));
}

} // namespace

PosixPlatform::PosixPlatform() {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = m_wake;
    if (m_epoll < 0 || m_wake < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &ev) != 0) {
        const int err = errno;
        if (m_epoll >= 0) {
            ::close(m_epoll);
        }
        if (m_wake >= 0) {
            ::close(m_wake);
        }
        throw std::system_error(err, std::generic_category(), "socket layer pump");
    }
}

PosixPlatform::~PosixPlatform() {
    for (std::size_t fd = 0; fd < m_sockets.size(); ++fd) {
        if (m_sockets[fd].open) {
            Release(static_cast<SOCKET>(fd), m_sockets[fd]);
        }
    }
    ::close(m_wake);
    ::close(m_epoll);
}

// ---- start-up and errors ----

int PosixPlatform::WSAStartup(std::uint16_t wVersionRequested) {
    if ((wVersionRequested & 0xFFu) == 0) {
        return WSAVERNOTSUPPORTED;
    }
    ++m_startups;
    return 0;
}

int PosixPlatform::WSACleanup() {
    if (!Started()) {
        return Fail(WSANOTINITIALISED);
    }
    // The last clean-up releases every socket still open, as the socket layer ends for the
    // process.
    if (--m_startups == 0) {
        for (std::size_t fd = 0; fd < m_sockets.size(); ++fd) {
            if (m_sockets[fd].open) {
                Release(static_cast<SOCKET>(fd), m_sockets[fd]);
            }
        }
    }
    return 0;
}

int PosixPlatform::WSAGetLastError() {
    return t_lastError;
}

// ---- sockets ----

PosixPlatform::SocketState* PosixPlatform::Find(SOCKET s) {
    if (s < 0 || static_cast<std::size_t>(s) >= m_sockets.size() || !m_sockets[s].open) {
        return nullptr;
    }
    return &m_sockets[s];
}

PosixPlatform::SocketState* PosixPlatform::Usable(SOCKET s) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return nullptr;
    }
    SocketState* st = Find(s);
    if (st == nullptr) {
        Fail(WSAENOTSOCK);
    }
    return st;
}

PosixPlatform::SocketState& PosixPlatform::Adopt(int fd) {
    if (static_cast<std::size_t>(fd) >= m_sockets.size()) {
        m_sockets.resize(static_cast<std::size_t>(fd) + 1);
    }
    SocketState& st = m_sockets[fd];
    st = SocketState{};
    st.open = true;
    return st;
}

void PosixPlatform::Release(SOCKET s, SocketState& st) {
    if (st.watched) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, s, nullptr);
    }
    ::close(s);
    st = SocketState{};
    // The number is handed out again by the next socket or accept; no notification of this
    // socket may reach its next owner.
    m_queue.RemoveSocket(s);
    SyncWake();
}

bool PosixPlatform::Watch(SOCKET s, SocketState& st) {
    int on = 1;
    if (::ioctl(s, FIONBIO, &on) != 0) {
        return false;
    }
    epoll_event ev{};
    ev.events = WATCHED_EVENTS;
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

void PosixPlatform::Observe(SOCKET s, SocketState& st, std::uint32_t events) {
    if (st.connecting) {
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
    if (!st.connected) {
        return;
    }
    if (events & EPOLLERR) {
        const int err = PendingSocketError(s);
        if (err != 0 && st.closeError == 0) {
            st.closeError = posix_error::FromErrno(err);
        }
    }
    if (events & (EPOLLRDHUP | EPOLLHUP)) {
        st.peerClosed = true;
    }
}

void PosixPlatform::FinishConnect(SOCKET s, SocketState& st, int err) {
    st.connecting = false;
    if (err == 0) {
        st.connected = true;
    }
    if (st.mask & FD_CONNECT) {
        Post(s, st, FD_CONNECT, posix_error::FromErrno(err));
    }
}

bool PosixPlatform::DataWaiting(SOCKET s, SocketState& st) {
    if (st.aheadStart < st.aheadEnd) {
        return true;
    }
    if (st.in == Readiness::No) {
        return false;
    }
    // Readable after the peer's FIN says nothing about bytes; ask how many wait.
    if (st.in == Readiness::Yes && !st.peerClosed) {
        return true;
    }
    int waiting = 0;
    if (::ioctl(s, FIONREAD, &waiting) != 0) {
        waiting = 0;
    }
    st.in = waiting > 0 ? Readiness::Yes : Readiness::No;
    return waiting > 0;
}

bool PosixPlatform::ConnectionWaiting(SOCKET s, SocketState& st) {
    if (st.in == Readiness::Unknown) {
        pollfd pfd{s, POLLIN, 0};
        st.in =
            (::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLIN)) ? Readiness::Yes : Readiness::No;
    }
    return st.in == Readiness::Yes;
}

void PosixPlatform::Evaluate(SOCKET s, SocketState& st) {
    auto armed = [&st](std::int32_t event) { return (st.mask & st.enabled & event) != 0; };
    if (st.listening) {
        if (armed(FD_ACCEPT) && ConnectionWaiting(s, st)) {
            st.enabled &= ~FD_ACCEPT;
            Post(s, st, FD_ACCEPT, 0);
        }
        return;
    }
    if (!st.connected) {
        return;
    }
    if (armed(FD_READ) && DataWaiting(s, st)) {
        st.enabled &= ~FD_READ;
        Post(s, st, FD_READ, 0);
    }
    if (armed(FD_WRITE) && st.out != Readiness::No && st.closeError == 0 && !st.writeShutdown) {
        st.enabled &= ~FD_WRITE;
        Post(s, st, FD_WRITE, 0);
    }
    // After a local shutdown of the receiving side the kernel reports the end of input itself;
    // only a reset is then still news from the peer.
    if ((st.mask & FD_CLOSE) && !st.closePosted && st.peerClosed &&
        (!st.readShutdown || st.closeError != 0) && !DataWaiting(s, st)) {
        st.closePosted = true;
        Post(s, st, FD_CLOSE, st.closeError);
    }
}

void PosixPlatform::Post(SOCKET s, const SocketState& st, std::int32_t event, int error) {
    if (!m_windows.contains(st.hWnd)) {
        return;
    }
    m_queue.Push(st.hWnd, st.wMsg, s, WSAMAKESELECTREPLY(event, error));
    if (!m_wakeSignaled) {
        const std::uint64_t one = 1;
        if (::write(m_wake, &one, sizeof one) == sizeof one) {
            m_wakeSignaled = true;
        }
    }
}

// The pump descriptor is readable exactly while messages wait (or readiness is unread).
void PosixPlatform::SyncWake() {
    if (m_queue.Empty() && m_wakeSignaled) {
        std::uint64_t count = 0;
        if (::read(m_wake, &count, sizeof count) == sizeof count || errno == EAGAIN) {
            m_wakeSignaled = false;
        }
    } else if (!m_queue.Empty() && !m_wakeSignaled) {
        const std::uint64_t one = 1;
        if (::write(m_wake, &one, sizeof one) == sizeof one) {
            m_wakeSignaled = true;
        }
    }
}

int PosixPlatform::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (lEvent != 0 && !m_windows.contains(hWnd)) {
        return Fail(WSAEINVAL);
    }
    if (!st->watched && !Watch(s, *st)) {
        return FailErrno();
    }
    st->hWnd = hWnd;
    st->wMsg = wMsg;
    st->mask = lEvent;
    st->enabled = ALL_EVENTS;
    st->closePosted = false; // a close that still holds is posted again, as on Windows
    Evaluate(s, *st);
    return 0;
}

SOCKET PosixPlatform::socket(int af, int type, int protocol) {
    if (!Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (af != WS_AF_INET) {
        return Fail(WSAEAFNOSUPPORT);
    }
    if (type != WS_SOCK_STREAM) {
        return Fail(WSAESOCKTNOSUPPORT);
    }
    if (protocol != 0 && protocol != IPPROTO_TCP_NUMBER) {
        return Fail(WSAEPROTONOSUPPORT);
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return FailErrno();
    }
    Adopt(fd);
    return fd;
}

int PosixPlatform::bind(SOCKET s, const SockAddrIn& name, int namelen) {
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
    st->bound = true;
    return 0;
}

int PosixPlatform::listen(SOCKET s, int backlog) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    // The kernel would pick a port for an unbound socket; nobody could then connect to it.
    if (!st->bound) {
        return Fail(WSAEINVAL);
    }
    if (::listen(s, backlog) != 0) {
        return FailErrno();
    }
    st->listening = true;
    st->in = Readiness::Unknown;
    Evaluate(s, *st);
    return 0;
}

SOCKET PosixPlatform::accept(SOCKET s, SockAddrIn& addr, int& addrlen) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (CheckAddressLength(addrlen) != 0) {
        return SOCKET_ERROR;
    }
    if (!st->listening) {
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
    SocketState& accepted = Adopt(fd);
    accepted.connected = true;
    accepted.bound = true;
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
        accepted.enabled = ALL_EVENTS;
        Evaluate(fd, accepted);
    }
    return fd;
}

int PosixPlatform::connect(SOCKET s, const SockAddrIn& name, int namelen) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (CheckPeerAddress(name, namelen) != 0) {
        return SOCKET_ERROR;
    }
    const sockaddr_in sa = ToSockaddr(name);
    const int result = ::connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    const int err = result == 0 ? 0 : errno;
    if (!st->watched) {
        if (err != 0) {
            return Fail(posix_error::FromErrno(err));
        }
        st->connected = true;
        return 0;
    }
    // A non-blocking connect is always under way for the caller; how it ends comes with
    // FD_CONNECT, also when the kernel knew at once.
    if (err == EINPROGRESS) {
        st->connecting = true;
    } else if (err == 0 || IsConnectOutcome(err)) {
        FinishConnect(s, *st, err);
        Evaluate(s, *st);
    } else {
        return Fail(posix_error::FromErrno(err));
    }
    return Fail(WSAEWOULDBLOCK);
}

int PosixPlatform::getsockname(SOCKET s, SockAddrIn& name, int& namelen) {
    if (Usable(s) == nullptr) {
        return SOCKET_ERROR;
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

long PosixPlatform::KernelRecv(SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len,
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
        st.peerClosed = true;
    } else if (err == EAGAIN) {
        st.in = Readiness::No;
    } else if (EndsConnection(err)) {
        st.in = Readiness::No;
        st.peerClosed = true;
        if (st.closeError == 0) {
            st.closeError = posix_error::FromErrno(err);
        }
    }
    return n;
}

int PosixPlatform::recv(SOCKET s, std::uint8_t* buf, int len, int flags) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (len < 0 || (buf == nullptr && len > 0)) {
        return Fail(WSAEFAULT);
    }
    if ((flags & ~(MSG_OOB | MSG_PEEK)) != 0) {
        return Fail(WSAEOPNOTSUPP);
    }
    const std::size_t wanted = static_cast<std::size_t>(len);
    int err = 0;
    if (!st->watched || (flags & MSG_OOB) != 0 || wanted == 0) {
        const long n = KernelRecv(s, *st, buf, wanted, flags, err);
        if (st->watched && wanted > 0) {
            st->enabled |= FD_READ;
            Evaluate(s, *st);
        }
        return n < 0 ? Fail(posix_error::FromErrno(err)) : static_cast<int>(n);
    }

    st->enabled |= FD_READ;
    if (st->aheadStart == st->aheadEnd) {
        const bool small = wanted < READ_AHEAD;
        if (small && st->ahead.empty()) {
            st->ahead.resize(READ_AHEAD + MEMORY_PAGE);
        }
        const long n = small ? KernelRecv(s, *st, AheadSpace(st->ahead), READ_AHEAD, 0, err)
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
    if ((flags & MSG_PEEK) == 0) {
        st->aheadStart += count;
    }
    Evaluate(s, *st);
    return static_cast<int>(count);
}

int PosixPlatform::send(SOCKET s, const std::uint8_t* buf, int len, int flags) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (len < 0 || (buf == nullptr && len > 0)) {
        return Fail(WSAEFAULT);
    }
    if ((flags & ~(MSG_OOB | MSG_DONTROUTE)) != 0) {
        return Fail(WSAEOPNOTSUPP);
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
            st->peerClosed = true;
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

int PosixPlatform::shutdown(SOCKET s, int how) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (how < SHUT_RD || how > SHUT_RDWR) {
        return Fail(WSAEINVAL);
    }
    if (::shutdown(s, how) != 0) {
        return FailErrno();
    }
    st->readShutdown = st->readShutdown || how != SHUT_WR;
    st->writeShutdown = st->writeShutdown || how != SHUT_RD;
    return 0;
}

int PosixPlatform::closesocket(SOCKET s) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    Release(s, *st);
    return 0;
}

// ---- names and addresses ----

int PosixPlatform::gethostname(char* name, int namelen) {
    if (!Started()) {
        return Fail(WSANOTINITIALISED);
    }
    if (name == nullptr || namelen <= 0) {
        return Fail(WSAEFAULT);
    }
    std::array<char, HOST_NAME_MAX + 1> local{};
    if (::gethostname(local.data(), local.size() - 1) != 0) {
        return FailErrno();
    }
    const std::size_t length = std::strlen(local.data());
    if (length + 1 > static_cast<std::size_t>(namelen)) {
        return Fail(WSAEFAULT);
    }
    std::memcpy(name, local.data(), length + 1);
    return 0;
}

std::optional<HostEnt> PosixPlatform::gethostbyname(const std::string& name) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return std::nullopt;
    }
    std::string host = name;
    // An empty name is the local host.
    if (host.empty()) {
        std::array<char, HOST_NAME_MAX + 1> local{};
        if (::gethostname(local.data(), local.size() - 1) != 0) {
            FailErrno();
            return std::nullopt;
        }
        host = local.data();
    }
    // A NUL inside the name would have the resolver look up only the part before it.
    if (host.find('\0') != std::string::npos || IsInvalidDomain(host)) {
        Fail(WSAHOST_NOT_FOUND);
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0) {
        Fail(posix_error::FromResolver(status, errno));
        return std::nullopt;
    }
    HostEnt ent;
    ent.h_name = (found->ai_canonname != nullptr) ? found->ai_canonname : host;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) {
            continue;
        }
        std::uint32_t address = 0;
        std::memcpy(&address, &reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr,
                    sizeof address);
        if (std::find(ent.h_addr_list.begin(), ent.h_addr_list.end(), address) ==
            ent.h_addr_list.end()) {
            ent.h_addr_list.push_back(address);
        }
    }
    ::freeaddrinfo(found);
    if (ent.h_addr_list.empty()) {
        Fail(WSANO_DATA);
        return std::nullopt;
    }
    return ent;
}

std::optional<HostEnt> PosixPlatform::gethostbyaddr(std::uint32_t addr, int len, int type) {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return std::nullopt;
    }
    if (len != static_cast<int>(sizeof addr)) {
        Fail(WSAEFAULT);
        return std::nullopt;
    }
    if (type != WS_AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return std::nullopt;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    std::memcpy(&sa.sin_addr, &addr, sizeof addr);
    std::array<char, NI_MAXHOST> host{};
    const int status = ::getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host.data(),
                                     host.size(), nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        Fail(posix_error::FromResolver(status, errno));
        return std::nullopt;
    }
    return HostEnt{host.data(), {addr}};
}

std::uint32_t PosixPlatform::inet_addr(const std::string& cp) {
    return dotted_address::Parse(cp);
}

// ---- windows ----

HINSTANCE PosixPlatform::GetModuleInstance() {
    return MODULE_INSTANCE;
}

std::uint16_t PosixPlatform::RegisterClassA(const WndClass& wndClass) {
    if (wndClass.lpszClassName.empty() || !wndClass.lpfnWndProc) {
        return 0;
    }
    // Class names do not depend on case.
    const auto [entry, added] = m_classes.try_emplace(LowerAscii(wndClass.lpszClassName));
    if (!added) {
        return 0;
    }
    entry->second = std::make_shared<const WNDPROC>(wndClass.lpfnWndProc);
    const std::uint16_t atom = m_nextAtom;
    m_nextAtom = m_nextAtom == 0xFFFF ? 0xC000 : static_cast<std::uint16_t>(m_nextAtom + 1);
    return atom;
}

int PosixPlatform::UnregisterClassA(const std::string& className, HINSTANCE) {
    const std::string key = LowerAscii(className);
    if (!m_classes.contains(key)) {
        return 0;
    }
    for (const auto& [hWnd, window] : m_windows) {
        if (window.classKey == key) {
            return 0;
        }
    }
    m_classes.erase(key);
    return 1;
}

HWND PosixPlatform::CreateWindowExA(std::uint32_t, const std::string& className, const std::string&,
                                    std::uint32_t, int, int, int, int, HWND, std::int32_t,
                                    HINSTANCE, std::intptr_t) {
    std::string key = LowerAscii(className);
    const auto wc = m_classes.find(key);
    if (wc == m_classes.end()) {
        return 0;
    }
    const HWND hWnd = m_nextWindow++;
    m_windows.emplace(hWnd, Window{std::move(key), wc->second});
    return hWnd;
}

int PosixPlatform::DestroyWindow(HWND hWnd) {
    if (m_windows.erase(hWnd) == 0) {
        return 0;
    }
    m_queue.RemoveWindow(hWnd);
    SyncWake();
    return 1;
}

LRESULT PosixPlatform::DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// ---- the pump ----

int PosixPlatform::PumpDescriptor() const {
    return m_epoll;
}

std::size_t PosixPlatform::Pump() {
    std::array<epoll_event, EPOLL_BATCH> events;
    const int ready = ::epoll_wait(m_epoll, events.data(), EPOLL_BATCH, 0);
    for (int i = 0; i < ready; ++i) {
        const int fd = events[i].data.fd;
        if (fd == m_wake) {
            continue;
        }
        SocketState* st = Find(fd);
        if (st != nullptr && st->watched) {
            Observe(fd, *st, events[i].events);
            Evaluate(fd, *st);
        }
    }

    const std::uint64_t before = m_queue.NextSequence();
    std::size_t delivered = 0;
    PosixMessageQueue::Message message;
    while (m_queue.PopBefore(before, message)) {
        const auto window = m_windows.find(message.hWnd);
        if (window == m_windows.end()) {
            continue;
        }
        // The procedure may destroy its window while it runs.
        const Procedure procedure = window->second.procedure;
        (*procedure)(message.hWnd, message.uMsg, message.wParam, message.lParam);
        ++delivered;
    }
    SyncWake();
    return delivered;
}

bool PosixPlatform::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!done()) {
        Pump();
        if (done()) {
            return true;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        if (!m_queue.Empty()) {
            continue;
        }
        pollfd pfd{m_epoll, POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    }
    return true;
}
