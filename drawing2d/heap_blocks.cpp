// Heap blocks and heap strings of the drawing library; the caller owns them and gives them back to release_block.
// A block filled with the debug pattern is taken for never allocated and left alone, as the library always did.
#include <cstdlib>
#include <cstring>

#include "drawing2d/text_utils.h"

namespace kz::drawing2d {

void* release_block(void* block) {
    if (block && reinterpret_cast<std::uintptr_t>(block) != 0xCDCDCDCDu) std::free(block);
    return nullptr;
}

void* fresh_block(void* old, std::size_t size) {
    release_block(old);
    return std::calloc(size ? size : 1, 1);
}

char* string_memory(char* old, std::size_t n) {
    if (old && reinterpret_cast<std::uintptr_t>(old) == 0xCDCDCDCDu) old = nullptr;
    char* s = static_cast<char*>(std::realloc(old, n + 1));
    if (!s) {
        std::free(old);
        return nullptr;
    }
    std::memset(s, 0, n + 1);
    return s;
}

char* xlum_new_string_memory(char* old, int n) { return string_memory(old, n > 0 ? static_cast<std::size_t>(n) : 0); }

char* string_assign(char* old, const char* a, const char* b, std::size_t size) {
    if (a) {
        std::size_t la = std::strlen(a), lb = b ? std::strlen(b) : 0;
        char* s = static_cast<char*>(std::malloc(la + lb + 1));
        if (!s) return old;
        std::memcpy(s, a, la);
        if (lb) std::memcpy(s + la, b, lb);
        s[la + lb] = 0;
        release_block(old);  // after the copy, since `a` may be the old string
        return s;
    }
    if (size > 0) return static_cast<char*>(fresh_block(old, size));
    return static_cast<char*>(release_block(old));
}

}  // namespace kz::drawing2d
