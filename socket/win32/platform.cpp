#include "socket/win32/platform.h"

#include <cstring>

using namespace winsock;

namespace {

// The program's own module, the only instance windows and classes are made with.
constexpr HINSTANCE ModuleInstance = 1;
constexpr int AddressLength = static_cast<int>(sizeof(std::uint32_t));

bool HoldsNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

std::optional<HostEnt> ToHostEnt(const std::optional<win_sockets::Host>& host) {
    if (!host) {
        return std::nullopt;
    }
    return HostEnt{host->name, host->addresses};
}

} // namespace

WinPlatform::WinPlatform()
    : m_windows([this](void* window, unsigned notification, std::uintptr_t wParam,
                       std::intptr_t lParam) { Deliver(window, notification, wParam, lParam); }) {}

WinPlatform::~WinPlatform() {
    for (const auto& [id, window] : m_windowEntries) {
        m_windows.Destroy(window.handle);
    }
    for (const auto& [name, procedure] : m_classes) {
        m_windows.RemoveClass(name);
    }
    for (const auto& [id, entry] : m_sockets) {
        win_sockets::Close(entry.handle);
    }
    for (; m_startups > 0; --m_startups) {
        win_sockets::Cleanup();
    }
}

template <typename T> T WinPlatform::Fail(int error, T result) {
    m_lastError = error;
    return result;
}

WinPlatform::SocketEntry* WinPlatform::Find(SOCKET s) {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, nullptr);
    }
    const auto it = m_sockets.find(s);
    return it != m_sockets.end() ? &it->second : Fail(WSAENOTSOCK, nullptr);
}

SOCKET WinPlatform::Adopt(win_sockets::Handle handle, unsigned notification) {
    const SOCKET s = m_nextSocket++;
    // A notification number of its own, so that a message still queued for a closed socket whose
    // handle the system has given to a new one is recognised and dropped.
    if (notification == 0) {
        notification = WinWindows::FirstNotification +
                       static_cast<unsigned>(s) % WinWindows::NotificationCount;
    }
    m_sockets.emplace(s, SocketEntry{handle, notification});
    m_socketIds[handle] = s;
    return s;
}

void WinPlatform::Forget(SOCKET s) {
    const auto it = m_sockets.find(s);
    m_socketIds.erase(it->second.handle);
    m_sockets.erase(it);
}

void WinPlatform::Deliver(void* window, unsigned notification, std::uintptr_t wParam,
                          std::intptr_t lParam) {
    const auto windowId = m_windowIds.find(window);
    const auto socketId = m_socketIds.find(wParam);
    // Messages still queued for a window or socket that is gone are dropped: Windows keeps them.
    if (windowId == m_windowIds.end() || socketId == m_socketIds.end()) {
        return;
    }
    const SocketEntry& entry = m_sockets.at(socketId->second);
    const auto procedure = m_classes.find(m_windowEntries.at(windowId->second).className);
    if (entry.notification != notification || procedure == m_classes.end()) {
        return;
    }
    // Wine posts FD_CLOSE for a reset connection with no error, where Windows gives 10054; the
    // socket's own state tells.
    LPARAM reply = static_cast<LPARAM>(lParam);
    if (WSAGETSELECTEVENT(reply) == FD_CLOSE && WSAGETSELECTERROR(reply) == 0) {
        reply = WSAMAKESELECTREPLY(FD_CLOSE, win_sockets::ResetError(entry.handle));
    }
    if (entry.tls) {
        DriveTls(socketId->second, reply);
        return;
    }
    // A copy: the procedure may close the socket or unregister its own class.
    const WNDPROC call = procedure->second;
    call(windowId->second, entry.message, socketId->second, reply);
}

void WinPlatform::DriveTls(SOCKET s, LPARAM reply) {
    SocketEntry& entry = m_sockets.at(s);
    TlsChannel& tls = *entry.tls;
    const int error = WSAGETSELECTERROR(reply);
    switch (WSAGETSELECTEVENT(reply)) {
    case FD_CONNECT:
        tls.SystemConnected(error);
        break;
    case FD_READ:
        tls.SystemReadable();
        break;
    case FD_WRITE:
        tls.SystemWritable();
        break;
    case FD_CLOSE:
        tls.SystemClosed(error);
        break;
    default:
        entry.wakePosted = false;
        break;
    }
    // Each notification is given once until re-enabled, so this ends; the owner may close the
    // socket in any of them.
    for (;;) {
        const auto it = m_sockets.find(s);
        if (it == m_sockets.end() || !it->second.tls) {
            return;
        }
        const TlsChannel::Event next = it->second.tls->NextEvent(it->second.events);
        if (next.event == 0) {
            return;
        }
        Notify(s, WSAMAKESELECTREPLY(next.event, next.error));
    }
}

void WinPlatform::Notify(SOCKET s, LPARAM reply) {
    const SocketEntry& entry = m_sockets.at(s);
    const auto window = m_windowEntries.find(entry.window);
    if (window == m_windowEntries.end()) {
        return;
    }
    const auto procedure = m_classes.find(window->second.className);
    if (procedure == m_classes.end()) {
        return;
    }
    const WNDPROC call = procedure->second;
    call(entry.window, entry.message, s, reply);
}

void WinPlatform::Wake(SocketEntry& entry) {
    const auto window = m_windowEntries.find(entry.window);
    if (entry.tls && !entry.wakePosted && window != m_windowEntries.end()) {
        entry.wakePosted =
            m_windows.Post(window->second.handle, entry.notification, entry.handle, 0);
    }
}

int WinPlatform::SelectSystem(const SocketEntry& entry, HWND hWnd, std::int32_t lEvent) {
    const auto window = m_windowEntries.find(hWnd);
    void* handle = window != m_windowEntries.end() ? window->second.handle : nullptr;
    const std::int32_t events =
        entry.tls && lEvent != 0 ? FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE : lEvent;
    return win_sockets::AsyncSelect(entry.handle, handle, entry.notification, events);
}

int WinPlatform::WSAStartup(std::uint16_t wVersionRequested) {
    const int result = win_sockets::Startup(wVersionRequested);
    if (result == 0) {
        ++m_startups;
    }
    return result;
}

int WinPlatform::WSACleanup() {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, SOCKET_ERROR);
    }
    // The system closes every socket of the process at its last clean-up; this layer closes its
    // own at its own last one, as other users of ws2_32 may still be started.
    if (m_startups == 1) {
        while (!m_sockets.empty()) {
            win_sockets::Close(m_sockets.begin()->second.handle);
            Forget(m_sockets.begin()->first);
        }
    }
    --m_startups;
    win_sockets::Cleanup();
    return 0;
}

int WinPlatform::WSAGetLastError() {
    return m_lastError;
}

int WinPlatform::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent) {
    SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    // No window is needed to select no events.
    const auto window = m_windowEntries.find(hWnd);
    if (window == m_windowEntries.end() && lEvent != 0) {
        return Fail(WSAEINVAL, SOCKET_ERROR);
    }
    if (SelectSystem(*entry, hWnd, lEvent) != 0) {
        return Fail(win_sockets::LastError(), SOCKET_ERROR);
    }
    entry->window = hWnd;
    entry->message = wMsg;
    entry->events = lEvent;
    if (entry->tls) {
        entry->tls->Reselect();
        // A wake-up still queued may be for a window that is gone.
        entry->wakePosted = false;
        Wake(*entry);
    }
    return 0;
}

SOCKET WinPlatform::socket(int af, int type, int protocol) {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, INVALID_SOCKET);
    }
    const win_sockets::Handle handle = win_sockets::Open(af, type, protocol);
    if (handle == win_sockets::InvalidHandle) {
        return Fail(win_sockets::LastError(), INVALID_SOCKET);
    }
    return Adopt(handle, 0);
}

int WinPlatform::bind(SOCKET s, const SockAddrIn& name, int namelen) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    return win_sockets::Bind(entry->handle, &name, namelen) == 0
               ? 0
               : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::listen(SOCKET s, int backlog) {
    SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (win_sockets::Listen(entry->handle, backlog) != 0) {
        return Fail(win_sockets::LastError(), SOCKET_ERROR);
    }
    entry->started = true;
    return 0;
}

SOCKET WinPlatform::accept(SOCKET s, SockAddrIn& addr, int& addrlen) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return INVALID_SOCKET;
    }
    const SocketEntry listener{entry->handle, entry->notification, entry->window, entry->message,
                               entry->events};
    const win_sockets::Handle handle = win_sockets::Accept(listener.handle, &addr, &addrlen);
    if (handle == win_sockets::InvalidHandle) {
        return Fail(win_sockets::LastError(), INVALID_SOCKET);
    }
    const SOCKET accepted = Adopt(handle, listener.notification);
    SocketEntry& adopted = m_sockets.at(accepted);
    adopted.window = listener.window;
    adopted.message = listener.message;
    adopted.events = listener.events;
    adopted.started = true;
    return accepted;
}

int WinPlatform::connect(SOCKET s, const SockAddrIn& name, int namelen) {
    SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (win_sockets::Connect(entry->handle, &name, namelen) == 0) {
        entry->started = true;
        return 0;
    }
    const int error = win_sockets::LastError();
    entry->started = error == WSAEWOULDBLOCK;
    return Fail(error, SOCKET_ERROR);
}

int WinPlatform::getsockname(SOCKET s, SockAddrIn& name, int& namelen) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    return win_sockets::LocalName(entry->handle, &name, &namelen) == 0
               ? 0
               : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::recv(SOCKET s, std::uint8_t* buf, int len, int flags) {
    SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (entry->tls) {
        int error = 0;
        const int result = entry->tls->Receive(buf, len, flags, error);
        // FD_READ again while decrypted bytes wait: the system would not post it for them.
        Wake(*entry);
        return result >= 0 ? result : Fail(error, SOCKET_ERROR);
    }
    const int result = win_sockets::Receive(entry->handle, buf, len, flags);
    return result >= 0 ? result : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::send(SOCKET s, const std::uint8_t* buf, int len, int flags) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (entry->tls) {
        int error = 0;
        const int result = entry->tls->Send(buf, len, error);
        return result >= 0 ? result : Fail(error, SOCKET_ERROR);
    }
    const int result = win_sockets::Send(entry->handle, buf, len, flags);
    return result >= 0 ? result : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::shutdown(SOCKET s, int how) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (entry->tls && (how == SD_SEND || how == SD_BOTH)) {
        entry->tls->Close();
    }
    return win_sockets::Shutdown(entry->handle, how) == 0
               ? 0
               : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::closesocket(SOCKET s) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (entry->tls) {
        entry->tls->Close();
    }
    if (win_sockets::Close(entry->handle) != 0) {
        return Fail(win_sockets::LastError(), SOCKET_ERROR);
    }
    Forget(s);
    return 0;
}

int WinPlatform::SetTls(SOCKET s, const TlsRequest& request) {
    SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    if (entry->started) {
        return Fail(WSAEISCONN, SOCKET_ERROR);
    }
    entry->tls = std::make_unique<TlsChannel>(entry->handle, request);
    // A selection made before takes in what the connection needs.
    return SelectSystem(*entry, entry->window, entry->events) == 0
               ? 0
               : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

int WinPlatform::GetTlsStatus(SOCKET s, TlsStatus& status) {
    const SocketEntry* entry = Find(s);
    if (entry == nullptr) {
        return SOCKET_ERROR;
    }
    status = entry->tls ? entry->tls->Status() : TlsStatus{};
    return 0;
}

int WinPlatform::gethostname(char* name, int namelen) {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, SOCKET_ERROR);
    }
    return win_sockets::HostName(name, namelen) == 0 ? 0
                                                     : Fail(win_sockets::LastError(), SOCKET_ERROR);
}

std::optional<HostEnt> WinPlatform::gethostbyname(const std::string& name) {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, std::optional<HostEnt>());
    }
    // The system would look up the name only up to the NUL.
    if (HoldsNul(name)) {
        return Fail(WSAHOST_NOT_FOUND, std::optional<HostEnt>());
    }
    const auto host = win_sockets::HostByName(name);
    return host ? ToHostEnt(host) : Fail(win_sockets::LastError(), std::optional<HostEnt>());
}

std::optional<HostEnt> WinPlatform::gethostbyaddr(std::uint32_t addr, int len, int type) {
    if (m_startups == 0) {
        return Fail(WSANOTINITIALISED, std::optional<HostEnt>());
    }
    // The address is the four bytes given; a longer one would be read past them.
    if (len != AddressLength) {
        return Fail(WSAEFAULT, std::optional<HostEnt>());
    }
    if (type != WS_AF_INET) {
        return Fail(WSAEAFNOSUPPORT, std::optional<HostEnt>());
    }
    const auto host = win_sockets::HostByAddress(addr);
    return host ? ToHostEnt(host) : Fail(win_sockets::LastError(), std::optional<HostEnt>());
}

std::uint32_t WinPlatform::inet_addr(const std::string& cp) {
    return HoldsNul(cp) ? WS_INADDR_NONE : win_sockets::InetAddr(cp);
}

HINSTANCE WinPlatform::GetModuleInstance() {
    return ModuleInstance;
}

std::uint16_t WinPlatform::RegisterClassA(const WndClass& wndClass) {
    if (m_classes.count(wndClass.lpszClassName) != 0) {
        return 0;
    }
    const std::uint16_t atom = m_windows.AddClass(wndClass.lpszClassName);
    if (atom != 0) {
        m_classes.emplace(wndClass.lpszClassName, wndClass.lpfnWndProc);
    }
    return atom;
}

int WinPlatform::UnregisterClassA(const std::string& className, HINSTANCE hInstance) {
    // The system refuses while a window of the class exists.
    if (hInstance != ModuleInstance || m_classes.count(className) == 0 ||
        !m_windows.RemoveClass(className)) {
        return 0;
    }
    m_classes.erase(className);
    return 1;
}

HWND WinPlatform::CreateWindowExA(std::uint32_t dwExStyle, const std::string& className,
                                  const std::string& windowName, std::uint32_t dwStyle, int x,
                                  int y, int nWidth, int nHeight, HWND hWndParent,
                                  std::int32_t hMenu, HINSTANCE hInstance, std::intptr_t lpParam) {
    // Only top-level windows of this layer's own classes: the notification windows.
    if (hWndParent != 0 || hInstance != ModuleInstance || m_classes.count(className) == 0) {
        return 0;
    }
    void* handle = m_windows.Create(dwExStyle, className, windowName, dwStyle, x, y, nWidth,
                                    nHeight, hMenu, lpParam);
    if (handle == nullptr) {
        return 0;
    }
    const HWND hWnd = m_nextWindow++;
    m_windowEntries.emplace(hWnd, WindowEntry{handle, className});
    m_windowIds[handle] = hWnd;
    return hWnd;
}

int WinPlatform::DestroyWindow(HWND hWnd) {
    const auto it = m_windowEntries.find(hWnd);
    if (it == m_windowEntries.end()) {
        return 0;
    }
    m_windows.Destroy(it->second.handle);
    m_windowIds.erase(it->second.handle);
    m_windowEntries.erase(it);
    return 1;
}

LRESULT WinPlatform::DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const auto it = m_windowEntries.find(hWnd);
    if (it == m_windowEntries.end()) {
        return 0;
    }
    return static_cast<LRESULT>(m_windows.DefaultProcedure(
        it->second.handle, uMsg, static_cast<std::uintptr_t>(wParam), lParam));
}

bool WinPlatform::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return m_windows.RunUntil(done, timeout);
}
