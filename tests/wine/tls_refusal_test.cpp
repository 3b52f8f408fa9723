// The Windows window under Wine reaching TLS servers made by the test: what Schannel and the
// Windows certificate store refuse, how it is logged, and the close notification on Disconnect.

#include "tests/e2e/window_driver.h"
#include "tests/tls/tls_refusals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;

namespace {

class WineTlsConnection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates = std::make_unique<TestCertificates>(); }
    static void TearDownTestSuite() { certificates.reset(); }

    // Starts the window with the certificate in the file as its only added trusted root.
    void StartWindow(const std::filesystem::path& root) {
        ASSERT_TRUE(certificates->Made()) << certificates->Error();
        ::setenv("SSL_CERT_FILE", root.c_str(), 1);
        window = WindowDriver::Make();
        ::unsetenv("SSL_CERT_FILE");
    }

    // Connects with the box's text; returns what is logged after the texts before, once count
    // texts have come and a moment has passed in which nothing more may come.
    std::vector<std::string> Connect(const std::string& hostText, std::size_t count) {
        const std::size_t before = window->LoggedTexts().size();
        window->SetText("Txt_Host", hostText);
        window->Click("Cmd_Connect");
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (window->LoggedTexts().size() < before + count &&
               std::chrono::steady_clock::now() < deadline) {
            window->Turn(WindowDriver::TurnLength);
        }
        window->Turn(200ms);
        const std::vector<std::string> log = window->LoggedTexts();
        return {log.begin() + static_cast<std::ptrdiff_t>(before), log.end()};
    }

    static std::string Address(const TlsRelay& relay) {
        return "127.0.0.1:+" + std::to_string(relay.Port());
    }

    static std::unique_ptr<TestCertificates> certificates;
    std::unique_ptr<WindowDriver> window;
};

std::unique_ptr<TestCertificates> WineTlsConnection::certificates;

TEST_F(WineTlsConnection, EachRefusalIsLoggedWithItsReason) {
    StartWindow(certificates->Ca());
    for (const TlsRefusal& t : TlsRefusals(*certificates)) {
        if (t.Root != certificates->Ca()) {
            continue; // a window keeps the roots it started with: the test below starts another
        }
        SCOPED_TRACE(t.Name);
        TlsRelay relay(t.Server);
        EXPECT_EQ(Connect(Address(relay) + t.Pin, t.Log.size()), t.Log);
        EXPECT_TRUE(window->Visible("Cmd_Connect"));
        if (t.Server.Plaintext) {
            EXPECT_EQ(relay.FirstBytes().substr(0, 2), "\x16\x03") << "a TLS hello, nothing else";
        }
    }
}

TEST_F(WineTlsConnection, ACertificateOfACaTheStoreDoesNotTrustIsRefused) {
    const TlsRefusal t = TlsRefusals(*certificates).back();
    StartWindow(t.Root);
    TlsRelay relay(t.Server);
    EXPECT_EQ(Connect(Address(relay), t.Log.size()), t.Log);
}

TEST_F(WineTlsConnection, APinnedServerIsReachedEncryptedAndDisconnectSendsCloseNotify) {
    StartWindow(certificates->Server().Certificate);
    TestCertificates& c = *certificates;
    std::string fingerprint = c.Fingerprint(c.SelfSigned());
    for (char& ch : fingerprint) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    // A name goes to the server (SNI); an address does not.
    for (const std::string name : {"127.0.0.1", "localhost"}) {
        SCOPED_TRACE(name);
        TlsRelay relay({.Identity = c.SelfSigned()});
        const std::string host = name + ":+" + std::to_string(relay.Port()) + "#" + fingerprint;
        // Wine's Schannel negotiates TLS 1.2 at most.
        EXPECT_EQ(Connect(host, 2),
                  (std::vector<std::string>{host + "に接続しました",
                                            "TLS 1.2 で暗号化しています（証明書 SHA-256 " +
                                                c.Fingerprint(c.SelfSigned()) + "）。"}));
        window->Click("Cmd_Disconnect");
        for (int wait = 0; wait < 100 && !relay.CloseNotified(); ++wait) {
            window->Turn(50ms);
        }
        EXPECT_TRUE(relay.CloseNotified());
        EXPECT_EQ(relay.ServerName(), name == "localhost" ? name : "");
    }
}

} // namespace
