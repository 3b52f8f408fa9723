#include "tests/client/form_session.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class FormMainCommands : public ::testing::Test, public FormSession {};

const std::string NotConnected = "エラー：接続されていません。";
const std::string LineBreak = "エラー：改行を含む行は送信できません。";

// Shift_JIS of 日本語.
const std::string NihongoSjis = Sjis({0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA});

TEST_F(FormMainCommands, EachCommandSendsItsLineBuiltFromTheBoxes) {
    struct Case {
        const char* Name;
        std::function<void(FormSession&)> Action;
        std::string Sent;
        std::vector<std::string> Log;
        std::string Buttons;
    };
    const auto press = [](void (Form_Main::*handler)()) {
        return [handler](FormSession& f) { (f.Form.get()->*handler)(); };
    };
    const auto enter = [](const std::string& text) {
        return [text](FormSession& f) { f.PressEnter(text); };
    };
    const std::string idle = "Disconnect Join SetUser SetNick";
    const std::vector<Case> cases = {
        {"SetUser with the initial texts",
         press(&Form_Main::Cmd_SetUser_Click),
         "USER UserID * * :RealName\r\n",
         {"<Send> USER UserID * * :RealName"},
         idle},
        {"SetNick with the initial text",
         press(&Form_Main::Cmd_SetNick_Click),
         "NICK NickName\r\n",
         {"<Send> NICK NickName"},
         idle},
        {"Join",
         press(&Form_Main::Cmd_Join_Click),
         "JOIN #Channel\r\n",
         {"<Send> JOIN #Channel"},
         "Disconnect Part SetUser SetNick"},
        {"Part",
         press(&Form_Main::Cmd_Part_Click),
         "PART #Channel\r\n",
         {"<Send> PART #Channel"},
         idle},
        {"a message to the channel",
         enter("hello"),
         "PRIVMSG #Channel :hello\r\n",
         {"<Send> PRIVMSG #Channel :hello"},
         idle},
        {"an empty message",
         enter(""),
         "PRIVMSG #Channel :\r\n",
         {"<Send> PRIVMSG #Channel :"},
         idle},
        {"blanks stay",
         enter("  hi  "),
         "PRIVMSG #Channel :  hi  \r\n",
         {"<Send> PRIVMSG #Channel :  hi  "},
         idle},
        {"a raw line",
         enter("/MODE #Channel +t"),
         "MODE #Channel +t\r\n",
         {"<Send> MODE #Channel +t"},
         idle},
        {"a raw JOIN leaves the buttons",
         enter("/JOIN #other"),
         "JOIN #other\r\n",
         {"<Send> JOIN #other"},
         idle},
        {"a slash alone sends an empty line", enter("/"), "\r\n", {"<Send> "}, idle},
        {"a slash later in the text",
         enter("a/b"),
         "PRIVMSG #Channel :a/b\r\n",
         {"<Send> PRIVMSG #Channel :a/b"},
         idle},
        {"Japanese leaves as Shift_JIS",
         enter("日本語"),
         "PRIVMSG #Channel :" + NihongoSjis + "\r\n",
         {"<Send> PRIVMSG #Channel :日本語"},
         idle},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        c.Action(f);
        f.Platform.PumpAll();
        EXPECT_EQ(f.Platform.SentText(s), c.Sent) << c.Name;
        EXPECT_EQ(f.LogFrom(before), c.Log) << c.Name;
        EXPECT_EQ(f.VisibleButtons(), c.Buttons) << c.Name;
    }
}

TEST_F(FormMainCommands, TheInputLineIsEmptiedOnlyWhenItsLineWentOut) {
    struct Case {
        const char* Name;
        bool Connected;
        std::string Channel;
        std::string Text;
        std::string Kept; // what the input line holds afterwards
        std::vector<std::string> Log;
    };
    const std::vector<Case> cases = {
        {"connected", true, "#Channel", "hello", "", {"<Send> PRIVMSG #Channel :hello"}},
        {"not connected", false, "#Channel", "hello", "hello", {NotConnected}},
        {"raw line, not connected", false, "#Channel", "/QUIT", "/QUIT", {NotConnected}},
        {"a line break in the channel", true, "#a\r\nQUIT", "hello", "hello", {LineBreak}},
        {"a NUL in the channel", true, std::string("#a\0b", 4), "hi", "hi", {LineBreak}},
        {"a line break in a raw line", true, "#Channel", "/A\nB", "/A\nB", {LineBreak}},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = c.Connected ? f.Connect() : winsock::INVALID_SOCKET;
        const auto before = f.Log().size();
        f.Ctl.Txt_Ch.SetText(c.Channel);
        f.PressEnter(c.Text);
        EXPECT_EQ(f.Ctl.Txt_SendMsg.Text(), c.Kept) << c.Name;
        EXPECT_EQ(f.LogFrom(before), c.Log) << c.Name;
        if (c.Connected && c.Kept == c.Text) {
            EXPECT_EQ(f.Platform.SentText(s), "") << c.Name;
        }
    }
}

TEST_F(FormMainCommands, ButtonsNotConnectedSendNothingYetSwapJoinAndPart) {
    Form->Cmd_Join_Click();
    EXPECT_EQ(VisibleButtons(), "Connect Part SetUser SetNick");
    Form->Cmd_SetNick_Click();
    Form->Cmd_Part_Click();
    EXPECT_EQ(VisibleButtons(), "Connect Join SetUser SetNick");
    EXPECT_EQ(Log(), std::vector<std::string>(3, NotConnected));
    EXPECT_TRUE(Platform.CallsTo("send").empty());
}

TEST_F(FormMainCommands, OnlyTheEnterKeyActs) {
    const auto s = Connect();
    const auto before = Log().size();
    Ctl.Txt_SendMsg.SetText("typed");
    for (const std::int16_t key : std::vector<std::int16_t>{10, 'a', 27, 0, -13, 269}) {
        std::int16_t code = key;
        Form->Txt_SendMsg_KeyPress(code);
        EXPECT_EQ(code, key) << "the key reaches the box unchanged";
    }
    Platform.PumpAll();
    EXPECT_EQ(Ctl.Txt_SendMsg.Text(), "typed");
    EXPECT_EQ(LogFrom(before), std::vector<std::string>{});
    EXPECT_EQ(Platform.SentText(s), "");
}

} // namespace
