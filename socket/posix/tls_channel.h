#pragma once

#include "socket/byte_queue.h"
#include "socket/platform.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

struct ssl_ctx_st;
struct ssl_st;
struct bio_st;
struct x509_store_ctx_st;

// The client side of one TLS session (OpenSSL), kept apart from the socket: the caller moves the
// encrypted bytes between the kernel and this channel, so that no call here ever blocks or needs
// the kernel's readiness. Plaintext goes in and out through Read and Write.
class TlsChannel {
public:
    enum class Progress { Pending, Established, Failed };
    // What a read found: Data with a count, NeedMore when no whole record waits, Ended after the
    // server's close_notify, Broken when a record does not decrypt or an alert ended the session.
    enum class ReadOutcome { Data, NeedMore, Ended, Broken };

    // nullptr when the library cannot be set up for the request.
    static std::unique_ptr<TlsChannel> Create(const winsock::TlsRequest& request);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Encrypted bytes from the server.
    void Feed(const std::uint8_t* bytes, std::size_t count);
    // Encrypted bytes bound for the server; Sent drops those the kernel took.
    const std::uint8_t* Outgoing() const { return m_outgoing.Data(); }
    std::size_t OutgoingSize() const { return m_outgoing.Size(); }
    void Sent(std::size_t count) { m_outgoing.Drop(count); }

    // Goes on with the handshake as far as the bytes fed allow. After Failed, FailureNumber tells
    // why (one of the ErrorTls numbers).
    Progress Handshake();
    int FailureNumber() const { return m_failure; }

    ReadOutcome Read(std::uint8_t* buf, std::size_t len, std::size_t& count);
    // Encrypts every byte given; false once the session has failed.
    bool Write(const std::uint8_t* bytes, std::size_t count);
    // Queues the close_notify, once.
    void Close();
    bool Closed() const { return m_closed; }

    // Requested, with the protocol once established and the server's certificate once shown.
    winsock::TlsStatus Status() const;

private:
    TlsChannel() = default;
    bool Setup(const winsock::TlsRequest& request);
    // Moves what the session wrote into the outgoing queue.
    void Collect();
    // Replaces the library's certificate check: records the certificate, then checks it against
    // the pin or by the library's own rules.
    static int CheckCertificate(x509_store_ctx_st* store, void* channel);
    int Refusal() const;

    struct ContextFree {
        void operator()(ssl_ctx_st* context) const;
    };
    struct SessionFree {
        void operator()(ssl_st* ssl) const;
    };

    std::unique_ptr<ssl_ctx_st, ContextFree> m_context;
    std::unique_ptr<ssl_st, SessionFree> m_ssl;
    bio_st* m_in = nullptr;  // owned by m_ssl
    bio_st* m_out = nullptr; // owned by m_ssl
    ByteQueue m_outgoing;
    std::optional<winsock::CertificateFingerprint> m_pinned;
    std::optional<winsock::CertificateFingerprint> m_certificate;
    bool m_pinMismatch = false;
    bool m_established = false;
    bool m_closed = false;
    int m_failure = 0;
};
