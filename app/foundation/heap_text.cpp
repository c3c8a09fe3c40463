// Every new heap text is built in a fresh block before the old one is freed, so a source or an appended text
// that lies inside the old block is read while it is still there.
#include "app/foundation/heap_text.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace kz::foundation {
namespace {

char* checked(void* block) {
    if (!block) throw std::bad_alloc();
    return static_cast<char*>(block);
}

// A new block holding a[0..la) then b[0..lb) and a terminator.
char* join(const char* a, std::size_t la, const char* b, std::size_t lb) {
    char* block = checked(std::malloc(la + lb + 1));
    if (la) std::memcpy(block, a, la);
    if (lb) std::memcpy(block + la, b, lb);
    block[la + lb] = 0;
    return block;
}

std::size_t length_of(const char* s) { return s ? std::strlen(s) : 0; }

char* replace(char* old_block, char* fresh) {
    std::free(old_block);
    return fresh;
}

}  // namespace

char* set_heap_string(char* old_block, const char* source, const char* append, int size) {
    if (!source && !append && size < 1) return replace(old_block, nullptr);
    if (!source) {
        if (size < 1) return replace(old_block, nullptr);
        return replace(old_block, checked(std::calloc(static_cast<std::size_t>(size), 1)));
    }
    if (!append && size == -1) return replace(old_block, join(source, std::strlen(source), nullptr, 0));
    // With a source: source then the appended text (when non-empty); old_block == source is the same rule.
    return replace(old_block, join(source, std::strlen(source), append, length_of(append)));
}

std::nullptr_t free_and_null(void* block) {
    std::free(block);
    return nullptr;
}

char* heap_substring(char* old_block, const char* text, int start, int count) {
    int length = static_cast<int>(length_of(text));
    if (length == 0 || count == 0 || start < 0 || start >= length) return replace(old_block, join("", 0, "", 0));
    int available = length - start;
    if (count < 0 || count > available) count = available;
    return replace(old_block, join(text + start, static_cast<std::size_t>(count), nullptr, 0));
}

void right_chars(const char* text, int n, char* out) {
    if (!out) return;
    int length = static_cast<int>(length_of(text));
    if (n < 0 || n > length) {
        out[0] = 0;
        return;
    }
    std::memmove(out, text + (length - n), static_cast<std::size_t>(n));
    out[n] = 0;
}

void* alloc_zeroed(std::size_t count) { return checked(std::calloc(count ? count : 1, 1)); }

}  // namespace kz::foundation
