#pragma once

#include <string>
#include <string_view>

// The core's UTF-8 text and the UTF-16 of the wide-character window functions, so that Japanese
// shows whatever the system's code page.
class WideText {
public:
    static std::wstring FromUtf8(std::string_view text);
    static std::string ToUtf8(std::wstring_view text);
};
