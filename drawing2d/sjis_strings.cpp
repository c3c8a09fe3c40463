// Character classes, width conversions and the BASIC-style substring functions over Shift_JIS strings.
// Every walker steps over the trail byte after a lead byte, so a trail byte is never matched on its own.
#include <cstring>

#include "drawing2d/text_utils.h"
#include "platform/crt/jis_codes.h"

namespace kz::drawing2d {
namespace {
int class_of(unsigned char c) {
    if (c == 0) return 0;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xDF)) return 1;
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) return 2;
    if (c < 0x20) return 3;
    return 4;
}

// Byte length of the character at p (2 for a lead byte followed by a non-zero byte).
int char_bytes(const char* p) { return (class_of(static_cast<unsigned char>(p[0])) == 2 && p[1] != 0) ? 2 : 1; }

char* heap_copy(char* old, const char* bytes, std::size_t n) {
    char* s = string_memory(old, n);
    if (s && n) std::memcpy(s, bytes, n);
    return s;
}

// Bytes [start, start + length) of the string, by the mid-string rules.
void mid_range(const char* string, int start, int length, std::size_t* from, std::size_t* count) {
    std::size_t len = string ? std::strlen(string) : 0;
    *from = 0;
    *count = 0;
    if (!string || start < 0 || static_cast<std::size_t>(start) >= len || length == 0) return;
    *from = static_cast<std::size_t>(start);
    std::size_t rest = len - *from;
    *count = (length < 0 || static_cast<std::size_t>(length) > rest) ? rest : static_cast<std::size_t>(length);
}
}  // namespace

int sjis_char_class(const char* string, int position) {
    if (position < 0) return -1;
    if (!string) return 0;
    return class_of(static_cast<unsigned char>(string[position]));
}

int sjis_char_count(const char* string) {
    int n = 0;
    if (!string) return 0;
    for (const char* p = string; *p; p += char_bytes(p)) ++n;
    return n;
}

int to_full_width(const char* source, char* target, std::size_t capacity) {
    if (!target || capacity == 0) return 0;
    std::size_t out = 0;
    for (const char* p = source; p && *p;) {
        unsigned char c = static_cast<unsigned char>(*p);
        int cls = class_of(c);
        if (cls == 2) {
            if (!p[1]) break;
            if (out + 2 >= capacity) break;
            target[out++] = p[0];
            target[out++] = p[1];
            p += 2;
            continue;
        }
        if (cls == 1) {
            unsigned full = kz::crt::sjis_full_width(c);
            if (full > 0xFF) {  // 0xA0 has no double-byte form and is dropped
                if (out + 2 >= capacity) break;
                target[out++] = static_cast<char>(full >> 8);
                target[out++] = static_cast<char>(full & 0xFF);
            }
        }
        ++p;
    }
    target[out] = 0;
    return static_cast<int>(out);
}

int to_half_width(const char* source, char* target, std::size_t capacity) {
    if (!target || capacity == 0) return 0;
    std::size_t out = 0;
    for (const char* p = source; p && *p;) {
        unsigned char c = static_cast<unsigned char>(*p);
        int cls = class_of(c);
        if (out + 1 >= capacity) break;
        if (cls == 2) {
            if (!p[1]) break;
            unsigned half = kz::crt::sjis_half_width((c << 8) | static_cast<unsigned char>(p[1]));
            target[out++] = half <= 0xFF ? static_cast<char>(half) : '.';
            p += 2;
            continue;
        }
        if (cls == 1) target[out++] = static_cast<char>(c);
        ++p;
    }
    target[out] = 0;
    return static_cast<int>(out);
}

char* xlum_new_akcnv_string(char* old, const char* source) {
    release_block(old);
    if (!source) return nullptr;
    char buffer[kTextBuffer];
    int n = to_full_width(source, buffer);
    return heap_copy(nullptr, buffer, static_cast<std::size_t>(n));
}

char* xlum_new_kacnv_string(char* old, const char* source) {
    release_block(old);
    if (!source) return nullptr;
    char buffer[kTextBuffer];
    int n = to_half_width(source, buffer);
    return heap_copy(nullptr, buffer, static_cast<std::size_t>(n));
}

int xlum_instr(int start, const char* string, const char* pattern) {
    if (!string || !pattern || !*string || !*pattern || start < 0) return -1;
    std::size_t plen = std::strlen(pattern);
    int index = 0;
    for (const char* p = string; *p; p += char_bytes(p), ++index)
        if (index >= start && std::strncmp(p, pattern, plen) == 0) return static_cast<int>(p - string);
    return -1;
}

char* xlum_new_mid_string(char* old, const char* string, int start, int length) {
    std::size_t from, count;
    mid_range(string, start, length, &from, &count);
    if (old == string && old) {  // the source may be the old string itself
        char* s = string_memory(nullptr, count);
        if (s && count) std::memcpy(s, string + from, count);
        release_block(old);
        return s;
    }
    return heap_copy(old, string ? string + from : "", count);
}

char* xlum_mid_string(const char* string, int start, int length, char* buffer) {
    if (!buffer) return buffer;
    std::size_t from, count;
    mid_range(string, start, length, &from, &count);
    if (count >= kTextBuffer) count = kTextBuffer - 1;
    std::memmove(buffer, string ? string + from : "", count);
    buffer[count] = 0;
    return buffer;
}

char* xlum_new_right_string(char* old, const char* string, int n) {
    int len = string ? static_cast<int>(std::strlen(string)) : 0;
    return xlum_new_mid_string(old, string, n > len || n < 0 ? len : len - n, -1);
}

char* xlum_right_string(const char* string, int n, char* buffer) {
    int len = string ? static_cast<int>(std::strlen(string)) : 0;
    return xlum_mid_string(string, n > len || n < 0 ? len : len - n, -1, buffer);
}

char* xlum_string_string(int n, const char* string, char* buffer, std::size_t capacity) {
    if (!buffer || capacity == 0) return buffer;
    const char* unit = string ? string : " ";
    std::size_t ulen = std::strlen(unit), out = 0;
    for (int i = 0; i < n && ulen && out + ulen < capacity; ++i, out += ulen) std::memcpy(buffer + out, unit, ulen);
    buffer[out] = 0;
    return buffer;
}

char* xlum_new_string_string(char* old, int n, const char* string) {
    const char* unit = string ? string : " ";
    std::size_t ulen = std::strlen(unit), count = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (ulen && count > (static_cast<std::size_t>(1) << 30) / ulen) count = 0;  // refuse absurd sizes
    char* s = string_memory(old == string ? nullptr : old, count * ulen);
    if (!s) return nullptr;
    for (std::size_t i = 0; i < count; ++i) std::memcpy(s + i * ulen, unit, ulen);
    if (old == string) release_block(old);
    return s;
}

}  // namespace kz::drawing2d
