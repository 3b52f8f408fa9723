#pragma once

#include "socket/byte_queue.h"
#include "socket/notification_target.h"
#include "socket/platform.h"
#include "socket/tcp_sock_proc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCPSockEvents;

// One IPv4 TCP endpoint driven by notifications posted to the notification window. Create it with
// std::make_shared: it registers itself with TCPSockProc's SocketList while it owns a handle.
class TCPSock final : public NotificationTarget, public std::enable_shared_from_this<TCPSock> {
public:
    enum : std::int16_t {
        StateClosed = 0,
        StateOpen = 1,
        StateListening = 2,
        StateConnectionPending = 3,
        StateResolvingHost = 4,
        StateHostResolved = 5,
        StateConnecting = 6,
        StateConnected = 7,
        StateClosing = 8,
        StateError = 9,
    };

    // The component's own error number: an operation the current state does not allow.
    static constexpr std::int32_t ErrorInvalidState = winsock::ErrorInvalidState;

    explicit TCPSock(TCPSockProc& proc);
    ~TCPSock() override;
    TCPSock(const TCPSock&) = delete;
    TCPSock& operator=(const TCPSock&) = delete;

    // The owner that receives the five events; not owned. nullptr: events have no effect.
    void SetEvents(TCPSockEvents* events) { m_events = events; }

    std::int32_t GetLastError() const { return m_LastError; }
    winsock::SOCKET GetHandle() const override { return m_Handle; }
    void InvokeEvent(std::int32_t EventCode) override;

    // The queues' lengths, so that each counter always equals the length of its queue.
    std::int32_t BytesReceived() const { return static_cast<std::int32_t>(m_RecvBuffer.Size()); }
    std::int32_t BytesRemaining() const { return static_cast<std::int32_t>(m_SendBuffer.Size()); }
    std::string LocalHostName() const { return m_LocalHostName; }
    std::string LocalIP() const;
    std::int32_t LocalPort() const { return m_LocalPort; }
    void LocalPort(std::int32_t uPort);
    std::int32_t RemotePort() const { return m_RemotePort; }
    void RemotePort(std::int32_t uPort);
    std::int16_t State() const { return m_State; }
    std::string RemoteHost() const { return m_RemoteHost; }
    void RemoteHost(const std::string& sHost);
    std::string RemoteHostIP() const;

    // Whether the next Connect encrypts, and with a pin the only certificate it then accepts;
    // without one the certificate must chain to the system's roots and name RemoteHost as given.
    // Settable while closed or open, as RemoteHost; CloseTCP makes the object plain again.
    bool Encrypted() const { return m_Encrypted; }
    void Encrypted(bool on, std::optional<winsock::CertificateFingerprint> pinned = std::nullopt);
    // What the connection's encryption has come to; nothing requested when there is no socket.
    winsock::TlsStatus Encryption() const;

    bool Accept(std::int32_t requestID);
    bool Bind(std::int32_t LocalPort);
    void CloseTCP();
    // Text reads hand out whole Shift_JIS characters as UTF-8; the result counts the bytes taken.
    // A negative ReadByte throws std::invalid_argument and takes nothing.
    std::int32_t GetTextData(std::string& BUFFER, std::int32_t ReadByte);
    std::int32_t PeekTextData(std::string& BUFFER, std::int32_t ReadByte);
    std::int32_t GetBinaryData(std::vector<std::uint8_t>& BUFFER, std::int32_t ReadByte);
    std::int32_t PeekBinaryData(std::vector<std::uint8_t>& BUFFER, std::int32_t ReadByte);
    bool Listen();
    bool SendBinaryData(const std::vector<std::uint8_t>& BUFFER);
    bool SendTextData(const std::string& SendText);
    bool Connect();

private:
    // The notification steps of InvokeEvent. Read and write return false when the notification
    // ended in an error and must not re-arm.
    void OnAccept(std::uint64_t releases);
    void OnConnect();
    bool OnRead();
    bool OnWrite();

    bool Refuse();
    bool CreateSocket();
    // Shuts down, closes and unregisters the owned socket; Handle becomes -1.
    void ReleaseHandle();
    int Select(std::int32_t mask);
    int PlatformError();
    void RaiseError(std::int32_t Number);
    bool ReadAllowed(std::int32_t ReadByte);
    // The longest prefix of the first ReadByte waiting bytes that is made of whole characters
    // surviving the way to text and back.
    std::size_t WholeCharacterLength(std::size_t ReadByte) const;

    TCPSockProc& m_proc;
    TCPSockEvents* m_events = nullptr;

    std::string m_LocalHostName;
    std::uint32_t m_LocalIP = 0;
    std::int32_t m_LocalPort = 0;
    std::string m_RemoteHost;
    std::uint32_t m_RemoteHostIP = 0;
    std::int32_t m_RemotePort = 0;
    bool m_Encrypted = false;
    std::optional<winsock::CertificateFingerprint> m_pinned;
    std::int16_t m_State = StateClosed;
    winsock::SOCKET m_Handle = winsock::INVALID_SOCKET;
    std::int32_t m_LastError = 0;
    ByteQueue m_SendBuffer;
    ByteQueue m_RecvBuffer;
    // Counts the handles given up. A notification handler that closes the object (and perhaps
    // opens it again, possibly under the same handle number) ends the handling of a notification
    // meant for the socket it gave up.
    std::uint64_t m_Releases = 0;
};
