// Physical memory from sysconf, the resident size from /proc/self/statm and, with AddressSanitizer, the heap's use
// from the sanitizer's allocator. glibc's own heap figures (mallinfo2) are no choice: they walk every free block,
// which takes a good part of a second once a large model has been read and freed.
#include "platform/memory_status.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define KZ_MEMORY_OF_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KZ_MEMORY_OF_ASAN 1
#endif
#endif
#ifdef KZ_MEMORY_OF_ASAN
// The sanitizer runtime's own interface (GCC installs no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace kz::platform {

std::uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), page_size = sysconf(_SC_PAGESIZE);
    return pages > 0 && page_size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size) : 0;
}

namespace {
bool g_resident_size_only = false;
}  // namespace

void set_memory_by_resident_size_for_testing(bool on) { g_resident_size_only = on; }

std::uint64_t memory_in_use() {
#ifdef KZ_MEMORY_OF_ASAN
    if (!g_resident_size_only) return __sanitizer_get_current_allocated_bytes();
#endif
    // "size resident shared ...", in pages.
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0) return 0;
    std::uint64_t resident = 0;
    const char* p = text;
    while (*p && *p != ' ') ++p;
    while (*p == ' ') ++p;
    for (; *p >= '0' && *p <= '9'; ++p) resident = resident * 10 + static_cast<std::uint64_t>(*p - '0');
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace kz::platform
