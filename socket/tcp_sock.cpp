#include "socket/tcp_sock.h"

#include "encoding/ansi_code_page.h"
#include "socket/tcp_sock_events.h"
#include "socket/tcp_sock_proc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

using namespace winsock;

namespace {

constexpr std::int32_t MaskReadClose = FD_READ | FD_CLOSE;                 // 33
constexpr std::int32_t MaskReadWriteClose = FD_READ | FD_WRITE | FD_CLOSE; // 35
constexpr int RecvChunkSize = 8192;
constexpr int MaxRecvCallsPerNotification = 20;
constexpr std::size_t HostNameBufferSize = 256;
constexpr std::int32_t MaxPort = 65535;
constexpr int AddressRecordLength = sizeof(SockAddrIn);
constexpr std::size_t MaxQueuedBytes = std::numeric_limits<std::int32_t>::max();

SockAddrIn AddressRecord(std::int32_t port, std::uint32_t address) {
    SockAddrIn record;
    record.sin_family = WS_AF_INET;
    record.sin_port = {static_cast<std::uint8_t>(port / 256),
                       static_cast<std::uint8_t>(port % 256)};
    record.sin_addr = address;
    return record;
}

std::int32_t RecordPort(const SockAddrIn& record) {
    return record.sin_port[0] * 256 + record.sin_port[1];
}

std::int32_t ClampPort(std::int32_t port) {
    return std::clamp(port, 0, MaxPort);
}

std::uint32_t Loopback() {
    const std::array<std::uint8_t, 4> octets{127, 0, 0, 1};
    std::uint32_t address = 0;
    std::memcpy(&address, octets.data(), octets.size());
    return address;
}

bool SurvivesRoundTrip(const std::uint8_t* bytes, std::size_t count) {
    const std::vector<std::uint8_t> back =
        AnsiCodePage::ToBytes(AnsiCodePage::ToText(bytes, count));
    return back.size() == count && std::equal(back.begin(), back.end(), bytes);
}

} // namespace

TCPSock::TCPSock(TCPSockProc& proc) : m_proc(proc) {
    std::array<char, HostNameBufferSize> name{};
    if (m_proc.Platform().gethostname(name.data(), static_cast<int>(name.size())) == 0) {
        const std::size_t length = strnlen(name.data(), name.size());
        m_LocalHostName =
            AnsiCodePage::ToText(reinterpret_cast<const std::uint8_t*>(name.data()), length);
        m_LocalIP = m_proc.ResolveHost(m_LocalHostName);
    } else {
        m_LocalHostName = "localhost";
        m_LocalIP = Loopback();
    }
}

// An object that owns a socket is kept alive by SocketList until CloseTCP, so destruction has no
// socket to give up.
TCPSock::~TCPSock() = default;

void TCPSock::InvokeEvent(std::int32_t EventCode) {
    const std::int32_t events = WSAGETSELECTEVENT(EventCode);
    const std::int32_t error = WSAGETSELECTERROR(EventCode);
    const std::uint64_t releases = m_Releases;

    if ((events & FD_CLOSE) != 0) {
        m_State = StateClosing;
        if (m_events != nullptr) {
            m_events->CloseTCP();
        }
        return;
    }
    if (error != 0) {
        RaiseError(error);
        // An Error handler that closed the object has given up the socket this notification was
        // for; going on would report a connection on a closed, or newly opened, object.
        if (m_Releases != releases) {
            return;
        }
    }
    if (m_State == StateError) {
        return;
    }
    if ((events & FD_ACCEPT) != 0) {
        OnAccept(releases);
        return;
    }
    if ((events & FD_CONNECT) != 0) {
        OnConnect();
        return;
    }
    if ((events & FD_READ) != 0) {
        if (!OnRead()) {
            return;
        }
    } else if ((events & FD_WRITE) != 0) {
        if (!OnWrite()) {
            return;
        }
    } else {
        return;
    }
    // A DataArrival handler that closed (or re-opened) the object must not have the new socket's
    // selection replaced by this one's re-arm.
    if (m_Releases == releases) {
        Select(m_SendBuffer.Empty() ? MaskReadClose : MaskReadWriteClose);
    }
}

void TCPSock::OnAccept(std::uint64_t releases) {
    winsock::Platform& platform = m_proc.Platform();
    PendingConnection& pending = m_proc.Pending();
    if (!pending.Waiting()) {
        SockAddrIn peer{};
        int length = AddressRecordLength;
        const SOCKET accepted = platform.accept(m_Handle, peer, length);
        if (accepted != INVALID_SOCKET) {
            if (platform.WSAAsyncSelect(accepted, m_proc.GetNotifyWindow(), WM_SOCKET_NOTIFY,
                                        MaskReadClose) != 0) {
                platform.shutdown(accepted, SD_BOTH);
                platform.closesocket(accepted);
            } else {
                pending.Offer(accepted, peer.sin_addr, RecordPort(peer));
                if (m_events != nullptr) {
                    m_events->ConnectionRequest(accepted);
                }
                // The offer lives only while the handler runs.
                if (!pending.CloseUnadopted(platform)) {
                    return;
                }
            }
        }
    }
    if (m_Releases == releases && m_State == StateListening) {
        m_State = StateConnectionPending;
    }
}

void TCPSock::OnConnect() {
    const std::string name = m_proc.ResolveAddress(m_RemoteHostIP);
    if (!name.empty()) {
        m_RemoteHost = name;
    }
    m_RemoteHostIP = m_proc.ResolveHost(m_RemoteHost);
    Select(MaskReadClose);
    if (m_State == StateConnecting) {
        m_State = StateConnected;
        if (m_events != nullptr) {
            m_events->ConnectTCP();
        }
    }
}

bool TCPSock::OnRead() {
    winsock::Platform& platform = m_proc.Platform();
    // Read notifications stay off while draining, so that the handler sees a still buffer.
    Select(FD_CLOSE);
    for (int pass = 0; pass < MaxRecvCallsPerNotification; ++pass) {
        // The count of waiting bytes is 32-bit; what does not fit stays in the socket.
        const std::size_t room =
            std::min<std::size_t>(RecvChunkSize, MaxQueuedBytes - m_RecvBuffer.Size());
        if (room == 0) {
            break;
        }
        const int received =
            platform.recv(m_Handle, m_RecvBuffer.Reserve(room), static_cast<int>(room), 0);
        if (received < 0) {
            m_LastError = PlatformError();
            if (m_LastError == WSAEWOULDBLOCK) {
                m_LastError = 0;
                break;
            }
            RaiseError(m_LastError);
            return false;
        }
        if (received == 0) {
            break;
        }
        m_RecvBuffer.Commit(static_cast<std::size_t>(received));
    }
    if (!m_RecvBuffer.Empty() && m_events != nullptr) {
        m_events->DataArrival(BytesReceived());
    }
    return true;
}

bool TCPSock::OnWrite() {
    if (m_SendBuffer.Empty()) {
        return true;
    }
    // The queue's bytes are contiguous: they are offered as they lie, without a copy.
    const int sent = m_proc.Platform().send(m_Handle, m_SendBuffer.Data(), BytesRemaining(), 0);
    if (sent < 0) {
        m_LastError = PlatformError();
        if (m_LastError != WSAEWOULDBLOCK) {
            RaiseError(m_LastError);
            return false;
        }
        m_LastError = 0;
        return true;
    }
    m_SendBuffer.Drop(static_cast<std::size_t>(sent));
    return true;
}

std::string TCPSock::LocalIP() const {
    return TCPSockProc::AddressToText(m_LocalIP);
}

void TCPSock::LocalPort(std::int32_t uPort) {
    if (m_State == StateClosed) {
        m_LocalPort = ClampPort(uPort);
    }
}

void TCPSock::RemotePort(std::int32_t uPort) {
    if (m_State == StateClosed || m_State == StateOpen) {
        m_RemotePort = ClampPort(uPort);
    }
}

void TCPSock::RemoteHost(const std::string& sHost) {
    if (m_State == StateClosed || m_State == StateOpen) {
        m_RemoteHost = sHost;
    }
}

void TCPSock::Encrypted(bool on, std::optional<CertificateFingerprint> pinned) {
    if (m_State == StateClosed || m_State == StateOpen) {
        m_Encrypted = on;
        m_pinned = on ? pinned : std::nullopt;
    }
}

TlsStatus TCPSock::Encryption() const {
    TlsStatus status;
    if (m_Handle == INVALID_SOCKET || m_proc.Platform().GetTlsStatus(m_Handle, status) != 0) {
        return TlsStatus{};
    }
    return status;
}

std::string TCPSock::RemoteHostIP() const {
    return TCPSockProc::AddressToText(m_RemoteHostIP);
}

bool TCPSock::Accept(std::int32_t requestID) {
    if (m_State != StateClosed) {
        return Refuse();
    }
    const std::optional<PendingConnection::Peer> peer = m_proc.Pending().Adopt(requestID);
    if (!peer) {
        return Refuse();
    }
    // A socket left by a failed Bind or Listen would otherwise stay open and listed for ever.
    if (m_Handle != INVALID_SOCKET) {
        ReleaseHandle();
    }
    m_Handle = requestID;
    m_proc.RegisterSocket(shared_from_this());
    m_RemoteHostIP = peer->address;
    m_RemoteHost = m_proc.ResolveAddress(m_RemoteHostIP);
    if (m_RemoteHost.empty()) {
        m_RemoteHost = RemoteHostIP();
    }
    m_RemoteHostIP = m_proc.ResolveHost(m_RemoteHost);
    m_RemotePort = peer->port;
    m_State = StateConnected;
    return true;
}

bool TCPSock::Bind(std::int32_t LocalPort) {
    if (m_State != StateClosed) {
        return Refuse();
    }
    if (LocalPort < 0 || LocalPort > MaxPort) {
        return false;
    }
    if (m_Handle == INVALID_SOCKET && !CreateSocket()) {
        return false;
    }
    if (m_proc.Platform().bind(m_Handle, AddressRecord(LocalPort, 0), AddressRecordLength) ==
        SOCKET_ERROR) {
        m_LastError = PlatformError();
        return false;
    }
    m_LocalPort = LocalPort;
    m_State = StateOpen;
    return true;
}

void TCPSock::CloseTCP() {
    m_LastError = 0;
    if (m_Handle != INVALID_SOCKET) {
        ReleaseHandle();
    }
    m_SendBuffer.Clear();
    m_RecvBuffer.Clear();
    m_RemoteHost.clear();
    m_RemoteHostIP = 0;
    m_RemotePort = 0;
    m_Encrypted = false;
    m_pinned.reset();
    m_State = StateClosed;
}

std::int32_t TCPSock::GetTextData(std::string& BUFFER, std::int32_t ReadByte) {
    if (!ReadAllowed(ReadByte)) {
        return 0;
    }
    const std::size_t taken = WholeCharacterLength(static_cast<std::size_t>(ReadByte));
    BUFFER = AnsiCodePage::ToText(m_RecvBuffer.Data(), taken);
    m_RecvBuffer.Drop(taken);
    return static_cast<std::int32_t>(taken);
}

std::int32_t TCPSock::PeekTextData(std::string& BUFFER, std::int32_t ReadByte) {
    if (!ReadAllowed(ReadByte)) {
        return 0;
    }
    const std::size_t covered = WholeCharacterLength(static_cast<std::size_t>(ReadByte));
    BUFFER = AnsiCodePage::ToText(m_RecvBuffer.Data(), covered);
    return static_cast<std::int32_t>(covered);
}

std::int32_t TCPSock::GetBinaryData(std::vector<std::uint8_t>& BUFFER, std::int32_t ReadByte) {
    if (!ReadAllowed(ReadByte)) {
        return 0;
    }
    m_RecvBuffer.Take(BUFFER, static_cast<std::size_t>(ReadByte));
    return ReadByte;
}

std::int32_t TCPSock::PeekBinaryData(std::vector<std::uint8_t>& BUFFER, std::int32_t ReadByte) {
    if (!ReadAllowed(ReadByte)) {
        return 0;
    }
    BUFFER.assign(m_RecvBuffer.Data(), m_RecvBuffer.Data() + ReadByte);
    return ReadByte;
}

bool TCPSock::Listen() {
    if (m_State != StateClosed && m_State != StateOpen) {
        return Refuse();
    }
    m_LastError = 0;
    if (m_Handle == INVALID_SOCKET && !CreateSocket()) {
        return false;
    }
    if (Select(FD_ACCEPT) != 0) {
        m_LastError = PlatformError();
        return false;
    }
    // Only Bind binds. A platform that would listen on an unbound socket would pick a port that
    // nobody chose, so an unbound socket is refused here as Windows Sockets refuses it.
    if (m_State != StateOpen) {
        m_LastError = WSAEINVAL;
        return false;
    }
    const int result = m_proc.Platform().listen(m_Handle, LISTEN_BACKLOG);
    m_LastError = PlatformError();
    if (result == 0 || (result == SOCKET_ERROR && m_LastError == WSAEWOULDBLOCK)) {
        m_State = StateListening;
        m_LastError = 0;
        return true;
    }
    return false;
}

bool TCPSock::SendBinaryData(const std::vector<std::uint8_t>& BUFFER) {
    if (m_State != StateConnected) {
        return Refuse();
    }
    // BytesRemaining is 32-bit: a send that it could not count is refused whole.
    if (BUFFER.size() > MaxQueuedBytes - m_SendBuffer.Size()) {
        m_LastError = WSAENOBUFS;
        return false;
    }
    m_SendBuffer.Append(BUFFER.data(), BUFFER.size());
    Select(MaskReadWriteClose);
    return true;
}

bool TCPSock::SendTextData(const std::string& SendText) {
    if (m_State != StateConnected) {
        return Refuse();
    }
    return SendBinaryData(AnsiCodePage::ToBytes(SendText));
}

bool TCPSock::Connect() {
    if (m_State != StateClosed && m_State != StateOpen) {
        return Refuse();
    }
    if (m_Handle == INVALID_SOCKET && !CreateSocket()) {
        return false;
    }
    m_State = StateResolvingHost;
    m_RemoteHostIP = m_proc.ResolveHost(m_RemoteHost);
    if (m_RemoteHostIP == WS_INADDR_NONE) {
        m_LastError = m_proc.LookupError();
        return false;
    }
    m_State = StateHostResolved;
    // The name checked against the certificate is the one given, not what the address resolves
    // back to.
    if (m_Encrypted &&
        m_proc.Platform().SetTls(m_Handle, TlsRequest{m_RemoteHost, m_pinned}) == SOCKET_ERROR) {
        m_LastError = PlatformError();
        return false;
    }
    const SockAddrIn peer = AddressRecord(m_RemotePort, m_RemoteHostIP);
    if (Select(FD_CONNECT) == SOCKET_ERROR) {
        m_LastError = PlatformError();
        return false;
    }
    // A connect that finishes at once is under way all the same: its FD_CONNECT still follows.
    if (m_proc.Platform().connect(m_Handle, peer, AddressRecordLength) == SOCKET_ERROR) {
        m_LastError = PlatformError();
        if (m_LastError != WSAEWOULDBLOCK) {
            return false;
        }
    }
    m_LastError = 0;
    m_State = StateConnecting;
    SockAddrIn local{};
    int length = AddressRecordLength;
    m_LocalPort =
        m_proc.Platform().getsockname(m_Handle, local, length) == 0 ? RecordPort(local) : 0;
    return true;
}

bool TCPSock::Refuse() {
    m_LastError = ErrorInvalidState;
    return false;
}

bool TCPSock::CreateSocket() {
    const SOCKET created = m_proc.Platform().socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    if (created == INVALID_SOCKET) {
        m_LastError = PlatformError();
        return false;
    }
    m_Handle = created;
    m_proc.RegisterSocket(shared_from_this());
    return true;
}

void TCPSock::ReleaseHandle() {
    m_proc.Platform().shutdown(m_Handle, SD_BOTH);
    m_proc.Platform().closesocket(m_Handle);
    m_proc.UnregisterSocket(*this);
    m_Handle = INVALID_SOCKET;
    ++m_Releases;
}

int TCPSock::Select(std::int32_t mask) {
    return m_proc.Platform().WSAAsyncSelect(m_Handle, m_proc.GetNotifyWindow(), WM_SOCKET_NOTIFY,
                                            mask);
}

int TCPSock::PlatformError() {
    return m_proc.Platform().WSAGetLastError();
}

void TCPSock::RaiseError(std::int32_t Number) {
    m_LastError = Number;
    m_State = StateError;
    if (m_events != nullptr) {
        m_events->Error(Number);
    }
}

bool TCPSock::ReadAllowed(std::int32_t ReadByte) {
    if (m_State != StateConnected) {
        Refuse();
        return false;
    }
    m_LastError = 0;
    if (ReadByte > BytesReceived()) {
        Refuse();
        return false;
    }
    if (ReadByte < 0) {
        throw std::invalid_argument("ReadByte must not be negative");
    }
    return true;
}

std::size_t TCPSock::WholeCharacterLength(std::size_t ReadByte) const {
    // Only a prefix that ends on a character boundary can survive: one that cuts a two-byte
    // character ends in a lone lead byte. The boundary prefixes that survive are exactly those
    // before the first character that does not, so the longest is found by halving.
    const std::uint8_t* bytes = m_RecvBuffer.Data();
    std::vector<std::size_t> ends;
    for (std::size_t pos = 0; pos < ReadByte;) {
        pos += AnsiCodePage::IsLeadByte(bytes[pos]) ? 2 : 1;
        if (pos > ReadByte) {
            break;
        }
        ends.push_back(pos);
    }
    if (ends.empty() || SurvivesRoundTrip(bytes, ends.back())) {
        return ends.empty() ? 0 : ends.back();
    }
    std::size_t good = 0;          // count of ends known to survive
    std::size_t bad = ends.size(); // index + 1 of an end known to fail
    while (bad - good > 1) {
        const std::size_t middle = good + (bad - good) / 2;
        if (SurvivesRoundTrip(bytes, ends[middle - 1])) {
            good = middle;
        } else {
            bad = middle;
        }
    }
    return good == 0 ? 0 : ends[good - 1];
}
