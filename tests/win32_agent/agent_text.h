#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts between the window agent and its driver travel as hex digits, so that any byte, a line
// end or a blank included, fits in one word of a command line.
class AgentText {
public:
    static std::string ToHex(std::string_view bytes) {
        static constexpr char Digits[] = "0123456789abcdef";
        std::string hex;
        hex.reserve(bytes.size() * 2 + 1);
        for (const char byte : bytes) {
            const auto value = static_cast<unsigned char>(byte);
            hex += Digits[value >> 4];
            hex += Digits[value & 0xF];
        }
        // An empty text is one word too.
        return hex.empty() ? "-" : hex;
    }

    static std::string FromHex(std::string_view hex) {
        std::string bytes;
        if (hex == "-") {
            return bytes;
        }
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes += static_cast<char>(Digit(hex[i]) << 4 | Digit(hex[i + 1]));
        }
        return bytes;
    }

private:
    static int Digit(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }
};
