// glibc's malloc_trim returns the whole free pages inside the heap (not only its top) with madvise; with
// AddressSanitizer the blocks come from the sanitizer's allocator instead, whose purge empties its quarantine of
// freed blocks and returns their pages.
#include "platform/heap_release.h"

#include <malloc.h>

#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define KZ_HEAP_OF_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_HEAP_OF_ASAN 1
#endif
#endif
#ifdef KZ_HEAP_OF_ASAN
// The sanitizer runtime's own interface (GCC installs no header for it).
extern "C" void __sanitizer_purge_allocator();
#endif

namespace kz::platform {

namespace {
std::function<void()>& release_observer() {
    static std::function<void()> observer;
    return observer;
}
}  // namespace

void set_heap_release_observer_for_tests(std::function<void()> observer) { release_observer() = std::move(observer); }

void release_free_heap() {
    if (release_observer()) release_observer()();
#ifdef KZ_HEAP_OF_ASAN
    __sanitizer_purge_allocator();
#endif
    malloc_trim(0);
}

}  // namespace kz::platform
