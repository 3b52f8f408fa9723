#include "tests/e2e/end_to_end_session.h"
#include "tests/e2e/iconv_text.h"

#include <algorithm>

// A whole session through the window's own handlers: connect, register, join, Japanese both ways,
// the server's PINGs, and the server's closing line before the close.
namespace {

using std::chrono::seconds;

struct Incoming {
    const char* name;
    std::string sent;  // the message text as the peer sends it
    std::string shown; // and as the log must show it
};

TEST_P(EndToEndSession, JapaneseFromThePeerIsLoggedAsText) {
    const Incoming cases[] = {
        {"kanji and kana", IconvText::ToIso2022Jp("日本語のテスト、ほしわ！"),
         "日本語のテスト、ほしわ！"},
        {"ASCII between Japanese", IconvText::ToIso2022Jp("おはよう ok 123 さようなら"),
         "おはよう ok 123 さようなら"},
        // JIS X 0208-1978's escape: 日本語 as older servers send it.
        {"ESC $ @", "\x1b$@F|K\\8l\x1b(B", "日本語"},
        {"half-width katakana", "\x1b(I12345\x1b(B!", "ｱｲｳｴｵ!"},
    };
    for (const Incoming& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = LoggedCount();
        ASSERT_TRUE(peer.SendLine("PRIVMSG " + Channel + " :" + c.sent));
        const auto logged =
            WaitForLogged([](const std::string& text) { return IsPeerMessageLine(text); }, before);
        ASSERT_TRUE(logged) << Log();
        EXPECT_TRUE(IsPeerMessage(window->LoggedTexts()[*logged], c.shown))
            << window->LoggedTexts()[*logged];
    }
}

TEST_P(EndToEndSession, TypedMessageReachesThePeerAsShiftJis) {
    // ソ and 表 end in 0x5C, which a conversion through the wrong table turns into a yen sign.
    const std::string typed = "こんにちは、表示ソフト \\ ok ラーメン〜";
    window->Type("Txt_SendMsg", typed);
    ASSERT_EQ(window->Text("Txt_SendMsg"), typed) << "every key reaches the input line";
    window->PressEnter();
    const auto line = WaitForPeerLine([](const std::string& received) {
        return received.starts_with(":" + Nick + "!") &&
               RawIrcClient::CommandOf(received) == "PRIVMSG";
    });
    ASSERT_TRUE(line) << Log();
    EXPECT_EQ(RawIrcClient::TrailingOf(*line), IconvText::ToShiftJis(typed));
    // The wave dash as Linux input methods write it leaves as Shift_JIS has it.
    EXPECT_TRUE(
        RawIrcClient::TrailingOf(*line).ends_with("\x83\x89\x81\x5B\x83\x81\x83\x93\x81\x60"));
    EXPECT_EQ(window->LoggedTexts().back(), "<Send> PRIVMSG " + Channel + " :" + typed);
    EXPECT_EQ(window->Text("Txt_SendMsg"), "");
}

TEST_P(EndToEndSession, LongMessagesLeaveInPiecesThatTheServerRelaysWhole) {
    const auto repeat = [](const std::string& text, int times) {
        std::string repeated;
        while (times-- > 0) {
            repeated += text;
        }
        return repeated;
    };
    // Behind "PRIVMSG #hoshiwa :" a line has room for 510 - (7 + 77) - 18 = 408 bytes of text
    // while the nickname is "hoshiwa". The last case shows that the connection is still open.
    const struct {
        const char* name;
        std::string nick; // sent with /NICK first
        std::string text;
        std::vector<std::size_t> pieces; // empty: refused
    } cases[] = {
        {"623 bytes of Japanese on the wire", "", repeat("あいうえお", 60) + "abc", {408, 195}},
        {"a message that fits exactly", "", std::string(408, 'x'), {408}},
        {"one byte more", "", std::string(409, 'x'), {408, 1}},
        {"a two-byte character across the cut", "", "x" + repeat("あ", 204), {407, 2}},
        {"one that needs a fifth line", "", std::string(4 * 408 + 1, 'z'), {}},
        {"a long nickname", std::string(30, 'n'), std::string(400, 'y'), {385, 15}},
    };
    std::string nick = Nick;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.nick.empty()) {
            window->SetText("Txt_SendMsg", "/NICK " + (nick = c.nick));
            window->PressEnter();
        }
        const std::size_t before = LoggedCount();
        window->SetText("Txt_SendMsg", c.text);
        window->PressEnter();
        std::string relayed;
        for (const std::size_t size : c.pieces) {
            const auto line = WaitForPeerLine([&nick](const std::string& received) {
                return received.starts_with(":" + nick + "!") &&
                       RawIrcClient::CommandOf(received) == "PRIVMSG";
            });
            ASSERT_TRUE(line) << Log();
            EXPECT_EQ(RawIrcClient::TrailingOf(*line).size(), size);
            relayed += RawIrcClient::TrailingOf(*line);
        }
        if (c.pieces.empty()) {
            EXPECT_TRUE(WaitForLogged("エラー：行が長すぎて送信できません。", before)) << Log();
        }
        EXPECT_EQ(relayed, c.pieces.empty() ? "" : IconvText::ToShiftJis(c.text));
        EXPECT_EQ(window->Text("Txt_SendMsg"), c.pieces.empty() ? c.text : "");
    }
}

TEST_P(EndToEndSession, StaysRegisteredThroughThreePingRoundsAndShowsTheClosingLineFirst) {
    constexpr int Rounds = 3;
    const std::string ping = "<Recv> PING :" + server.Name();
    const std::string pong = "<Send> PONG :" + server.Name();
    auto count = [this](const std::string& text) {
        const auto texts = window->LoggedTexts();
        return std::count(texts.begin(), texts.end(), text);
    };
    const auto roundTime = seconds(QuickPings().PingTimeout + QuickPings().PongTimeout + 5);
    ASSERT_TRUE(Until([&] { return count(pong) >= Rounds; }, roundTime * Rounds)) << Log();
    EXPECT_GE(count(ping), Rounds);
    // Each answer follows its PING directly.
    const auto texts = window->LoggedTexts();
    for (std::size_t index = 0; index < texts.size(); ++index) {
        if (texts[index] == ping) {
            ASSERT_LT(index + 1, texts.size());
            EXPECT_EQ(texts[index + 1], pong) << Log();
        }
    }

    // The server still knows the window's user, and its messages still reach the window.
    ASSERT_TRUE(peer.SendLine("WHOIS " + Nick));
    EXPECT_TRUE(WaitForPeerLine([](const std::string& line) {
        return RawIrcClient::CommandOf(line) == "311";
    })) << "WHOIS found no "
        << Nick;
    const std::size_t before = LoggedCount();
    ASSERT_TRUE(peer.SendLine("PRIVMSG " + Nick + " :" + IconvText::ToIso2022Jp("まだいる？")));
    EXPECT_TRUE(WaitForLogged(
        [](const std::string& text) {
            return text.starts_with("<Recv> :" + PeerNick + "!") &&
                   text.ends_with(" PRIVMSG " + Nick + " :まだいる？");
        },
        before))
        << Log();

    window->SetText("Txt_SendMsg", "/QUIT :bye");
    window->PressEnter();
    const auto closed = WaitForLogged("接続が切断されました。");
    ASSERT_TRUE(closed) << Log();
    const auto closingLine = window->FindLogged(
        [](const std::string& text) { return text.starts_with("<Recv> ERROR :"); });
    ASSERT_TRUE(closingLine) << "the server's last line was lost\n" << Log();
    EXPECT_LT(*closingLine, *closed) << Log();
    ExpectDisconnectedLayout();
    EXPECT_TRUE(WaitForPeerLine([](const std::string& line) {
        return line.starts_with(":" + Nick + "!") && RawIrcClient::CommandOf(line) == "QUIT";
    }));
}

INSTANTIATE_TEST_SUITE_P(Link, EndToEndSession, ::testing::Values(SessionLink::Plain), LinkName);

} // namespace
