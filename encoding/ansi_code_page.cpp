#include "encoding/ansi_code_page.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <iconv.h>

namespace {

// glibc's "CP932" is the Windows table (0x5C is a backslash, NEC row 13 present); its
// "SHIFT_JIS" is not.
constexpr const char* CodePage = "CP932";
constexpr const char* Utf8 = "UTF-8";
constexpr std::string_view MissingCharacter = "?";
constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

class IconvDescriptor {
public:
    IconvDescriptor(const char* to, const char* from) : m_Handle(iconv_open(to, from)) {
        if (m_Handle == InvalidHandle) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
        }
    }
    ~IconvDescriptor() { iconv_close(m_Handle); }
    IconvDescriptor(const IconvDescriptor&) = delete;
    IconvDescriptor& operator=(const IconvDescriptor&) = delete;

    iconv_t Handle() const { return m_Handle; }

private:
    static inline const iconv_t InvalidHandle = reinterpret_cast<iconv_t>(-1);
    iconv_t m_Handle;
};

// Opening a descriptor costs far more than a short line's conversion, and a descriptor must not
// be shared between threads, so each thread keeps its own pair.
struct ThreadDescriptors {
    IconvDescriptor toCodePage{CodePage, Utf8};
    IconvDescriptor toUtf8{Utf8, CodePage};
};

ThreadDescriptors& Descriptors() {
    thread_local ThreadDescriptors descriptors;
    return descriptors;
}

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

std::size_t AsciiPrefixLength(std::string_view text) {
    return AsciiPrefixLength(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

struct Utf8Sequence {
    char32_t codePoint;
    std::size_t length;
    bool valid;
};

// Reads one UTF-8 sequence (size >= 1). An invalid one covers its longest well-formed start
// (at least one byte), so that each broken character becomes exactly one "?".
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

bool IsTrailByte(std::uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// A lead byte with a byte of the trail range after it is one unknown character; anything else
// bad is a single byte, so that the ASCII behind a cut character (a line end) survives.
std::size_t BadCodePageSequenceLength(const std::uint8_t* p, std::size_t size) {
    return size >= 2 && AnsiCodePage::IsLeadByte(p[0]) && IsTrailByte(p[1]) ? 2 : 1;
}

// Runs iconv over the whole input, appending to `out` after its first `written` bytes. Where
// iconv refuses a sequence, `replacement` is written instead of the `skip(rest, size)` bytes it
// stands for, and the conversion goes on after them.
template <typename Output, typename Skip>
void Convert(iconv_t descriptor, const std::uint8_t* in, std::size_t size, Output& out,
             std::size_t written, std::string_view replacement, Skip skip) {
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    char* input = reinterpret_cast<char*>(const_cast<std::uint8_t*>(in));
    std::size_t inputLeft = size;
    while (inputLeft > 0) {
        char* output = reinterpret_cast<char*>(out.data()) + written;
        std::size_t outputLeft = out.size() - written;
        const std::size_t result = iconv(descriptor, &input, &inputLeft, &output, &outputLeft);
        written = out.size() - outputLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            throw std::runtime_error(std::string("iconv failed: ") + std::strerror(errno));
        }
        if (out.size() - written < replacement.size()) {
            out.resize(out.size() * 2 + replacement.size());
        }
        std::memcpy(out.data() + written, replacement.data(), replacement.size());
        written += replacement.size();
        const std::size_t skipped = skip(reinterpret_cast<const std::uint8_t*>(input), inputLeft);
        input += skipped;
        inputLeft -= skipped;
    }
    out.resize(written);
}

// What ToBytes gives for one character, in bytes: its code, or the "?" where iconv refuses it.
// glibc drops some characters without refusing them (the tag characters U+E0000-U+E007F), so
// only iconv itself can say.
std::size_t EncodedLength(iconv_t descriptor, char32_t codePoint) {
    char utf8[4];
    std::size_t length;
    if (codePoint < 0x80) {
        utf8[0] = static_cast<char>(codePoint);
        length = 1;
    } else if (codePoint < 0x800) {
        utf8[0] = static_cast<char>(0xC0 | (codePoint >> 6));
        utf8[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 2;
    } else if (codePoint < 0x10000) {
        utf8[0] = static_cast<char>(0xE0 | (codePoint >> 12));
        utf8[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 3;
    } else {
        utf8[0] = static_cast<char>(0xF0 | (codePoint >> 18));
        utf8[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        utf8[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        utf8[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 4;
    }
    char bytes[8];
    char* input = utf8;
    char* output = bytes;
    std::size_t outputLeft = sizeof bytes;
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    if (iconv(descriptor, &input, &length, &output, &outputLeft) == static_cast<std::size_t>(-1)) {
        return MissingCharacter.size();
    }
    return sizeof bytes - outputLeft;
}

// EncodedLength of every character of the Basic Multilingual Plane, where all of CP932 lies;
// asked of iconv once, so that ByteLength agrees with ToBytes without converting.
using LengthTable = std::array<std::uint8_t, 0x10000>;

LengthTable BuildLengthTable() {
    LengthTable table{};
    const IconvDescriptor descriptor(CodePage, Utf8);
    for (char32_t codePoint = 0; codePoint < table.size(); ++codePoint) {
        if (codePoint < 0xD800 || codePoint > 0xDFFF) {
            table[codePoint] =
                static_cast<std::uint8_t>(EncodedLength(descriptor.Handle(), codePoint));
        }
    }
    return table;
}

const LengthTable& ByteLengths() {
    static const LengthTable table = BuildLengthTable();
    return table;
}

} // namespace

std::vector<std::uint8_t> AnsiCodePage::ToBytes(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t ascii = AsciiPrefixLength(data, text.size());
    if (ascii == text.size()) {
        return std::vector<std::uint8_t>(data, data + ascii);
    }
    // No character takes more bytes in the code page than in UTF-8, and a "?" stands for at least
    // one byte, so the first allocation is the last.
    std::vector<std::uint8_t> bytes(text.size());
    std::memcpy(bytes.data(), data, ascii);
    Convert(Descriptors().toCodePage.Handle(), data + ascii, text.size() - ascii, bytes, ascii,
            MissingCharacter,
            [](const std::uint8_t* p, std::size_t left) { return ReadUtf8(p, left).length; });
    return bytes;
}

std::optional<std::vector<std::uint8_t>> AnsiCodePage::ToBytesExactly(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t ascii = AsciiPrefixLength(data, text.size());
    if (ascii == text.size()) {
        return std::vector<std::uint8_t>(data, data + ascii);
    }
    // All of CP932 lies in the Basic Multilingual Plane, and glibc drops some characters beyond
    // it without refusing them.
    for (std::size_t i = ascii; i < text.size();) {
        const Utf8Sequence sequence = ReadUtf8(data + i, text.size() - i);
        if (!sequence.valid || sequence.codePoint >= 0x10000) {
            return std::nullopt;
        }
        i += sequence.length;
    }
    bool refused = false;
    std::vector<std::uint8_t> bytes(text.size());
    std::memcpy(bytes.data(), data, ascii);
    Convert(Descriptors().toCodePage.Handle(), data + ascii, text.size() - ascii, bytes, ascii,
            MissingCharacter, [&refused](const std::uint8_t* p, std::size_t left) {
                refused = true;
                return ReadUtf8(p, left).length;
            });
    if (refused) {
        return std::nullopt;
    }
    return bytes;
}

std::string AnsiCodePage::ToText(const std::uint8_t* data, std::size_t size) {
    const std::size_t ascii = AsciiPrefixLength(data, size);
    if (ascii == size) {
        return std::string(reinterpret_cast<const char*>(data), size);
    }
    // Every byte gives at most three bytes of UTF-8 (a half-width katakana, or a U+FFFD).
    std::string text(ascii + (size - ascii) * 3, '\0');
    std::memcpy(text.data(), data, ascii);
    Convert(Descriptors().toUtf8.Handle(), data + ascii, size - ascii, text, ascii,
            ReplacementCharacter, BadCodePageSequenceLength);
    return text;
}

std::size_t AnsiCodePage::ByteLength(std::string_view text) {
    const std::size_t ascii = AsciiPrefixLength(text);
    if (ascii == text.size()) {
        return ascii;
    }
    const LengthTable& lengths = ByteLengths();
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t total = ascii;
    for (std::size_t i = ascii; i < text.size();) {
        if (data[i] < 0x80) {
            ++total;
            ++i;
            continue;
        }
        const Utf8Sequence sequence = ReadUtf8(data + i, text.size() - i);
        if (!sequence.valid) {
            total += MissingCharacter.size();
        } else if (sequence.codePoint < lengths.size()) {
            total += lengths[sequence.codePoint];
        } else {
            total += EncodedLength(Descriptors().toCodePage.Handle(), sequence.codePoint);
        }
        i += sequence.length;
    }
    return total;
}

bool AnsiCodePage::IsLeadByte(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
