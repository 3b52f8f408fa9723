#include "encoding/text_scan.h"

#include <cstring>

namespace text_scan {

std::size_t AsciiPrefixLength(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint64_t HighBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= size; i += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        if ((word & HighBits) != 0) {
            break;
        }
    }
    while (i < size && data[i] < 0x80) {
        ++i;
    }
    return i;
}

Utf8Sequence ReadUtf8(const std::uint8_t* p, std::size_t size) {
    const std::uint8_t lead = p[0];
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length;
    char32_t codePoint;
    std::uint8_t secondLow = 0x80;
    std::uint8_t secondHigh = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) {
            secondLow = 0xA0; // no overlong forms
        } else if (lead == 0xED) {
            secondHigh = 0x9F; // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) {
            secondLow = 0x90;
        } else if (lead == 0xF4) {
            secondHigh = 0x8F; // nothing above U+10FFFF
        }
    } else {
        return {0, 1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t low = k == 1 ? secondLow : 0x80;
        const std::uint8_t high = k == 1 ? secondHigh : 0xBF;
        if (k >= size || p[k] < low || p[k] > high) {
            return {0, k, false};
        }
        codePoint = (codePoint << 6) | (p[k] & 0x3F);
    }
    return {codePoint, length, true};
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool IsLeadByte(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsTrailByte(std::uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

bool IsSingleByteKana(std::uint8_t byte) {
    return byte >= 0xA1 && byte <= 0xDF;
}

bool LacksCode(char32_t codePoint) {
    return codePoint == 0x0080 || (codePoint >= 0xF8F0 && codePoint <= 0xF8F3) ||
           codePoint > 0xFFFF;
}

std::size_t BadCodePageSequenceLength(const std::uint8_t* p, std::size_t size) {
    return size >= 2 && IsLeadByte(p[0]) && IsTrailByte(p[1]) ? 2 : 1;
}

} // namespace text_scan
