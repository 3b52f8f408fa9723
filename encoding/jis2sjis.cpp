#include "encoding/jis2sjis.h"

#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr std::uint8_t Escape = 0x1B;
constexpr std::uint8_t CarriageReturn = 0x0D;
constexpr std::uint8_t LineFeed = 0x0A;
// Below this, a byte is a control character or a space, never half of a two-byte character.
constexpr std::uint8_t FirstGraphic = 0x21;
constexpr std::uint8_t LastKatakana = 0x5F;
constexpr std::uint8_t KatakanaOffset = 0x80;

enum class Mode { SingleByte, TwoByte, Katakana };

// The escape sequences after ESC: ( B ASCII, ( J JIS X 0201 Roman, ( I JIS X 0201 katakana,
// $ B JIS X 0208-1983, $ @ JIS C 6226-1978 (the same code points for our purpose).
std::optional<Mode> EscapeMode(std::uint8_t first, std::uint8_t second) {
    if (first == '(') {
        if (second == 'B' || second == 'J') {
            return Mode::SingleByte;
        }
        if (second == 'I') {
            return Mode::Katakana;
        }
    } else if (first == '$' && (second == 'B' || second == '@')) {
        return Mode::TwoByte;
    }
    return std::nullopt;
}

bool IsLineEnd(std::uint8_t byte) {
    return byte == CarriageReturn || byte == LineFeed;
}

// JIS row and cell to Shift_JIS. Bytes outside 0x21-0x7E go through the same arithmetic, in
// integers wide enough not to wrap before the final byte is taken. Tabulated, because the
// arithmetic's branches depend on the text and would be mispredicted half of the time.
struct PairTables {
    std::array<std::uint8_t, 256> lead{};
    std::array<std::array<std::uint8_t, 256>, 2> trail{};
};

constexpr PairTables MakePairTables() {
    PairTables tables;
    for (unsigned c = FirstGraphic; c < 256; ++c) {
        unsigned t1 = ((c - 33) >> 1) + 129;
        if (t1 > 159) {
            t1 += 64;
        }
        tables.lead[c] = static_cast<std::uint8_t>(t1);
        for (unsigned odd = 0; odd < 2; ++odd) {
            unsigned t2 = odd != 0 ? c + 31 : c + 125;
            if (t2 > 126) {
                ++t2;
            }
            tables.trail[odd][c] = static_cast<std::uint8_t>(t2);
        }
    }
    return tables;
}

constexpr PairTables Pairs = MakePairTables();

} // namespace

std::int32_t JIS2SJIS(const std::vector<std::uint8_t>& source, std::vector<std::uint8_t>& target) {
    const std::size_t size = source.size();
    if (size == 0) {
        target.clear();
        return 0;
    }
    // Nothing takes more bytes than it came in, so one allocation covers the whole output. The
    // write position never passes the read position, so source and target may be one vector.
    target.resize(size);
    const std::uint8_t* in = source.data();
    std::uint8_t* out = target.data();
    std::size_t i = 0;
    std::size_t j = 0;
    Mode mode = Mode::SingleByte;

    while (i < size) {
        // At most one escape sequence per step; the byte after it is taken as data in any case.
        if (in[i] == Escape && i + 2 < size) {
            if (const std::optional<Mode> next = EscapeMode(in[i + 1], in[i + 2])) {
                mode = *next;
                i += 3;
                if (i == size) {
                    break;
                }
            }
        }
        switch (mode) {
        case Mode::SingleByte: {
            const void* esc = std::memchr(in + i + 1, Escape, size - i - 1);
            const std::size_t end =
                esc != nullptr ? static_cast<const std::uint8_t*>(esc) - in : size;
            std::memmove(out + j, in + i, end - i);
            j += end - i;
            i = end;
            break;
        }
        case Mode::TwoByte:
            do {
                const std::uint8_t c1 = in[i];
                if (c1 < FirstGraphic) {
                    out[j++] = c1;
                    ++i;
                    if (IsLineEnd(c1)) {
                        mode = Mode::SingleByte;
                        break;
                    }
                } else if (i + 1 == size || in[i + 1] < FirstGraphic) {
                    // A lone first byte is kept; the line end or control after it stays itself.
                    out[j++] = c1;
                    ++i;
                } else {
                    out[j] = Pairs.lead[c1];
                    out[j + 1] = Pairs.trail[c1 & 1][in[i + 1]];
                    i += 2;
                    j += 2;
                }
            } while (i < size && in[i] != Escape);
            break;
        case Mode::Katakana:
            do {
                const std::uint8_t c = in[i++];
                if (c >= FirstGraphic && c <= LastKatakana) {
                    out[j++] = static_cast<std::uint8_t>(c + KatakanaOffset);
                } else {
                    out[j++] = c;
                    if (IsLineEnd(c)) {
                        mode = Mode::SingleByte;
                        break;
                    }
                }
            } while (i < size && in[i] != Escape);
            break;
        }
    }
    target.resize(j);
    return 1;
}
