#include "tests/client/form_session.h"

#include <gtest/gtest.h>

namespace {

class FormMainConnection : public ::testing::Test, public FormSession {};
using winsock::SOCKET;

const std::string CannotConnect = "エラー：ホストに接続できません。";
const std::string BadPort = "エラー：ポート番号が正しくありません。";
const std::string HostNotFound = "エラー：ホストが見つかりません。";

TEST(FormMainLoad, ASocketLayerThatCannotStartEndsTheProgramWithAMessage) {
    FakePlatform platform;
    platform.Script("WSAStartup", 10091);
    TCPSockProc proc(platform);
    FakeFormControls controls;
    Form_Main form(proc, controls.Controls());

    EXPECT_FALSE(form.Form_Load());
    EXPECT_EQ(controls.Host.MessageBoxes,
              std::vector<std::string>{"Winsock の初期化に失敗しました。"});
    EXPECT_EQ(controls.Host.EndCalls, 1);
    EXPECT_EQ(form.Winsock(), nullptr);
    EXPECT_TRUE(controls.LoggedTexts().empty());
}

TEST_F(FormMainConnection, LoadGivesTheLabelTheLogsFontAndLogsNothing) {
    EXPECT_NE(Form->Winsock(), nullptr);
    EXPECT_EQ(Ctl.Label1.Font(), Ctl.Lst_Msg.Font());
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(Ctl.Host.MessageBoxes.empty());
}

TEST_F(FormMainConnection, TheHostTextNamesHostAndPort) {
    const std::string digits = "abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF0123456789";
    std::string colons;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        colons += (i == 0 ? "" : ":") + digits.substr(i, 2);
    }
    const std::string BadFingerprint =
        "エラー：証明書のフィンガープリントが正しくありません（SHA-256 の 16 進数 64 桁）。";
    struct Case {
        std::string HostText;
        // The SetTls call of an encrypted connection, else the connect call; empty: none is made.
        std::string Call;
        std::vector<std::string> Log;
    };
    const std::vector<Case> cases = {
        {"localhost:6667", "connect(5,127.0.0.1:6667,16)", {}},
        {"127.0.0.1:7000", "connect(5,127.0.0.1:7000,16)", {}},
        {"localhost", "connect(5,127.0.0.1:6667,16)", {}},
        {"127.0.0.1:65535", "connect(5,127.0.0.1:65535,16)", {}},
        {"localhost:0", "", {BadPort}},
        {"localhost:65536", "", {BadPort}},
        {"localhost:99999", "", {BadPort}},
        {"localhost:", "", {BadPort}},
        {"localhost:x", "", {BadPort}},
        {"localhost:66x", "", {BadPort}},
        {"localhost: 6667", "", {BadPort}},
        {"localhost:6667 ", "", {BadPort}},
        {"localhost:2147483648", "", {BadPort}},
        {"localhost:-2147483649", "", {BadPort}},
        {"localhost:6667:1", "", {BadPort}},
        {":6667", "", {HostNotFound}},
        // A plus before the port asks for encryption, and a fingerprint pins the certificate.
        {"localhost:+6697", "SetTls(5,localhost,unpinned)", {}},
        {"127.0.0.1:+6697#" + digits, "SetTls(5,127.0.0.1,pinned)", {}},
        {"localhost:+6697#" + colons, "SetTls(5,localhost,pinned)", {}},
        {"localhost:6697", "connect(5,127.0.0.1:6697,16)", {}},
        {"localhost:+6697#" + digits.substr(2), "", {BadFingerprint}},
        {"localhost:+6697#" + digits + "0", "", {BadFingerprint}},
        {"localhost:+6697#" + digits.substr(1) + "g", "", {BadFingerprint}},
        {"localhost:+6697#", "", {BadFingerprint}},
        {"localhost:6697#" + digits, "", {BadPort}},
        {"localhost:+", "", {BadPort}},
        {"localhost:++6697", "", {BadPort}},
        {"localhost:+-1", "", {BadPort}},
    };
    for (const auto& c : cases) {
        FormSession f;
        f.Ctl.Txt_Host.SetText(c.HostText);
        f.Platform.ClearCalls();

        f.Form->Cmd_Connect_Click();

        const auto tls = f.Platform.CallsTo("SetTls");
        const auto connects = f.Platform.CallsTo("connect");
        const auto& made = c.Call.starts_with("SetTls") ? tls : connects;
        EXPECT_EQ(made.empty() ? "" : made.front(), c.Call) << c.HostText;
        EXPECT_EQ(tls.empty(), !c.Call.starts_with("SetTls")) << c.HostText;
        EXPECT_EQ(connects.size(), c.Call.empty() ? 0u : 1u) << c.HostText;
        EXPECT_EQ(f.Log(), c.Log) << c.HostText;
        if (c.Log == std::vector<std::string>{BadPort}) {
            EXPECT_TRUE(f.Platform.Calls.empty()) << c.HostText << ": nothing else happens";
        }
    }
}

TEST_F(FormMainConnection, AnEncryptedConnectionLogsHowItIsEncryptedOrWhyItWasRefused) {
    // The fake's certificate.
    const std::string certificate =
        "AB:CD:01:23:45:67:89:EF:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:"
        "00:00";
    struct Case {
        std::int32_t Outcome;
        bool CertificateShown;
        std::vector<std::string> Log;
    };
    const std::vector<Case> cases = {
        {0,
         true,
         {"localhost:+6697に接続しました",
          "TLS 1.3 で暗号化しています（証明書 SHA-256 " + certificate + "）。"}},
        {40031,
         true,
         {"エラー：サーバーの証明書は信頼されていません。",
          "サーバーの証明書は SHA-256 " + certificate + " です。"}},
        {40030, false, {"エラー：TLS のハンドシェイクに失敗しました。"}},
    };
    for (const auto& c : cases) {
        FormSession f;
        f.Platform.ConnectErrors.push_back(c.Outcome);
        if (!c.CertificateShown) {
            f.Platform.TlsCertificate.reset();
        }
        f.Connect("localhost:+6697");
        EXPECT_EQ(f.Log(), c.Log) << c.Outcome;
        EXPECT_EQ(f.Form->Winsock()->State() == TCPSock::StateConnected, c.Outcome == 0);
    }
}

TEST_F(FormMainConnection, TheButtonsFollowTheConnection) {
    const SOCKET s = Connect("localhost:6667");
    EXPECT_EQ(Log(), std::vector<std::string>{"localhost:6667に接続しました"});
    EXPECT_EQ(VisibleButtons(), "Disconnect Join SetUser SetNick");

    Form->Cmd_Join_Click();
    Platform.PumpAll();
    EXPECT_EQ(VisibleButtons(), "Disconnect Part SetUser SetNick");

    Form->Cmd_Disconnect_Click();
    Platform.PumpAll();
    EXPECT_EQ(LogFrom(2), std::vector<std::string>{"接続を切断しました。"});
    EXPECT_EQ(VisibleButtons(), "Connect Join SetUser SetNick");
    EXPECT_TRUE(Platform.Sock(s).closed);
    EXPECT_EQ(Form->Winsock()->State(), TCPSock::StateClosed);
    EXPECT_EQ(Platform.SentText(s), "JOIN #Channel\r\n") << "nothing is sent on disconnect";
}

TEST_F(FormMainConnection, AServerCloseLogsAndRestoresTheDisconnectedLayout) {
    const SOCKET s = Connect();
    Form->Cmd_Join_Click();
    Platform.PeerClose(s);
    Platform.PumpAll();
    EXPECT_EQ(LogFrom(2), std::vector<std::string>{"接続が切断されました。"});
    EXPECT_EQ(VisibleButtons(), "Connect Join SetUser SetNick");
    EXPECT_EQ(Form->Winsock()->State(), TCPSock::StateClosed);
    EXPECT_TRUE(Platform.Sock(s).closed);
}

TEST_F(FormMainConnection, ErrorsAreLoggedInJapaneseAndCloseTheConnection) {
    struct Case {
        std::int32_t Number;
        std::vector<std::string> Log; // empty: the window ignores it
    };
    const std::vector<Case> cases = {
        {10004, {}},
        {11002, {}},
        {10061, {"エラー：ホストに接続できません。"}},
        {11001, {"エラー：ホストが見つかりません。"}},
        {10054, {"エラー：接続がリモート側のマシンからリセットされました。"}},
        {10060, {"エラー：接続がタイムアウトしました。"}},
        {40035, {"エラー：暗号化された通信が壊れています。"}},
        {12345, {"エラー：不明なエラー:  12345"}},
    };
    for (const auto& c : cases) {
        FormSession f;
        f.Connect();
        f.Form->Cmd_Join_Click();
        const auto before = f.Log().size();

        f.Form->Winsock_Error(c.Number);

        EXPECT_EQ(f.LogFrom(before), c.Log) << c.Number;
        const bool ignored = c.Log.empty();
        EXPECT_EQ(f.VisibleButtons(),
                  ignored ? "Disconnect Part SetUser SetNick" : "Connect Join SetUser SetNick")
            << c.Number;
        EXPECT_EQ(f.Form->Winsock()->State() == TCPSock::StateClosed, !ignored) << c.Number;
    }
}

TEST_F(FormMainConnection, AConnectionThatCannotStartIsReportedAfterTheReset) {
    struct Case {
        const char* Name;
        std::string HostText;
        bool PressTwice;
        std::string Logged;
    };
    const std::vector<Case> cases = {
        {"a host that does not resolve", "nowhere.invalid:6667", false, HostNotFound},
        {"Connect pressed again while an attempt is pending", "localhost:6667", true,
         CannotConnect},
    };
    for (const auto& c : cases) {
        FormSession f;
        f.Form->Cmd_Join_Click();
        const auto before = f.Log().size();
        f.Ctl.Txt_Host.SetText(c.HostText);
        f.Form->Cmd_Connect_Click();
        if (c.PressTwice) {
            f.Form->Cmd_Connect_Click();
        }
        f.Platform.PumpAll();
        EXPECT_EQ(f.LogFrom(before), std::vector<std::string>{c.Logged}) << c.Name;
        EXPECT_EQ(f.VisibleButtons(), "Connect Join SetUser SetNick") << c.Name;
        EXPECT_EQ(f.Form->Winsock()->State(), TCPSock::StateClosed) << c.Name;
    }
}

TEST_F(FormMainConnection, ARefusedConnectionArrivesAsAnError) {
    Platform.ConnectErrors.push_back(10061);
    Connect("localhost:6667");
    EXPECT_EQ(Log(), std::vector<std::string>{CannotConnect});
    EXPECT_EQ(VisibleButtons(), "Connect Join SetUser SetNick");
    EXPECT_EQ(Form->Winsock()->State(), TCPSock::StateClosed);
}

TEST_F(FormMainConnection, UnloadClosesTheSocketAndStopsTheSocketLayer) {
    const SOCKET s = Connect();
    Platform.ClearCalls();
    Form->Form_Unload();
    EXPECT_EQ(Form->Winsock(), nullptr);
    EXPECT_TRUE(Platform.Sock(s).closed);
    EXPECT_TRUE(Platform.Sent(s).empty()) << "nothing is sent on exit";
    EXPECT_EQ(Platform.CallsTo("WSACleanup").size(), 1u);
    EXPECT_FALSE(Platform.ClassIsRegistered());
    EXPECT_EQ(Ctl.Host.EndCalls, 1);
}

TEST_F(FormMainConnection, ASocketOutlivingTheWindowNoLongerCallsIt) {
    Connect();
    const std::shared_ptr<TCPSock> socket = Form->Winsock();
    Form.reset();
    // Every event the socket can raise would reach a destroyed window if it still knew it.
    for (const std::int32_t event : {winsock::FD_CLOSE, winsock::FD_CONNECT, winsock::FD_READ}) {
        socket->InvokeEvent(winsock::WSAMAKESELECTREPLY(event, 10054));
    }
    EXPECT_EQ(socket->State(), TCPSock::StateError);
}

} // namespace
