#pragma once

#include <cstdint>

// Values that the window's behaviour and its front ends share.

// The key code of Enter, as a key press reports it.
inline constexpr std::int16_t KeyEnter = 13;
// The list's indexes are 16-bit: it keeps this many logged entries above its blank last entry.
inline constexpr int MaxLoggedEntries = 32767;
