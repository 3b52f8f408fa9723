#include "tests/e2e/iconv_text.h"

#include <iconv.h>
#include <stdexcept>

std::optional<std::string> IconvText::Convert(std::string_view text, const char* from,
                                              const char* to) {
    const iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string input(text);
    std::string output(input.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    // The final call with no input writes the escape back to ASCII that a stateful encoding needs.
    bool ok = ::iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) &&
              ::iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
    ::iconv_close(converter);
    if (!ok) {
        return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
}

std::string IconvText::ToIso2022Jp(std::string_view utf8) {
    auto bytes = Convert(utf8, "UTF-8", "ISO-2022-JP");
    if (!bytes) {
        throw std::invalid_argument("no ISO-2022-JP form for the test text");
    }
    return *bytes;
}

std::string IconvText::ToShiftJis(std::string_view utf8) {
    auto bytes = Convert(utf8, "UTF-8", "CP932");
    if (!bytes) {
        throw std::invalid_argument("no CP932 form for the test text");
    }
    return *bytes;
}
