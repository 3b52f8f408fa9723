#pragma once

#include <windows.h>
// Needs the types of the header above.
#include <wincrypt.h>

#include <memory>
#include <string>

// The certificate of a PEM file trusted as a root in the user's certificate store while the object
// lives: how a test CA becomes trusted for the Windows window, as SSL_CERT_FILE makes it trusted
// for OpenSSL.
class TrustedRoot {
public:
    // A path as Linux names it (the agent runs under Wine).
    explicit TrustedRoot(const std::string& pemFile);
    ~TrustedRoot();
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;

    bool Added() const { return m_certificate != nullptr; }

private:
    struct StoreClose {
        void operator()(void* store) const { CertCloseStore(store, 0); }
    };
    struct CertificateRelease {
        void operator()(const CERT_CONTEXT* certificate) const {
            CertFreeCertificateContext(certificate);
        }
    };

    std::unique_ptr<void, StoreClose> m_store;
    std::unique_ptr<const CERT_CONTEXT, CertificateRelease> m_certificate;
};
