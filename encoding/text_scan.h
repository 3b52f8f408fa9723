#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What both code page conversions need to know about UTF-8 and CP932 byte strings before the
// system converts them: where plain ASCII ends, and where one character ends.
namespace text_scan {

// How many bytes from the start are ASCII (below 0x80).
std::size_t AsciiPrefixLength(const std::uint8_t* data, std::size_t size);

struct Utf8Sequence {
    char32_t codePoint;
    std::size_t length;
    bool valid;
};

// Reads one UTF-8 sequence (size >= 1). An invalid one covers its longest well-formed start
// (at least one byte), so that each broken character becomes exactly one "?".
Utf8Sequence ReadUtf8(const std::uint8_t* p, std::size_t size);

void AppendUtf8(std::string& out, char32_t codePoint);

bool IsLeadByte(std::uint8_t byte);
bool IsTrailByte(std::uint8_t byte);
// A half-width katakana, the only one-byte characters of CP932 above ASCII.
bool IsSingleByteKana(std::uint8_t byte);

// Characters to which CP932, as Windows defines it, gives no code: Windows writes U+0080 and
// U+F8F0-U+F8F3 as the single bytes 0x80, 0xA0 and 0xFD-0xFF, which are no characters when read
// back, and glibc drops the tag characters. Both conversions write "?" for each of them, as for
// everything beyond the Basic Multilingual Plane.
bool LacksCode(char32_t codePoint);

// A lead byte with a byte of the trail range after it is one unknown character; anything else
// bad is a single byte, so that the ASCII behind a cut character (a line end) survives.
std::size_t BadCodePageSequenceLength(const std::uint8_t* p, std::size_t size);

} // namespace text_scan
