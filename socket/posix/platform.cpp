#include "socket/posix/platform.h"

#include "socket/posix/dotted_address.h"
#include "socket/posix/error.h"
#include "socket/posix/resolver.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <system_error>

using namespace winsock;
using posix_error::Fail;

namespace {

constexpr HINSTANCE ModuleInstance = 0x400000;
constexpr unsigned MinorVersionMask = 0xFFu;

} // namespace

PosixPlatform::PosixPlatform() {
    if (!m_selection.AddWake(m_windows.SignalDescriptor())) {
        throw std::system_error(errno, std::generic_category(), "socket layer pump");
    }
}

// The selection engine closes its sockets before the windows go.
PosixPlatform::~PosixPlatform() = default;

bool PosixPlatform::Usable() const {
    if (!Started()) {
        Fail(WSANOTINITIALISED);
        return false;
    }
    return true;
}

// ---- start-up and errors ----

int PosixPlatform::WSAStartup(std::uint16_t wVersionRequested) {
    if ((wVersionRequested & MinorVersionMask) == 0) {
        return WSAVERNOTSUPPORTED;
    }
    ++m_startups;
    return 0;
}

int PosixPlatform::WSACleanup() {
    if (!Usable()) {
        return SOCKET_ERROR;
    }
    // The last clean-up releases every socket still open, as the socket layer ends for the
    // process.
    if (--m_startups == 0) {
        m_selection.ReleaseAll();
    }
    return 0;
}

int PosixPlatform::WSAGetLastError() {
    return posix_error::LastError();
}

// ---- sockets ----

int PosixPlatform::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent) {
    return Usable() ? m_selection.WSAAsyncSelect(s, hWnd, wMsg, lEvent, m_windows.Exists(hWnd))
                    : SOCKET_ERROR;
}

SOCKET PosixPlatform::socket(int af, int type, int protocol) {
    return Usable() ? m_selection.socket(af, type, protocol) : INVALID_SOCKET;
}

int PosixPlatform::bind(SOCKET s, const SockAddrIn& name, int namelen) {
    return Usable() ? m_selection.bind(s, name, namelen) : SOCKET_ERROR;
}

int PosixPlatform::listen(SOCKET s, int backlog) {
    return Usable() ? m_selection.listen(s, backlog) : SOCKET_ERROR;
}

SOCKET PosixPlatform::accept(SOCKET s, SockAddrIn& addr, int& addrlen) {
    return Usable() ? m_selection.accept(s, addr, addrlen) : INVALID_SOCKET;
}

int PosixPlatform::connect(SOCKET s, const SockAddrIn& name, int namelen) {
    return Usable() ? m_selection.connect(s, name, namelen) : SOCKET_ERROR;
}

int PosixPlatform::getsockname(SOCKET s, SockAddrIn& name, int& namelen) {
    return Usable() ? m_selection.getsockname(s, name, namelen) : SOCKET_ERROR;
}

int PosixPlatform::recv(SOCKET s, std::uint8_t* buf, int len, int flags) {
    return Usable() ? m_selection.recv(s, buf, len, flags) : SOCKET_ERROR;
}

int PosixPlatform::send(SOCKET s, const std::uint8_t* buf, int len, int flags) {
    return Usable() ? m_selection.send(s, buf, len, flags) : SOCKET_ERROR;
}

int PosixPlatform::shutdown(SOCKET s, int how) {
    return Usable() ? m_selection.shutdown(s, how) : SOCKET_ERROR;
}

int PosixPlatform::closesocket(SOCKET s) {
    return Usable() ? m_selection.closesocket(s) : SOCKET_ERROR;
}

int PosixPlatform::SetTls(SOCKET s, const TlsRequest& request) {
    return Usable() ? m_selection.SetTls(s, request) : SOCKET_ERROR;
}

int PosixPlatform::GetTlsStatus(SOCKET s, TlsStatus& status) {
    return Usable() ? m_selection.GetTlsStatus(s, status) : SOCKET_ERROR;
}

// ---- names and addresses ----

int PosixPlatform::gethostname(char* name, int namelen) {
    return Usable() ? posix_resolver::GetHostName(name, namelen) : SOCKET_ERROR;
}

std::optional<HostEnt> PosixPlatform::gethostbyname(const std::string& name) {
    return Usable() ? posix_resolver::GetHostByName(name) : std::nullopt;
}

std::optional<HostEnt> PosixPlatform::gethostbyaddr(std::uint32_t addr, int len, int type) {
    return Usable() ? posix_resolver::GetHostByAddr(addr, len, type) : std::nullopt;
}

std::uint32_t PosixPlatform::inet_addr(const std::string& cp) {
    return dotted_address::Parse(cp);
}

// ---- windows ----

HINSTANCE PosixPlatform::GetModuleInstance() {
    return ModuleInstance;
}

std::uint16_t PosixPlatform::RegisterClassA(const WndClass& wndClass) {
    return m_windows.RegisterClassA(wndClass);
}

int PosixPlatform::UnregisterClassA(const std::string& className, HINSTANCE) {
    return m_windows.UnregisterClassA(className);
}

HWND PosixPlatform::CreateWindowExA(std::uint32_t, const std::string& className, const std::string&,
                                    std::uint32_t, int, int, int, int, HWND, std::int32_t,
                                    HINSTANCE, std::intptr_t) {
    return m_windows.CreateWindowExA(className);
}

int PosixPlatform::DestroyWindow(HWND hWnd) {
    return m_windows.DestroyWindow(hWnd);
}

LRESULT PosixPlatform::DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

// ---- the pump ----

int PosixPlatform::PumpDescriptor() const {
    return m_selection.Descriptor();
}

std::size_t PosixPlatform::Pump() {
    m_selection.Poll();
    return m_windows.Deliver();
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
        if (!m_windows.Empty()) {
            continue;
        }
        pollfd pfd{m_selection.Descriptor(), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    }
    return true;
}
