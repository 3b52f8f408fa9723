#include "encoding/ansi_code_page.h"

#include <string>

#include <windows.h>

#include "encoding/text_scan.h"

namespace {

// Named, never CP_ACP: on a Windows whose locale is not Japanese the ANSI code page is another.
constexpr UINT CodePage = 932;
constexpr wchar_t MissingCharacter = L'?';
constexpr char32_t ReplacementCharacter = 0xFFFD;

// The character as the code page has it. Linux input methods and most web pages write the
// JIS X 0208 forms of a few characters (WAVE DASH U+301C where Windows has FULLWIDTH TILDE U+FF5E,
// and six more) and the JIS X 0201 forms YEN SIGN and OVERLINE for 0x5C and 0x7E; they are the
// same characters and leave as the same bytes, as glibc's CP932 writes them.
char32_t CodePageForm(char32_t codePoint) {
    switch (codePoint) {
    case 0x00A2: // CENT SIGN
        return 0xFFE0;
    case 0x00A3: // POUND SIGN
        return 0xFFE1;
    case 0x00A5: // YEN SIGN, JIS X 0201's 0x5C
        return U'\\';
    case 0x00AC: // NOT SIGN
        return 0xFFE2;
    case 0x2014: // EM DASH
        return 0x2015;
    case 0x2016: // DOUBLE VERTICAL LINE
        return 0x2225;
    case 0x203E: // OVERLINE, JIS X 0201's 0x7E
        return U'~';
    case 0x2212: // MINUS SIGN
        return 0xFF0D;
    case 0x301C: // WAVE DASH
        return 0xFF5E;
    default:
        return codePoint;
    }
}

// UTF-8 to UTF-16 in the code page's forms, with one "?" for each invalid sequence and for each
// character that lacks a code (a character beyond the Basic Multilingual Plane would otherwise
// give two).
std::wstring ToWide(const std::uint8_t* data, std::size_t size) {
    std::wstring wide;
    wide.reserve(size);
    for (std::size_t i = 0; i < size;) {
        const text_scan::Utf8Sequence sequence = text_scan::ReadUtf8(data + i, size - i);
        const bool fits = sequence.valid && !text_scan::LacksCode(sequence.codePoint);
        wide += fits ? static_cast<wchar_t>(CodePageForm(sequence.codePoint)) : MissingCharacter;
        i += sequence.length;
    }
    return wide;
}

// The code page bytes of UTF-16 text, "?" for what the code page lacks. Without
// WC_NO_BEST_FIT_CHARS Windows would write a look-alike ("a" for "ä") that reads back as
// another text.
int Encode(const std::wstring& wide, char* out, int capacity) {
    if (wide.empty()) {
        return 0;
    }
    static constexpr char DefaultCharacter[] = "?";
    return WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                               static_cast<int>(wide.size()), out, capacity, DefaultCharacter,
                               nullptr);
}

// Converts well-formed characters; false when the code page has no character for one of them.
bool Decode(const std::uint8_t* data, std::size_t size, std::wstring& wide) {
    const auto* in = reinterpret_cast<const char*>(data);
    const int count = static_cast<int>(size);
    const int length = MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, in, count, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(length));
    return MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, in, count, wide.data(), length) ==
           length;
}

std::size_t CharacterLength(const std::uint8_t* p, std::size_t size) {
    if (p[0] < 0x80 || text_scan::IsSingleByteKana(p[0])) {
        return 1;
    }
    if (size >= 2 && text_scan::IsLeadByte(p[0]) && text_scan::IsTrailByte(p[1])) {
        return 2;
    }
    return 0;
}

void AppendWide(std::string& text, const std::wstring& wide) {
    for (const wchar_t unit : wide) {
        text_scan::AppendUtf8(text, static_cast<char32_t>(unit));
    }
}

// Appends the text of a run of well-formed characters. Should the code page lack one of them,
// the run is taken one character at a time so that only that one becomes U+FFFD.
void AppendRun(std::string& text, const std::uint8_t* data, std::size_t size) {
    std::wstring wide;
    if (size == 0) {
        return;
    }
    if (Decode(data, size, wide)) {
        AppendWide(text, wide);
        return;
    }
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = CharacterLength(data + i, size - i);
        if (Decode(data + i, length, wide)) {
            AppendWide(text, wide);
        } else {
            text_scan::AppendUtf8(text, ReplacementCharacter);
        }
        i += length;
    }
}

} // namespace

std::vector<std::uint8_t> AnsiCodePage::ToBytes(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t ascii = text_scan::AsciiPrefixLength(data, text.size());
    std::vector<std::uint8_t> bytes(data, data + ascii);
    if (ascii == text.size()) {
        return bytes;
    }
    const std::wstring wide = ToWide(data + ascii, text.size() - ascii);
    const int length = Encode(wide, nullptr, 0);
    bytes.resize(ascii + static_cast<std::size_t>(length));
    Encode(wide, reinterpret_cast<char*>(bytes.data() + ascii), length);
    return bytes;
}

std::string AnsiCodePage::ToText(const std::uint8_t* data, std::size_t size) {
    const std::size_t ascii = text_scan::AsciiPrefixLength(data, size);
    std::string text(reinterpret_cast<const char*>(data), ascii);
    if (ascii == size) {
        return text;
    }
    text.reserve(ascii + (size - ascii) * 3);
    std::size_t runStart = ascii;
    for (std::size_t i = ascii; i < size;) {
        const std::size_t length = CharacterLength(data + i, size - i);
        if (length != 0) {
            i += length;
            continue;
        }
        AppendRun(text, data + runStart, i - runStart);
        text_scan::AppendUtf8(text, ReplacementCharacter);
        i += text_scan::BadCodePageSequenceLength(data + i, size - i);
        runStart = i;
    }
    AppendRun(text, data + runStart, size - runStart);
    return text;
}

std::size_t AnsiCodePage::ByteLength(std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t ascii = text_scan::AsciiPrefixLength(data, text.size());
    if (ascii == text.size()) {
        return ascii;
    }
    return ascii +
           static_cast<std::size_t>(Encode(ToWide(data + ascii, text.size() - ascii), nullptr, 0));
}
