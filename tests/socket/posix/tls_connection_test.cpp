// The window over the real socket layer reaching TLS servers made by the test: what is refused,
// how, and what the log says.

#include "client/form_main.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/tls/tls_relay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

const std::string HandshakeFailed = "エラー：TLS のハンドシェイクに失敗しました。";

class TlsConnection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates = std::make_unique<TestCertificates>(); }
    static void TearDownTestSuite() { certificates.reset(); }

    void SetUp() override {
        ASSERT_TRUE(certificates->Made()) << certificates->Error();
        // OpenSSL's own convention: the trusted roots are the test CA alone.
        ::setenv("SSL_CERT_FILE", certificates->Ca().c_str(), 1);
        ASSERT_TRUE(form.Form_Load());
    }
    void TearDown() override {
        form.Form_Unload();
        ::unsetenv("SSL_CERT_FILE");
    }

    // Connects with the box's text and waits until count entries are logged.
    std::vector<std::string> ConnectAndLog(const std::string& hostText, std::size_t count) {
        controls.Txt_Host.SetText(hostText);
        form.Cmd_Connect_Click();
        platform.RunUntil([&] { return controls.LoggedTexts().size() >= count; }, 10s);
        return controls.LoggedTexts();
    }

    static std::unique_ptr<TestCertificates> certificates;
    PosixPlatform platform;
    TCPSockProc proc{platform};
    FakeFormControls controls;
    Form_Main form{proc, controls.Controls()};
};

std::unique_ptr<TestCertificates> TlsConnection::certificates;

TlsRelay::Options Serving(const TestCertificates::Pair& identity) {
    TlsRelay::Options options;
    options.Identity = identity;
    return options;
}

TEST_F(TlsConnection, EachRefusalIsLoggedWithTheCertificateTheServerShowed) {
    TestCertificates& c = *certificates;
    struct Case {
        const char* name;
        TestCertificates::Pair identity;
        std::string pin; // "" when none
        std::string text;
        bool untrustedRoots = false;
    };
    const std::vector<Case> cases = {
        {"untrusted CA", c.Server(), "", "エラー：サーバーの証明書は信頼されていません。", true},
        {"self-signed", c.SelfSigned(), "", "エラー：サーバーの証明書は信頼されていません。"},
        {"wrong name", c.OtherName(), "", "エラー：サーバーの証明書は別のホストのものです。"},
        {"expired", c.Expired(), "",
         "エラー：サーバーの証明書は有効期限が切れているか、まだ有効になっていません。"},
        {"pin mismatch", c.Server(), "#" + c.Fingerprint(c.SelfSigned()),
         "エラー：サーバーの証明書が指定されたフィンガープリントと一致しません。"},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        if (t.untrustedRoots) {
            ::setenv("SSL_CERT_FILE", c.SelfSigned().Certificate.c_str(), 1);
        }
        TlsRelay relay(Serving(t.identity));
        const std::size_t before = controls.LoggedTexts().size();
        const auto log =
            ConnectAndLog("127.0.0.1:+" + std::to_string(relay.Port()) + t.pin, before + 2);
        const std::vector<std::string> expected = {
            t.text, "サーバーの証明書は SHA-256 " + c.Fingerprint(t.identity) + " です。"};
        EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()), expected);
        EXPECT_TRUE(controls.Cmd_Connect.Visible());
        EXPECT_EQ(relay.Established(), 0);
        ::setenv("SSL_CERT_FILE", c.Ca().c_str(), 1);
    }
}

TEST_F(TlsConnection, AServerWithoutAUsableTlsSessionFailsTheHandshakeAndGetsNoPlaintext) {
    struct Case {
        const char* name;
        std::optional<std::string> plaintext;
    };
    const std::vector<Case> cases = {
        {"plaintext IRC server", ":irc.test NOTICE * :*** Looking up your hostname\r\n"},
        {"closes at once", ""},
        {"garbage in a handshake record", std::string("\x16\x03\x03\x00\x04\x0e\xff\xff\xff", 9)},
        {"offers only TLS 1.1", std::nullopt},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        TlsRelay::Options options = Serving(certificates->Server());
        options.Plaintext = t.plaintext;
        options.OnlyTls11 = !t.plaintext;
        TlsRelay relay(options);
        const std::size_t before = controls.LoggedTexts().size();
        const auto log = ConnectAndLog("127.0.0.1:+" + std::to_string(relay.Port()), before + 1);
        EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()),
                  std::vector<std::string>{HandshakeFailed});
        platform.RunUntil([] { return false; }, 100ms);
        EXPECT_EQ(controls.LoggedTexts().size(), before + 1) << "no certificate, nothing more";
        if (t.plaintext) {
            EXPECT_EQ(relay.FirstBytes().substr(0, 2), "\x16\x03") << "a TLS hello, nothing else";
        }
    }
}

TEST_F(TlsConnection, APinnedServerIsReachedByNameEncryptedAndDisconnectSendsCloseNotify) {
    TestCertificates& c = *certificates;
    ::setenv("SSL_CERT_FILE", c.Server().Certificate.c_str(), 1); // the system's roots are no use
    TlsRelay relay(Serving(c.SelfSigned()));
    std::string fingerprint = c.Fingerprint(c.SelfSigned());
    for (char& ch : fingerprint) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    // A pinned certificate need not name the host: this one names only 127.0.0.1.
    const std::string host = "localhost:+" + std::to_string(relay.Port()) + "#" + fingerprint;
    const auto log = ConnectAndLog(host, 2);
    EXPECT_EQ(log, (std::vector<std::string>{host + "に接続しました",
                                             "TLS 1.3 で暗号化しています（証明書 SHA-256 " +
                                                 c.Fingerprint(c.SelfSigned()) + "）。"}));
    // The server's side of the handshake ends after the client's (its tickets go last); a close
    // before that would make it fail rather than read on.
    const auto waitFor = [](const std::function<bool()>& done) {
        for (int wait = 0; wait < 200 && !done(); ++wait) {
            std::this_thread::sleep_for(50ms);
        }
        return done();
    };
    ASSERT_TRUE(waitFor([&] { return relay.Established() == 1; }));
    EXPECT_EQ(relay.ServerName(), "localhost") << "a name goes to the server (SNI)";
    form.Cmd_Disconnect_Click();
    EXPECT_TRUE(waitFor([&] { return relay.CloseNotified(); }));
}

} // namespace
