#pragma once

#include "socket/platform.h"

#include <cstdint>
#include <memory>
#include <string>

// A TLS relay in front of a loopback port, for the Windows layer's tests under Wine: the Linux
// program that HOSHIWA_TLS_RELAY names (tests/tls/relay_tool.cpp), which Wine starts as it starts
// its own. It serves a certificate made for the run; its fingerprint is what a connection pins.
// It tells its port in a file, and ends when this object removes the file.
class WineTlsRelay {
public:
    explicit WineTlsRelay(std::uint16_t targetPort);
    ~WineTlsRelay();
    WineTlsRelay(const WineTlsRelay&) = delete;
    WineTlsRelay& operator=(const WineTlsRelay&) = delete;

    // Empty when the relay runs.
    const std::string& Error() const { return m_error; }
    std::uint16_t Port() const { return m_port; }
    const winsock::CertificateFingerprint& Fingerprint() const { return m_fingerprint; }

private:
    struct ProcessClose {
        void operator()(void* process) const;
    };

    std::string m_file; // as Linux names it
    std::unique_ptr<void, ProcessClose> m_process;
    std::string m_error;
    std::uint16_t m_port = 0;
    winsock::CertificateFingerprint m_fingerprint{};
};
