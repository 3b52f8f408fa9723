#pragma once

#include "socket/platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A scripted socket layer and window manager for exact, deterministic tests.
//
// Every call is written to Calls in a readable form, e.g. "WSAAsyncSelect(5,1,1024,33)",
// "connect(5,127.0.0.1:6667,16)", "send(5,10,0)" (the third figure of send is the length offered).
// WSAGetLastError and GetModuleInstance are queries without effect and are not recorded.
//
// Defaults make the happy path work without any script: start-up, class and window succeed (the
// first window is 1), socket() hands out 5, 6, 7, ..., a connect is under way (10035) and then
// succeeds, every send takes all it is offered, recv gives the bytes that arrived and then 10035,
// the local host is "testhost" (192.168.0.10) and "localhost" is 127.0.0.1 both ways.
//
// The fake is also a small loopback network of its own sockets, held to the same contract as the
// real layers (tests/socket/platform_contract_test.cpp): a connect to the port of one of its
// listening sockets is offered there, and the two ends are then partners (bytes sent arrive at the
// partner, at most PartnerWindow unread; a close is a FIN, or a reset when unread bytes are
// dropped); a connect to a port that is bound but not listening is refused. Socket calls fail with
// WSANOTINITIALISED outside WSAStartup and the last WSACleanup.
//
// Scripting what a test cares about:
//   - Script("bind", -1, WSAEADDRINUSE): the next bind fails with that error. Any call by its name;
//     scripts of one name are used in order, one per call. For recv and send a result of 0 or more
//     is a cap on the bytes moved by that call (Script("send", 3): the next send takes 3 bytes).
//     Script("connect", 0) is a connect that finishes at once; its FD_CONNECT still follows.
//   - ConnectErrors: error numbers the next connects report with their FD_CONNECT (0 = success).
//   - Arrive(s, bytes), ArriveError(s, error), PeerClose(s): what the peer does; each Arrive is
//     one chunk, so a recv never returns bytes of two chunks.
//   - SetTls is recorded as "SetTls(5,irc.example,pinned)" (or "unpinned"); TlsCertificate and
//     TlsProtocol say what such a connection shows, ConnectErrors how its handshake ends.
//   - IncomingConnection(s, address, port): a connection waits on a listening socket; returns the
//     handle accept will give it.
//   - Hosts / Names: forward and reverse look-ups (names are CP932 bytes).
//
// Notifications. The fake follows the selection rules of the real layer: a selected event whose
// condition holds is posted to the notification window once, and posted again only after it is
// re-enabled (FD_READ by recv, FD_ACCEPT by accept, FD_WRITE by a send that would block, all of
// them by WSAAsyncSelect). FD_CLOSE comes once, after every arrived byte has been read.
// Posted messages wait in a queue; Pump() delivers those queued when it starts, one at a time, to
// the window procedure registered through RegisterClassA; PumpAll() pumps until nothing is left.
// Notify(s, event, error) instead calls the procedure at once with a message of its own making.
// Tests may also call TCPSockProc::NotifyWindowProc or TCPSock::InvokeEvent directly.
//
// A typical session: Connect(); PumpAll() (ConnectTCP); Arrive(h, "PING :x\r\n"); PumpAll()
// (DataArrival); PumpAll() again drains what the handler sent; SentText(h) reads it; PeerClose(h);
// PumpAll() (CloseTCP event).
class FakePlatform : public winsock::Platform {
public:
    static constexpr winsock::HINSTANCE Instance = 11;
    static constexpr winsock::SOCKET FirstSocket = 5;
    static constexpr winsock::HWND FirstWindow = 1;
    // Unread bytes a partner holds before a send to it would block.
    static constexpr std::size_t PartnerWindow = 64 * 1024;

    struct Message {
        winsock::HWND hWnd = 0;
        winsock::UINT uMsg = 0;
        winsock::WPARAM wParam = 0;
        winsock::LPARAM lParam = 0;
    };

    // One simulated socket, readable by tests.
    struct Socket {
        winsock::HWND window = 0; // where notifications go, as last selected
        winsock::UINT message = 0;
        std::int32_t mask = 0;    // the events last selected
        std::int32_t enabled = 0; // selected events that may be posted now
        bool selected = false;    // WSAAsyncSelect was called at least once
        bool bound = false;
        bool listening = false;
        bool connecting = false; // a connect is under way, FD_CONNECT not yet posted
        bool connected = false;
        bool peerClosed = false;
        std::int32_t closeError = 0;
        bool closePosted = false;
        bool shutDown = false;
        bool closed = false;
        std::uint32_t localAddress = 0;
        std::int32_t localPort = 0;
        std::uint32_t peerAddress = 0;
        std::int32_t peerPort = 0;
        std::vector<std::uint8_t> sent; // every byte a send took, in order
        // Arrived and not yet read: a chunk of bytes, or an error number (error != 0).
        struct Chunk {
            std::vector<std::uint8_t> bytes;
            int error = 0;
            std::size_t taken = 0; // bytes already read from the front
        };
        std::deque<Chunk> incoming;
        std::deque<winsock::SOCKET> backlog; // connections waiting for accept
        // The other end when both are sockets of the fake; INVALID_SOCKET for a scripted peer.
        winsock::SOCKET partner = winsock::INVALID_SOCKET;
        std::optional<int> connectOutcome; // decided by connect when the endpoint is known
        winsock::TlsStatus tls;

        std::size_t Unread() const;
    };

    FakePlatform();

    // --- script ---
    void Script(const std::string& call, int result, int error = 0);
    std::deque<int> ConnectErrors;
    // What an encrypted connection shows when its FD_CONNECT is posted with success or with one of
    // the ErrorTls numbers: the certificate, and on success the protocol. The bytes stay plain.
    std::optional<winsock::CertificateFingerprint> TlsCertificate =
        winsock::CertificateFingerprint{0xAB, 0xCD, 0x01, 0x23, 0x45, 0x67, 0x89, 0xEF};
    std::string TlsProtocol = "TLS 1.3";
    std::string HostName = "testhost";
    std::map<std::string, winsock::HostEnt> Hosts;
    std::map<std::uint32_t, std::string> Names;
    void SetLastError(int error) { m_lastError = error; }

    // --- the peer ---
    void Arrive(winsock::SOCKET s, const std::vector<std::uint8_t>& bytes);
    void Arrive(winsock::SOCKET s, const std::string& bytes);
    void ArriveError(winsock::SOCKET s, int error);
    void PeerClose(winsock::SOCKET s, int error = 0);
    winsock::SOCKET IncomingConnection(winsock::SOCKET listening, std::uint32_t address,
                                       std::int32_t port);

    // --- notifications ---
    void Post(winsock::SOCKET s, std::int32_t event, std::int32_t error = 0);
    winsock::LRESULT Notify(winsock::SOCKET s, std::int32_t event, std::int32_t error = 0);
    std::size_t Pump();
    // Stops after maxMessages deliveries so that a test never spins.
    std::size_t PumpAll(std::size_t maxMessages = 100000);
    const std::deque<Message>& Posted() const { return m_posted; }
    void ClearPosted() { m_posted.clear(); }

    // --- what happened ---
    std::vector<std::string> Calls;
    void ClearCalls() { Calls.clear(); }
    // The recorded calls of one name, in order.
    std::vector<std::string> CallsTo(const std::string& name) const;
    Socket& Sock(winsock::SOCKET s);
    bool HasSocket(winsock::SOCKET s) const { return m_sockets.count(s) != 0; }
    const std::vector<std::uint8_t>& Sent(winsock::SOCKET s) { return Sock(s).sent; }
    std::string SentText(winsock::SOCKET s);
    // The handle most recently made by socket() or accept(); INVALID_SOCKET before any.
    winsock::SOCKET LastSocket() const { return m_lastSocket; }
    // The first window that still exists; 0 when there is none.
    winsock::HWND Window() const { return m_windows.empty() ? 0 : m_windows.begin()->first; }
    bool ClassIsRegistered() const { return !m_classes.empty(); }

    // --- winsock::Platform ---
    int WSAStartup(std::uint16_t wVersionRequested) override;
    int WSACleanup() override;
    int WSAGetLastError() override { return m_lastError; }
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
    winsock::HINSTANCE GetModuleInstance() override { return Instance; }
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

    // Dotted text of an address in network order, and back (the fake's inet_addr rules).
    static std::string Dotted(std::uint32_t address);
    static std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

private:
    struct Scripted {
        int result = 0;
        int error = 0;
    };
    std::optional<Scripted> Take(const std::string& call);
    void Record(std::string call) { Calls.push_back(std::move(call)); }
    int Fail(int error);
    bool Started();
    // Sockets the fake never made behave like Windows: WSAENOTSOCK.
    Socket* Find(winsock::SOCKET s);
    // Links a connect to one of the fake's own listening or bound sockets.
    void ConnectLocally(winsock::SOCKET s, Socket& sock);
    // The partner learns that s closed: a FIN, or a reset when s dropped unread bytes.
    void Hangup(Socket& sock, bool reset);
    bool CanSend(const Socket& sock) const;
    winsock::SOCKET NewSocket();
    // Posts every selected, enabled event of s whose condition holds.
    void PostReady(winsock::SOCKET s);
    winsock::LRESULT Deliver(const Message& message);

    std::map<std::string, std::deque<Scripted>> m_scripts;
    std::map<winsock::SOCKET, Socket> m_sockets;
    std::deque<Message> m_posted;
    std::map<std::string, winsock::WndClass> m_classes; // by lower-case name
    std::map<winsock::HWND, std::string> m_windows;     // the class of each window
    int m_startups = 0;
    winsock::SOCKET m_nextSocket = FirstSocket;
    winsock::SOCKET m_lastSocket = winsock::INVALID_SOCKET;
    std::int32_t m_nextEphemeralPort = 50000;
    int m_lastError = 0;
};
