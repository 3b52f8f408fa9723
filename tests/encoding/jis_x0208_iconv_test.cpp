#include "encoding/jis2sjis.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <iconv.h>

#include "tests/encoding/hex.h"
#include "tests/encoding/jis_x0208_table.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string ConvertHex(const Bytes& source) {
    Bytes target;
    EXPECT_NE(JIS2SJIS(source, target), 0) << "source " << Hex(source);
    return Hex(target);
}

// One whole conversion through iconv; empty when iconv refuses it.
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
    std::vector<std::uint16_t> codes;
    for (char row = 0x21; row <= 0x7E; ++row) {
        for (char cell = 0x21; cell <= 0x7E; ++cell) {
            const std::string jis = {0x1B, '$', 'B', row, cell, 0x1B, '(', 'B'};
            const std::string text = IconvConvert("UTF-8", "ISO-2022-JP", jis);
            if (text.empty()) {
                continue;
            }
            ++characters;
            codes.push_back(static_cast<std::uint16_t>(row << 8 | cell));
            ASSERT_EQ(ConvertHex(Bytes(jis.begin(), jis.end())),
                      Hex(IconvConvert("CP932", "UTF-8", text)))
                << "JIS " << Hex(jis.substr(3, 2)) << ", character " << text;
        }
    }
    EXPECT_EQ(characters, 6879); // all of JIS X 0208-1990
    // The table that other systems are held to lists exactly these codes.
    std::vector<std::uint16_t> listed;
    for (const JisX0208Character& c : JisX0208Table()) {
        listed.push_back(c.jis);
    }
    EXPECT_EQ(listed, codes);
}

} // namespace
