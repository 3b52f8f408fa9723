#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_scan.h"

// The system's ANSI code page: CP932, the Windows variant of Shift_JIS. Text is UTF-8.
class AnsiCodePage {
public:
    // A character CP932 lacks becomes "?". NUL characters become zero bytes.
    static std::vector<std::uint8_t> ToBytes(std::string_view text);
    // An invalid or cut-off sequence becomes U+FFFD, which does not survive the way back.
    // Zero bytes become NUL characters.
    static std::string ToText(const std::uint8_t* data, std::size_t size);
    static std::string ToText(const std::vector<std::uint8_t>& bytes) {
        return ToText(bytes.data(), bytes.size());
    }
    // The number of bytes ToBytes(text) would give, without building them.
    static std::size_t ByteLength(std::string_view text);
    // Whether a byte opens a two-byte character.
    static bool IsLeadByte(std::uint8_t byte) { return text_scan::IsLeadByte(byte); }
};
