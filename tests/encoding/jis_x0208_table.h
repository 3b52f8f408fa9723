#pragma once

#include <cstdint>
#include <span>

// Every JIS X 0208 character with the UTF-8 text that the Linux build reads for its CP932 code.
struct JisX0208Character {
    std::uint16_t jis; // row byte, cell byte
    const char* text;
};

std::span<const JisX0208Character> JisX0208Table();
