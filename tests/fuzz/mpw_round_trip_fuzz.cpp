// MPW files: a file that is read is written, and what was written reads back to the same drawing (its write is
// the first write byte for byte).
#include "tests/fuzz/drawing_cycle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kz::fuzz::check_drawing_cycle(data, size, ".mpw", true);
    return 0;
}
