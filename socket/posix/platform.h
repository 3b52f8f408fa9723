#pragma once

#include "socket/message_pump.h"
#include "socket/platform.h"
#include "socket/posix/selection.h"
#include "socket/posix/windows.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The product's platform layer: real non-blocking sockets, errno and resolver results translated
// to Windows Sockets numbers, and a "window" that is a receiver with a FIFO queue of posted
// messages. The socket calls and their selection rules are PosixSelection's, the windows and
// their queue PosixWindows', the look-ups posix_resolver's; this class joins them and pumps.
class PosixPlatform final : public winsock::Platform, public MessagePump {
public:
    PosixPlatform();
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

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

    // The pump. PumpDescriptor is readable whenever Pump has work: an event loop watches it
    // (Qt: one QSocketNotifier) and calls Pump. Pump turns readiness into posted messages, then
    // delivers the messages that were queued when it started, one at a time, each removed from
    // the queue before its procedure runs (a nested Pump never sees it again). Returns how many
    // it delivered.
    int PumpDescriptor() const override;
    std::size_t Pump() override;
    // Pumps until done() holds or the timeout passes; returns done(). For tests without Qt.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    bool Started() const { return m_startups > 0; }
    // True when the layer is started; otherwise sets WSANOTINITIALISED.
    bool Usable() const;

    int m_startups = 0;
    PosixWindows m_windows;
    PosixSelection m_selection{m_windows};
};
