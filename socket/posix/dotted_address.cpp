#include "socket/posix/dotted_address.h"

#include "socket/platform.h"

#include <array>
#include <cstring>
#include <string_view>

namespace dotted_address {

namespace {

constexpr std::uint64_t AddressLimit = 0xFFFFFFFFu;
constexpr std::uint64_t OctetLimit = 0xFF;

// One part of a dotted address: decimal, octal after a leading 0, hexadecimal after 0x.
bool ParsePart(std::string_view text, std::uint64_t& value) {
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        if (digit >= base) {
            return false;
        }
        value = value * base + digit;
        if (value > AddressLimit) {
            return false;
        }
    }
    return true;
}

} // namespace

std::uint32_t Parse(const std::string& text) {
    std::array<std::uint64_t, 4> parts{};
    std::size_t count = 0;
    // As on Windows, white space ends the address and whatever follows it is ignored.
    std::string_view rest(text);
    rest = rest.substr(0, rest.find_first_of(" \t\n\v\f\r"));
    while (true) {
        const std::size_t dot = rest.find('.');
        if (count == parts.size() || !ParsePart(rest.substr(0, dot), parts[count])) {
            return winsock::WS_INADDR_NONE;
        }
        ++count;
        if (dot == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(dot + 1);
    }
    std::uint64_t value = parts[count - 1];
    if (value > (AddressLimit >> (8 * (count - 1)))) {
        return winsock::WS_INADDR_NONE;
    }
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > OctetLimit) {
            return winsock::WS_INADDR_NONE;
        }
        value |= parts[i] << (8 * (3 - i));
    }
    // Network order: the most significant octet first in memory.
    const std::array<std::uint8_t, 4> octets{
        static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
        static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    std::uint32_t address = 0;
    std::memcpy(&address, octets.data(), octets.size());
    return address;
}

} // namespace dotted_address
