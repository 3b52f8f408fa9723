#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encoding/ansi_code_page.h"

// The log measures entries with ByteLength and never converts them, so the two must agree on
// every text, broken UTF-8 included; and any received bytes decode without a fault.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (AnsiCodePage::ByteLength(text) != AnsiCodePage::ToBytes(text).size()) {
        std::abort();
    }
    const std::string decoded = AnsiCodePage::ToText(data, size);
    if (AnsiCodePage::ByteLength(decoded) != AnsiCodePage::ToBytes(decoded).size()) {
        std::abort();
    }
    return 0;
}
