// Writes tests/encoding/jis_x0208_cp932.inc: every JIS X 0208 character (the codes that glibc's
// ISO-2022-JP decoder knows) with the text that JIS2SJIS and the code page give for it on Linux.
// The Windows build holds its own conversion to that table.
//   build/default/tools/jis_x0208_table > tests/encoding/jis_x0208_cp932.inc

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <iconv.h>

#include "encoding/ansi_code_page.h"
#include "encoding/jis2sjis.h"

namespace {

bool IsJisX0208(iconv_t decoder, char row, char cell) {
    char jis[] = {0x1B, '$', 'B', row, cell, 0x1B, '(', 'B'};
    char text[16];
    char* in = jis;
    std::size_t inLeft = sizeof jis;
    char* out = text;
    std::size_t outLeft = sizeof text;
    iconv(decoder, nullptr, nullptr, nullptr, nullptr);
    return iconv(decoder, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
}

} // namespace

int main() {
    const iconv_t decoder = iconv_open("UTF-8", "ISO-2022-JP");
    if (decoder == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open");
        return 1;
    }
    std::printf("// Written by tools/jis_x0208_table.cpp: JIS X 0208 code, text on Linux.\n");
    for (char row = 0x21; row <= 0x7E; ++row) {
        for (char cell = 0x21; cell <= 0x7E; ++cell) {
            if (!IsJisX0208(decoder, row, cell)) {
                continue;
            }
            std::vector<std::uint8_t> sjis;
            JIS2SJIS(
                {0x1B, '$', 'B', static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(cell)},
                sjis);
            std::printf("{0x%02X%02X, \"%s\"},\n", row, cell, AnsiCodePage::ToText(sjis).c_str());
        }
    }
    iconv_close(decoder);
    return 0;
}
