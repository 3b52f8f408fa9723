#pragma once

#include <cstdint>

// The code a typed character has in the key handler: its byte in the ANSI code page, or its two
// bytes high byte first; "?" for a character the code page lacks or half a surrogate pair.
class KeyCode {
public:
    static std::int16_t Of(wchar_t character);
};
