// Line reading, trimming and the field splitter with several delimiters and quoted text.
// Delimiters are matched only at character boundaries and never between double quotes.
#include <cstring>

#include "drawing2d/text_utils.h"

namespace kz::drawing2d {
namespace {
bool is_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Byte position of the first occurrence of `delimiter` outside double quotes, or -1.
long find_unquoted(const char* text, const char* delimiter) {
    std::size_t dlen = std::strlen(delimiter);
    bool quoted = false;
    for (const char* p = text; *p;) {
        if (*p == '"') {
            quoted = !quoted;
            ++p;
            continue;
        }
        if (!quoted && std::strncmp(p, delimiter, dlen) == 0) return p - text;
        p += (is_lead(static_cast<unsigned char>(*p)) && p[1]) ? 2 : 1;
    }
    return -1;
}
}  // namespace

void strip_line_end(char* string) {
    if (!string) return;
    for (int i = 0; i < 32000 && string[i]; ++i)
        if (string[i] == '\r' || string[i] == '\n') {
            string[i] = 0;
            return;
        }
}

void trim_token(char* string) {
    if (!string) return;
    std::size_t start = 0;
    while (string[start] == '\t' || string[start] == ' ' || string[start] == '"') ++start;
    std::size_t len = std::strlen(string + start);
    std::memmove(string, string + start, len + 1);
    while (len > 0) {
        char c = string[len - 1];
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ' && c != '"') break;
        string[--len] = 0;
    }
}

char* read_line(char* buffer, int size, std::FILE* file) {
    if (!buffer || size <= 0 || !file || !std::fgets(buffer, size, file)) return nullptr;
    trim_token(buffer);
    return buffer;
}

int xlum_input_string(char* text, char* token, const char* d1, const char* d2, const char* d3, const char* d4,
                      const char* d5, const char* d6, const char* d7) {
    if (!text || !token) return 0;
    const char* all[7] = {d1, d2, d3, d4, d5, d6, d7};
    bool any = false;
    for (const char* d : all) {
        if (!d || !*d || std::strlen(d) >= 32) continue;
        any = true;
        long at = find_unquoted(text, d);
        if (at < 0) continue;
        std::memmove(token, text, static_cast<std::size_t>(at));
        token[at] = 0;
        std::size_t rest = std::strlen(text + at + std::strlen(d));
        std::memmove(text, text + at + std::strlen(d), rest + 1);
        trim_token(token);
        return 1;
    }
    std::memmove(token, text, std::strlen(text) + 1);
    text[0] = 0;
    if (any) trim_token(token);
    return 0;
}

char* copy_substring(const char* source, char* target, int start, int length) {
    if (!target) return target;
    if (!source) {
        target[0] = 0;
        return target;
    }
    std::size_t len = std::strlen(source);
    std::size_t from = start > 0 ? static_cast<std::size_t>(start) : 0;
    if (from > len) from = len;
    std::size_t count = len - from;
    if (length >= 0 && static_cast<std::size_t>(length) < count) count = static_cast<std::size_t>(length);
    if (count > 4095) count = 4095;
    std::memmove(target, source + from, count);
    target[count] = 0;
    return target;
}

}  // namespace kz::drawing2d
