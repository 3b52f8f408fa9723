#include "encoding/ansi_code_page.h"
#include "tests/client/form_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

class FormMainLog : public ::testing::Test, public FormSession {};

constexpr int Limit = 32767;

struct Measured {
    std::string Caption;
    int Extent;
    bool operator==(const Measured&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Measured& m) {
    return out << '"' << m.Caption.substr(0, 40) << "\" (" << m.Caption.size() << " bytes), "
               << m.Extent;
}

// What a scan of every entry gives: the earliest of the greatest Shift_JIS length, measured.
Measured Rescan(const FakeFormControls& controls) {
    const auto& items = controls.Lst_Msg.Items();
    std::size_t longest = 0;
    std::size_t length = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (AnsiCodePage::ByteLength(items[i]) > length) {
            longest = i;
            length = AnsiCodePage::ByteLength(items[i]);
        }
    }
    FakeLabel label;
    label.PixelsPerCharacter = controls.Label1.PixelsPerCharacter;
    label.SetCaption(items[longest] + " ");
    return {label.Caption(), static_cast<int>(std::lround(label.Width() + 16))};
}

Measured Shown(const FakeFormControls& controls) {
    return {controls.Label1.Caption(), controls.Lst_Msg.HorizontalExtent()};
}

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
    EXPECT_EQ(Shown(Ctl), Rescan(Ctl));

    for (int i = 0; i < 200; ++i) {
        Form->AddLog("more");
    }
    EXPECT_EQ(Ctl.Lst_Msg.ListCount(), Limit + 1);
    EXPECT_EQ(Ctl.Label1.Caption(), "12:34:56 short 10000 ");
    EXPECT_EQ(Shown(Ctl), Rescan(Ctl));
    EXPECT_EQ(Ctl.Lst_Msg.List(Limit), " ");
}

TEST_F(FormMainLog, ABurstInOneTurnIsMeasuredOnceAsARescanWouldMeasureIt) {
    struct Case {
        const char* Name;
        int Before; // entries logged in earlier turns
        std::function<std::string(int)> Text;
        int Burst;
    };
    const auto varied = [](int i) { return std::string(1 + (i * 37) % 50, 'a' + i % 26); };
    // Equal lengths: in a full log every entry drops the longest, the earliest of them.
    const auto equal = [](int i) { return "漢字 " + std::to_string(100000 + i); };
    // The 40th entry of the burst becomes the longest and leaves before the turn ends.
    const auto passing = [](int i) {
        return i == Limit + 40 ? std::string(300, 'L') : "short " + std::to_string(i);
    };
    const Case cases[] = {
        {"varied lengths, empty log", 0, varied, 500},
        {"varied lengths, full log", Limit, varied, 500},
        {"equal lengths, full log", Limit, equal, 300},
        {"the longest comes and goes in the turn", Limit, passing, Limit + 100},
    };
    for (const Case& c : cases) {
        FakeFormControls controls;
        Form_Main form(Proc, controls.Controls());
        for (int i = 0; i < c.Before; ++i) {
            form.AddLog(c.Text(i));
        }
        const int captions = controls.Label1.CaptionChanges;
        controls.Host.TurnsEndOnDemand = true;
        controls.Lst_Msg.SetListIndex(0); // a selection the burst takes away
        for (int i = c.Before; i < c.Before + c.Burst; ++i) {
            form.AddLog(c.Text(i));
        }
        EXPECT_LE(controls.Host.EndOfTurnWork.size(), 1u) << c.Name;
        controls.Host.EndTurn();
        EXPECT_LE(controls.Label1.CaptionChanges - captions, 1) << c.Name;
        EXPECT_EQ(Shown(controls), Rescan(controls)) << c.Name;
        EXPECT_EQ(controls.Lst_Msg.LastSelected(), controls.Lst_Msg.ListCount() - 1) << c.Name;
        EXPECT_EQ(controls.Lst_Msg.ListIndex(), -1) << c.Name;
    }
}

TEST_F(FormMainLog, EntriesOfTheLongestLinesEvictTheOldestAt32MiB) {
    constexpr std::size_t Budget = 32 * 1024 * 1024;
    constexpr std::size_t EntryBytes = 9 + 8704; // the time, then a line of the longest length
    constexpr int Kept = Budget / EntryBytes;
    auto line = [](int i) { return std::to_string(100000 + i) + std::string(8704 - 6, 'x'); };
    for (int i = 0; i < Kept + 100; ++i) {
        Form->AddLog(line(i));
    }
    ASSERT_EQ(Ctl.Lst_Msg.ListCount(), Kept + 1);
    EXPECT_EQ(Ctl.Lst_Msg.List(0), "12:34:56 " + line(100));
    EXPECT_EQ(Ctl.Lst_Msg.List(Kept - 1), "12:34:56 " + line(Kept + 99));
    EXPECT_EQ(Ctl.Lst_Msg.List(Kept), " ");
    EXPECT_EQ(Shown(Ctl), Rescan(Ctl));

    // A short entry fits in what is left; the next long one takes the two oldest entries' room.
    Form->AddLog("short");
    EXPECT_EQ(Ctl.Lst_Msg.ListCount(), Kept + 2);
    Form->AddLog(line(0) + std::string(Budget - Kept * EntryBytes, 'y'));
    EXPECT_EQ(Ctl.Lst_Msg.ListCount(), Kept + 1);
    EXPECT_EQ(Ctl.Lst_Msg.List(0), "12:34:56 " + line(102));
}

} // namespace
