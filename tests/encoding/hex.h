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

// "1B 24 42" back to bytes; lets test tables show bytes the way failures print them.
inline std::vector<std::uint8_t> FromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}
