// The encrypted side of PosixSelection: the handshake, and recv and send over a session. The
// kernel carries the encrypted bytes; what the selection rules speak of are the decrypted ones.

#include "socket/posix/error.h"
#include "socket/posix/selection.h"
#include "socket/posix/tls_channel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

using namespace winsock;
using posix_error::EndsConnection;
using posix_error::Fail;

namespace {

// Encrypted bytes the kernel has not taken yet, beyond which a send takes nothing more: the
// write notification's room.
constexpr std::size_t SendBacklog = 64 * 1024;
// Plaintext encrypted per session call: one record's worth.
constexpr std::size_t RecordPlaintext = 16 * 1024;
constexpr std::size_t CipherChunk = 64 * 1024;

} // namespace

int PosixSelection::SetTls(SOCKET s, const TlsRequest& request) {
    SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    if (st->phase != Phase::Created && st->phase != Phase::Bound) {
        return Fail(st->phase == Phase::Listening ? WSAEINVAL : WSAEISCONN);
    }
    std::unique_ptr<TlsChannel> channel = TlsChannel::Create(request);
    if (!channel) {
        return Fail(ErrorTlsHandshake);
    }
    st->tls = std::move(channel);
    st->tlsFailure = 0;
    return 0;
}

int PosixSelection::GetTlsStatus(SOCKET s, TlsStatus& status) {
    const SocketState* st = Usable(s);
    if (st == nullptr) {
        return SOCKET_ERROR;
    }
    status = st->tls ? st->tls->Status() : TlsStatus{};
    return 0;
}

void PosixSelection::DriveHandshake(SOCKET s, SocketState& st) {
    for (;;) {
        const TlsChannel::Progress progress = st.tls->Handshake();
        const bool flushed = FlushTls(s, st) == 0;
        if (progress == TlsChannel::Progress::Failed) {
            EndHandshake(s, st, st.tls->FailureNumber());
            return;
        }
        if (progress == TlsChannel::Progress::Established) {
            st.phase = Phase::Connected;
            if (st.mask & FD_CONNECT) {
                Post(s, st, FD_CONNECT, 0);
            }
            // The server's first bytes may have come with the handshake's last ones.
            Evaluate(s, st);
            return;
        }
        int err = 0;
        const long fed = flushed ? FeedTls(s, st, err) : -1;
        if (fed == 0) {
            return;
        }
        // A server that closes or resets in the middle has made no session.
        if (fed < 0) {
            EndHandshake(s, st, ErrorTlsHandshake);
            return;
        }
    }
}

void PosixSelection::EndHandshake(SOCKET s, SocketState& st, int error) {
    st.phase = Phase::Created;
    if (st.mask & FD_CONNECT) {
        Post(s, st, FD_CONNECT, error);
    }
}

int PosixSelection::FlushTls(SOCKET s, SocketState& st) {
    TlsChannel& tls = *st.tls;
    while (tls.OutgoingSize() > 0 && st.out != Readiness::No) {
        const ssize_t n = ::send(s, tls.Outgoing(), tls.OutgoingSize(), MSG_NOSIGNAL);
        if (n >= 0) {
            tls.Sent(static_cast<std::size_t>(n));
            continue;
        }
        const int err = errno;
        if (err == EAGAIN) {
            st.out = Readiness::No;
            return 0;
        }
        if (EndsConnection(err) || err == EPIPE) {
            MarkPeerClosed(st);
            if (st.closeError == 0 && err != EPIPE) {
                st.closeError = posix_error::FromErrno(err);
            }
        }
        return posix_error::FromErrno(err);
    }
    return 0;
}

long PosixSelection::FeedTls(SOCKET s, SocketState& st, int& err) {
    err = 0;
    if (st.in == Readiness::No) {
        return 0;
    }
    if (m_cipher.empty()) {
        m_cipher.resize(CipherChunk);
    }
    const long n = KernelRecv(s, st, m_cipher.data(), m_cipher.size(), 0, err);
    if (n > 0) {
        st.tls->Feed(m_cipher.data(), static_cast<std::size_t>(n));
        return n;
    }
    if (n < 0 && err == EAGAIN) {
        return 0;
    }
    if (n < 0 && st.phase >= Phase::Connected && st.closeError == 0) {
        st.closeError = posix_error::FromErrno(err);
    }
    return -1;
}

PosixSelection::Decrypted PosixSelection::FillTls(SOCKET s, SocketState& st) {
    if (st.aheadStart < st.aheadEnd) {
        return Decrypted::Data;
    }
    if (st.tlsFailure != 0) {
        return Decrypted::Failed;
    }
    if (st.ahead.empty()) {
        st.ahead.resize(ReadAhead + MemoryPage);
    }
    for (;;) {
        std::size_t count = 0;
        const TlsChannel::ReadOutcome outcome =
            st.tls->Read(AheadSpace(st.ahead), ReadAhead, count);
        FlushTls(s, st);
        switch (outcome) {
        case TlsChannel::ReadOutcome::Data:
            st.aheadStart = 0;
            st.aheadEnd = count;
            return Decrypted::Data;
        case TlsChannel::ReadOutcome::Ended:
            MarkPeerClosed(st);
            return Decrypted::Ended;
        case TlsChannel::ReadOutcome::Broken:
            MarkPeerClosed(st);
            st.tlsFailure = ErrorTlsBroken;
            return Decrypted::Failed;
        case TlsChannel::ReadOutcome::NeedMore:
            break;
        }
        int err = 0;
        const long fed = FeedTls(s, st, err);
        if (fed == 0) {
            return Decrypted::WouldBlock;
        }
        if (fed < 0) {
            // A reset is reported by recv as on a plain connection; an end of stream without the
            // server's close_notify is an ordinary end.
            if (err != 0) {
                st.tlsFailure = posix_error::FromErrno(err);
                return Decrypted::Failed;
            }
            return Decrypted::Ended;
        }
    }
}

bool PosixSelection::TlsDataWaiting(SOCKET s, SocketState& st) {
    if (!Established(st)) {
        return false;
    }
    // A broken session counts as readable once, so that recv reports it.
    return FillTls(s, st) == Decrypted::Data ||
           (st.tlsFailure == ErrorTlsBroken && st.phase != Phase::CloseReported);
}

bool PosixSelection::TlsCanTakeMore(const SocketState& st) const {
    return st.tls->OutgoingSize() < SendBacklog && !st.tls->Closed() && st.tlsFailure == 0;
}

int PosixSelection::TlsRecv(SOCKET s, SocketState& st, std::uint8_t* buf, std::size_t len,
                            int flags) {
    if (!Established(st)) {
        return Fail(WSAENOTCONN);
    }
    if ((flags & WS_MSG_OOB) != 0) {
        return Fail(WSAEOPNOTSUPP);
    }
    st.enabled |= FD_READ;
    if (len == 0) {
        return 0;
    }
    const Decrypted decrypted = FillTls(s, st);
    if (decrypted != Decrypted::Data) {
        const int failure = st.tlsFailure;
        Evaluate(s, st);
        if (decrypted == Decrypted::WouldBlock) {
            return Fail(WSAEWOULDBLOCK);
        }
        return decrypted == Decrypted::Failed ? Fail(failure) : 0;
    }
    const std::size_t count = std::min(len, st.aheadEnd - st.aheadStart);
    std::memcpy(buf, AheadSpace(st.ahead) + st.aheadStart, count);
    if ((flags & WS_MSG_PEEK) == 0) {
        st.aheadStart += count;
    }
    Evaluate(s, st);
    return static_cast<int>(count);
}

int PosixSelection::TlsSend(SOCKET s, SocketState& st, const std::uint8_t* buf, std::size_t len) {
    if (!Established(st)) {
        return Fail(WSAENOTCONN);
    }
    if (st.writeShutdown || st.tls->Closed()) {
        return Fail(WSAESHUTDOWN);
    }
    if (st.closeError != 0) {
        return Fail(st.closeError);
    }
    if (const int error = FlushTls(s, st); error != 0) {
        return Fail(error);
    }
    std::size_t taken = 0;
    while (taken < len && TlsCanTakeMore(st)) {
        const std::size_t piece = std::min(len - taken, RecordPlaintext);
        if (!st.tls->Write(buf + taken, piece)) {
            st.tlsFailure = ErrorTlsBroken;
            return Fail(ErrorTlsBroken);
        }
        taken += piece;
        if (const int error = FlushTls(s, st); error != 0) {
            return Fail(error);
        }
    }
    if (taken == 0) {
        st.enabled |= FD_WRITE;
        Evaluate(s, st);
        return Fail(WSAEWOULDBLOCK);
    }
    return static_cast<int>(taken);
}

void PosixSelection::SendCloseNotify(SOCKET s, SocketState& st) {
    if (!st.tls || !Established(st) || st.writeShutdown || st.tls->Closed()) {
        return;
    }
    st.tls->Close();
    // As far as the kernel takes it at once: closing never waits for the server.
    FlushTls(s, st);
}
