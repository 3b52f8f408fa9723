#pragma once

#include <string>

// Shows line ends in failure messages, where they would otherwise vanish.
inline std::string Printable(const std::string& s) {
    std::string out;
    for (const char c : s) {
        out += c == '\r'   ? std::string("<CR>")
               : c == '\n' ? std::string("<LF>")
                           : std::string(1, c);
    }
    return out;
}
