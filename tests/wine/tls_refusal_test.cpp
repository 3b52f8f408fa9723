// The Windows window under Wine reaching TLS servers made by the test: what Schannel and the
// Windows certificate store refuse, how it is logged, and the close notification on Disconnect.

#include "tests/e2e/window_driver.h"
#include "tests/tls/tls_relay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

const std::string HandshakeFailed = "エラー：TLS のハンドシェイクに失敗しました。";
const std::string Untrusted = "エラー：サーバーの証明書は信頼されていません。";

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
    static std::string Shown(const TestCertificates::Pair& pair) {
        return "サーバーの証明書は SHA-256 " + certificates->Fingerprint(pair) + " です。";
    }
    static TlsRelay::Options Serving(const TestCertificates::Pair& identity) {
        TlsRelay::Options options;
        options.Identity = identity;
        return options;
    }

    static std::unique_ptr<TestCertificates> certificates;
    std::unique_ptr<WindowDriver> window;
};

std::unique_ptr<TestCertificates> WineTlsConnection::certificates;

TEST_F(WineTlsConnection, EachRefusalIsLoggedWithItsReason) {
    StartWindow(certificates->Ca());
    TestCertificates& c = *certificates;
    struct Case {
        const char* name;
        TlsRelay::Options options;
        std::string pin; // "" when none
        std::vector<std::string> log;
    };
    TlsRelay::Options tls11 = Serving(c.Server());
    tls11.OnlyTls11 = true;
    const auto plaintext = [&](const std::string& bytes) {
        TlsRelay::Options options = Serving(c.Server());
        options.Plaintext = bytes;
        return options;
    };
    const std::vector<Case> cases = {
        {"self-signed", Serving(c.SelfSigned()), "", {Untrusted, Shown(c.SelfSigned())}},
        {"wrong name",
         Serving(c.OtherName()),
         "",
         {"エラー：サーバーの証明書は別のホストのものです。", Shown(c.OtherName())}},
        {"expired",
         Serving(c.Expired()),
         "",
         {"エラー：サーバーの証明書は有効期限が切れているか、まだ有効になっていません。",
          Shown(c.Expired())}},
        {"pin mismatch",
         Serving(c.Server()),
         "#" + c.Fingerprint(c.SelfSigned()),
         {"エラー：サーバーの証明書が指定されたフィンガープリントと一致しません。",
          Shown(c.Server())}},
        {"offers only TLS 1.1", tls11, "", {HandshakeFailed}},
        {"plaintext IRC server",
         plaintext(":irc.test NOTICE * :*** Looking up your hostname\r\n"),
         "",
         {HandshakeFailed}},
        {"closes at once", plaintext(""), "", {HandshakeFailed}},
        {"garbage in a handshake record",
         plaintext(std::string("\x16\x03\x03\x00\x04\x0e\xff\xff\xff", 9)),
         "",
         {HandshakeFailed}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        TlsRelay relay(t.options);
        EXPECT_EQ(Connect(Address(relay) + t.pin, t.log.size()), t.log);
        EXPECT_TRUE(window->Visible("Cmd_Connect"));
        if (t.options.Plaintext) {
            EXPECT_EQ(relay.FirstBytes().substr(0, 2), "\x16\x03") << "a TLS hello, nothing else";
        }
    }
}

TEST_F(WineTlsConnection, ACertificateOfACaTheStoreDoesNotTrustIsRefused) {
    StartWindow(certificates->SelfSigned().Certificate);
    TlsRelay relay(Serving(certificates->Server()));
    EXPECT_EQ(Connect(Address(relay), 2),
              (std::vector<std::string>{Untrusted, Shown(certificates->Server())}));
}

TEST_F(WineTlsConnection, APinnedServerIsReachedEncryptedAndDisconnectSendsCloseNotify) {
    StartWindow(certificates->Server().Certificate);
    TestCertificates& c = *certificates;
    TlsRelay relay(Serving(c.SelfSigned()));
    std::string fingerprint = c.Fingerprint(c.SelfSigned());
    for (char& ch : fingerprint) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    const std::string host = Address(relay) + "#" + fingerprint;
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
    EXPECT_EQ(relay.ServerName(), "") << "an address is sent no name";
}

TEST_F(WineTlsConnection, APinnedServerReachedByNameIsSentTheName) {
    StartWindow(certificates->Server().Certificate);
    TlsRelay relay(Serving(certificates->SelfSigned()));
    const std::string host = "localhost:+" + std::to_string(relay.Port()) + "#" +
                             certificates->Fingerprint(certificates->SelfSigned());
    ASSERT_EQ(Connect(host, 2).front(), host + "に接続しました");
    EXPECT_EQ(relay.ServerName(), "localhost");
}

} // namespace
