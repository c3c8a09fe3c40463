// Field splitting of the library's text files. take_field: blanks (space, tab, CR, LF, form feed) are skipped; a
// field that begins with a double quote runs to the closing quote (dropped), a line end or the end; any other
// field runs to the first blank, double quote or comma. The delimiter that ended the field is dropped, and when a
// comma follows within the spaces, tabs and form feeds after it, that one comma becomes a blank, so that a
// quoted field followed by a comma is one field and two commas after it give an empty one.
#include "drawing2d/text_fields.h"

#include <cstring>

#include "platform/crt/mbcs.h"

namespace kz::drawing2d {
namespace {
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

void copy_field(char* field, std::size_t capacity, const char* from, std::size_t n) {
    if (!field || capacity == 0) return;
    if (n >= capacity) n = capacity - 1;
    std::memmove(field, from, n);
    field[n] = 0;
}

// The rest of the line from `rest` moved to the front.
void keep_rest(char* line, const char* rest) { std::memmove(line, rest, std::strlen(rest) + 1); }

unsigned pair_at(const char* p) { return (static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]); }
constexpr unsigned kWideSpace = 0x8140, kWideComma = 0x8143, kIdeographicComma = 0x8141, kWideQuote = 0x8168;
}  // namespace

int take_field(char* line, char* field, std::size_t capacity) {
    if (field && capacity) field[0] = 0;
    if (!line) return 0;
    char* p = line;
    while (is_blank(*p)) ++p;
    const char* start;
    if (*p == '"') {
        start = ++p;
        while (*p && *p != '"' && *p != '\r' && *p != '\n') ++p;
    } else {
        start = p;
        while (*p && !is_blank(*p) && *p != '"' && *p != ',') ++p;
    }
    std::size_t n = static_cast<std::size_t>(p - start);
    copy_field(field, capacity, start, n);
    if (*p) ++p;  // the delimiter
    char* q = p;
    while (*q == ' ' || *q == '\t' || *q == '\f') ++q;
    if (*q == ',') *q = ' ';
    keep_rest(line, p);
    return static_cast<int>(n < capacity ? n : (capacity ? capacity - 1 : 0));
}

int take_field_wide(char* line, char* field, std::size_t capacity) {
    if (field && capacity) field[0] = 0;
    if (!line) return 0;
    auto is_pair = [](const char* p) { return kz::crt::is_sjis_lead(static_cast<unsigned char>(p[0])) && p[1]; };
    char* p = line;
    while (is_pair(p) && pair_at(p) == kWideSpace) p += 2;
    bool quoted = is_pair(p) && pair_at(p) == kWideQuote;
    if (quoted) p += 2;
    const char* start = p;
    while (*p) {
        if (is_pair(p)) {
            unsigned c = pair_at(p);
            if (c == kWideQuote || (!quoted && (c == kWideSpace || c == kWideComma || c == kIdeographicComma))) break;
            p += 2;
        } else {
            ++p;
        }
    }
    std::size_t n = static_cast<std::size_t>(p - start);
    copy_field(field, capacity, start, n);
    if (*p) p += 2;  // the delimiter
    keep_rest(line, p);
    return static_cast<int>(n < capacity ? n : (capacity ? capacity - 1 : 0));
}

void trim_field(char* text) {
    if (!text) return;
    std::size_t start = 0;
    while (text[start] == ' ' || text[start] == '"') ++start;
    std::size_t len = std::strlen(text + start);
    std::memmove(text, text + start, len + 1);
    while (len > 0 && (text[len - 1] == ' ' || text[len - 1] == '"' || text[len - 1] == '\n')) text[--len] = 0;
}

int hex_field_value(const char* text, int start, int count) {
    unsigned value = 0;
    std::size_t len = text ? std::strlen(text) : 0;
    for (int i = 0; i < count; ++i) {
        std::size_t at = static_cast<std::size_t>(start) + static_cast<std::size_t>(i);
        char c = (start >= 0 && at < len) ? text[at] : 0;
        int digit = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : 0;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<int>(value);
}

int byte_char_class(unsigned char byte) {
    if ((byte >= 0x20 && byte <= 0x7E) || (byte >= 0xA0 && byte <= 0xDF)) return 1;
    if (kz::crt::is_sjis_lead(byte)) return 2;
    return 0;
}

std::vector<std::string> text_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(at, end - at));
        if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
        at = end + 1;
    }
    return lines;
}

}  // namespace kz::drawing2d
