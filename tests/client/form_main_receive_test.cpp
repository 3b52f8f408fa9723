#include "encoding/ansi_code_page.h"
#include "tests/client/form_session.h"
#include "tests/client/printable.h"

#include <gtest/gtest.h>

namespace {

class FormMainReceive : public ::testing::Test, public FormSession {};

const std::string ClosedByServer = "接続が切断されました。";

// ISO-2022-JP as a server sends it, and the text the log shows for it.
const std::string Konnichiwa = "\x1b$B$3$s$K$A$O\x1b(B";
const std::string NihongoDesu = "\x1b$BF|K\\8l$G$9\x1b(B";
const std::string Katakana = "\x1b(I6@6E\x1b(B";

const std::string Conversation = ":taro!t@h PRIVMSG #ch :" + Konnichiwa + "\r\n" +
                                 ":hanako!h@h PRIVMSG #ch :" + NihongoDesu + " ok\n" +
                                 ":srv NOTICE * :" + Katakana + "\r" + ":srv 001 me :Welcome\r\n";
const std::vector<std::string> ConversationLog = {
    "<Recv> :taro!t@h PRIVMSG #ch :こんにちは",
    "<Recv> :hanako!h@h PRIVMSG #ch :日本語です ok",
    "<Recv> :srv NOTICE * :ｶﾀｶﾅ",
    "<Recv> :srv 001 me :Welcome",
};

TEST_F(FormMainReceive, LinesAreConvertedAndLoggedAtTheirLineEnds) {
    struct Case {
        std::string Arrival;
        std::vector<std::string> Log;
    };
    const std::vector<Case> cases = {
        {"A\r\n\r\nB\r\n", {"<Recv> A", "<Recv> B"}},
        {"A\r\n\r\n\r\nB\r\n", {"<Recv> A", "<Recv> ", "<Recv> B"}},
        {"A\rB\nC", {"<Recv> A", "<Recv> B"}},
        {Conversation, ConversationLog},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        f.Receive(s, c.Arrival);
        EXPECT_EQ(f.LogFrom(before), c.Log) << Printable(c.Arrival);
    }
}

TEST_F(FormMainReceive, OnlyAPingCommandIsAnsweredWithItsOwnArgument) {
    struct Case {
        std::string Line;
        std::string Pong; // empty: no answer
    };
    const std::vector<Case> cases = {
        {"PING :abc", "PONG :abc"},
        {"PING :irc.example.org", "PONG :irc.example.org"},
        {"PING 12345 :cookie", "PONG 12345 :cookie"},
        {":srv PING :x", "PONG :x"},
        {":srv  PING :x", "PONG :x"},
        {"PING", "PONG"},
        {"PING ", "PONG "},
        {"PINGX :x", ""},
        {"ping :x", ""},
        {":srv", ""},
        {":srv PINGS", ""},
        {":u!u@h PRIVMSG #ch :PING :x", ""},
        {":u!u@h PRIVMSG #ch :say PING now", ""},
        {"NOTICE PING :x", ""},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        f.Receive(s, c.Line + "\r\n");
        std::vector<std::string> log = {"<Recv> " + c.Line};
        if (!c.Pong.empty()) {
            log.push_back("<Send> " + c.Pong);
        }
        EXPECT_EQ(f.LogFrom(before), log) << c.Line;
        EXPECT_EQ(f.Platform.SentText(s), c.Pong.empty() ? "" : c.Pong + "\r\n") << c.Line;
    }
}

TEST_F(FormMainReceive, EachPingIsAnsweredRightAfterItsOwnLine) {
    const auto s = Connect();
    const auto before = Log().size();
    Receive(s, "PING :one\r\n:srv NOTICE me :hi\r\n:srv PING :two\nPING :three\r");
    EXPECT_EQ(LogFrom(before), (std::vector<std::string>{
                                   "<Recv> PING :one",
                                   "<Send> PONG :one",
                                   "<Recv> :srv NOTICE me :hi",
                                   "<Recv> :srv PING :two",
                                   "<Send> PONG :two",
                                   "<Recv> PING :three",
                                   "<Send> PONG :three",
                               }));
    EXPECT_EQ(Platform.SentText(s), "PONG :one\r\nPONG :two\r\nPONG :three\r\n");
}

TEST_F(FormMainReceive, HoweverTheNetworkSplitsTheTextEveryLineIsLoggedOnceInOrder) {
    std::vector<std::vector<std::string>> splits;
    for (std::size_t at = 1; at < Conversation.size(); ++at) {
        splits.push_back({Conversation.substr(0, at), Conversation.substr(at)});
    }
    std::vector<std::string> bytes;
    for (const char c : Conversation) {
        bytes.emplace_back(1, c);
    }
    splits.push_back(bytes);

    for (const auto& arrivals : splits) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        for (const auto& arrival : arrivals) {
            f.Receive(s, arrival);
        }
        EXPECT_EQ(f.LogFrom(before), ConversationLog)
            << arrivals.size() << " arrivals, the first of " << arrivals.front().size() << " bytes";
    }
}

TEST_F(FormMainReceive, TheUnfinishedLastLineIsLoggedBeforeTheClose) {
    struct Case {
        std::string Arrival;
        std::vector<std::string> Log;
    };
    const std::vector<Case> cases = {
        {"A\r\nERROR :Closing link", {"<Recv> A", "<Recv> ERROR :Closing link", ClosedByServer}},
        {"A\r\n", {"<Recv> A", ClosedByServer}},
        {"A\r", {"<Recv> A", ClosedByServer}},
        {"A\r\n\r\n\r\n", {"<Recv> A", "<Recv> ", ClosedByServer}},
        {"PING :late", {"<Recv> PING :late", ClosedByServer}},
        {"", {ClosedByServer}},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        f.Platform.Arrive(s, c.Arrival);
        f.Platform.PeerClose(s);
        f.Platform.PumpAll();
        EXPECT_EQ(f.LogFrom(before), c.Log) << Printable(c.Arrival);
        EXPECT_EQ(f.Platform.SentText(s), "") << Printable(c.Arrival);
    }
}

TEST_F(FormMainReceive, EachConnectionStartsWithNothingHeldOver) {
    auto s = Connect();
    Receive(s, "half a li");
    Form->Cmd_Disconnect_Click();
    s = Connect();
    const auto before = Log().size();
    Receive(s, "ne\r\n");
    EXPECT_EQ(LogFrom(before), std::vector<std::string>{"<Recv> ne"});

    Receive(s, "\r");
    Form->Cmd_Disconnect_Click();
    s = Connect();
    const auto reconnected = Log().size();
    Receive(s, "\nnext\r\n");
    EXPECT_EQ(LogFrom(reconnected), (std::vector<std::string>{"<Recv> ", "<Recv> next"}))
        << "a LF after a CR of the last connection is a line end of its own";
}

TEST_F(FormMainReceive, AFailureWhileAnArrivalIsHandledIsLoggedAndGivesUpTheConnection) {
    const auto s = Connect();
    const auto before = Log().size();
    Ctl.Lst_Msg.FailingAdditions = 1;
    Receive(s, "one\r\n");
    EXPECT_EQ(LogFrom(before),
              (std::vector<std::string>{"エラー：the list takes no more entries"}));
    EXPECT_TRUE(Ctl.Cmd_Connect.Visible());
    EXPECT_FALSE(Ctl.Cmd_Disconnect.Visible());
}

TEST_F(FormMainReceive, AnEndlessLineIsLoggedInPiecesOfTheCap) {
    const auto s = Connect();
    const auto before = Log().size();
    const std::size_t cap = LineAssembler::MaxPieceLength;
    for (int i = 0; i < 5; ++i) {
        Receive(s, std::string(cap / 2, 'x'));
    }
    Receive(s, "\r\n");
    const auto log = LogFrom(before);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "<Recv> " + std::string(cap, 'x'));
    EXPECT_EQ(log[1], "<Recv> " + std::string(cap, 'x'));
    EXPECT_EQ(log[2], "<Recv> " + std::string(cap / 2, 'x'));
}

TEST_F(FormMainReceive, ALongLineIsLoggedInPiecesThatReadAsItsText) {
    const auto x = [](std::size_t size) { return std::string(size, 'x'); };
    std::string kanji;
    std::string kanjiLine = "\x1b$B";
    for (int k = 0; k < 60000; ++k) {
        kanji += "亜";
        kanjiLine += "0!";
    }
    kanjiLine += "\x1b(B\n";
    std::vector<std::string> kanjiArrivals; // of an odd size, so that some end inside a pair
    for (std::size_t at = 0; at < kanjiLine.size(); at += 1001) {
        kanjiArrivals.push_back(kanjiLine.substr(at, 1001));
    }
    struct Case {
        const char* Name;
        std::vector<std::string> Arrivals;
        std::string Text;
        std::size_t Entries;
    };
    const std::vector<Case> cases = {
        {"8,704 bytes", {x(8704) + "\r\n"}, x(8704), 1},
        {"8,705 bytes", {x(8705) + "\r\n"}, x(8705), 2},
        {"70,000 bytes", {x(70000) + "\r\n"}, x(70000), 9},
        {"split across arrivals", {x(5000), x(5000), "\r", "\n"}, x(10000), 2},
        {"60,000 kanji", kanjiArrivals, kanji, 14},
        {"a PING over the limit is not answered",
         {"PING :" + x(9000) + "\n"},
         "PING :" + x(9000),
         2},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        for (const std::string& arrival : c.Arrivals) {
            f.Receive(s, arrival);
        }
        const auto log = f.LogFrom(before);
        EXPECT_EQ(log.size(), c.Entries) << c.Name;
        std::string joined;
        for (const std::string& entry : log) {
            ASSERT_TRUE(entry.starts_with("<Recv> ")) << c.Name;
            const std::string text = entry.substr(7);
            EXPECT_LE(AnsiCodePage::ByteLength(text), LineAssembler::MaxPieceLength) << c.Name;
            joined += text;
        }
        EXPECT_TRUE(joined == c.Text) << c.Name;
        EXPECT_EQ(f.Platform.SentText(s), "") << c.Name;
    }
}

TEST_F(FormMainReceive, APongCarriesThePingsOwnBytes) {
    struct Case {
        std::string Line;
        std::string Token; // what follows the command, and so follows "PONG"
    };
    const std::vector<Case> cases = {
        {"PING :\xFF\x80z", " :\xFF\x80z"},
        {"PING :\x80", " :\x80"},
        {"PING :\xFF", " :\xFF"},
        {"PING :ab\x81", " :ab\x81"},
        {"PING 12\x82 :x", " 12\x82 :x"},
        {"PING :\x1b$B0!\x1b(B", " :\x1b$B0!\x1b(B"},
        {":srv PING :\xFF\x1b$B", " :\xFF\x1b$B"},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        f.Receive(s, c.Line + "\r\n");
        EXPECT_EQ(Printable(f.Platform.SentText(s)), Printable("PONG" + c.Token + "\r\n"))
            << Printable(c.Line);
        // The log shows the answer as the text of the line it answers.
        const auto log = f.LogFrom(before);
        ASSERT_EQ(log.size(), 2u) << Printable(c.Line);
        const std::size_t command = log[0].find("PING") + 4;
        EXPECT_EQ(log[1], "<Send> PONG" + log[0].substr(command)) << Printable(c.Line);
    }
}

} // namespace
