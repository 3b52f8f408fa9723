#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "encoding/jis2sjis.h"

// Any arrival converts without a fault, never grows, and comes back unchanged when it holds no
// escape sequence (nothing else switches out of single-byte mode). Cut into pieces between its
// characters and converted piece by piece, each from the mode the one before ended in, it reads
// the same as converted whole.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> source(data, data + size);
    std::vector<std::uint8_t> target;
    const std::int32_t result = JIS2SJIS(source, target);
    if ((result == 0) != source.empty() || target.size() > source.size()) {
        std::abort();
    }
    if (std::memchr(data, 0x1B, size) == nullptr && target != source) {
        std::abort();
    }
    if (size == 0) {
        return 0;
    }
    const std::size_t limit = 3 + data[0] % 16;
    std::span<const std::uint8_t> rest(source);
    std::vector<std::uint8_t> joined;
    std::vector<std::uint8_t> piece;
    JisMode mode = JisMode::SingleByte;
    while (!rest.empty()) {
        JisMode after = mode;
        const std::size_t length =
            rest.size() > limit ? JisPieceLength(rest, after, limit) : rest.size();
        if (length == 0) {
            std::abort();
        }
        JIS2SJIS(rest.first(length), piece, mode);
        joined.insert(joined.end(), piece.begin(), piece.end());
        rest = rest.subspan(length);
    }
    if (joined != target) {
        std::abort();
    }
    return 0;
}
