#include "tests/tls/test_certificates.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

constexpr const char* NewKey = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes";

std::string Quoted(const std::filesystem::path& path) {
    std::string quoted(1, '\'');
    quoted += path.string();
    quoted += '\'';
    return quoted;
}

} // namespace

TestCertificates::TestCertificates() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hoshiwa-tls-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        m_error = "no temporary folder";
        return;
    }
    m_folder = pattern;
    m_ca = {m_folder / "ca.crt", m_folder / "ca.key"};
    m_selfSigned = {m_folder / "self.crt", m_folder / "self.key"};
    Run(std::string("openssl req -x509 ") + NewKey + " -keyout " + Quoted(m_ca.Key) + " -out " +
        Quoted(m_ca.Certificate) + " -subj /CN=Hoshiwa-Test-CA -days 2") &&
        Sign(m_server, "server", "IP:127.0.0.1,DNS:localhost", 2) &&
        Sign(m_otherName, "other", "DNS:other.invalid", 2) &&
        Sign(m_expired, "expired", "IP:127.0.0.1,DNS:localhost", -1) &&
        Run(std::string("openssl req -x509 ") + NewKey + " -keyout " + Quoted(m_selfSigned.Key) +
            " -out " + Quoted(m_selfSigned.Certificate) +
            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -days 2") &&
        Run("openssl genpkey -genparam -algorithm DH -pkeyopt group:ffdhe2048 -out " +
            Quoted(m_dhParameters = m_folder / "dh.pem"));
}

TestCertificates::~TestCertificates() {
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

bool TestCertificates::Run(const std::string& command) {
    const std::filesystem::path log = m_folder / "openssl.log";
    if (std::system((command + " >>" + Quoted(log) + " 2>&1").c_str()) != 0) {
        m_error = "failed: " + command + " (see " + log.string() + ")";
        return false;
    }
    return true;
}

// A negative number of days makes a certificate whose validity ended before it began.
bool TestCertificates::Sign(Pair& pair, const std::string& name, const std::string& alternatives,
                            int days) {
    pair = {m_folder / (name + ".crt"), m_folder / (name + ".key")};
    const std::filesystem::path request = m_folder / (name + ".csr");
    const std::filesystem::path extensions = m_folder / (name + ".ext");
    std::ofstream(extensions) << "subjectAltName=" << alternatives << "\n";
    return Run(std::string("openssl req ") + NewKey + " -keyout " + Quoted(pair.Key) + " -out " +
               Quoted(request) + " -subj /CN=" + name) &&
           Run("openssl x509 -req -in " + Quoted(request) + " -CA " + Quoted(m_ca.Certificate) +
               " -CAkey " + Quoted(m_ca.Key) + " -CAcreateserial -extfile " + Quoted(extensions) +
               " -days " + std::to_string(days) + " -out " + Quoted(pair.Certificate));
}

std::string TestCertificates::Fingerprint(const Pair& pair) {
    const std::string command =
        "openssl x509 -noout -fingerprint -sha256 -in " + Quoted(pair.Certificate);
    std::unique_ptr<FILE, int (*)(FILE*)> output(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 256> line{};
    if (!output || std::fgets(line.data(), line.size(), output.get()) == nullptr) {
        return "";
    }
    std::string text(line.data());
    text = text.substr(text.find('=') + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::array<std::uint8_t, 32> TestCertificates::Digest(const Pair& pair) {
    const std::string text = Fingerprint(pair);
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < digest.size() && 3 * i + 2 <= text.size(); ++i) {
        digest[i] = static_cast<std::uint8_t>(std::stoi(text.substr(3 * i, 2), nullptr, 16));
    }
    return digest;
}
