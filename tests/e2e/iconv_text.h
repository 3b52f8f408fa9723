#pragma once

#include <optional>
#include <string>
#include <string_view>

// glibc iconv for the tests' own texts: UTF-8 into the wire encodings and back, independent of the
// program's converters so that a fault in those cannot hide in the expected values.
class IconvText {
public:
    // Nothing when iconv lacks an encoding or the input has a sequence it cannot convert.
    static std::optional<std::string> Convert(std::string_view text, const char* from,
                                              const char* to);
    static std::string ToIso2022Jp(std::string_view utf8);
    static std::string ToShiftJis(std::string_view utf8);
};
