#include "tests/e2e/iconv_text.h"
#include "tests/e2e/loopback_listener.h"
#include "tests/e2e/session_fixture.h"

#include <ostream>
#include <vector>

// The test plays the server itself, so that it decides where the network cuts the stream: each
// piece reaches the window as an arrival of its own over real loopback sockets.
namespace {

using std::chrono::milliseconds;

enum class AfterPieces { StayConnected, ServerCloses };

struct SplitCase {
    const char* name;
    std::vector<std::string> pieces;
    AfterPieces after;
    std::vector<std::string> logged; // after the connection entry
    std::string answer;              // the line the server must get back, if any
};

// Failure messages name the case rather than dump its bytes.
void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

const std::string Notice = ":irc.test NOTICE hoshiwa :";
const std::string Jis = IconvText::ToIso2022Jp("日本語のテスト");

std::vector<SplitCase> Cases() {
    return {
        {"KanjiCutInTwo",
         {Notice + Jis.substr(0, 6), Jis.substr(6) + "\r\n"},
         AfterPieces::StayConnected,
         {"<Recv> " + Notice + "日本語のテスト"},
         ""},
        {"EscapeSequenceCut",
         {Notice + Jis.substr(0, 2), Jis.substr(2) + "\r\n"},
         AfterPieces::StayConnected,
         {"<Recv> " + Notice + "日本語のテスト"},
         ""},
        {"CrLfCutBetweenCrAndLf",
         {"one\r", "\ntwo\r\n"},
         AfterPieces::StayConnected,
         {"<Recv> one", "<Recv> two"},
         ""},
        {"UnfinishedLastLineBeforeClose",
         {"done\r\nno line end"},
         AfterPieces::ServerCloses,
         {"<Recv> done", "<Recv> no line end", "接続が切断されました。"},
         ""},
        {"PingCutInsideItsCommand",
         {"PI", "NG :cookie-123\r\n"},
         AfterPieces::StayConnected,
         {"<Recv> PING :cookie-123", "<Send> PONG :cookie-123"},
         "PONG :cookie-123"},
    };
}

class EndToEndSplitArrival : public SessionFixture,
                             public ::testing::WithParamInterface<SplitCase> {
protected:
    EndToEndSplitArrival() : SessionFixture({}, PrivateServer::None) {}

    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(listener.Listening());
        const std::string host = "127.0.0.1:" + std::to_string(listener.Port());
        window->SetText("Txt_Host", host);
        window->Click("Cmd_Connect");
        int fd = -1;
        ASSERT_TRUE(Until([&] { return (fd = listener.Accept(milliseconds(0))) >= 0; }));
        // The peer plays the server's side of the connection.
        peer.Adopt(fd);
        ASSERT_TRUE(WaitForLogged(host + "に接続しました")) << Log();
    }

    LoopbackListener listener;
};

TEST_P(EndToEndSplitArrival, LinesAreLoggedWholeWhereverTheNetworkCutsThem) {
    const SplitCase& c = GetParam();
    const std::size_t connected = LoggedCount();
    for (const std::string& piece : c.pieces) {
        ASSERT_TRUE(peer.SendBytes(piece, DefaultWait));
        // Long enough for the window to read the piece before the next one is sent.
        RunFor(milliseconds(200));
    }
    if (c.after == AfterPieces::ServerCloses) {
        peer.Close();
    }
    ASSERT_TRUE(WaitForLogged(c.logged.back(), connected)) << Log();
    RunFor(milliseconds(200));
    const auto texts = window->LoggedTexts();
    const std::vector<std::string> logged(texts.begin() + static_cast<long>(connected),
                                          texts.end());
    EXPECT_EQ(logged, c.logged) << Log();
    if (!c.answer.empty()) {
        EXPECT_TRUE(WaitForPeerLine([&](const std::string& line) { return line == c.answer; }))
            << "the server never got " << c.answer;
    }
}

INSTANTIATE_TEST_SUITE_P(NetworkCuts, EndToEndSplitArrival, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<SplitCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
