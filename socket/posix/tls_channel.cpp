#include "socket/posix/tls_channel.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

using namespace winsock;

namespace {

// A dotted IPv4 address is checked against the certificate's addresses; anything else is a name.
bool IsAddress(const std::string& host) {
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

std::optional<CertificateFingerprint> Fingerprint(X509* certificate) {
    CertificateFingerprint digest{};
    unsigned int length = 0;
    if (certificate == nullptr ||
        X509_digest(certificate, EVP_sha256(), digest.data(), &length) != 1 ||
        length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

int FromVerifyResult(long result) {
    switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return ErrorTlsExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return ErrorTlsWrongHost;
    default:
        return ErrorTlsUntrusted;
    }
}

} // namespace

void TlsChannel::ContextFree::operator()(ssl_ctx_st* context) const {
    SSL_CTX_free(context);
}

void TlsChannel::SessionFree::operator()(ssl_st* ssl) const {
    SSL_free(ssl);
}

std::unique_ptr<TlsChannel> TlsChannel::Create(const TlsRequest& request) {
    std::unique_ptr<TlsChannel> channel(new TlsChannel);
    if (!channel->Setup(request)) {
        ERR_clear_error();
        return nullptr;
    }
    return channel;
}

TlsChannel::~TlsChannel() = default;

bool TlsChannel::Setup(const TlsRequest& request) {
    m_pinned = request.pinned;
    m_context.reset(SSL_CTX_new(TLS_client_method()));
    if (!m_context || SSL_CTX_set_min_proto_version(m_context.get(), TLS1_2_VERSION) != 1) {
        return false;
    }
    if (!m_pinned && SSL_CTX_set_default_verify_paths(m_context.get()) != 1) {
        return false;
    }
    SSL_CTX_set_verify(m_context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(m_context.get(), &TlsChannel::CheckCertificate, this);

    m_ssl.reset(SSL_new(m_context.get()));
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (!m_ssl || m_in == nullptr || m_out == nullptr) {
        BIO_free(m_in);
        BIO_free(m_out);
        return false;
    }
    SSL_set_bio(m_ssl.get(), m_in, m_out);
    const std::string& host = request.serverName;
    const bool address = IsAddress(host);
    if (!address && SSL_set_tlsext_host_name(m_ssl.get(), host.c_str()) != 1) {
        return false;
    }
    if (!m_pinned) {
        X509_VERIFY_PARAM* param = SSL_get0_param(m_ssl.get());
        const int named = address ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                                  : X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
        if (named != 1) {
            return false;
        }
    }
    SSL_set_connect_state(m_ssl.get());
    return true;
}

int TlsChannel::CheckCertificate(x509_store_ctx_st* store, void* data) {
    auto* channel = static_cast<TlsChannel*>(data);
    channel->m_certificate = Fingerprint(X509_STORE_CTX_get0_cert(store));
    if (!channel->m_pinned) {
        return X509_verify_cert(store);
    }
    // A pinned certificate is the whole check: who signed it, what it names and when it is valid
    // are what the user decided by pinning it.
    if (channel->m_certificate == channel->m_pinned) {
        return 1;
    }
    channel->m_pinMismatch = true;
    X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
    return 0;
}

void TlsChannel::Feed(const std::uint8_t* bytes, std::size_t count) {
    if (count > 0) {
        BIO_write(m_in, bytes, static_cast<int>(count));
    }
}

void TlsChannel::Collect() {
    const std::size_t pending = BIO_ctrl_pending(m_out);
    if (pending > 0) {
        const int moved = BIO_read(m_out, m_outgoing.Reserve(pending), static_cast<int>(pending));
        m_outgoing.Commit(moved > 0 ? static_cast<std::size_t>(moved) : 0);
    }
}

TlsChannel::Progress TlsChannel::Handshake() {
    if (m_established) {
        return Progress::Established;
    }
    if (m_failure != 0) {
        return Progress::Failed;
    }
    const int result = SSL_do_handshake(m_ssl.get());
    const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(m_ssl.get(), result);
    Collect();
    if (result == 1) {
        m_established = true;
        return Progress::Established;
    }
    if (error == SSL_ERROR_WANT_READ) {
        return Progress::Pending;
    }
    ERR_clear_error();
    m_failure = Refusal();
    return Progress::Failed;
}

int TlsChannel::Refusal() const {
    if (m_pinMismatch) {
        return ErrorTlsPinMismatch;
    }
    const long verified = SSL_get_verify_result(m_ssl.get());
    return verified != X509_V_OK && m_certificate ? FromVerifyResult(verified) : ErrorTlsHandshake;
}

TlsChannel::ReadOutcome TlsChannel::Read(std::uint8_t* buf, std::size_t len, std::size_t& count) {
    count = 0;
    const int result = SSL_read_ex(m_ssl.get(), buf, len, &count) == 1 ? 1 : 0;
    // Reading may answer the server (a key update), and those bytes must go out too.
    Collect();
    if (result == 1) {
        return ReadOutcome::Data;
    }
    switch (SSL_get_error(m_ssl.get(), 0)) {
    case SSL_ERROR_WANT_READ:
        return ReadOutcome::NeedMore;
    case SSL_ERROR_ZERO_RETURN:
        return ReadOutcome::Ended;
    default:
        ERR_clear_error();
        return ReadOutcome::Broken;
    }
}

bool TlsChannel::Write(const std::uint8_t* bytes, std::size_t count) {
    std::size_t written = 0;
    const bool ok = count == 0 || SSL_write_ex(m_ssl.get(), bytes, count, &written) == 1;
    Collect();
    if (!ok) {
        ERR_clear_error();
    }
    return ok;
}

void TlsChannel::Close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_established) {
        SSL_shutdown(m_ssl.get());
        Collect();
        ERR_clear_error();
    }
}

TlsStatus TlsChannel::Status() const {
    TlsStatus status;
    status.requested = true;
    if (m_established) {
        switch (SSL_version(m_ssl.get())) {
        case TLS1_3_VERSION:
            status.protocol = "TLS 1.3";
            break;
        case TLS1_2_VERSION:
            status.protocol = "TLS 1.2";
            break;
        default:
            break;
        }
    }
    status.certificate = m_certificate;
    return status;
}
