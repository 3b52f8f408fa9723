#include "client/win32/key_code.h"

#include "client/win32/wide_text.h"
#include "encoding/ansi_code_page.h"

std::int16_t KeyCode::Of(wchar_t character) {
    constexpr std::int16_t Unknown = '?';
    if (character >= 0xD800 && character <= 0xDFFF) {
        return Unknown;
    }
    const std::vector<std::uint8_t> bytes =
        AnsiCodePage::ToBytes(WideText::ToUtf8(std::wstring_view(&character, 1)));
    if (bytes.size() == 1) {
        return static_cast<std::int16_t>(bytes[0]);
    }
    if (bytes.size() == 2) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]));
    }
    return Unknown;
}
