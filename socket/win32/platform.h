#pragma once

#include "socket/platform.h"
#include "socket/win32/sockets.h"
#include "socket/win32/tls_channel.h"
#include "socket/win32/windows.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

// The platform layer on Windows: the real Windows Sockets (ws2_32) with asynchronous selection to
// real hidden windows, whose messages the thread's own message loop delivers. The interface's
// SOCKET and HWND are numbers this layer hands out for the system's handles, which do not fit
// 32 bits; a number is never handed out twice.
class WinPlatform final : public winsock::Platform {
public:
    WinPlatform();
    // Destroys the layer's windows and classes, closes its sockets, ends its start-ups.
    ~WinPlatform() override;
    WinPlatform(const WinPlatform&) = delete;
    WinPlatform& operator=(const WinPlatform&) = delete;

    int WSAStartup(std::uint16_t wVersionRequested) override;
    int WSACleanup() override;
    int WSAGetLastError() override;
    int WSAAsyncSelect(winsock::SOCKET s, winsock::HWND hWnd, winsock::UINT wMsg,
                       std::int32_t lEvent) override;

    winsock::SOCKET socket(int af, int type, int protocol) override;
    int bind(winsock::SOCKET s, const winsock::SockAddrIn& name, int namelen) override;
    int listen(winsock::SOCKET s, int backlog) override;
    winsock::SOCKET accept(winsock::SOCKET s, winsock::SockAddrIn& addr, int& addrlen) override;
    int connect(winsock::SOCKET s, const winsock::SockAddrIn& name, int namelen) override;
    int getsockname(winsock::SOCKET s, winsock::SockAddrIn& name, int& namelen) override;
    int recv(winsock::SOCKET s, std::uint8_t* buf, int len, int flags) override;
    int send(winsock::SOCKET s, const std::uint8_t* buf, int len, int flags) override;
    int shutdown(winsock::SOCKET s, int how) override;
    int closesocket(winsock::SOCKET s) override;
    int SetTls(winsock::SOCKET s, const winsock::TlsRequest& request) override;
    int GetTlsStatus(winsock::SOCKET s, winsock::TlsStatus& status) override;

    int gethostname(char* name, int namelen) override;
    std::optional<winsock::HostEnt> gethostbyname(const std::string& name) override;
    std::optional<winsock::HostEnt> gethostbyaddr(std::uint32_t addr, int len, int type) override;
    std::uint32_t inet_addr(const std::string& cp) override;

    winsock::HINSTANCE GetModuleInstance() override;
    std::uint16_t RegisterClassA(const winsock::WndClass& wndClass) override;
    int UnregisterClassA(const std::string& className, winsock::HINSTANCE hInstance) override;
    winsock::HWND CreateWindowExA(std::uint32_t dwExStyle, const std::string& className,
                                  const std::string& windowName, std::uint32_t dwStyle, int x,
                                  int y, int nWidth, int nHeight, winsock::HWND hWndParent,
                                  std::int32_t hMenu, winsock::HINSTANCE hInstance,
                                  std::intptr_t lpParam) override;
    int DestroyWindow(winsock::HWND hWnd) override;
    winsock::LRESULT DefWindowProcA(winsock::HWND hWnd, winsock::UINT uMsg, winsock::WPARAM wParam,
                                    winsock::LPARAM lParam) override;

    // Runs the thread's message loop until done() holds or the timeout passes; returns done().
    // For tests; the program runs its own loop.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    struct SocketEntry {
        win_sockets::Handle handle;
        // The system message its notifications carry: a socket's own, or its listener's for an
        // accepted one (Windows hands the listener's selection on).
        unsigned notification;
        winsock::HWND window = 0;
        winsock::UINT message = 0;
        std::int32_t events = 0;
        // Connecting, connected or listening: too late to ask for encryption.
        bool started = false;
        // An encrypted connection: its owner's notifications come from here, not the system.
        std::unique_ptr<TlsChannel> tls;
        // One wake-up at a time is enough: it gives every notification that is due.
        bool wakePosted = false;
    };
    struct WindowEntry {
        void* handle;
        std::string className;
    };

    void Deliver(void* window, unsigned notification, std::uintptr_t wParam, std::intptr_t lParam);
    // Runs an encrypted connection on a notification of the system (or a wake-up, event 0), then
    // gives its owner the notifications that have come due.
    void DriveTls(winsock::SOCKET s, winsock::LPARAM reply);
    // Calls the procedure of the window the socket is selected to.
    void Notify(winsock::SOCKET s, winsock::LPARAM reply);
    // Posts a wake-up for an encrypted connection, so that notifications a call made due are
    // given from the message loop, as the system posts its own.
    void Wake(SocketEntry& entry);
    // Selects the system's notifications: for an encrypted connection all of them, as the layer
    // needs them whatever the owner selected.
    int SelectSystem(const SocketEntry& entry, winsock::HWND hWnd, std::int32_t lEvent);
    template <typename T> T Fail(int error, T result);
    // The socket's entry when the layer is started and knows it; otherwise nullptr with the error
    // set.
    SocketEntry* Find(winsock::SOCKET s);
    winsock::SOCKET Adopt(win_sockets::Handle handle, unsigned notification);
    void Forget(winsock::SOCKET s);

    WinWindows m_windows;
    int m_startups = 0;
    int m_lastError = 0;
    winsock::SOCKET m_nextSocket = 1;
    winsock::HWND m_nextWindow = 1;
    std::map<winsock::SOCKET, SocketEntry> m_sockets;
    std::unordered_map<win_sockets::Handle, winsock::SOCKET> m_socketIds;
    std::map<std::string, winsock::WNDPROC> m_classes;
    std::map<winsock::HWND, WindowEntry> m_windowEntries;
    std::unordered_map<void*, winsock::HWND> m_windowIds;
};
