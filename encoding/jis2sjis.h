#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Which characters the bytes of a JIS text stand for at a point of it; escape sequences switch.
enum class JisMode : std::uint8_t { SingleByte, TwoByte, Katakana };

// Converts ISO-2022-JP (7-bit JIS) bytes into Shift_JIS bytes. The target is replaced by exactly
// the bytes written. Every call starts in single-byte mode; no state survives a call.
// Returns nonzero on success, 0 only for an empty source.
std::int32_t JIS2SJIS(const std::vector<std::uint8_t>& source, std::vector<std::uint8_t>& target);

// The same conversion for one piece of a longer text: starts in `mode` and leaves there the mode
// the piece ended in, which the next piece starts in. The target may not overlap the source.
std::int32_t JIS2SJIS(std::span<const std::uint8_t> source, std::vector<std::uint8_t>& target,
                      JisMode& mode);

// The longest start of `source`, read from `mode`, that is at most `limit` bytes and ends between
// characters: no escape sequence or two-byte character is cut. The text may go on after `source`,
// so a sequence that its last bytes may begin is left for the next piece. `mode` becomes the mode
// at the end of that start.
std::size_t JisPieceLength(std::span<const std::uint8_t> source, JisMode& mode, std::size_t limit);
