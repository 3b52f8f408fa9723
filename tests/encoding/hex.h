#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Bytes as "1B 24 42", so that a failed comparison shows where two byte strings part.
inline std::string Hex(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i != 0) {
            hex += ' ';
        }
        hex += kDigits[data[i] >> 4];
        hex += kDigits[data[i] & 0x0F];
    }
    return hex;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return Hex(bytes.data(), bytes.size());
}

inline std::string Hex(std::string_view text) {
    return Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
