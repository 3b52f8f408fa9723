#include "tests/client/form_session.h"

#include <gtest/gtest.h>

namespace {

class FormMainLog : public ::testing::Test, public FormSession {};

TEST_F(FormMainLog, EntriesCarryTheTimeAndStandAboveTheBlankEntry) {
    struct Case {
        TimeOfDay Time;
        std::string Text;
        std::string Entry;
    };
    const std::vector<Case> cases = {
        {{9, 5, 7}, "abc", "09:05:07 abc"},
        {{9, 5, 7}, "", "09:05:07 "},
        {{0, 0, 0}, " two  blanks ", "00:00:00  two  blanks "},
        {{23, 59, 58}, "日本語", "23:59:58 日本語"},
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        Ctl.Host.Time = c.Time;
        Form->AddLog(c.Text);
        expected.push_back(c.Entry);
    }
    expected.push_back(" ");
    const auto& items = Ctl.Lst_Msg.Items();
    EXPECT_EQ(std::vector<std::string>(items.begin(), items.end()), expected);
}

TEST_F(FormMainLog, TheLongestEntryByShiftJisBytesSetsTheLabelAndTheExtent) {
    // The fake label draws 6.4 pixels a character, so full-width text is narrower for its bytes.
    struct Case {
        const char* Name;
        std::vector<std::string> Texts;
        std::string Longest;
        int Extent;
    };
    const std::vector<Case> cases = {
        {"the only entry", {"abc"}, "abc", 99},
        {"a later longer entry", {"abc", "abcd"}, "abcd", 106},
        {"equal lengths: the earlier", {"abcd", "wxyz"}, "abcd", 106},
        {"three full-width characters beat five letters", {"abcde", "あいう"}, "あいう", 99},
        {"half-width katakana is one byte each", {"ｱｲｳｴｵ", "abcdef"}, "abcdef", 118},
        {"kanji and kana are two bytes each", {"abcdefg", "漢字かな"}, "漢字かな", 106},
    };
    for (const auto& c : cases) {
        FakeFormControls controls;
        controls.Label1.PixelsPerCharacter = 6.4;
        controls.Host.Time = {9, 5, 7};
        Form_Main form(Proc, controls.Controls());
        for (const auto& text : c.Texts) {
            form.AddLog(text);
        }
        EXPECT_EQ(controls.Label1.Caption(), "09:05:07 " + c.Longest + " ") << c.Name;
        EXPECT_EQ(controls.Lst_Msg.HorizontalExtent(), c.Extent) << c.Name;
    }
}

TEST_F(FormMainLog, EachEntryScrollsToTheEndAndLeavesNothingSelected) {
    Ctl.Lst_Msg.SetListIndex(0);
    for (int i = 0; i < 3; ++i) {
        Form->AddLog("entry");
        EXPECT_EQ(Ctl.Lst_Msg.LastSelected(), Ctl.Lst_Msg.ListCount() - 1);
        EXPECT_EQ(Ctl.Lst_Msg.ListIndex(), -1);
    }
}

TEST_F(FormMainLog, AFullLogDropsItsOldestEntryAndTheLongestMovesOn) {
    constexpr int Limit = 32767;
    // The two longest entries are the first and a later one of the same length; the shorter ones
    // between them never count.
    Form->AddLog("first and longest");
    for (int i = 1; i < Limit; ++i) {
        Form->AddLog(i == 100 ? "later, as long..." : "short " + std::to_string(i));
    }
    ASSERT_EQ(Ctl.Lst_Msg.ListCount(), Limit + 1);
    EXPECT_EQ(Ctl.Label1.Caption(), "12:34:56 first and longest ");

    Form->AddLog("newest");
    EXPECT_EQ(Ctl.Lst_Msg.ListCount(), Limit + 1);
    EXPECT_EQ(Ctl.Lst_Msg.List(0), "12:34:56 short 1");
    EXPECT_EQ(Ctl.Lst_Msg.List(Limit - 1), "12:34:56 newest");
    EXPECT_EQ(Ctl.Lst_Msg.List(Limit), " ");
    EXPECT_EQ(Ctl.Label1.Caption(), "12:34:56 later, as long... ");

    for (int i = 0; i < 200; ++i) {
        Form->AddLog("more");
    }
    EXPECT_EQ(Ctl.Lst_Msg.ListCount(), Limit + 1);
    EXPECT_EQ(Ctl.Label1.Caption(), "12:34:56 short 10000 ");
    EXPECT_EQ(Ctl.Lst_Msg.List(Limit), " ");
}

} // namespace
