#include "encoding/jis2sjis.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <iconv.h>

#include "tests/encoding/hex.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t LF = 0x0A;

Bytes Convert(const Bytes& source) {
    Bytes target;
    EXPECT_NE(JIS2SJIS(source, target), 0) << "source " << Hex(source);
    return target;
}

struct Case {
    const char* name;
    Bytes source;
    Bytes expected;
};

void ExpectConversions(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(Convert(c.source)), Hex(c.expected)) << "source " << Hex(c.source);
    }
}

TEST(JIS2SJIS, ConvertsKanjiPairs) {
    ExpectConversions({
        {"first kanji", {ESC, '$', 'B', 0x30, 0x21}, {0x88, 0x9F}},
        {"hiragana a", {ESC, '$', 'B', 0x24, 0x22}, {0x82, 0xA0}},
        {"ideographic space", {ESC, '$', 'B', 0x21, 0x21}, {0x81, 0x40}},
        {"last row", {ESC, '$', 'B', 0x74, 0x26}, {0xEA, 0xA4}},
        {"odd row past 0x5F cell", {ESC, '$', 'B', 0x21, 0x60}, {0x81, 0x80}},
        {"text around kanji",
         {'a', ESC, '$', 'B', 0x30, 0x21, 0x24, 0x22, ESC, '(', 'B', 'b'},
         {'a', 0x88, 0x9F, 0x82, 0xA0, 'b'}},
        {"bytes outside the JIS range",
         {ESC, '$', 'B', 0x7F, 0x80, 0xFF, 0xFF},
         {0xF0, 0xA0, 0x30, 0x1F}},
    });
}

TEST(JIS2SJIS, ConvertsEveryByteUpToTheLast) {
    ExpectConversions({
        {"one byte", {'A'}, {'A'}},
        {"two bytes", {'A', 'B'}, {'A', 'B'}},
        {"line with CR LF", {'a', 'b', 'c', CR, LF}, {'a', 'b', 'c', CR, LF}},
        {"kanji line", {ESC, '$', 'B', 0x30, 0x21, ESC, '(', 'B', CR, LF}, {0x88, 0x9F, CR, LF}},
        {"lone byte after kanji", {ESC, '$', 'B', 0x30, 0x21, 0x30}, {0x88, 0x9F, 0x30}},
        {"lone byte after the escape", {ESC, '$', 'B', 0x30}, {0x30}},
    });
}

TEST(JIS2SJIS, EscapeSequenceAtTheEndOnlySwitchesMode) {
    ExpectConversions({
        {"two-byte escape after text", {'a', ESC, '$', 'B'}, {'a'}},
        {"single-byte escape alone", {ESC, '(', 'B'}, {}},
        {"roman escape after kanji", {ESC, '$', 'B', 0x30, 0x21, ESC, '(', 'J'}, {0x88, 0x9F}},
        {"single-byte escape before the last byte", {ESC, '(', 'B', 'x'}, {'x'}},
        {"escape byte too close to the end", {'a', ESC, '$'}, {'a', ESC, '$'}},
        {"escape byte too close to the end in two-byte mode",
         {ESC, '$', 'B', 0x30, 0x21, ESC, '('},
         {0x88, 0x9F, ESC, '('}},
    });
}

TEST(JIS2SJIS, KeepsLineEndsInTwoByteMode) {
    ExpectConversions({
        {"CR LF ends two-byte mode",
         {ESC, '$', 'B', 0x30, 0x21, CR, LF, 0x30, 0x21},
         {0x88, 0x9F, CR, LF, 0x30, 0x21}},
        {"LF alone ends two-byte mode",
         {ESC, '$', 'B', 0x24, 0x22, LF, 0x24, 0x22},
         {0x82, 0xA0, LF, 0x24, 0x22}},
        {"CR after a lone first byte", {ESC, '$', 'B', 0x30, CR, LF, 'a'}, {0x30, CR, LF, 'a'}},
        {"space keeps two-byte mode",
         {ESC, '$', 'B', 0x30, 0x21, ' ', 0x30, 0x21},
         {0x88, 0x9F, ' ', 0x88, 0x9F}},
        {"control byte as second byte",
         {ESC, '$', 'B', 0x30, 0x09, 0x30, 0x21},
         {0x30, 0x09, 0x88, 0x9F}},
    });
}

TEST(JIS2SJIS, RecognisesTheOtherJisEscapes) {
    ExpectConversions({
        {"JIS C 6226 kanji", {ESC, '$', '@', 0x30, 0x21, ESC, '(', 'J', 'a'}, {0x88, 0x9F, 'a'}},
        {"half-width katakana",
         {ESC, '(', 'I', 0x21, 0x31, 0x5E, 0x5F, ESC, '(', 'B', 0x31},
         {0xA1, 0xB1, 0xDE, 0xDF, 0x31}},
        {"katakana mode copies other bytes", {ESC, '(', 'I', 0x60, 0x7E, ' '}, {0x60, 0x7E, ' '}},
        {"CR ends katakana mode", {ESC, '(', 'I', 0x31, CR, 0x31}, {0xB1, CR, 0x31}},
        {"katakana to kanji", {ESC, '(', 'I', 0x31, ESC, '$', 'B', 0x30, 0x21}, {0xB1, 0x88, 0x9F}},
        {"unknown escape is data", {ESC, '$', 'A', 0x30, 0x21}, {ESC, '$', 'A', 0x30, 0x21}},
        {"unknown escape in two-byte mode",
         {ESC, '$', 'B', ESC, '$', 'A', 0x30, 0x21},
         {ESC, 0x82, 0xBF, 0x88, 0x9F}},
    });
}

// The byte right after a consumed escape sequence is data, even an ESC: in two-byte mode that
// ESC is copied on its own and the two bytes after it make a pair.
TEST(JIS2SJIS, ConsumesOneEscapeSequencePerStep) {
    ExpectConversions({
        {"two-byte escape right after a single-byte escape",
         {ESC, '(', 'B', ESC, '$', 'B', 0x30, 0x21},
         {ESC, '$', 'B', 0x30, 0x21}},
        {"single-byte escape right after a two-byte escape",
         {ESC, '$', 'B', ESC, '(', 'B', 0x30, 0x21},
         {ESC, 0x84, 0xC0, 0x88, 0x9F}},
        {"escapes apart are both taken",
         {ESC, '(', 'B', 'a', ESC, '$', 'B', 0x30, 0x21},
         {'a', 0x88, 0x9F}},
    });
}

TEST(JIS2SJIS, StartsEveryCallInSingleByteMode) {
    Bytes target;
    ASSERT_NE(JIS2SJIS({ESC, '$', 'B', 0x30, 0x21}, target), 0);
    ASSERT_NE(JIS2SJIS({0x30, 0x21}, target), 0);
    EXPECT_EQ(Hex(target), Hex(Bytes{0x30, 0x21}));
}

TEST(JIS2SJIS, ReplacesTheTargetWithTheBytesWritten) {
    Bytes target(50, 0xEE);
    ASSERT_NE(JIS2SJIS({ESC, '$', 'B', 0x30, 0x21, ESC, '(', 'B', 'a'}, target), 0);
    EXPECT_EQ(Hex(target), Hex(Bytes{0x88, 0x9F, 'a'}));

    EXPECT_EQ(JIS2SJIS({}, target), 0);
    EXPECT_TRUE(target.empty());
}

TEST(JIS2SJIS, ConvertsInPlace) {
    Bytes buffer = {'a', ESC, '$', 'B', 0x30, 0x21, 0x24, 0x22, ESC, '(', 'B', CR, LF};
    ASSERT_NE(JIS2SJIS(buffer, buffer), 0);
    EXPECT_EQ(Hex(buffer), Hex(Bytes{'a', 0x88, 0x9F, 0x82, 0xA0, CR, LF}));
}

TEST(JIS2SJIS, ConvertsSourcesOfAnySize) {
    const Bytes line = {'P', ESC, '$', 'B', 0x30, 0x21, ESC, '(', 'B', CR, LF};
    const Bytes convertedLine = {'P', 0x88, 0x9F, CR, LF};
    Bytes source;
    Bytes expected;
    while (source.size() < 100000) {
        source.insert(source.end(), line.begin(), line.end());
        expected.insert(expected.end(), convertedLine.begin(), convertedLine.end());
    }
    // A kanji pair across the old 32,767-byte limit, and a last byte that must not be lost.
    source.insert(source.end(), {ESC, '$', 'B', 0x24, 0x22, 0x30});
    expected.insert(expected.end(), {0x82, 0xA0, 0x30});

    const Bytes target = Convert(source);
    ASSERT_EQ(target.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(target[k], expected[k]) << "at byte " << k;
    }
}

// Runs one whole conversion through iconv; empty when iconv refuses it.
std::string IconvConvert(const char* to, const char* from, std::string input) {
    const iconv_t descriptor = iconv_open(to, from);
    if (descriptor == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv cannot convert from " << from << " to " << to;
        return {};
    }
    char buffer[64];
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result = iconv(descriptor, &in, &inLeft, &out, &outLeft);
    if (result != static_cast<std::size_t>(-1)) {
        result = iconv(descriptor, nullptr, nullptr, &out, &outLeft);
    }
    iconv_close(descriptor);
    return result == static_cast<std::size_t>(-1) ? std::string() : std::string(buffer, out);
}

// Every JIS X 0208 character converts to the bytes that CP932 has for it. glibc's CP932 also
// takes the Unicode forms its ISO-2022-JP decoder gives where the two tables differ (WAVE DASH
// U+301C, DOUBLE VERTICAL LINE U+2016, MINUS SIGN U+2212, ...) and writes the same pair for them
// as for the CP932 forms, so every character can be compared without exceptions.
TEST(JIS2SJIS, AgreesWithIconvOnEveryJisX0208Character) {
    int characters = 0;
    for (int row = 0x21; row <= 0x7E; ++row) {
        for (int cell = 0x21; cell <= 0x7E; ++cell) {
            const std::string jis = {ESC, '$', 'B', static_cast<char>(row), static_cast<char>(cell),
                                     ESC, '(', 'B'};
            const std::string text = IconvConvert("UTF-8", "ISO-2022-JP", jis);
            if (text.empty()) {
                continue;
            }
            ++characters;
            const std::string cp932 = IconvConvert("CP932", "UTF-8", text);
            ASSERT_EQ(Hex(Convert(Bytes(jis.begin(), jis.end()))), Hex(cp932))
                << "JIS "
                << Hex(Bytes{static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(cell)})
                << ", character " << text;
        }
    }
    EXPECT_EQ(characters, 6879); // all of JIS X 0208-1990
}

} // namespace
