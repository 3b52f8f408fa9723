#pragma once

#include "socket/platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class PosixNotificationSink;
class TlsChannel;

// The socket calls of the POSIX layer and the selection rules they keep: which of a socket's
// selected events are due, and when each may be posted again. Readiness is observed with an
// edge-triggered epoll set. Calls are made only while the socket layer is started (the facade
// checks); failures set the thread's last error.
class PosixSelection {
public:
    explicit PosixSelection(PosixNotificationSink& sink);
    ~PosixSelection();
    PosixSelection(const PosixSelection&) = delete;
    PosixSelection& operator=(const PosixSelection&) = delete;

    // The epoll descriptor; readable when readiness is to be read with Poll.
    int Descriptor() const { return m_epoll; }
    // Adds a descriptor that only wakes the epoll set (the message queue's signal).
    bool AddWake(int fd);
    // Turns the readiness the kernel reported into posted notifications.
    void Poll();
    // Closes every socket: the socket layer ends for the process.
    void ReleaseAll();

    int WSAAsyncSelect(winsock::SOCKET s, winsock::HWND hWnd, winsock::UINT wMsg,
                       std::int32_t lEvent, bool windowExists);
    winsock::SOCKET socket(int af, int type, int protocol);
    int bind(winsock::SOCKET s, const winsock::SockAddrIn& name, int namelen);
    int listen(winsock::SOCKET s, int backlog);
    winsock::SOCKET accept(winsock::SOCKET s, winsock::SockAddrIn& addr, int& addrlen);
    int connect(winsock::SOCKET s, const winsock::SockAddrIn& name, int namelen);
    int getsockname(winsock::SOCKET s, winsock::SockAddrIn& name, int& namelen);
    int recv(winsock::SOCKET s, std::uint8_t* buf, int len, int flags);
    int send(winsock::SOCKET s, const std::uint8_t* buf, int len, int flags);
    int shutdown(winsock::SOCKET s, int how);
    int closesocket(winsock::SOCKET s);
    int SetTls(winsock::SOCKET s, const winsock::TlsRequest& request);
    int GetTlsStatus(winsock::SOCKET s, winsock::TlsStatus& status);

private:
    // Where a socket is in its life. Connected, PeerClosed and CloseReported are the phases of an
    // established connection.
    enum class Phase : std::uint8_t {
        Free,          // no socket of the layer has this number
        Created,       // open, neither bound nor connected (also after a failed connect)
        Bound,         // bound to a local address
        Listening,     // waiting for connections
        Connecting,    // a non-blocking connect is under way
        Handshaking,   // connected, and the encryption's handshake is under way
        Connected,     // established
        PeerClosed,    // the peer closed or reset; bytes may still wait
        CloseReported, // FD_CLOSE was posted; only WSAAsyncSelect posts it again
    };

    // What is known about a socket's buffers. Unknown is settled by asking the kernel, and only
    // when an event depends on it.
    enum class Readiness : std::uint8_t { No, Yes, Unknown };

    // Everything the layer keeps about a socket it created, indexed by its descriptor: the phase
    // and the facts that are no phase.
    struct SocketState {
        Phase phase = Phase::Free;
        bool watched = false; // non-blocking and in the epoll set
        bool readShutdown = false;
        bool writeShutdown = false;
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
        // An encrypted connection's session, from SetTls on; the read-ahead bytes are then the
        // decrypted ones. A session that broke keeps its number for every later recv.
        std::unique_ptr<TlsChannel> tls;
        int tlsFailure = 0;
    };

    // What decrypting found.
    enum class Decrypted : std::uint8_t { Data, WouldBlock, Ended, Failed };

    // Callers read in small pieces (the component takes 8 KiB at a time); one read of this size
    // serves many of them, with a fraction of the calls into the kernel.
    static constexpr std::size_t ReadAhead = 64 * 1024;
    static constexpr std::size_t MemoryPage = 4096;
    // The start of the read-ahead bytes in a buffer of ReadAhead + MemoryPage bytes.
    static std::uint8_t* AheadSpace(std::vector<std::uint8_t>& ahead);

    static bool Established(const SocketState& st) { return st.phase >= Phase::Connected; }
    static bool PeerGone(const SocketState& st) { return st.phase >= Phase::PeerClosed; }
    static void MarkPeerClosed(SocketState& st);

    SocketState* Find(winsock::SOCKET s);
    // The socket's state, or nullptr with the last error set when the call cannot use it.
    SocketState* Usable(winsock::SOCKET s);
    SocketState& Adopt(int fd, Phase phase);
    void Release(winsock::SOCKET s, SocketState& st);
    bool Watch(winsock::SOCKET s, SocketState& st);
    void Observe(winsock::SOCKET s, SocketState& st, std::uint32_t events);
    void FinishConnect(winsock::SOCKET s, SocketState& st, int err);
    void Evaluate(winsock::SOCKET s, SocketState& st);
    bool DataWaiting(winsock::SOCKET s, SocketState& st);
    bool ConnectionWaiting(winsock::SOCKET s, SocketState& st);
    long KernelRecv(winsock::SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len,
                    int flags, int& err);
    void Post(winsock::SOCKET s, const SocketState& st, std::int32_t event, int error);

    // The encrypted side (tls_selection.cpp).
    void DriveHandshake(winsock::SOCKET s, SocketState& st);
    void EndHandshake(winsock::SOCKET s, SocketState& st, int error);
    // Hands the kernel what the session wrote, as far as it takes it; 0, or the error number when
    // the connection is gone.
    int FlushTls(winsock::SOCKET s, SocketState& st);
    // Gives the session what the kernel holds: >0 bytes fed, 0 none now, <0 the stream ended or
    // failed (err says how; 0 for an orderly end).
    long FeedTls(winsock::SOCKET s, SocketState& st, int& err);
    // Decrypts into the read-ahead bytes, unless some wait already.
    Decrypted FillTls(winsock::SOCKET s, SocketState& st);
    bool TlsDataWaiting(winsock::SOCKET s, SocketState& st);
    bool TlsCanTakeMore(const SocketState& st) const;
    int TlsRecv(winsock::SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len, int flags);
    int TlsSend(winsock::SOCKET s, SocketState& st, const std::uint8_t* buf, std::size_t len);
    void SendCloseNotify(winsock::SOCKET s, SocketState& st);

    PosixNotificationSink& m_sink;
    int m_epoll = -1;
    std::vector<SocketState> m_sockets;
    // Where encrypted bytes from the kernel pass on their way into a session.
    std::vector<std::uint8_t> m_cipher;
};
