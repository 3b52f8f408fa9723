#include "tests/win32_agent/trusted_root.h"

#include <fstream>
#include <iterator>

namespace {

struct CertificateRelease {
    void operator()(const CERT_CONTEXT* certificate) const {
        CertFreeCertificateContext(certificate);
    }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateRelease>;

} // namespace

TrustedRoot::Store TrustedRoot::OpenRoots() {
    return Store(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                               CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT"));
}

TrustedRoot::TrustedRoot(const std::string& pemFile) {
    // Wine shows the Linux root as drive Z:.
    std::ifstream file("Z:" + pemFile, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    if (pem.empty() ||
        !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              nullptr, &size, nullptr, nullptr)) {
        return;
    }
    m_der.resize(size);
    const Store store = OpenRoots();
    m_added =
        CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                             m_der.data(), &size, nullptr, nullptr) &&
        store &&
        CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, m_der.data(), size,
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

TrustedRoot::~TrustedRoot() {
    if (!m_added) {
        return;
    }
    const Store store = OpenRoots();
    const Certificate wanted(CertCreateCertificateContext(X509_ASN_ENCODING, m_der.data(),
                                                          static_cast<DWORD>(m_der.size())));
    if (!store || !wanted) {
        return;
    }
    const CERT_CONTEXT* found = CertFindCertificateInStore(
        store.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted.get(), nullptr);
    // Deleting frees the context it is given.
    if (found != nullptr) {
        CertDeleteCertificateFromStore(found);
    }
}
