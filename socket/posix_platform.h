#pragma once

#include "socket/platform.h"
#include "socket/posix_message_queue.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The product's platform layer: real non-blocking sockets, errno and resolver results translated
// to Windows Sockets numbers, and a "window" that is a receiver with a FIFO queue of posted
// messages. Readiness is observed with epoll; the pump delivers queued messages one at a time to
// the window procedure on the thread that runs it.
class PosixPlatform final : public winsock::Platform {
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
    int PumpDescriptor() const;
    std::size_t Pump();
    // Pumps until done() holds or the timeout passes; returns done(). For tests without Qt.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    // What is known about a socket's buffers. Unknown is settled by asking the kernel, and only
    // when an event depends on it.
    enum class Readiness : std::uint8_t { No, Yes, Unknown };

    // Everything the layer keeps about a socket it created, indexed by its descriptor.
    struct SocketState {
        bool open = false;
        bool watched = false; // non-blocking and in the epoll set
        bool bound = false;
        bool listening = false;
        bool connecting = false;
        bool connected = false;
        bool peerClosed = false;
        bool readShutdown = false;
        bool writeShutdown = false;
        bool closePosted = false;
        Readiness in = Readiness::No; // bytes, or on a listening socket connections, waiting
        Readiness out = Readiness::No;
        int closeError = 0;
        winsock::HWND hWnd = 0;
        winsock::UINT wMsg = 0;
        std::int32_t mask = 0;
        std::int32_t enabled = 0;
        // Bytes taken from the kernel in one large read and handed out by later small ones;
        // aheadStart and aheadEnd count from where the read placed them in the buffer.
        std::vector<std::uint8_t> ahead;
        std::size_t aheadStart = 0;
        std::size_t aheadEnd = 0;
    };

    using Procedure = std::shared_ptr<const winsock::WNDPROC>;
    struct Window {
        std::string classKey;
        Procedure procedure;
    };

    bool Started() const { return m_startups > 0; }
    SocketState* Find(winsock::SOCKET s);
    // The socket's state, or nullptr with the last error set when the call cannot use it.
    SocketState* Usable(winsock::SOCKET s);
    SocketState& Adopt(int fd);
    void Release(winsock::SOCKET s, SocketState& st);
    bool Watch(winsock::SOCKET s, SocketState& st);
    void Observe(winsock::SOCKET s, SocketState& st, std::uint32_t events);
    void FinishConnect(winsock::SOCKET s, SocketState& st, int err);
    void Evaluate(winsock::SOCKET s, SocketState& st);
    bool DataWaiting(winsock::SOCKET s, SocketState& st);
    long KernelRecv(winsock::SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len,
                    int flags, int& err);
    bool ConnectionWaiting(winsock::SOCKET s, SocketState& st);
    void Post(winsock::SOCKET s, const SocketState& st, std::int32_t event, int error);
    void SyncWake();

    int m_epoll = -1;
    int m_wake = -1;
    bool m_wakeSignaled = false;
    int m_startups = 0;
    std::vector<SocketState> m_sockets;
    std::unordered_map<std::string, Procedure> m_classes; // by lower-case name
    std::unordered_map<winsock::HWND, Window> m_windows;
    winsock::HWND m_nextWindow = 1;
    std::uint16_t m_nextAtom = 0xC000;
    PosixMessageQueue m_queue;
};
