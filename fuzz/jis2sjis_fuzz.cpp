#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "encoding/jis2sjis.h"

// Any arrival converts without a fault, never grows, and comes back unchanged when it holds no
// escape sequence (nothing else switches out of single-byte mode).
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
    return 0;
}
