#pragma once

#include "tests/e2e/loopback_listener.h"
#include "tests/tls/test_certificates.h"

#include <openssl/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// A TLS server on a free loopback port that passes the decrypted stream to a plain loopback port
// and back, one connection at a time: a close on either side is passed on (as close_notify and
// end of stream, or as a reset), and neither side is read faster than the other takes it. It
// stops by itself after its lifetime.
class TlsRelay {
public:
    struct Options {
        TestCertificates::Pair Identity;
        int TargetPort = 0; // 0: nothing is passed on; the client's bytes are read and dropped
        bool OnlyTls11 = false;
        // When set, no TLS at all: the server sends these bytes on accept, reads what comes for a
        // moment (FirstBytes) and closes.
        std::optional<std::string> Plaintext{};
        std::chrono::seconds Lifetime{60};
    };

    explicit TlsRelay(Options options);
    ~TlsRelay();
    TlsRelay(const TlsRelay&) = delete;
    TlsRelay& operator=(const TlsRelay&) = delete;

    bool Listening() const { return m_listener.Listening(); }
    int Port() const { return m_listener.Port(); }
    // Handshakes that ended well so far.
    int Established() const { return m_established; }
    // Whether a client ended a connection with close_notify.
    bool CloseNotified() const { return m_closeNotified; }
    // What the client sent first to a plaintext server.
    std::string FirstBytes() const;
    // The name the last client sent in its hello (SNI); empty when none.
    std::string ServerName() const;

private:
    // Told to stop, or its lifetime is over.
    bool Stopping() const;
    void Run();
    void Serve(int client);
    void ServePlaintext(int client);
    void Pass(int client, SSL* ssl, int plain);

    Options m_options;
    LoopbackListener m_listener;
    std::atomic<bool> m_stop{false};
    std::chrono::steady_clock::time_point m_end =
        std::chrono::steady_clock::now() + m_options.Lifetime;
    std::atomic<int> m_established{0};
    std::atomic<bool> m_closeNotified{false};
    mutable std::mutex m_mutex;
    std::string m_firstBytes;
    std::string m_serverName;
    std::thread m_thread;
};
