#pragma once

#include <windows.h>
// Needs the types of the header above.
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

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

    bool Added() const { return m_added; }

private:
    struct StoreClose {
        void operator()(void* store) const { CertCloseStore(store, 0); }
    };
    using Store = std::unique_ptr<void, StoreClose>;

    // The store is written when it is closed: a store held open keeps what was added from the
    // chain checks, which open it anew.
    static Store OpenRoots();

    std::vector<BYTE> m_der;
    bool m_added = false;
};
