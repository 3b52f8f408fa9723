#include "tests/client/form_session.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class FormMainCommands : public ::testing::Test, public FormSession {};

const std::string NotConnected = "エラー：接続されていません。";
const std::string LineBreak = "エラー：改行を含む行は送信できません。";
const std::string Unsendable = "エラー：Shift_JIS で送れない文字を含む行は送信できません。";
const std::string TooLong = "エラー：行が長すぎて送信できません。";

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
        {"an empty input line", enter(""), "", {}, idle},
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
        {"unsendable, not connected", false, "#Channel", "😀", "😀", {Unsendable}},
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

TEST_F(FormMainCommands, JoinAndPartSwapOnlyWhenTheirLineWentOut) {
    Form->Cmd_Join_Click();
    Form->Cmd_SetNick_Click();
    Form->Cmd_Part_Click();
    EXPECT_EQ(VisibleButtons(), "Connect Join SetUser SetNick");
    EXPECT_EQ(Log(), std::vector<std::string>(3, NotConnected));
    EXPECT_TRUE(Platform.CallsTo("send").empty());

    const auto s = Connect();
    Form->Cmd_Join_Click();
    EXPECT_EQ(VisibleButtons(), "Disconnect Part SetUser SetNick") << "the first click joins";
    Ctl.Txt_Ch.SetText("#a\nb");
    Form->Cmd_Part_Click();
    EXPECT_EQ(VisibleButtons(), "Disconnect Part SetUser SetNick");
    Platform.PumpAll();
    EXPECT_EQ(Platform.SentText(s), "JOIN #Channel\r\n");
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

TEST_F(FormMainCommands, ALineThatCannotLeaveAsItIsIsNotSent) {
    using C = FakeFormControls;
    const struct {
        FakeTextBox C::*Box;
        std::string Text;
        void (Form_Main::*Press)(); // nullptr: Enter in the input line
        std::string Logged;
    } cases[] = {
        {&C::Txt_SendMsg, "a😀b", nullptr, Unsendable},
        {&C::Txt_SendMsg, "/NOTICE x :café", nullptr, Unsendable},
        {&C::Txt_NickName, "taro😀", &Form_Main::Cmd_SetNick_Click, Unsendable},
        {&C::Txt_UserID, "ü", &Form_Main::Cmd_SetUser_Click, Unsendable},
        {&C::Txt_RealName, "Zoë", &Form_Main::Cmd_SetUser_Click, Unsendable},
        {&C::Txt_Ch, "#ch€", &Form_Main::Cmd_Join_Click, Unsendable},
        {&C::Txt_SendMsg, "/A😀\nB", nullptr, LineBreak},
        {&C::Txt_SendMsg, "①～髙", nullptr, "<Send> PRIVMSG #Channel :①～髙"},
        {&C::Txt_SendMsg, "/" + std::string(510, 'r'), nullptr, "<Send> " + std::string(510, 'r')},
        {&C::Txt_SendMsg, "/" + std::string(511, 'r'), nullptr, TooLong},
        {&C::Txt_NickName, std::string(506, 'n'), &Form_Main::Cmd_SetNick_Click, TooLong},
        {&C::Txt_SendMsg, std::string(2000, 'm'), nullptr, TooLong},
    };
    for (const auto& c : cases) {
        FormSession f;
        const auto s = f.Connect();
        const auto before = f.Log().size();
        (f.Ctl.*c.Box).SetText(c.Text);
        c.Press != nullptr ? (f.Form.get()->*c.Press)() : f.PressEnter(c.Text);
        f.Platform.PumpAll();
        const bool sent = c.Logged.starts_with("<Send>");
        EXPECT_EQ(f.LogFrom(before), std::vector<std::string>{c.Logged}) << c.Text;
        EXPECT_EQ(f.Platform.SentText(s).empty(), !sent) << c.Text;
        EXPECT_EQ((f.Ctl.*c.Box).Text(), sent ? "" : c.Text) << c.Text << ": the box keeps it";
    }
}

TEST_F(FormMainCommands, ASendQueueOverItsLimitTakesNoMoreLines) {
    Connect();
    ASSERT_TRUE(Form->Winsock()->SendBinaryData(std::vector<std::uint8_t>(16 * 1024 * 1024, 'x')));
    const auto before = Log().size();
    // 16 MiB or less waiting: the first line of a long message is queued; the rest is kept.
    const std::string typed(600, 'q');
    PressEnter(typed);
    const auto log = LogFrom(before);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(log[0].find(':') + 1) + Ctl.Txt_SendMsg.Text(), typed);
    EXPECT_EQ(log[1], "エラー：送信待ちのデータが多すぎます。");
    EXPECT_TRUE(Form->SendLine("PRIVMSG #c :more")) << "the server read again";
}

TEST_F(FormMainCommands, AFailureInsideAHandlerIsLoggedAndTheWindowGoesOn) {
    // A box that fails while a click, a key or a socket event from the pump reads it.
    using Call = std::function<void(FormSession&)>;
    const std::vector<std::pair<FakeTextBox FakeFormControls::*, Call>> cases = {
        {&FakeFormControls::Txt_NickName, [](FormSession& f) { f.Form->Cmd_SetNick_Click(); }},
        {&FakeFormControls::Txt_SendMsg, [](FormSession& f) { f.PressEnter("hi"); }},
        {&FakeFormControls::Txt_Host, [](FormSession& f) { f.Platform.PumpAll(); }},
    };
    for (const auto& [box, call] : cases) {
        FormSession f;
        f.Form->Cmd_Connect_Click();
        if (box != &FakeFormControls::Txt_Host) {
            f.Platform.PumpAll();
        }
        const auto before = f.Log().size();
        (f.Ctl.*box).Failure = "box broken";
        f.Form->Guard([&] { call(f); });
        EXPECT_EQ(f.LogFrom(before), std::vector<std::string>{"エラー：box broken"});
        EXPECT_EQ(f.VisibleButtons(), "Connect Join SetUser SetNick");

        (f.Ctl.*box).Failure.clear();
        const auto s = f.Connect();
        f.Form->Cmd_SetNick_Click();
        f.Platform.PumpAll();
        EXPECT_EQ(f.Platform.SentText(s), "NICK NickName\r\n") << "the window goes on";
    }
}

} // namespace
