#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

// Certificates made for one test run with the openssl program, in a folder of their own that goes
// with the object: a test CA, and certificates with one fault each.
class TestCertificates {
public:
    struct Pair {
        std::filesystem::path Certificate;
        std::filesystem::path Key;
    };

    TestCertificates();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // False, with Error() telling why, when openssl could not make them.
    bool Made() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }

    const std::filesystem::path& Ca() const { return m_ca.Certificate; }
    const Pair& Server() const { return m_server; }         // 127.0.0.1 and localhost, by the CA
    const Pair& OtherName() const { return m_otherName; }   // other.invalid, by the CA
    const Pair& Expired() const { return m_expired; }       // 127.0.0.1, by the CA, expired
    const Pair& SelfSigned() const { return m_selfSigned; } // 127.0.0.1, signed by itself
    // Diffie-Hellman parameters (a named group), which some servers want besides the certificate.
    const std::filesystem::path& DhParameters() const { return m_dhParameters; }
    // As `openssl x509 -fingerprint -sha256` prints it: "AB:CD:...".
    std::string Fingerprint(const Pair& pair);
    // The same as bytes.
    std::array<std::uint8_t, 32> Digest(const Pair& pair);

private:
    bool Run(const std::string& command);
    bool Sign(Pair& pair, const std::string& name, const std::string& alternatives, int days);

    std::filesystem::path m_folder;
    Pair m_ca, m_server, m_otherName, m_expired, m_selfSigned;
    std::filesystem::path m_dhParameters;
    std::string m_error;
};
