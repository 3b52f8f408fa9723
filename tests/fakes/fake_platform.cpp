#include "tests/fakes/fake_platform.h"

#include "socket/posix/dotted_address.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace winsock;

namespace {

constexpr std::uint16_t ClassAtom = 0xC001;
constexpr std::int32_t AllEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

std::string Join(std::initializer_list<std::string> parts) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty()) {
            out += ',';
        }
        out += part;
    }
    return out;
}

std::string Str(long long value) {
    return std::to_string(value);
}

std::string Endpoint(const SockAddrIn& name) {
    const int port = name.sin_port[0] * 256 + name.sin_port[1];
    return FakePlatform::Dotted(name.sin_addr) + ":" + Str(port);
}

std::optional<std::uint32_t> ParseDotted(const std::string& text) {
    const std::uint32_t address = dotted_address::Parse(text);
    if (address == WS_INADDR_NONE) {
        return std::nullopt;
    }
    return address;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

} // namespace

FakePlatform::FakePlatform() {
    const std::uint32_t loopback = Address(127, 0, 0, 1);
    Hosts["localhost"] = HostEnt{"localhost", {loopback}};
    Hosts["testhost"] = HostEnt{"testhost", {Address(192, 168, 0, 10)}};
    Names[loopback] = "localhost";
}

std::string FakePlatform::Dotted(std::uint32_t address) {
    std::array<std::uint8_t, 4> octets{};
    std::memcpy(octets.data(), &address, octets.size());
    return Str(octets[0]) + "." + Str(octets[1]) + "." + Str(octets[2]) + "." + Str(octets[3]);
}

std::uint32_t FakePlatform::Address(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                    std::uint8_t d) {
    const std::array<std::uint8_t, 4> octets{a, b, c, d};
    std::uint32_t address = 0;
    std::memcpy(&address, octets.data(), octets.size());
    return address;
}

void FakePlatform::Script(const std::string& call, int result, int error) {
    m_scripts[call].push_back(Scripted{result, error});
}

std::optional<FakePlatform::Scripted> FakePlatform::Take(const std::string& call) {
    auto found = m_scripts.find(call);
    if (found == m_scripts.end() || found->second.empty()) {
        return std::nullopt;
    }
    Scripted next = found->second.front();
    found->second.pop_front();
    if (next.result == SOCKET_ERROR && next.error != 0) {
        m_lastError = next.error;
    }
    return next;
}

int FakePlatform::Fail(int error) {
    m_lastError = error;
    return SOCKET_ERROR;
}

bool FakePlatform::Started() {
    if (m_startups == 0) {
        m_lastError = WSANOTINITIALISED;
        return false;
    }
    return true;
}

std::size_t FakePlatform::Socket::Unread() const {
    std::size_t count = 0;
    for (const Chunk& chunk : incoming) {
        count += chunk.bytes.size() - chunk.taken;
    }
    return count;
}

bool FakePlatform::CanSend(const Socket& sock) const {
    if (!sock.connected) {
        return false;
    }
    const auto partner = m_sockets.find(sock.partner);
    return partner == m_sockets.end() || partner->second.Unread() < PartnerWindow;
}

void FakePlatform::ConnectLocally(SOCKET s, Socket& sock) {
    for (auto& [handle, other] : m_sockets) {
        if (handle == s || other.closed || !other.bound || other.localPort != sock.peerPort) {
            continue;
        }
        if (!other.listening) {
            sock.connectOutcome = WSAECONNREFUSED;
            return;
        }
        const SOCKET offered = IncomingConnection(handle, sock.localAddress, sock.localPort);
        Sock(offered).partner = s;
        sock.partner = offered;
        sock.connectOutcome = 0;
        return;
    }
}

void FakePlatform::Hangup(Socket& sock, bool reset) {
    auto partner = m_sockets.find(sock.partner);
    sock.partner = INVALID_SOCKET;
    if (partner == m_sockets.end() || partner->second.closed) {
        return;
    }
    partner->second.partner = INVALID_SOCKET;
    if (!partner->second.peerClosed || reset) {
        partner->second.peerClosed = true;
        partner->second.closeError = reset ? WSAECONNRESET : 0;
    }
    PostReady(partner->first);
}

FakePlatform::Socket* FakePlatform::Find(SOCKET s) {
    if (!Started()) {
        return nullptr;
    }
    auto found = m_sockets.find(s);
    if (found == m_sockets.end() || found->second.closed) {
        m_lastError = WSAENOTSOCK;
        return nullptr;
    }
    return &found->second;
}

FakePlatform::Socket& FakePlatform::Sock(SOCKET s) {
    return m_sockets.at(s);
}

SOCKET FakePlatform::NewSocket() {
    const SOCKET s = m_nextSocket++;
    m_sockets[s] = Socket{};
    return s;
}

std::vector<std::string> FakePlatform::CallsTo(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& call : Calls) {
        if (call.compare(0, name.size() + 1, name + "(") == 0) {
            out.push_back(call);
        }
    }
    return out;
}

std::string FakePlatform::SentText(SOCKET s) {
    const auto& bytes = Sock(s).sent;
    return std::string(bytes.begin(), bytes.end());
}

// --- the peer ---

void FakePlatform::Arrive(SOCKET s, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) {
        return;
    }
    Sock(s).incoming.push_back(Socket::Chunk{bytes, 0, 0});
    PostReady(s);
}

void FakePlatform::Arrive(SOCKET s, const std::string& bytes) {
    Arrive(s, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void FakePlatform::ArriveError(SOCKET s, int error) {
    Sock(s).incoming.push_back(Socket::Chunk{{}, error, 0});
    PostReady(s);
}

void FakePlatform::PeerClose(SOCKET s, int error) {
    Socket& sock = Sock(s);
    sock.peerClosed = true;
    sock.closeError = error;
    PostReady(s);
}

SOCKET FakePlatform::IncomingConnection(SOCKET listening, std::uint32_t address,
                                        std::int32_t port) {
    const SOCKET s = NewSocket();
    Socket& offered = Sock(s);
    offered.connected = true;
    offered.peerAddress = address;
    offered.peerPort = port;
    offered.localAddress = Sock(listening).localAddress;
    offered.localPort = Sock(listening).localPort;
    Sock(listening).backlog.push_back(s);
    PostReady(listening);
    return s;
}

// --- notifications ---

void FakePlatform::PostReady(SOCKET s) {
    Socket& sock = m_sockets.at(s);
    if (!sock.selected || sock.closed) {
        return;
    }
    auto post = [&](std::int32_t event, bool condition, std::int32_t error) {
        if ((sock.mask & event) != 0 && (sock.enabled & event) != 0 && condition) {
            sock.enabled &= ~event;
            m_posted.push_back(
                Message{sock.window, sock.message, s, WSAMAKESELECTREPLY(event, error)});
            return true;
        }
        return false;
    };
    if (sock.connecting && (sock.mask & FD_CONNECT) != 0 && (sock.enabled & FD_CONNECT) != 0) {
        int error = 0;
        if (sock.connectOutcome) {
            error = *sock.connectOutcome;
        } else if (!ConnectErrors.empty()) {
            error = ConnectErrors.front();
            ConnectErrors.pop_front();
        }
        sock.connecting = false;
        sock.connected = error == 0;
        if (sock.tls.requested &&
            (error == 0 || (error >= ErrorTlsHandshake && error <= ErrorTlsPinMismatch))) {
            sock.tls.certificate = TlsCertificate;
            if (error == 0) {
                sock.tls.protocol = TlsProtocol;
            }
        }
        post(FD_CONNECT, true, error);
    }
    post(FD_ACCEPT, sock.listening && !sock.backlog.empty(), 0);
    post(FD_READ, !sock.incoming.empty(), 0);
    post(FD_WRITE, CanSend(sock), 0);
    if (!sock.closePosted &&
        post(FD_CLOSE, sock.peerClosed && sock.incoming.empty(), sock.closeError)) {
        sock.closePosted = true;
    }
}

void FakePlatform::Post(SOCKET s, std::int32_t event, std::int32_t error) {
    Message message{Window(), WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(event, error)};
    auto found = m_sockets.find(s);
    if (found != m_sockets.end() && found->second.selected) {
        message.hWnd = found->second.window;
        message.uMsg = found->second.message;
    }
    m_posted.push_back(message);
}

LRESULT FakePlatform::Notify(SOCKET s, std::int32_t event, std::int32_t error) {
    return Deliver(Message{Window(), WM_SOCKET_NOTIFY, s, WSAMAKESELECTREPLY(event, error)});
}

LRESULT FakePlatform::Deliver(const Message& message) {
    const auto window = m_windows.find(message.hWnd);
    if (window == m_windows.end()) {
        return 0;
    }
    // A copy, so that a handler that unregisters the class does not destroy the running procedure.
    const auto wndClass = m_classes.find(window->second);
    if (wndClass == m_classes.end()) {
        return 0;
    }
    const WNDPROC procedure = wndClass->second.lpfnWndProc;
    return procedure(message.hWnd, message.uMsg, message.wParam, message.lParam);
}

std::size_t FakePlatform::Pump() {
    std::size_t count = m_posted.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Message message = m_posted.front();
        m_posted.pop_front();
        Deliver(message);
    }
    return count;
}

std::size_t FakePlatform::PumpAll(std::size_t maxMessages) {
    std::size_t delivered = 0;
    while (!m_posted.empty() && delivered < maxMessages) {
        const Message message = m_posted.front();
        m_posted.pop_front();
        Deliver(message);
        ++delivered;
    }
    return delivered;
}

// --- winsock::Platform ---

int FakePlatform::WSAStartup(std::uint16_t wVersionRequested) {
    Record("WSAStartup(" + Str(wVersionRequested) + ")");
    int result = (wVersionRequested & 0xFFu) == 0 ? WSAVERNOTSUPPORTED : 0;
    if (auto scripted = Take("WSAStartup")) {
        result = scripted->result;
    }
    if (result == 0) {
        ++m_startups;
    }
    return result;
}

int FakePlatform::WSACleanup() {
    Record("WSACleanup()");
    if (auto scripted = Take("WSACleanup")) {
        return scripted->result;
    }
    if (!Started()) {
        return SOCKET_ERROR;
    }
    // The last clean-up releases every socket still open.
    if (--m_startups == 0) {
        for (auto& [handle, sock] : m_sockets) {
            if (!sock.closed) {
                Hangup(sock, false);
                sock.closed = true;
            }
        }
    }
    return 0;
}

int FakePlatform::WSAAsyncSelect(SOCKET s, HWND hWnd, UINT wMsg, std::int32_t lEvent) {
    Record("WSAAsyncSelect(" + Join({Str(s), Str(hWnd), Str(wMsg), Str(lEvent)}) + ")");
    if (auto scripted = Take("WSAAsyncSelect")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (lEvent != 0 && !m_windows.contains(hWnd)) {
        return Fail(WSAEINVAL);
    }
    sock->selected = true;
    sock->window = hWnd;
    sock->message = wMsg;
    sock->mask = lEvent;
    sock->enabled = AllEvents;
    sock->closePosted = false;
    PostReady(s);
    return 0;
}

SOCKET FakePlatform::socket(int af, int type, int protocol) {
    Record("socket(" + Join({Str(af), Str(type), Str(protocol)}) + ")");
    if (auto scripted = Take("socket")) {
        if (scripted->result >= 0) {
            m_sockets[scripted->result] = Socket{};
            m_lastSocket = scripted->result;
        }
        return scripted->result;
    }
    if (!Started()) {
        return INVALID_SOCKET;
    }
    if (af != WS_AF_INET) {
        return Fail(WSAEAFNOSUPPORT);
    }
    m_lastSocket = NewSocket();
    return m_lastSocket;
}

int FakePlatform::bind(SOCKET s, const SockAddrIn& name, int namelen) {
    Record("bind(" + Join({Str(s), Endpoint(name), Str(namelen)}) + ")");
    if (auto scripted = Take("bind")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (sock->bound || sock->connected) {
        return Fail(WSAEINVAL);
    }
    int port = name.sin_port[0] * 256 + name.sin_port[1];
    for (const auto& [handle, other] : m_sockets) {
        if (port != 0 && handle != s && !other.closed && other.bound && other.localPort == port) {
            return Fail(WSAEADDRINUSE);
        }
    }
    if (port == 0) {
        port = m_nextEphemeralPort++;
    }
    sock->bound = true;
    sock->localAddress = name.sin_addr;
    sock->localPort = port;
    return 0;
}

int FakePlatform::listen(SOCKET s, int backlog) {
    Record("listen(" + Join({Str(s), Str(backlog)}) + ")");
    if (auto scripted = Take("listen")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (!sock->bound) {
        return Fail(WSAEINVAL);
    }
    sock->listening = true;
    PostReady(s);
    return 0;
}

SOCKET FakePlatform::accept(SOCKET s, SockAddrIn& addr, int& addrlen) {
    Record("accept(" + Join({Str(s), Str(addrlen)}) + ")");
    if (auto scripted = Take("accept")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return INVALID_SOCKET;
    }
    if (!sock->listening) {
        return Fail(WSAEINVAL);
    }
    sock->enabled |= FD_ACCEPT;
    if (sock->backlog.empty()) {
        return Fail(WSAEWOULDBLOCK);
    }
    const SOCKET accepted = sock->backlog.front();
    sock->backlog.pop_front();
    const Socket& peer = Sock(accepted);
    addr = SockAddrIn{};
    addr.sin_family = WS_AF_INET;
    addr.sin_port = {static_cast<std::uint8_t>(peer.peerPort / 256),
                     static_cast<std::uint8_t>(peer.peerPort % 256)};
    addr.sin_addr = peer.peerAddress;
    addrlen = sizeof(SockAddrIn);
    m_lastSocket = accepted;
    // The new socket shares the listener's selection.
    Socket& taken = Sock(accepted);
    if (sock->selected) {
        taken.selected = true;
        taken.window = sock->window;
        taken.message = sock->message;
        taken.mask = sock->mask;
        taken.enabled = AllEvents;
    }
    PostReady(s);
    PostReady(accepted);
    return accepted;
}

int FakePlatform::connect(SOCKET s, const SockAddrIn& name, int namelen) {
    Record("connect(" + Join({Str(s), Endpoint(name), Str(namelen)}) + ")");
    std::optional<Scripted> scripted = Take("connect");
    if (scripted && scripted->result != 0) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (sock->connected) {
        return Fail(WSAEISCONN);
    }
    if (sock->connecting) {
        return Fail(WSAEALREADY);
    }
    if (sock->localPort == 0) {
        sock->localPort = m_nextEphemeralPort++;
    }
    sock->localAddress = Address(127, 0, 0, 1);
    sock->peerAddress = name.sin_addr;
    sock->peerPort = name.sin_port[0] * 256 + name.sin_port[1];
    ConnectLocally(s, *sock);
    // Finished at once or under way, the FD_CONNECT follows as from the real layer.
    sock->connecting = true;
    PostReady(s);
    return scripted ? 0 : Fail(WSAEWOULDBLOCK);
}

int FakePlatform::getsockname(SOCKET s, SockAddrIn& name, int& namelen) {
    Record("getsockname(" + Join({Str(s), Str(namelen)}) + ")");
    if (auto scripted = Take("getsockname")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (!sock->bound && !sock->connected && !sock->connecting) {
        return Fail(WSAEINVAL);
    }
    name = SockAddrIn{};
    name.sin_family = WS_AF_INET;
    name.sin_port = {static_cast<std::uint8_t>(sock->localPort / 256),
                     static_cast<std::uint8_t>(sock->localPort % 256)};
    name.sin_addr = sock->localAddress;
    namelen = sizeof(SockAddrIn);
    return 0;
}

int FakePlatform::recv(SOCKET s, std::uint8_t* buf, int len, int flags) {
    Record("recv(" + Join({Str(s), Str(len), Str(flags)}) + ")");
    std::optional<Scripted> scripted = Take("recv");
    if (scripted && scripted->result < 0) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    sock->enabled |= FD_READ;
    if (sock->incoming.empty()) {
        if (sock->peerClosed) {
            return 0;
        }
        return Fail(WSAEWOULDBLOCK);
    }
    Socket::Chunk& chunk = sock->incoming.front();
    if (chunk.error != 0) {
        const int error = chunk.error;
        sock->incoming.pop_front();
        PostReady(s);
        return Fail(error);
    }
    std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(len, 0)),
                                              chunk.bytes.size() - chunk.taken);
    if (scripted) {
        count = std::min<std::size_t>(count, static_cast<std::size_t>(scripted->result));
    }
    std::copy_n(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken), count, buf);
    if ((flags & WS_MSG_PEEK) != 0) {
        return static_cast<int>(count);
    }
    chunk.taken += count;
    if (chunk.taken == chunk.bytes.size()) {
        sock->incoming.pop_front();
    }
    const SOCKET partner = sock->partner;
    PostReady(s);
    if (partner != INVALID_SOCKET) {
        PostReady(partner); // room again for what the partner sends
    }
    return static_cast<int>(count);
}

int FakePlatform::send(SOCKET s, const std::uint8_t* buf, int len, int flags) {
    Record("send(" + Join({Str(s), Str(len), Str(flags)}) + ")");
    std::optional<Scripted> scripted = Take("send");
    if (scripted && scripted->result < 0) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (!sock->connected) {
        return Fail(WSAENOTCONN);
    }
    if (sock->peerClosed && sock->closeError == WSAECONNRESET) {
        return Fail(WSAECONNRESET);
    }
    int count = std::max(len, 0);
    if (scripted) {
        count = std::min(count, scripted->result);
    }
    const auto partner = m_sockets.find(sock->partner);
    if (partner != m_sockets.end()) {
        const std::size_t room = PartnerWindow - std::min(PartnerWindow, partner->second.Unread());
        count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count), room));
    }
    if (count == 0 && len > 0) {
        sock->enabled |= FD_WRITE;
        PostReady(s);
        return Fail(WSAEWOULDBLOCK);
    }
    sock->sent.insert(sock->sent.end(), buf, buf + count);
    if (partner != m_sockets.end() && count > 0) {
        partner->second.incoming.push_back(Socket::Chunk{{buf, buf + count}, 0, 0});
        PostReady(partner->first);
    }
    return count;
}

int FakePlatform::shutdown(SOCKET s, int how) {
    Record("shutdown(" + Join({Str(s), Str(how)}) + ")");
    if (auto scripted = Take("shutdown")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    sock->shutDown = true;
    if (how != SD_RECEIVE) { // the sending side ends: the partner sees the end of the stream
        const auto partner = m_sockets.find(sock->partner);
        if (partner != m_sockets.end() && !partner->second.peerClosed) {
            partner->second.peerClosed = true;
            PostReady(partner->first);
        }
    }
    return 0;
}

int FakePlatform::closesocket(SOCKET s) {
    Record("closesocket(" + Str(s) + ")");
    if (auto scripted = Take("closesocket")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    Hangup(*sock, sock->Unread() > 0);
    sock->closed = true;
    // Notifications still queued for the socket go with it, as in the real layers: addressed to
    // no window, they are not delivered.
    for (Message& message : m_posted) {
        if (message.wParam == s) {
            message.hWnd = 0;
        }
    }
    return 0;
}

int FakePlatform::SetTls(SOCKET s, const TlsRequest& request) {
    Record("SetTls(" + Join({Str(s), request.serverName, request.pinned ? "pinned" : "unpinned"}) +
           ")");
    if (auto scripted = Take("SetTls")) {
        return scripted->result;
    }
    Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    if (sock->connecting || sock->connected || sock->listening) {
        return Fail(WSAEISCONN);
    }
    sock->tls = TlsStatus{};
    sock->tls.requested = true;
    return 0;
}

int FakePlatform::GetTlsStatus(SOCKET s, TlsStatus& status) {
    const Socket* sock = Find(s);
    if (sock == nullptr) {
        return SOCKET_ERROR;
    }
    status = sock->tls;
    return 0;
}

int FakePlatform::gethostname(char* name, int namelen) {
    Record("gethostname(" + Str(namelen) + ")");
    if (auto scripted = Take("gethostname")) {
        return scripted->result;
    }
    if (!Started()) {
        return SOCKET_ERROR;
    }
    if (namelen < 0 || HostName.size() >= static_cast<std::size_t>(namelen)) {
        return Fail(WSAEFAULT);
    }
    std::memcpy(name, HostName.c_str(), HostName.size() + 1);
    return 0;
}

std::optional<HostEnt> FakePlatform::gethostbyname(const std::string& name) {
    Record("gethostbyname(" + name + ")");
    if (auto scripted = Take("gethostbyname"); scripted && scripted->result < 0) {
        return std::nullopt;
    }
    if (!Started()) {
        return std::nullopt;
    }
    if (auto found = Hosts.find(name); found != Hosts.end()) {
        return found->second;
    }
    if (auto address = ParseDotted(name)) {
        return HostEnt{name, {*address}};
    }
    m_lastError = WSAHOST_NOT_FOUND;
    return std::nullopt;
}

std::optional<HostEnt> FakePlatform::gethostbyaddr(std::uint32_t addr, int len, int type) {
    Record("gethostbyaddr(" + Join({Dotted(addr), Str(len), Str(type)}) + ")");
    if (auto scripted = Take("gethostbyaddr"); scripted && scripted->result < 0) {
        return std::nullopt;
    }
    if (!Started()) {
        return std::nullopt;
    }
    if (len != static_cast<int>(sizeof addr)) {
        Fail(WSAEFAULT);
        return std::nullopt;
    }
    if (type != WS_AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return std::nullopt;
    }
    if (auto found = Names.find(addr); found != Names.end()) {
        return HostEnt{found->second, {addr}};
    }
    m_lastError = WSAHOST_NOT_FOUND;
    return std::nullopt;
}

std::uint32_t FakePlatform::inet_addr(const std::string& cp) {
    Record("inet_addr(" + cp + ")");
    return ParseDotted(cp).value_or(WS_INADDR_NONE);
}

std::uint16_t FakePlatform::RegisterClassA(const WndClass& wndClass) {
    Record("RegisterClassA(" + wndClass.lpszClassName + ")");
    const std::string key = LowerAscii(wndClass.lpszClassName);
    std::uint16_t atom =
        key.empty() || !wndClass.lpfnWndProc || m_classes.contains(key) ? 0 : ClassAtom;
    if (auto scripted = Take("RegisterClassA")) {
        atom = static_cast<std::uint16_t>(scripted->result);
    }
    if (atom != 0) {
        m_classes[key] = wndClass;
    }
    return atom;
}

int FakePlatform::UnregisterClassA(const std::string& className, HINSTANCE hInstance) {
    Record("UnregisterClassA(" + Join({className, Str(hInstance)}) + ")");
    const std::string key = LowerAscii(className);
    // Windows refuses while a window of the class exists.
    const bool inUse = std::any_of(m_windows.begin(), m_windows.end(),
                                   [&](const auto& window) { return window.second == key; });
    int result = m_classes.contains(key) && !inUse ? 1 : 0;
    if (auto scripted = Take("UnregisterClassA")) {
        result = scripted->result;
    }
    if (result != 0) {
        m_classes.erase(key);
    }
    return result;
}

HWND FakePlatform::CreateWindowExA(std::uint32_t dwExStyle, const std::string& className,
                                   const std::string& windowName, std::uint32_t dwStyle, int x,
                                   int y, int nWidth, int nHeight, HWND hWndParent,
                                   std::int32_t hMenu, HINSTANCE hInstance, std::intptr_t lpParam) {
    Record("CreateWindowExA(" +
           Join({Str(dwExStyle), className, windowName, Str(dwStyle), Str(x), Str(y), Str(nWidth),
                 Str(nHeight), Str(hWndParent), Str(hMenu), Str(hInstance), Str(lpParam)}) +
           ")");
    const std::string key = LowerAscii(className);
    HWND window = 0;
    if (m_classes.contains(key)) {
        for (window = FirstWindow; m_windows.contains(window); ++window) {
        }
    }
    if (auto scripted = Take("CreateWindowExA")) {
        window = scripted->result;
    }
    if (window != 0) {
        m_windows[window] = key;
    }
    return window;
}

int FakePlatform::DestroyWindow(HWND hWnd) {
    Record("DestroyWindow(" + Str(hWnd) + ")");
    int result = m_windows.contains(hWnd) ? 1 : 0;
    if (auto scripted = Take("DestroyWindow")) {
        result = scripted->result;
    }
    if (result != 0) {
        m_windows.erase(hWnd);
        std::erase_if(m_posted, [hWnd](const Message& message) { return message.hWnd == hWnd; });
    }
    return result;
}

LRESULT FakePlatform::DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    Record("DefWindowProcA(" + Join({Str(hWnd), Str(uMsg), Str(wParam), Str(lParam)}) + ")");
    if (auto scripted = Take("DefWindowProcA")) {
        return scripted->result;
    }
    return 0;
}
