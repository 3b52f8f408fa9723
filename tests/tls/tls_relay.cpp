#include "tests/tls/tls_relay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <memory>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int PollMs = 50;
constexpr int ChunkSize = 16 * 1024;
constexpr int PlaintextWaits = 40;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Blocking calls wake up now and then, so that the relay notices when it is to stop.
void SetTimeouts(int fd) {
    const timeval wake{0, PollMs * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wake, sizeof wake);
}

void Reset(int fd) {
    const linger abort{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

bool Readable(int fd, SSL* ssl) {
    if (ssl != nullptr && SSL_pending(ssl) > 0) {
        return true;
    }
    pollfd pfd{fd, POLLIN, 0};
    return ::poll(&pfd, 1, 0) == 1;
}

} // namespace

TlsRelay::TlsRelay(Options options) : m_options(std::move(options)) {
    if (m_listener.Listening()) {
        m_thread = std::thread([this] { Run(); });
    }
}

TlsRelay::~TlsRelay() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool TlsRelay::Stopping() const {
    return m_stop || std::chrono::steady_clock::now() >= m_end;
}

void TlsRelay::Run() {
    while (!Stopping()) {
        const int client = m_listener.Accept(std::chrono::milliseconds(PollMs));
        if (client >= 0) {
            SetTimeouts(client);
            if (m_options.Plaintext) {
                ServePlaintext(client);
            } else {
                Serve(client);
            }
            ::close(client);
        }
    }
}

void TlsRelay::Serve(int client) {
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                              SSL_CTX_free);
    if (!context ||
        SSL_CTX_use_certificate_chain_file(context.get(), m_options.Identity.Certificate.c_str()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(context.get(), m_options.Identity.Key.c_str(),
                                    SSL_FILETYPE_PEM) != 1) {
        return;
    }
    if (m_options.OnlyTls11) {
        // TLS 1.1 takes the lowest security level, in the library and in its cipher list.
        SSL_CTX_set_security_level(context.get(), 0);
        SSL_CTX_set_cipher_list(context.get(), "DEFAULT@SECLEVEL=0");
        SSL_CTX_set_min_proto_version(context.get(), TLS1_1_VERSION);
        SSL_CTX_set_max_proto_version(context.get(), TLS1_1_VERSION);
    }
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
    SSL_set_fd(ssl.get(), client);
    int accepted = 0;
    while (!Stopping() && (accepted = SSL_accept(ssl.get())) != 1 &&
           SSL_get_error(ssl.get(), accepted) == SSL_ERROR_WANT_READ) {
    }
    if (accepted != 1) {
        return;
    }
    {
        const char* name = SSL_get_servername(ssl.get(), TLSEXT_NAMETYPE_host_name);
        const std::lock_guard lock(m_mutex);
        m_serverName = name != nullptr ? name : "";
    }
    ++m_established;
    if (m_options.TargetPort == 0) {
        std::vector<char> buffer(ChunkSize);
        std::size_t n = 0;
        int error = SSL_ERROR_WANT_READ;
        while (!Stopping() && (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_NONE)) {
            error = SSL_read_ex(ssl.get(), buffer.data(), buffer.size(), &n) == 1
                        ? SSL_ERROR_NONE
                        : SSL_get_error(ssl.get(), 0);
        }
        m_closeNotified = m_closeNotified || error == SSL_ERROR_ZERO_RETURN;
        return;
    }
    const int plain = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(m_options.TargetPort);
    if (plain < 0 || ::connect(plain, reinterpret_cast<const sockaddr*>(&target), sizeof target)) {
        if (plain >= 0) {
            ::close(plain);
        }
        return;
    }
    SetTimeouts(plain);
    Pass(client, ssl.get(), plain);
    ::close(plain);
}

void TlsRelay::Pass(int client, SSL* ssl, int plain) {
    std::vector<char> buffer(ChunkSize);
    bool fromClient = true;
    bool fromPlain = true;
    while (!Stopping() && (fromClient || fromPlain)) {
        pollfd pfds[2] = {{client, static_cast<short>(fromClient ? POLLIN : 0), 0},
                          {plain, static_cast<short>(fromPlain ? POLLIN : 0), 0}};
        if (SSL_pending(ssl) == 0 && ::poll(pfds, 2, PollMs) <= 0) {
            continue;
        }
        if (fromClient && Readable(client, ssl)) {
            std::size_t n = 0;
            if (SSL_read_ex(ssl, buffer.data(), buffer.size(), &n) == 1) {
                for (std::size_t sent = 0; sent < n && !Stopping();) {
                    const ssize_t k = ::send(plain, buffer.data() + sent, n - sent, MSG_NOSIGNAL);
                    if (k < 0 && errno != EAGAIN) {
                        break;
                    }
                    sent += k > 0 ? static_cast<std::size_t>(k) : 0;
                }
            } else if (SSL_get_error(ssl, 0) != SSL_ERROR_WANT_READ) {
                ::shutdown(plain, SHUT_WR);
                fromClient = false;
            }
        }
        if (fromPlain && Readable(plain, nullptr)) {
            const ssize_t n = ::recv(plain, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                std::size_t written = 0;
                while (!Stopping() && SSL_write_ex(ssl, buffer.data(), n, &written) != 1) {
                    const int error = SSL_get_error(ssl, 0);
                    if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) {
                        fromPlain = false;
                        break;
                    }
                }
            } else if (n == 0) {
                SSL_shutdown(ssl);
                ::shutdown(client, SHUT_WR);
                fromPlain = false;
            } else if (errno != EAGAIN) {
                Reset(client);
                break;
            }
        }
    }
}

void TlsRelay::ServePlaintext(int client) {
    const std::string& greeting = *m_options.Plaintext;
    ::send(client, greeting.data(), greeting.size(), MSG_NOSIGNAL);
    std::vector<char> buffer(ChunkSize);
    ssize_t n = -1;
    for (int wait = 0; wait < PlaintextWaits && n < 0 && !Stopping(); ++wait) {
        n = ::recv(client, buffer.data(), buffer.size(), 0);
    }
    const std::lock_guard lock(m_mutex);
    m_firstBytes.assign(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string TlsRelay::ServerName() const {
    const std::lock_guard lock(m_mutex);
    return m_serverName;
}

std::string TlsRelay::FirstBytes() const {
    const std::lock_guard lock(m_mutex);
    return m_firstBytes;
}
