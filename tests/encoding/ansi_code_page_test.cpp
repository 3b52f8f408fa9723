#include "encoding/ansi_code_page.h"

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/encoding/hex.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

struct Mapping {
    const char* name;
    std::string text;
    Bytes bytes;
};

const std::vector<Mapping> kMappings = {
    {"empty", "", {}},
    {"ascii",
     "PRIVMSG #a :hi",
     {'P', 'R', 'I', 'V', 'M', 'S', 'G', ' ', '#', 'a', ' ', ':', 'h', 'i'}},
    {"kanji", "日本語", {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}},
    {"hiragana after ascii", "a:あ", {'a', ':', 0x82, 0xA0}},
    {"backslash is 0x5C", "C:\\x", {'C', ':', 0x5C, 'x'}},
    {"tilde is 0x7E", "~", {0x7E}},
    {"half-width katakana are one byte", "ｱｲｳﾞ", {0xB1, 0xB2, 0xB3, 0xDE}},
    {"NEC row 13", "①㈱", {0x87, 0x40, 0x87, 0x8A}},
    {"fullwidth tilde", "～", {0x81, 0x60}},
    {"IBM extension", "ⅰ", {0xFA, 0x40}},
    {"NUL characters", "a\0あ\0"s, {'a', 0x00, 0x82, 0xA0, 0x00}},
    {"line ends", "あ\r\n", {0x82, 0xA0, 0x0D, 0x0A}},
};

TEST(AnsiCodePage, ConvertsBothWays) {
    for (const Mapping& m : kMappings) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(Hex(AnsiCodePage::ToBytes(m.text)), Hex(m.bytes));
        EXPECT_EQ(Hex(AnsiCodePage::ToText(m.bytes)), Hex(m.text));
    }
}

TEST(AnsiCodePage, WritesQuestionMarkForWhatTheCodePageLacks) {
    const struct {
        const char* name;
        std::string text;
        std::string bytes;
    } cases[] = {
        {"emoji", "a😀b", "a?b"},
        {"replacement character", "\uFFFD", "?"},
        {"hangul", "한", "?"},
        {"noncharacter", "\uFFFE", "?"},
        {"stray continuation byte", "a\x80z", "a?z"},
        {"invalid lead bytes", "\xC0\xFF", "??"},
        {"cut three-byte character at the end", "あ\xE3\x81", "\x82\xA0?"},
        {"cut character before ascii", "\xE3\x81z", "?z"},
        {"encoded surrogate", "\xED\xA0\x80", "???"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(AnsiCodePage::ToBytes(c.text)), Hex(c.bytes));
    }
}

TEST(AnsiCodePage, MarksBadBytesWithReplacementCharacter) {
    const struct {
        const char* name;
        Bytes bytes;
        std::string text;
    } cases[] = {
        {"cut lead byte at the end", {'A', 'B', 0x82}, "AB\uFFFD"},
        {"lead byte before a space", {0x82, ' ', 'x'}, "\uFFFD x"},
        {"lead byte before the line end", {0x82, 0x0D, 0x0A}, "\uFFFD\r\n"},
        {"lead byte before a zero byte", {0x82, 0x00}, "\uFFFD\0"s},
        {"unassigned pair is one character", {0x85, 0x40, 'z'}, "\uFFFDz"},
        {"bytes outside the code page", {0x80, 0xA0, 0xFD, 0xFF}, "\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"good text after a bad byte", {0xFF, 0x82, 0xA0}, "\uFFFDあ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(AnsiCodePage::ToText(c.bytes)), Hex(c.text));
        // Text reads find the end of the whole characters by converting there and back.
        EXPECT_NE(Hex(AnsiCodePage::ToBytes(AnsiCodePage::ToText(c.bytes))), Hex(c.bytes));
    }
}

std::vector<std::string> LengthSamples() {
    std::vector<std::string> samples;
    for (const Mapping& m : kMappings) {
        samples.push_back(m.text);
    }
    const std::vector<std::string> pieces = {
        "a",        " ",    "\r\n", "\0"s,    "日",   "ｱ",    "①",        "¥",
        "‾",        "😀",    "한",   "\uFFFD", "\x80", "\xC0", "\xE3\x81", "\xED\xA0\x80",
        "\xF4\x90", "\xFF", "ⅰ",    "～"};
    std::mt19937 random(932);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    for (int n = 0; n < 500; ++n) {
        std::string text;
        for (int k = n % 13; k >= 0; --k) {
            text += pieces[pick(random)];
        }
        samples.push_back(text);
    }
    return samples;
}

TEST(AnsiCodePage, ByteLengthAgreesWithToBytes) {
    for (const std::string& text : LengthSamples()) {
        ASSERT_EQ(AnsiCodePage::ByteLength(text), AnsiCodePage::ToBytes(text).size())
            << "text " << Hex(text);
    }
}

TEST(AnsiCodePage, ThreadsConvertIndependently) {
    const Bytes line = {'<', 0x93, 0xFA, 0x96, 0x7B, '>', 0x82, 0xB1, 0x82};
    const std::string expected = AnsiCodePage::ToText(line);
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 2000; ++n) {
                if (AnsiCodePage::ToText(line) != expected ||
                    AnsiCodePage::ToBytes("日本") != Bytes{0x93, 0xFA, 0x96, 0x7B}) {
                    ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

} // namespace
