#include "client/form_shell.h"

#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/fakes/fake_platform.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Hands the shell the fake window's controls by their names, and notes the order asked for.
class FakeControlFactory : public ControlFactory {
public:
    ListBox& MakeListBox(const ControlSpec& c, const PixelRect&) override {
        return Made(c, Ctl.Lst_Msg);
    }
    TextBox& MakeTextBox(const ControlSpec& c, const PixelRect&) override {
        return Made(c, *m_textBoxes.at(c.Name));
    }
    Label& MakeLabel(const ControlSpec& c, const PixelRect&) override {
        return Made(c, Ctl.Label1);
    }
    CommandButton& MakeCommandButton(const ControlSpec& c, const PixelRect& place) override {
        Places.push_back(place);
        return Made(c, *m_buttons.at(c.Name));
    }

    FakeFormControls Ctl;
    std::vector<std::string_view> Order;
    std::vector<PixelRect> Places; // the buttons'

private:
    template <typename T> T& Made(const ControlSpec& c, T& control) {
        Order.push_back(c.Name);
        return control;
    }

    std::map<std::string_view, FakeTextBox*> m_textBoxes{
        {"Txt_SendMsg", &Ctl.Txt_SendMsg},   {"Txt_Host", &Ctl.Txt_Host},
        {"Txt_UserID", &Ctl.Txt_UserID},     {"Txt_RealName", &Ctl.Txt_RealName},
        {"Txt_NickName", &Ctl.Txt_NickName}, {"Txt_Ch", &Ctl.Txt_Ch}};
    std::map<std::string_view, FakeCommandButton*> m_buttons{
        {"Cmd_Connect", &Ctl.Cmd_Connect}, {"Cmd_SetUser", &Ctl.Cmd_SetUser},
        {"Cmd_SetNick", &Ctl.Cmd_SetNick}, {"Cmd_Join", &Ctl.Cmd_Join},
        {"Cmd_Part", &Ctl.Cmd_Part},       {"Cmd_Disconnect", &Ctl.Cmd_Disconnect}};
};

struct FormShellTest : ::testing::Test {
    FakePlatform platform;
    TCPSockProc proc{platform};
    FakeControlFactory factory;
    std::unique_ptr<FormShell> shell = std::make_unique<FormShell>(proc, factory, factory.Ctl.Host);
};

TEST_F(FormShellTest, MakesTheControlsInTabOrderAtTheirPlacesInPixels) {
    EXPECT_EQ(factory.Order.front(), "Lst_Msg");
    EXPECT_EQ(factory.Order.back(), "Cmd_Disconnect");
    EXPECT_EQ(factory.Order.size(), FormLayout::Controls.size());
    // Cmd_Connect: 5760, 3600, 1455, 285 twips; 1455 / 15 = 97.
    EXPECT_EQ(factory.Places.front().Left, 384);
    EXPECT_EQ(factory.Places.front().Top, 240);
    EXPECT_EQ(factory.Places.front().Width, 97);
    EXPECT_EQ(factory.Places.front().Height, 19);
}

TEST_F(FormShellTest, AClickReachesItsHandlerAndAnUnknownNameNothing) {
    factory.Ctl.Txt_Host.SetText("localhost:port");
    shell->Click("Txt_Host");
    EXPECT_TRUE(factory.Ctl.LoggedTexts().empty());
    ASSERT_TRUE(shell->Load());
    shell->Click("Cmd_Connect");
    EXPECT_EQ(factory.Ctl.LoggedTexts(),
              std::vector<std::string>{"エラー：ポート番号が正しくありません。"});
}

TEST_F(FormShellTest, UnloadsOnceAfterALoadWhetherClosedOrDestroyed) {
    shell->Close();
    EXPECT_EQ(factory.Ctl.Host.EndCalls, 0);
    ASSERT_TRUE(shell->Load());
    shell->Close();
    shell->Close();
    EXPECT_EQ(factory.Ctl.Host.EndCalls, 1);
    EXPECT_FALSE(shell->Form().Winsock());

    auto second = std::make_unique<FormShell>(proc, factory, factory.Ctl.Host);
    ASSERT_TRUE(second->Load());
    second.reset();
    EXPECT_EQ(factory.Ctl.Host.EndCalls, 2);
}

TEST(FormShellStart, AFailureToStartIsShownWithItsOwnWordsAndNothingEscapes) {
    std::vector<std::string> shown;
    auto show = [&shown](std::string_view text, std::string_view detail) {
        shown.emplace_back(std::string(text) + "|" + std::string(detail));
    };
    EXPECT_FALSE(FormShell::Start([]() -> bool { throw std::runtime_error("no window"); }, show));
    EXPECT_FALSE(FormShell::Start([]() -> bool { throw 7; }, show));
    EXPECT_FALSE(FormShell::Start([] { return false; }, show));
    EXPECT_TRUE(FormShell::Start([] { return true; }, show));
    EXPECT_EQ(shown, (std::vector<std::string>{"Winsock の初期化に失敗しました。|no window",
                                               "Winsock の初期化に失敗しました。|"}));
}

} // namespace
