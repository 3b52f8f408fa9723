#pragma once

#include "socket/platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TCPSockEvents;
class TCPSockProc;

// One IPv4 TCP endpoint driven by notifications posted to the notification window. Create it with
// std::make_shared: it registers itself with TCPSockProc's SocketList while it owns a handle.
class TCPSock : public std::enable_shared_from_this<TCPSock> {
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
    static constexpr std::int32_t ErrorInvalidState = 40020;

    explicit TCPSock(TCPSockProc& proc);
    ~TCPSock();
    TCPSock(const TCPSock&) = delete;
    TCPSock& operator=(const TCPSock&) = delete;

    // The owner that receives the five events; not owned. nullptr: events have no effect.
    void SetEvents(TCPSockEvents* events) { m_events = events; }

    std::int32_t GetLastError() const { return m_LastError; }
    winsock::SOCKET GetHandle() const { return m_Handle; }
    void InvokeEvent(std::int32_t EventCode);

    std::int32_t BytesReceived() const { return m_BytesReceived; }
    std::int32_t BytesRemaining() const { return m_BytesRemaining; }
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

    // The implementation adds the fields and helpers it needs below.
private:
    TCPSockProc& m_proc;
    TCPSockEvents* m_events = nullptr;

    std::string m_LocalHostName;
    std::uint32_t m_LocalIP = 0;
    std::int32_t m_LocalPort = 0;
    std::string m_RemoteHost;
    std::uint32_t m_RemoteHostIP = 0;
    std::int32_t m_RemotePort = 0;
    std::int16_t m_State = StateClosed;
    std::int32_t m_BytesReceived = 0;
    std::int32_t m_BytesRemaining = 0;
    winsock::SOCKET m_Handle = winsock::INVALID_SOCKET;
    std::int32_t m_LastError = 0;
};
