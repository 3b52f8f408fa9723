#pragma once

#include "socket/byte_queue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The client side of a TLS connection over Schannel (SSPI), working on buffers only: the bytes the
// server sent are handed in, and the bytes to send wait in Outgoing() for the socket beneath, so
// that the session sits under a non-blocking socket and never waits itself. The server's
// certificate is checked here, not by Schannel: against the system's trusted roots and the host
// typed, or, when a fingerprint is pinned, against that fingerprint alone.
class TlsSession {
public:
    enum class State {
        Handshaking,
        Open,
        // The server's close notification arrived: nothing more will be decrypted.
        Closed,
        Failed,
    };
    enum class Failure {
        None,
        Handshake,
        Untrusted,
        WrongHost,
        // Expired, or not yet valid.
        OutsideValidity,
        PinMismatch,
    };
    using Fingerprint = std::array<std::uint8_t, 32>;

    // host is the name or dotted address typed: the name the certificate must carry, and for a
    // name the one sent as the server name.
    TlsSession(const std::string& host, std::optional<Fingerprint> pin);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // Begins the handshake: its first message waits in Outgoing().
    void Start();
    // Bytes that arrived from the server: they advance the handshake, or their decrypted bytes
    // join Plain().
    void Receive(const std::uint8_t* bytes, std::size_t count);
    // Encrypts up to count bytes into Outgoing(); returns how many it took, 0 unless Open.
    std::size_t Send(const std::uint8_t* bytes, std::size_t count);
    // Queues the close notification in Outgoing(); nothing is sent after it.
    void Shutdown();

    State GetState() const { return m_state; }
    Failure GetFailure() const { return m_failure; }
    // Decrypted bytes not yet read.
    ByteQueue& Plain() { return m_plain; }
    // Bytes for the socket, in order.
    ByteQueue& Outgoing() { return m_outgoing; }
    // The SHA-256 fingerprint of the certificate the server showed, once it has shown one (also
    // when it was refused).
    const std::optional<Fingerprint>& ServerFingerprint() const { return m_fingerprint; }
    // "TLS 1.2" or "TLS 1.3" once Open.
    const std::string& Version() const { return m_version; }

private:
    struct Handles;

    void Fail(Failure failure);
    // Runs the handshake over the bytes received so far, as far as they take it.
    void Handshake();
    void Decrypt();
    void Established();
    Failure CheckCertificate();

    std::unique_ptr<Handles> m_handles;
    std::wstring m_host;
    std::array<std::uint8_t, 4> m_address;
    bool m_hostIsName;
    std::optional<Fingerprint> m_pin;
    State m_state = State::Handshaking;
    Failure m_failure = Failure::None;
    // A handshake message after the first handshake (a TLS 1.3 ticket or key update) is run.
    bool m_renegotiating = false;
    bool m_shutDown = false;
    std::vector<std::uint8_t> m_incoming;
    ByteQueue m_plain;
    ByteQueue m_outgoing;
    std::optional<Fingerprint> m_fingerprint;
    std::string m_version;
    std::size_t m_header = 0;
    std::size_t m_trailer = 0;
    std::size_t m_maximumMessage = 0;
};
