#include "socket/win32/tls_session.h"

#include <algorithm>
#include <cstring>

#include <windows.h>
// The headers below need the types of the ones above.
#include <wincrypt.h>
#include <winternl.h>

#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>
#include <security.h>

namespace {

constexpr unsigned long RequestFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                       ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                       ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                       ISC_REQ_MANUAL_CRED_VALIDATION;
constexpr DWORD EnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// The certificate is checked here; the server asks for none of ours.
constexpr DWORD CredentialFlags =
    SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;

struct CertificateRelease {
    void operator()(const CERT_CONTEXT* certificate) const {
        CertFreeCertificateContext(certificate);
    }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateRelease>;

struct ChainRelease {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainRelease>;

// A buffer Schannel allocated (ISC_REQ_ALLOCATE_MEMORY).
struct ContextBufferRelease {
    void operator()(void* buffer) const { FreeContextBuffer(buffer); }
};
using ContextBuffer = std::unique_ptr<void, ContextBufferRelease>;

bool AcquireCredentials(CredHandle& handle) {
    TimeStamp expiry;
    TLS_PARAMETERS parameters{};
    parameters.grbitDisabledProtocols = ~EnabledProtocols;
    SCH_CREDENTIALS credentials{};
    credentials.dwVersion = SCH_CREDENTIALS_VERSION;
    credentials.dwFlags = CredentialFlags;
    credentials.cTlsParameters = 1;
    credentials.pTlsParameters = &parameters;
    wchar_t* package = const_cast<wchar_t*>(UNISP_NAME_W);
    if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &credentials,
                                  nullptr, nullptr, &handle, &expiry) == SEC_E_OK) {
        return true;
    }
    // Systems older than this structure know only the older one, and with it no TLS 1.3.
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    older.dwFlags = CredentialFlags;
    return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                     nullptr, nullptr, &handle, &expiry) == SEC_E_OK;
}

// Moves a token Schannel wrote into the bytes to send, and gives its buffer back.
void TakeToken(ByteQueue& outgoing, const SecBuffer& token) {
    const ContextBuffer owned(token.pvBuffer);
    if (owned && token.cbBuffer > 0) {
        outgoing.Append(static_cast<const std::uint8_t*>(token.pvBuffer), token.cbBuffer);
    }
}

// Keeps the bytes a call left unread, which an "extra" buffer counts from the end of the input,
// or drops them all.
void KeepExtra(std::vector<std::uint8_t>& incoming, const SecBuffer* buffers, std::size_t count) {
    const SecBuffer* end = buffers + count;
    const SecBuffer* extra = std::find_if(
        buffers, end, [](const SecBuffer& buffer) { return buffer.BufferType == SECBUFFER_EXTRA; });
    const std::size_t kept =
        extra != end ? std::min<std::size_t>(extra->cbBuffer, incoming.size()) : 0;
    std::memmove(incoming.data(), incoming.data() + incoming.size() - kept, kept);
    incoming.resize(kept);
}

// The four octets of a dotted address, in memory order; none for a name.
std::optional<std::array<std::uint8_t, 4>> DottedAddress(const std::string& host) {
    std::array<std::uint8_t, 4> octets{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const std::size_t end = i + 1 < octets.size() ? host.find('.', at) : host.size();
        const std::string part = host.substr(at, end == std::string::npos ? 0 : end - at);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255) {
            return std::nullopt;
        }
        octets[i] = static_cast<std::uint8_t>(std::stoi(part));
        at = end + 1;
    }
    return octets;
}

// The SSL policy's verdict on the chain; with a server name, also on the name.
HRESULT PolicyError(const CERT_CHAIN_CONTEXT* chain, wchar_t* serverName) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = serverName;
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof para;
    para.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status)) {
        return E_FAIL;
    }
    return static_cast<HRESULT>(status.dwError);
}

struct LocalRelease {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Whether the certificate's alternative names hold the address: the policy matches names only.
bool HoldsAddress(const CERT_CONTEXT* certificate, const std::array<std::uint8_t, 4>& address) {
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (extension == nullptr ||
        !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
        return false;
    }
    const std::unique_ptr<CERT_ALT_NAME_INFO, LocalRelease> owned(names);
    const CERT_ALT_NAME_ENTRY* begin = names->rgAltEntry;
    const CERT_ALT_NAME_ENTRY* end = begin + names->cAltEntry;
    return std::any_of(begin, end, [&address](const CERT_ALT_NAME_ENTRY& entry) {
        return entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
               entry.IPAddress.cbData == address.size() &&
               std::equal(address.begin(), address.end(), entry.IPAddress.pbData);
    });
}

std::wstring Widen(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

} // namespace

struct TlsSession::Handles {
    CredHandle credentials{};
    bool haveCredentials = false;
    CtxtHandle context{};
    bool haveContext = false;

    Handles() = default;
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() {
        if (haveContext) {
            DeleteSecurityContext(&context);
        }
        if (haveCredentials) {
            FreeCredentialsHandle(&credentials);
        }
    }
};

TlsSession::TlsSession(const std::string& host, std::optional<Fingerprint> pin)
    : m_handles(std::make_unique<Handles>()), m_host(Widen(host)),
      m_address(DottedAddress(host).value_or(std::array<std::uint8_t, 4>{})),
      m_hostIsName(!DottedAddress(host)), m_pin(pin) {}

TlsSession::~TlsSession() = default;

void TlsSession::Fail(Failure failure) {
    m_state = State::Failed;
    m_failure = failure;
    m_incoming.clear();
}

void TlsSession::Start() {
    if (!AcquireCredentials(m_handles->credentials)) {
        Fail(Failure::Handshake);
        return;
    }
    m_handles->haveCredentials = true;
    Handshake();
}

void TlsSession::Receive(const std::uint8_t* bytes, std::size_t count) {
    if (m_state == State::Failed || m_state == State::Closed) {
        return;
    }
    m_incoming.insert(m_incoming.end(), bytes, bytes + count);
    if (m_state == State::Handshaking) {
        Handshake();
    }
    if (m_state == State::Open) {
        Decrypt();
    }
}

void TlsSession::Handshake() {
    // Sent without a server name for an address: a name is what the server picks a certificate by.
    wchar_t* target = m_hostIsName ? m_host.data() : nullptr;
    unsigned long flags = RequestFlags;
    for (;;) {
        const bool first = !m_handles->haveContext;
        SecBuffer in[2] = {
            {static_cast<unsigned long>(m_incoming.size()), SECBUFFER_TOKEN, m_incoming.data()},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 2, out};
        unsigned long attributes = 0;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &m_handles->credentials, first ? nullptr : &m_handles->context, target, flags, 0, 0,
            first ? nullptr : &inDesc, 0, &m_handles->context, &outDesc, &attributes, nullptr);
        // A failure's token is the alert that tells the server why.
        TakeToken(m_outgoing, out[0]);
        const ContextBuffer alert(out[1].pvBuffer);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return;
        }
        // The server asked for a certificate of ours: the handshake goes on without one.
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && (flags & ISC_REQ_USE_SUPPLIED_CREDS) == 0) {
            flags |= ISC_REQ_USE_SUPPLIED_CREDS;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            Fail(Failure::Handshake);
            return;
        }
        m_handles->haveContext = true;
        if (!first) {
            KeepExtra(m_incoming, in, 2);
        }
        if (status == SEC_E_OK) {
            if (m_renegotiating) {
                m_renegotiating = false;
                m_state = State::Open;
            } else {
                Established();
            }
            return;
        }
        if (m_incoming.empty()) {
            return;
        }
    }
}

void TlsSession::Established() {
    SecPkgContext_StreamSizes sizes{};
    SecPkgContext_ConnectionInfo info{};
    if (QueryContextAttributesW(&m_handles->context, SECPKG_ATTR_STREAM_SIZES, &sizes) !=
            SEC_E_OK ||
        QueryContextAttributesW(&m_handles->context, SECPKG_ATTR_CONNECTION_INFO, &info) !=
            SEC_E_OK) {
        Fail(Failure::Handshake);
        return;
    }
    m_header = sizes.cbHeader;
    m_trailer = sizes.cbTrailer;
    m_maximumMessage = sizes.cbMaximumMessage;
    if ((info.dwProtocol & SP_PROT_TLS1_3) != 0) {
        m_version = "TLS 1.3";
    } else if ((info.dwProtocol & SP_PROT_TLS1_2) != 0) {
        m_version = "TLS 1.2";
    } else {
        Fail(Failure::Handshake);
        return;
    }
    const Failure failure = CheckCertificate();
    if (failure != Failure::None) {
        Fail(failure);
        return;
    }
    m_state = State::Open;
}

TlsSession::Failure TlsSession::CheckCertificate() {
    const CERT_CONTEXT* shown = nullptr;
    if (QueryContextAttributesW(&m_handles->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &shown) !=
            SEC_E_OK ||
        shown == nullptr) {
        return Failure::Handshake;
    }
    const Certificate certificate(shown);
    Fingerprint digest{};
    DWORD digestSize = digest.size();
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, digest.data(), &digestSize) ||
        digestSize != digest.size()) {
        return Failure::Handshake;
    }
    m_fingerprint = digest;
    if (m_pin) {
        return *m_pin == digest ? Failure::None : Failure::PinMismatch;
    }

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const CERT_CHAIN_CONTEXT* built = nullptr;
    // The intermediate certificates the server sent are in the certificate's own store.
    if (!CertGetCertificateChain(nullptr, certificate.get(), nullptr, certificate->hCertStore,
                                 &chainPara, 0, nullptr, &built)) {
        return Failure::Untrusted;
    }
    const Chain chain(built);
    const DWORD errors = chain->TrustStatus.dwErrorStatus;
    if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) {
        return Failure::OutsideValidity;
    }
    // The chain's own verdict first: Wine's policy takes a chain whose issuer was never found.
    // Revocation is not checked, so its status is not known.
    constexpr DWORD NotChecked = CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                 CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_NOT_TIME_NESTED;
    if ((errors & ~NotChecked) != 0 || PolicyError(chain.get(), nullptr) != S_OK) {
        return Failure::Untrusted;
    }
    const bool named = m_hostIsName ? PolicyError(chain.get(), m_host.data()) == S_OK
                                    : HoldsAddress(certificate.get(), m_address);
    return named ? Failure::None : Failure::WrongHost;
}

void TlsSession::Decrypt() {
    while (m_state == State::Open && !m_incoming.empty()) {
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(m_incoming.size()), SECBUFFER_DATA, m_incoming.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&m_handles->context, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            Fail(Failure::Handshake);
            return;
        }
        // The decrypted bytes lie within the input: they are copied before it moves.
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                m_plain.Append(static_cast<const std::uint8_t*>(buffer.pvBuffer), buffer.cbBuffer);
            }
        }
        KeepExtra(m_incoming, buffers, 4);
        if (status == SEC_I_CONTEXT_EXPIRED) {
            m_state = State::Closed;
            m_incoming.clear();
            return;
        }
        // A handshake message after the handshake (a TLS 1.3 ticket or key update): Schannel takes
        // it, and the bytes after it, through the handshake call.
        if (status == SEC_I_RENEGOTIATE) {
            m_renegotiating = true;
            m_state = State::Handshaking;
            Handshake();
        }
    }
}

std::size_t TlsSession::Send(const std::uint8_t* bytes, std::size_t count) {
    if (m_state != State::Open || m_shutDown) {
        return 0;
    }
    std::size_t taken = 0;
    while (taken < count) {
        const std::size_t length = std::min(count - taken, m_maximumMessage);
        std::uint8_t* record = m_outgoing.Reserve(m_header + length + m_trailer);
        std::memcpy(record + m_header, bytes + taken, length);
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(m_header), SECBUFFER_STREAM_HEADER, record},
            {static_cast<unsigned long>(length), SECBUFFER_DATA, record + m_header},
            {static_cast<unsigned long>(m_trailer), SECBUFFER_STREAM_TRAILER,
             record + m_header + length},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&m_handles->context, 0, &desc, 0) != SEC_E_OK) {
            Fail(Failure::Handshake);
            return taken;
        }
        // The trailer may come out shorter than its room: the record ends where it ends.
        m_outgoing.Commit(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        taken += length;
    }
    return taken;
}

void TlsSession::Shutdown() {
    if (!m_handles->haveContext || m_shutDown || m_state == State::Failed) {
        return;
    }
    m_shutDown = true;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
    if (ApplyControlToken(&m_handles->context, &controlDesc) != SEC_E_OK) {
        return;
    }
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    InitializeSecurityContextW(&m_handles->credentials, &m_handles->context,
                               m_hostIsName ? m_host.data() : nullptr, RequestFlags, 0, 0, nullptr,
                               0, &m_handles->context, &outDesc, &attributes, nullptr);
    TakeToken(m_outgoing, out);
}
