#pragma once

#include "socket/notification_target.h"
#include "socket/pending_connection.h"
#include "socket/platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What every socket object shares: start-up and clean-up of the socket layer, the hidden
// notification window and its procedure, the list of live socket objects, the slot of one offered
// incoming connection, error texts and address conversions. One instance serves the process.
class TCPSockProc {
public:
    using SocketListEntry = std::pair<std::string, std::shared_ptr<NotificationTarget>>;

    explicit TCPSockProc(winsock::Platform& platform);
    TCPSockProc(const TCPSockProc&) = delete;
    TCPSockProc& operator=(const TCPSockProc&) = delete;

    winsock::Platform& Platform() { return m_platform; }

    bool StartUpWindow();
    bool CleanUpWindow();
    winsock::HWND GetNotifyWindow() const { return m_NotifyWindow; }

    void RegisterSocket(const std::shared_ptr<NotificationTarget>& sock);
    void UnregisterSocket(const NotificationTarget& sock);
    winsock::LRESULT NotifyWindowProc(winsock::HWND hWnd, winsock::UINT uMsg,
                                      winsock::WPARAM wParam, winsock::LPARAM lParam);

    static std::string GetErrorText(std::int32_t Number);
    // Dotted text or a host name (UTF-8) to an address in network order; WS_INADDR_NONE when none.
    std::uint32_t ResolveHost(const std::string& name);
    // Why the last ResolveHost gave no address: the number of the look-up that failed, or
    // WSAHOST_NOT_FOUND when no call failed (the name resolved to no usable address).
    std::int32_t LookupError() const { return m_LookupError; }
    // The host's official name (UTF-8), or "" when there is none.
    std::string ResolveAddress(std::uint32_t address);
    static std::string AddressToText(std::uint32_t address);

    bool WinsockStarted() const { return m_WinsockStarted; }
    bool ClassRegistered() const { return m_ClassRegistered; }
    bool WindowCreated() const { return m_WindowCreated; }
    // Insertion order; the key is the handle as signed decimal text with a sign position.
    const std::vector<SocketListEntry>& SocketList() const { return m_SocketList; }

    // The offered incoming connection, filled by an accept notification and emptied by Accept.
    PendingConnection& Pending() { return m_Pending; }

private:
    winsock::Platform& m_platform;
    bool m_WinsockStarted = false;
    bool m_ClassRegistered = false;
    bool m_WindowCreated = false;
    winsock::HWND m_NotifyWindow = 0;
    std::vector<SocketListEntry> m_SocketList;
    PendingConnection m_Pending;
    std::int32_t m_LookupError = 0;
};
