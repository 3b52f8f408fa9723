#include "tests/encoding/jis_x0208_table.h"

#include <iterator>

namespace {

const JisX0208Character Table[] = {
#include "tests/encoding/jis_x0208_cp932.inc"
};

} // namespace

std::span<const JisX0208Character> JisX0208Table() {
    return Table;
}
