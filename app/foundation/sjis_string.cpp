// Comparisons walk both texts one character at a time: once the bytes before agree, a lead byte that agrees
// makes its trail byte compare exactly, so "ア" (0x83 0x41) and "ヂ" (0x83 0x61) never fold together.
#include "app/foundation/sjis_string.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "app/foundation/field_tokenizer.h"
#include "platform/crt/c_numbers.h"

namespace kz::foundation {
namespace {

unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }
bool is_ascii_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Case-insensitive comparison of a[0..la) with b[0..lb), like strnicmp on the shorter span then by length.
int compare_spans_nocase(const char* a, int la, const char* b, int lb) {
    auto pa = reinterpret_cast<const unsigned char*>(a);
    auto pb = reinterpret_cast<const unsigned char*>(b);
    int n = std::min(la, lb);
    for (int i = 0; i < n;) {
        bool two = i + 1 < n && sjis_char_size(a + i) == 2;
        if (two) {
            if (pa[i] != pb[i]) return pa[i] - pb[i];
            if (pa[i + 1] != pb[i + 1]) return pa[i + 1] - pb[i + 1];
            i += 2;
            continue;
        }
        int d = fold(pa[i]) - fold(pb[i]);
        if (d != 0) return d;
        ++i;
    }
    if (la == lb) return 0;
    return la < lb ? -pb[n] : pa[n];
}

int span_before_colon(const char* s) {
    const char* colon = std::strchr(s, ':');  // ':' is never a trail byte
    return colon ? static_cast<int>(colon - s) : static_cast<int>(std::strlen(s));
}

// First character start at or after start; -1 when start lies outside the text.
int first_char_at_or_after(const char* text, int start, int length) {
    if (start < 0 || start >= length) return -1;
    int i = 0;
    while (i < start) i += sjis_char_size(text + i);
    return i < length ? i : -1;
}

}  // namespace

int copy_string_bounded(char* buffer, const char* text, int size) {
    if (!buffer || !text) return 0;
    if (size <= 0) {
        std::strcpy(buffer, text);
        return 1;
    }
    std::size_t n = strnlen(text, static_cast<std::size_t>(size - 1));
    std::memmove(buffer, text, n);
    buffer[n] = 0;
    return 1;
}

int copy_text_block(char* buffer, const char* text, int count) {
    if (!buffer) return 0;
    if (count < 1 || !text || text[0] == 0) {
        if (count >= 1) buffer[0] = 0;
        return 0;
    }
    // Never read past the text's own terminator, even when count is larger.
    return copy_string_bounded(buffer, text, count);
}

int compare_strings(const char* a, const char* b) {
    if (!a || !b) return -1;
    int d = std::strcmp(a, b);
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

int compare_nocase(const char* a, const char* b) {
    if (!a || !b) return -1;
    return compare_spans_nocase(a, static_cast<int>(std::strlen(a)), b, static_cast<int>(std::strlen(b)));
}

int compare_prefix_nocase(const char* a, const char* b, int n) {
    if (!a || !b) return -1;
    if (n <= 0) return 0;
    auto limit = static_cast<std::size_t>(n);
    return compare_spans_nocase(a, static_cast<int>(strnlen(a, limit)), b, static_cast<int>(strnlen(b, limit)));
}

int compare_before_colon(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    if (a[0] == 0) return b[0] == 0 ? 0 : -1;
    if (b[0] == 0) return 1;
    return compare_spans_nocase(a, span_before_colon(a), b, span_before_colon(b));
}

int find_substring(int start, const char* text, const char* pattern) {
    if (!text || !pattern || text[0] == 0 || pattern[0] == 0) return -1;
    int length = static_cast<int>(std::strlen(text));
    int plen = static_cast<int>(std::strlen(pattern));
    for (int i = first_char_at_or_after(text, start, length); i >= 0 && i + plen <= length;
         i += sjis_char_size(text + i)) {
        if (std::memcmp(text + i, pattern, static_cast<std::size_t>(plen)) == 0) return i;
    }
    return -1;
}

int find_char_nocase(int start, const char* text, char letter) {
    if (!text) return -1;
    int length = static_cast<int>(std::strlen(text));
    auto want = fold(static_cast<unsigned char>(letter));
    for (int i = first_char_at_or_after(text, start, length); i >= 0 && i < length; i += sjis_char_size(text + i)) {
        if (fold(static_cast<unsigned char>(text[i])) == want) return i;
    }
    return -1;
}

int column_letters_to_index(const char* label) {
    if (!label) return 0;
    auto c0 = static_cast<unsigned char>(label[0]);
    if (!is_ascii_letter(c0)) return kz::crt::c_atoi(label);
    int first = fold(c0) - 'a';
    auto c1 = static_cast<unsigned char>(label[1]);
    if (!is_ascii_letter(c1)) return first;
    return 26 + 26 * first + (fold(c1) - 'a');
}

}  // namespace kz::foundation
