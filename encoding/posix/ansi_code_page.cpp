#include "encoding/ansi_code_page.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include <iconv.h>

#include "encoding/text_scan.h"

namespace {

using text_scan::AsciiPrefixLength;
using text_scan::ReadUtf8;

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

// What iconv gives for one character, in bytes: its code, or the "?" where iconv refuses it.
std::size_t EncodedLength(iconv_t descriptor, char32_t codePoint) {
    std::string utf8;
    text_scan::AppendUtf8(utf8, codePoint);
    char* input = utf8.data();
    std::size_t length = utf8.size();
    char bytes[8];
    char* output = bytes;
    std::size_t outputLeft = sizeof bytes;
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    if (iconv(descriptor, &input, &length, &output, &outputLeft) == static_cast<std::size_t>(-1)) {
        return MissingCharacter.size();
    }
    return sizeof bytes - outputLeft;
}

// What ToBytes gives for every character of the Basic Multilingual Plane, where all of CP932
// lies; asked of iconv once, so that ByteLength agrees with ToBytes without converting.
using LengthTable = std::array<std::uint8_t, 0x10000>;

LengthTable BuildLengthTable() {
    LengthTable table{};
    const IconvDescriptor descriptor(CodePage, Utf8);
    for (char32_t codePoint = 0; codePoint < table.size(); ++codePoint) {
        if (text_scan::LacksCode(codePoint)) {
            table[codePoint] = static_cast<std::uint8_t>(MissingCharacter.size());
        } else if (codePoint < 0xD800 || codePoint > 0xDFFF) {
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
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size());
    bytes.assign(data, data + ascii);
    const auto convert = [&](std::size_t from, std::size_t to) {
        const std::size_t written = bytes.size();
        bytes.resize(written + (to - from));
        Convert(Descriptors().toCodePage.Handle(), data + from, to - from, bytes, written,
                MissingCharacter,
                [](const std::uint8_t* p, std::size_t left) { return ReadUtf8(p, left).length; });
    };
    // iconv would write a code (or nothing) for the characters that lack one, so they are taken
    // out of its input.
    std::size_t segment = ascii;
    for (std::size_t i = ascii; i < text.size();) {
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        const text_scan::Utf8Sequence sequence = ReadUtf8(data + i, text.size() - i);
        if (sequence.valid && text_scan::LacksCode(sequence.codePoint)) {
            convert(segment, i);
            bytes.insert(bytes.end(), MissingCharacter.begin(), MissingCharacter.end());
            segment = i + sequence.length;
        }
        i += sequence.length;
    }
    convert(segment, text.size());
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
            ReplacementCharacter, text_scan::BadCodePageSequenceLength);
    return text;
}

std::size_t AnsiCodePage::ByteLength(std::string_view text) {
    const std::size_t ascii =
        AsciiPrefixLength(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
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
        const text_scan::Utf8Sequence sequence = ReadUtf8(data + i, text.size() - i);
        if (!sequence.valid || sequence.codePoint >= lengths.size()) {
            total += MissingCharacter.size();
        } else {
            total += lengths[sequence.codePoint];
        }
        i += sequence.length;
    }
    return total;
}
