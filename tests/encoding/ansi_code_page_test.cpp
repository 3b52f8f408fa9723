#include "encoding/ansi_code_page.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/encoding/hex.h"

namespace {

using namespace std::string_literals;

struct Mapping {
    const char* name;
    std::string text;
    const char* bytes;
};

const Mapping kMappings[] = {
    {"empty", "", ""},
    {"ascii", "PING :x", "50 49 4E 47 20 3A 78"},
    {"kanji", "日本語", "93 FA 96 7B 8C EA"},
    {"hiragana after ascii", "a:あ", "61 3A 82 A0"},
    {"backslash is 0x5C", "C:\\", "43 3A 5C"},
    {"half-width katakana are one byte", "ｱｲｳﾞ", "B1 B2 B3 DE"},
    {"NEC row 13", "①㈱", "87 40 87 8A"},
    {"fullwidth tilde", "～", "81 60"},
    {"IBM extension", "ⅰ", "FA 40"},
    {"NUL characters", "a\0あ\0"s, "61 00 82 A0 00"},
    {"line end", "あ\r\n", "82 A0 0D 0A"},
};

TEST(AnsiCodePage, ConvertsBothWays) {
    for (const Mapping& m : kMappings) {
        EXPECT_EQ(Hex(AnsiCodePage::ToBytes(m.text)), m.bytes) << m.name;
        EXPECT_EQ(Hex(AnsiCodePage::ToText(FromHex(m.bytes))), Hex(m.text)) << m.name;
    }
}

TEST(AnsiCodePage, WritesQuestionMarkForWhatTheCodePageLacks) {
    const struct {
        const char* name;
        std::string text;
        std::string bytes;
    } cases[] = {
        {"emoji", "a😀b", "a?b"},
        {"tag character", "\U000E0020", "?"},
        {"private single bytes of Windows", "\u0080\uF8F0\uF8F3", "???"},
        {"replacement character", "\uFFFD", "?"},
        {"hangul", "한", "?"},
        {"noncharacter", "\uFFFE", "?"},
        {"stray continuation byte", "a\x80z", "a?z"},
        {"invalid lead bytes", "\xC0\xFF", "??"},
        {"cut character at the end", "あ\xE3\x81", "\x82\xA0?"},
        {"cut character before ascii", "\xE3\x81z", "?z"},
        {"encoded surrogate", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(AnsiCodePage::ToBytes(c.text)), Hex(c.bytes)) << c.name;
    }
}

// Input methods on Linux write the JIS forms; Windows has other characters for the same codes.
TEST(AnsiCodePage, WritesTheJisFormsAsTheCodesOfTheirWindowsForms) {
    const char* const bytes = "81 60 81 61 81 7C 81 5C 81 91 81 92 81 CA 5C 7E";
    for (const std::string text : {"〜‖−—¢£¬¥‾", "～∥－―￠￡￢\\~"}) {
        const auto exact = AnsiCodePage::ToBytesExactly(text);
        ASSERT_TRUE(exact.has_value()) << text;
        EXPECT_EQ(Hex(*exact), bytes) << text;
        EXPECT_EQ(AnsiCodePage::ByteLength(text), exact->size()) << text;
    }
    EXPECT_EQ(Hex(AnsiCodePage::ToBytes("ラーメン〜")), "83 89 81 5B 83 81 83 93 81 60");
}

TEST(AnsiCodePage, MarksBadBytesWithReplacementCharacter) {
    const struct {
        const char* name;
        const char* bytes;
        std::string text;
    } cases[] = {
        {"cut lead byte at the end", "41 42 82", "AB\uFFFD"},
        {"lead byte before a space", "82 20 78", "\uFFFD x"},
        {"lead byte before the line end", "82 0D 0A", "\uFFFD\r\n"},
        {"lead byte before a zero byte", "82 00", "\uFFFD\0"s},
        {"unassigned pair is one character", "85 40 7A", "\uFFFDz"},
        {"bytes outside the code page", "80 A0 FD FF", "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"good text after a bad byte", "FF 82 A0", "\uFFFDあ"},
    };
    for (const auto& c : cases) {
        const std::string text = AnsiCodePage::ToText(FromHex(c.bytes));
        EXPECT_EQ(Hex(text), Hex(c.text)) << c.name;
        // Text reads find where the whole characters end by converting there and back.
        EXPECT_NE(Hex(AnsiCodePage::ToBytes(text)), c.bytes) << c.name;
    }
}

TEST(AnsiCodePage, ByteLengthAgreesWithToBytes) {
    const std::string pieces[] = {"a",        " ",   "\r\n", "\0"s,  "日",         "ｱ",
                                  "①",        "¥",   "‾",    "😀",    "\U000E0020", "한",
                                  "\uFFFD",   "ⅰ",   "\x80", "\xC0", "\xE3\x81",   "\xED\xA0\x80",
                                  "\xF4\x90", "\xFF"};
    std::mt19937 random(932);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    for (int n = 0; n < 500; ++n) {
        std::string text;
        for (int k = n % 13; k > 0; --k) {
            text += pieces[pick(random)];
        }
        ASSERT_EQ(AnsiCodePage::ByteLength(text), AnsiCodePage::ToBytes(text).size())
            << "text " << Hex(text);
    }
}

} // namespace
