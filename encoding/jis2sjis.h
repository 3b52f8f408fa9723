#pragma once

#include <cstdint>
#include <vector>

// Converts ISO-2022-JP (7-bit JIS) bytes into Shift_JIS bytes. The target is replaced by exactly
// the bytes written. Every call starts in single-byte mode; no state survives a call.
// Returns nonzero on success, 0 only for an empty source.
std::int32_t JIS2SJIS(const std::vector<std::uint8_t>& source, std::vector<std::uint8_t>& target);
