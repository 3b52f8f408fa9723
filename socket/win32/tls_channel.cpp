#include "socket/win32/tls_channel.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace winsock;

namespace {

// The encrypted bytes not yet taken by the system beyond which a send takes nothing: the
// connection's own buffer, bounded as the system bounds a plain socket's.
constexpr std::size_t OutgoingLimit = 64 * 1024;
constexpr int ReadChunk = 16 * 1024;

int RefusalError(TlsSession::Failure failure) {
    switch (failure) {
    case TlsSession::Failure::Untrusted:
        return ErrorTlsUntrusted;
    case TlsSession::Failure::WrongHost:
        return ErrorTlsWrongHost;
    case TlsSession::Failure::OutsideValidity:
        return ErrorTlsExpired;
    case TlsSession::Failure::PinMismatch:
        return ErrorTlsPinMismatch;
    default:
        return ErrorTlsHandshake;
    }
}

} // namespace

TlsChannel::TlsChannel(win_sockets::Handle handle, const TlsRequest& request)
    : m_handle(handle), m_session(request.serverName, request.pinned) {}

void TlsChannel::SystemConnected(int error) {
    if (m_phase != Phase::Connecting) {
        return;
    }
    if (error != 0) {
        m_phase = Phase::Refused;
        m_connectDue = true;
        m_connectError = error;
        return;
    }
    m_phase = Phase::Handshaking;
    m_session.Start();
    Flush();
    Advance();
}

void TlsChannel::SystemReadable() {
    if (m_phase == Phase::Connecting || m_phase == Phase::Refused || m_ended) {
        return;
    }
    // Everything the system holds is taken at once: the system posts no new notification for
    // bytes that were already waiting when a receive left some.
    std::uint8_t buffer[ReadChunk];
    for (;;) {
        const int received = win_sockets::Receive(m_handle, buffer, ReadChunk, 0);
        if (received > 0) {
            m_session.Receive(buffer, static_cast<std::size_t>(received));
            continue;
        }
        if (received < 0) {
            const int error = win_sockets::LastError();
            if (error == WSAEWOULDBLOCK) {
                break;
            }
            m_closeError = error;
        }
        m_ended = true;
        break;
    }
    Flush();
    Advance();
}

void TlsChannel::SystemWritable() {
    Flush();
    Advance();
}

void TlsChannel::SystemClosed(int error) {
    SystemReadable();
    m_ended = true;
    if (error != 0) {
        m_closeError = error;
    }
    Advance();
}

void TlsChannel::Flush() {
    ByteQueue& outgoing = m_session.Outgoing();
    while (!outgoing.Empty()) {
        const int sent =
            win_sockets::Send(m_handle, outgoing.Data(),
                              static_cast<int>(std::min<std::size_t>(outgoing.Size(), INT_MAX)), 0);
        if (sent < 0) {
            const int error = win_sockets::LastError();
            if (error != WSAEWOULDBLOCK) {
                m_ended = true;
                m_closeError = error;
            }
            return;
        }
        outgoing.Drop(static_cast<std::size_t>(sent));
    }
}

void TlsChannel::Advance() {
    if (m_phase != Phase::Handshaking) {
        return;
    }
    const TlsSession::State state = m_session.GetState();
    if (state == TlsSession::State::Failed) {
        m_phase = Phase::Refused;
        m_connectDue = true;
        m_connectError = RefusalError(m_session.GetFailure());
    } else if (state != TlsSession::State::Handshaking) {
        m_phase = Phase::Established;
        m_connectDue = true;
        m_connectError = 0;
    } else if (m_ended) {
        // Closed, reset, or a plaintext server that waits for a line that never comes.
        m_phase = Phase::Refused;
        m_connectDue = true;
        m_connectError = ErrorTlsHandshake;
    }
}

bool TlsChannel::Ended() const {
    return m_ended || m_session.GetState() == TlsSession::State::Closed;
}

bool TlsChannel::Readable() {
    return !m_session.Plain().Empty() || m_session.GetState() == TlsSession::State::Failed;
}

int TlsChannel::Receive(std::uint8_t* buffer, int length, int flags, int& error) {
    if (m_phase != Phase::Established) {
        error = WSAENOTCONN;
        return SOCKET_ERROR;
    }
    if ((flags & WS_MSG_OOB) != 0) {
        error = WSAEOPNOTSUPP;
        return SOCKET_ERROR;
    }
    m_readEnabled = true;
    ByteQueue& plain = m_session.Plain();
    if (!plain.Empty()) {
        const std::size_t count =
            std::min(plain.Size(), static_cast<std::size_t>(std::max(length, 0)));
        std::memcpy(buffer, plain.Data(), count);
        if ((flags & WS_MSG_PEEK) == 0) {
            plain.Drop(count);
        }
        return static_cast<int>(count);
    }
    if (m_session.GetState() == TlsSession::State::Failed) {
        error = ErrorTlsBroken;
        return SOCKET_ERROR;
    }
    if (Ended()) {
        if (m_closeError == 0) {
            return 0;
        }
        error = m_closeError;
        return SOCKET_ERROR;
    }
    error = WSAEWOULDBLOCK;
    return SOCKET_ERROR;
}

int TlsChannel::Send(const std::uint8_t* buffer, int length, int& error) {
    if (m_phase != Phase::Established) {
        error = WSAENOTCONN;
        return SOCKET_ERROR;
    }
    const TlsSession::State state = m_session.GetState();
    if (m_closeSent || state == TlsSession::State::Closed || state == TlsSession::State::Failed) {
        error = state == TlsSession::State::Failed ? ErrorTlsBroken : WSAESHUTDOWN;
        return SOCKET_ERROR;
    }
    if (m_ended && m_closeError != 0) {
        error = m_closeError;
        return SOCKET_ERROR;
    }
    ByteQueue& outgoing = m_session.Outgoing();
    // A handshake message after the handshake that is still arriving holds back what is sent.
    if (state == TlsSession::State::Handshaking || outgoing.Size() >= OutgoingLimit) {
        m_writeEnabled = true;
        error = WSAEWOULDBLOCK;
        return SOCKET_ERROR;
    }
    const std::size_t room = OutgoingLimit - outgoing.Size();
    const std::size_t taken =
        m_session.Send(buffer, std::min(room, static_cast<std::size_t>(std::max(length, 0))));
    Flush();
    return static_cast<int>(taken);
}

void TlsChannel::Close() {
    if (m_phase != Phase::Established || m_closeSent) {
        return;
    }
    m_closeSent = true;
    m_session.Shutdown();
    Flush();
}

void TlsChannel::Reselect() {
    m_readEnabled = true;
    m_writeEnabled = true;
    m_closeEnabled = true;
}

TlsChannel::Event TlsChannel::NextEvent(std::int32_t mask) {
    if (m_connectDue) {
        m_connectDue = false;
        if ((mask & FD_CONNECT) != 0) {
            return {FD_CONNECT, m_connectError};
        }
    }
    if (m_phase != Phase::Established) {
        return {};
    }
    if ((mask & FD_READ) != 0 && m_readEnabled && Readable()) {
        m_readEnabled = false;
        return {FD_READ, 0};
    }
    if ((mask & FD_WRITE) != 0 && m_writeEnabled && !m_closeSent &&
        m_session.GetState() == TlsSession::State::Open &&
        m_session.Outgoing().Size() < OutgoingLimit) {
        m_writeEnabled = false;
        return {FD_WRITE, 0};
    }
    if ((mask & FD_CLOSE) != 0 && m_closeEnabled && Ended() && !Readable()) {
        m_closeEnabled = false;
        return {FD_CLOSE, m_closeError};
    }
    return {};
}

TlsStatus TlsChannel::Status() const {
    TlsStatus status;
    status.requested = true;
    if (m_phase == Phase::Established) {
        status.protocol = m_session.Version();
    }
    status.certificate = m_session.ServerFingerprint();
    return status;
}
