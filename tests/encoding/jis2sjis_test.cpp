#include "encoding/jis2sjis.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/encoding/hex.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ConvertHex(const Bytes& source) {
    Bytes target;
    EXPECT_NE(JIS2SJIS(source, target), 0) << "source " << Hex(source);
    return Hex(target);
}

TEST(JIS2SJIS, Converts) {
    const struct {
        const char* name;
        const char* source;
        const char* expected;
    } cases[] = {
        {"first kanji", "1B 24 42 30 21", "88 9F"},
        {"hiragana", "1B 24 42 24 22", "82 A0"},
        {"ideographic space", "1B 24 42 21 21", "81 40"},
        {"last row", "1B 24 42 74 26", "EA A4"},
        {"odd row past cell 0x5F", "1B 24 42 21 60", "81 80"},
        {"text around kanji", "61 1B 24 42 30 21 24 22 1B 28 42 62", "61 88 9F 82 A0 62"},
        {"bytes outside the JIS range", "1B 24 42 7F 80 FF FF", "F0 A0 30 1F"},
        // Every byte is kept, the last one too.
        {"one byte", "41", "41"},
        {"line with CR LF", "61 62 63 0D 0A", "61 62 63 0D 0A"},
        {"kanji line", "1B 24 42 30 21 1B 28 42 0D 0A", "88 9F 0D 0A"},
        {"lone byte after kanji", "1B 24 42 30 21 30", "88 9F 30"},
        {"lone byte after the escape", "1B 24 42 30", "30"},
        // An escape sequence at the end only switches mode.
        {"two-byte escape after text", "61 1B 24 42", "61"},
        {"single-byte escape alone", "1B 28 42", ""},
        {"roman escape after kanji", "1B 24 42 30 21 1B 28 4A", "88 9F"},
        {"escape before the last byte", "1B 28 42 78", "78"},
        {"escape byte too close to the end", "61 1B 24", "61 1B 24"},
        {"same in two-byte mode", "1B 24 42 30 21 1B 28", "88 9F 1B 28"},
        // Line ends and controls stay themselves in two-byte mode; line ends leave it.
        {"CR LF ends two-byte mode", "1B 24 42 30 21 0D 0A 30 21", "88 9F 0D 0A 30 21"},
        {"LF ends two-byte mode", "1B 24 42 24 22 0A 24 22", "82 A0 0A 24 22"},
        {"CR after a lone first byte", "1B 24 42 30 0D 0A 61", "30 0D 0A 61"},
        {"space keeps two-byte mode", "1B 24 42 30 21 20 30 21", "88 9F 20 88 9F"},
        {"tab as second byte", "1B 24 42 30 09 30 21", "30 09 88 9F"},
        // The other JIS escapes.
        {"JIS C 6226 kanji", "1B 24 40 30 21 1B 28 4A 61", "88 9F 61"},
        {"half-width katakana", "1B 28 49 21 31 5E 5F 1B 28 42 31", "A1 B1 DE DF 31"},
        {"katakana mode copies other bytes", "1B 28 49 60 7E 20", "60 7E 20"},
        {"CR ends katakana mode", "1B 28 49 31 0D 31", "B1 0D 31"},
        {"katakana to kanji", "1B 28 49 31 1B 24 42 30 21", "B1 88 9F"},
        {"unknown escape is data", "1B 24 41 30 21", "1B 24 41 30 21"},
        {"unknown escape in two-byte mode", "1B 24 42 1B 24 41 30 21", "1B 82 BF 88 9F"},
        // The byte right after a consumed escape sequence is data, even an ESC: in two-byte mode
        // that ESC is copied on its own and the two bytes after it make a pair.
        {"two-byte escape after a single-byte one", "1B 28 42 1B 24 42 30 21", "1B 24 42 30 21"},
        {"single-byte escape after a two-byte one", "1B 24 42 1B 28 42 30 21", "1B 84 C0 88 9F"},
        {"escapes apart are both taken", "1B 28 42 61 1B 24 42 30 21", "61 88 9F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertHex(FromHex(c.source)), c.expected) << c.name << ": source " << c.source;
    }
}

TEST(JIS2SJIS, ReplacesTheTargetAndKeepsNoModeBetweenCalls) {
    Bytes target(50, 0xEE);
    ASSERT_NE(JIS2SJIS(FromHex("1B 24 42 30 21"), target), 0);
    EXPECT_EQ(Hex(target), "88 9F");
    ASSERT_NE(JIS2SJIS(FromHex("30 21"), target), 0);
    EXPECT_EQ(Hex(target), "30 21");
    EXPECT_EQ(JIS2SJIS({}, target), 0);
    EXPECT_TRUE(target.empty());
}

TEST(JIS2SJIS, ConvertsInPlace) {
    Bytes buffer = FromHex("61 1B 24 42 30 21 24 22 1B 28 42 0D 0A");
    ASSERT_NE(JIS2SJIS(buffer, buffer), 0);
    EXPECT_EQ(Hex(buffer), "61 88 9F 82 A0 0D 0A");
}

TEST(JIS2SJIS, ConvertsSourcesOfAnySize) {
    const Bytes line = FromHex("50 1B 24 42 30 21 1B 28 42 0D 0A");
    const Bytes convertedLine = FromHex("50 88 9F 0D 0A");
    Bytes source;
    Bytes expected;
    while (source.size() < 100000) {
        source.insert(source.end(), line.begin(), line.end());
        expected.insert(expected.end(), convertedLine.begin(), convertedLine.end());
    }
    // A last kanji far past 32,767 bytes, and a last byte that must not be lost.
    source.insert(source.end(), {0x1B, 0x24, 0x42, 0x24, 0x22, 0x30});
    expected.insert(expected.end(), {0x82, 0xA0, 0x30});

    Bytes target;
    ASSERT_NE(JIS2SJIS(source, target), 0);
    ASSERT_EQ(target.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(target[k], expected[k]) << "at byte " << k;
    }
}

} // namespace
