#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "encoding/ansi_code_page.h"
#include "encoding/jis2sjis.h"
#include "tests/encoding/hex.h"
#include "tests/encoding/jis_x0208_table.h"

namespace {

// A received JIS X 0208 character reads as the same text on every system, and that text writes
// back the same two bytes.
TEST(JisX0208, EveryCharacterReadsAsOnLinuxAndWritesItsCodeBack) {
    ASSERT_EQ(JisX0208Table().size(), 6879u);
    for (const JisX0208Character& c : JisX0208Table()) {
        std::vector<std::uint8_t> sjis;
        ASSERT_NE(JIS2SJIS({0x1B, '$', 'B', static_cast<std::uint8_t>(c.jis >> 8),
                            static_cast<std::uint8_t>(c.jis & 0xFF)},
                           sjis),
                  0);
        const std::string text = AnsiCodePage::ToText(sjis);
        ASSERT_EQ(Hex(text), Hex(c.text)) << "JIS " << std::hex << c.jis << ", text " << c.text;
        ASSERT_EQ(Hex(AnsiCodePage::ToBytes(text)), Hex(sjis)) << "text " << c.text;
        ASSERT_EQ(AnsiCodePage::ByteLength(text), 2u) << "text " << c.text;
    }
}

} // namespace
