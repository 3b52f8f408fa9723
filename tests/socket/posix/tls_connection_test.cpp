// The window over the real socket layer reaching TLS servers made by the test: what is refused,
// how, and what the log says.

#include "client/form_main.h"
#include "socket/posix/platform.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/tls/tls_refusals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

class TlsConnection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates = std::make_unique<TestCertificates>(); }
    static void TearDownTestSuite() { certificates.reset(); }

    void SetUp() override {
        ASSERT_TRUE(certificates->Made()) << certificates->Error();
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

TEST_F(TlsConnection, EachRefusalIsLoggedWithItsReasonAndNothingMore) {
    for (const TlsRefusal& t : TlsRefusals(*certificates)) {
        SCOPED_TRACE(t.Name);
        // OpenSSL's own convention: the trusted roots are those in this file.
        ::setenv("SSL_CERT_FILE", t.Root.c_str(), 1);
        TlsRelay relay(t.Server);
        const std::size_t before = controls.LoggedTexts().size();
        ConnectAndLog("127.0.0.1:+" + std::to_string(relay.Port()) + t.Pin, before + t.Log.size());
        platform.RunUntil([] { return false; }, 100ms);
        const auto log = controls.LoggedTexts();
        EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()), t.Log);
        EXPECT_TRUE(controls.Cmd_Connect.Visible());
        EXPECT_EQ(relay.Established(), 0);
        if (t.Server.Plaintext) {
            EXPECT_EQ(relay.FirstBytes().substr(0, 2), "\x16\x03") << "a TLS hello, nothing else";
        }
    }
}

TEST_F(TlsConnection, APinnedServerIsReachedByNameEncryptedAndDisconnectSendsCloseNotify) {
    TestCertificates& c = *certificates;
    ::setenv("SSL_CERT_FILE", c.Server().Certificate.c_str(), 1); // the system's roots are no use
    TlsRelay relay({.Identity = c.SelfSigned()});
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
