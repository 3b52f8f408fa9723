#pragma once

#include <cstdint>
#include <string>

// Dotted IPv4 text as the classic inet_addr reads it, shared by every platform layer that has no
// such call of its own.
namespace dotted_address {

// a.b.c.d, a.b.c (c fills 16 bits), a.b (b fills 24 bits) or a (32 bits); each part decimal,
// octal after a leading 0 or hexadecimal after 0x. The address in network order, or
// WS_INADDR_NONE when the text is no address (also for 255.255.255.255 itself).
std::uint32_t Parse(const std::string& text);

} // namespace dotted_address
