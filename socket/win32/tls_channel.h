#pragma once

#include "socket/platform.h"
#include "socket/win32/sockets.h"
#include "socket/win32/tls_session.h"

#include <cstdint>

// An encrypted connection over one system socket: it runs the TLS session on the system's
// notifications about the socket, and keeps, for the socket's owner, the notifications a plain
// socket would give: FD_CONNECT when the handshake has ended, FD_READ while decrypted bytes wait
// (also when the system socket holds none), FD_WRITE when the session can take more, FD_CLOSE once
// the server has closed and every decrypted byte was read. Each is given once until re-enabled, as
// the system does: FD_READ by a receive, FD_WRITE by a send that would block, all by a new
// selection.
class TlsChannel {
public:
    // Owner events are given back as a notification word.
    struct Event {
        std::int32_t event = 0;
        int error = 0;
    };

    TlsChannel(win_sockets::Handle handle, const winsock::TlsRequest& request);

    // The system's notifications about the socket.
    void SystemConnected(int error);
    void SystemReadable();
    void SystemWritable();
    void SystemClosed(int error);

    // The owner's calls: the count, or SOCKET_ERROR with error set.
    int Receive(std::uint8_t* buffer, int length, int flags, int& error);
    int Send(const std::uint8_t* buffer, int length, int& error);
    // Sends the close notification, as far as the system takes it at once.
    void Close();
    // A new selection re-enables every event.
    void Reselect();
    // The next event the owner is due among those it selected; event 0 when none is.
    Event NextEvent(std::int32_t mask);
    winsock::TlsStatus Status() const;

private:
    enum class Phase { Connecting, Handshaking, Established, Refused };

    void Flush();
    // Ends the handshake once the session or the system socket has decided it.
    void Advance();
    // The server has closed: its close notification, or the end of the stream.
    bool Ended() const;
    // Decrypted bytes wait, or a failure that a receive reports.
    bool Readable();

    win_sockets::Handle m_handle;
    TlsSession m_session;
    Phase m_phase = Phase::Connecting;
    bool m_connectDue = false;
    int m_connectError = 0;
    bool m_readEnabled = true;
    bool m_writeEnabled = true;
    bool m_closeEnabled = true;
    // The system socket's stream has ended (or was broken off, with closeError).
    bool m_ended = false;
    int m_closeError = 0;
    bool m_closeSent = false;
};
