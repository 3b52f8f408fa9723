#include "tests/win32_agent/trusted_root.h"

#include <fstream>
#include <iterator>
#include <vector>

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
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              der.data(), &size, nullptr, nullptr)) {
        return;
    }
    m_store.reset(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"ROOT"));
    const CERT_CONTEXT* added = nullptr;
    if (m_store &&
        CertAddEncodedCertificateToStore(m_store.get(), X509_ASN_ENCODING, der.data(), size,
                                         CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
        m_certificate.reset(added);
    }
}

TrustedRoot::~TrustedRoot() {
    if (m_certificate) {
        // Deleting frees the context it is given.
        CertDeleteCertificateFromStore(m_certificate.release());
    }
}
