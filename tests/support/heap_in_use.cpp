#include "tests/support/heap_in_use.h"

#include <malloc.h>

#include <cstddef>

// AddressSanitizer's own interface (GCC installs no header for it); null where the program runs without it.
extern "C" __attribute__((weak)) std::size_t __sanitizer_get_current_allocated_bytes();

namespace kz::test {

std::uint64_t heap_in_use() {
    // Where the sanitizer allocates, glibc's arenas hold next to nothing.
    if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

}  // namespace kz::test
