#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_scan.h"

// The system's ANSI code page: CP932, the Windows variant of Shift_JIS. Text is UTF-8.
class AnsiCodePage {
public:
    // A character CP932 lacks becomes "?". NUL characters become zero bytes.
    static std::vector<std::uint8_t> ToBytes(std::string_view text);
    // The bytes of the text when CP932 has a code for each of its characters; nothing otherwise.
    // "?" is never a byte of a two-byte character, so any "?" beyond those of the text stands for
    // a character ToBytes could not write.
    static std::optional<std::vector<std::uint8_t>> ToBytesExactly(std::string_view text) {
        std::vector<std::uint8_t> bytes = ToBytes(text);
        if (std::count(bytes.begin(), bytes.end(), '?') !=
            std::count(text.begin(), text.end(), '?')) {
            return std::nullopt;
        }
        return bytes;
    }
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
