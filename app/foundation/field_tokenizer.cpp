// Field scanning over Shift_JIS text. The scan looks only at bytes that can matter (separator starts, quotes, lead
// bytes, the terminator) through one 256-entry table, so reading a figure file costs little more than a byte scan.
#include "app/foundation/field_tokenizer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/crt/c_numbers.h"
#include "platform/crt/mbcs.h"
#include "platform/report.h"

namespace kz::foundation {
namespace {

using kz::crt::is_sjis_lead;
using kz::crt::is_sjis_trail;

const unsigned char* bytes(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

// A double-byte character starts here: the scan steps over both bytes.
inline bool starts_double(const unsigned char* p) { return is_sjis_lead(p[0]) && is_sjis_trail(p[1]); }
inline int char_size(const unsigned char* p) { return starts_double(p) ? 2 : 1; }

bool is_front_trim(unsigned char c) { return c == '\t' || c == ' ' || c == '"'; }
bool is_back_trim(unsigned char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == '"'; }
bool is_blank_comma(unsigned char c) { return c == '\t' || c == ' ' || c == ','; }

void copy_bounded(char* out, int out_size, const char* text, int len) {
    if (!out || out_size < 1) return;
    if (len > out_size - 1) len = out_size - 1;
    std::memmove(out, text, static_cast<std::size_t>(len));
    out[len] = 0;
}

void copy_default(char* out, int out_size, const char* default_text) {
    if (!out || out == default_text || out_size < 1) return;
    if (!default_text) {
        out[0] = 0;
        return;
    }
    copy_bounded(out, out_size, default_text, static_cast<int>(std::strlen(default_text)));
}

// Position of the first separator outside quotes from i, its length in sep_len; or the terminator's position
// with sep_len -1. An opening quote is not tested against the separators, a closing one is.
int scan_to_separator(const unsigned char* t, int i, const FieldSeparators& seps, int& sep_len) {
    bool quoted = false;
    for (;;) {
        unsigned char c = t[i];
        if (!seps.stops_at(c)) {
            ++i;
            continue;
        }
        if (c == 0) {
            sep_len = -1;
            return i;
        }
        if (c == '"') {
            if (!quoted) {
                quoted = true;
                ++i;
                continue;
            }
            quoted = false;
        }
        if (!quoted) {
            int k = seps.match(t + i);
            if (k >= 0) {
                sep_len = k;
                return i;
            }
        }
        i += char_size(t + i);
    }
}

struct CutEntry {
    char* at;
    char saved;
};
constexpr int kCutCapacity = 1024;
CutEntry g_cuts[kCutCapacity];
int g_cut_count = 0;
int g_cut_overflow = 0;  // pushes refused beyond the capacity, matched by pops that restore nothing

void report_cut_misuse(const char* what) { kz::platform::report_line(std::string("string cut stack ") + what); }

// Shared by the typed getters: the field's text, cut to 110 bytes, handed to convert; the default when empty.
template <typename T, typename Convert>
T read_typed(const char* text, int& pos, int& len, const FieldSeparators& seps, T default_value, char* out,
             int out_size, T empty_value, Convert convert) {
    len = 0;
    if (pos < 0) return default_value;
    int start = pos;
    int next = get_field(text, start, len, seps, out, out_size, "");
    T result = empty_value;
    if (len > 0) {
        char number[111];
        copy_bounded(number, sizeof number, text + start, len);
        result = convert(number);
    }
    pos = next;
    return result;
}

// Stops every scan has: the terminator, the quote and the lead bytes.
const std::array<unsigned char, 256>& base_stops() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        t[0] = 1;
        t['"'] = 1;
        for (int c = 0; c < 256; ++c)
            if (is_sjis_lead(static_cast<unsigned char>(c))) t[c] = 1;
        return t;
    }();
    return table;
}

char* grow_heap(char* buffer, int capacity) {
    char* grown = static_cast<char*>(std::realloc(buffer, static_cast<std::size_t>(capacity)));
    if (!grown) throw std::bad_alloc();
    return grown;
}

}  // namespace

int sjis_byte_kind(const char* text, int index) {
    if (index < 0) return -1;
    if (!text) return 0;
    const unsigned char* p = bytes(text) + index;
    unsigned char c = p[0];
    if (c == 0) return 0;
    if (starts_double(p)) return 2;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xDF)) return 1;
    if (c < 0x20) return 3;
    return 4;
}

FieldSeparators::FieldSeparators(const char* s1, const char* s2, const char* s3, const char* s4, const char* s5,
                                 const char* s6, const char* s7) {
    std::memcpy(stop_, base_stops().data(), sizeof stop_);
    for (const char* s : {s1, s2, s3, s4, s5, s6, s7}) {
        if (!s) break;
        add(s);
    }
}

void FieldSeparators::add(const char* s) {
    int n = static_cast<int>(strnlen(s, kMaxLength));
    text_[count_] = s;
    length_[count_] = n;
    ++count_;
    if (n == 0) {
        std::memset(stop_, 1, sizeof stop_);  // an empty separator matches at the first tested byte
    } else {
        stop_[static_cast<unsigned char>(s[0])] = 1;
    }
}

FieldSeparators FieldSeparators::only(int i) const {
    FieldSeparators one;
    std::memcpy(one.stop_, stop_, sizeof stop_);  // extra stops only cost time, never change the result
    one.text_[0] = text_[i];
    one.length_[0] = length_[i];
    one.count_ = 1;
    return one;
}

int FieldSeparators::match(const unsigned char* p) const {
    for (int s = 0; s < count_; ++s) {
        const unsigned char* sep = bytes(text_[s]);
        int n = length_[s];
        int k = 0;
        while (k < n && p[k] == sep[k]) ++k;
        if (k == n) return n;
    }
    return -1;
}

int get_field(const char* text, int& pos, int& len, const FieldSeparators& seps, char* out, int out_size,
              const char* default_text) {
    len = 0;
    if (pos < 0) {
        pos = 0;
        copy_default(out, out_size, default_text);
        return -1;
    }
    if (out && out_size >= 1) out[0] = 0;
    if (!text || text[pos] == 0 || seps.count() == 0) return -1;

    const unsigned char* t = bytes(text);
    int sep_len = -1;
    int end = scan_to_separator(t, pos, seps, sep_len);
    int next = -1;
    if (sep_len >= 0 && t[end + sep_len] != 0) next = end + sep_len;

    int start = pos;
    while (start < end && is_front_trim(t[start])) ++start;
    while (end > start && is_back_trim(t[end - 1])) --end;
    pos = start;
    len = end - start;

    if (out) {
        if (len == 0) {
            copy_default(out, out_size, default_text);
        } else if (len < out_size) {
            copy_bounded(out, out_size, text + start, len);
        }  // a field that does not fit leaves the buffer empty
    }
    return next;
}

int get_field_int(const char* text, int& pos, int& len, const FieldSeparators& seps, int default_value, char* out,
                  int out_size) {
    return read_typed(text, pos, len, seps, default_value, out, out_size, default_value,
                      [](const char* s) { return kz::crt::c_atoi(s); });
}

double get_field_double(const char* text, int& pos, int& len, const FieldSeparators& seps, double default_value,
                        char* out, int out_size) {
    return read_typed(text, pos, len, seps, default_value, out, out_size, default_value,
                      [](const char* s) { return kz::crt::c_atof(s); });
}

int get_field_color(const char* text, int& pos, int& len, const FieldSeparators& seps, int default_value, char* out,
                    int out_size) {
    int color = read_typed(text, pos, len, seps, default_value, out, out_size, 0, parse_color);
    if (color < 0 && default_value >= 0) color = default_value;
    return color;
}

int get_field_string(const char* text, int& pos, int& len, const FieldSeparators& seps, char* out, int out_size,
                     const char* default_text) {
    if (pos < 0) {
        len = 0;
        copy_default(out, out_size, default_text);
        return -1;
    }
    int start = pos;
    pos = get_field(text, start, len, seps, out, out_size, default_text);
    return 0;
}

int parse_color(const char* text) {
    if (!text) return 0;
    long hex;
    if (text[0] == '#') {
        hex = kz::crt::c_strtol(text + 1, nullptr, 16);
    } else if (text[0] != 0 && std::strpbrk(text + 1, ",.")) {
        std::string rest(text);
        int rgb[3];
        char item[128];
        for (int& v : rgb) {
            split_field(rest.data(), item, sizeof item, {",", "."});
            v = kz::crt::c_atoi(item) & 255;
        }
        return rgb[0] | rgb[1] << 8 | rgb[2] << 16;
    } else if (kz::crt::c_atoi(text) < 0) {
        return -1;
    } else {
        hex = kz::crt::c_strtol(text, nullptr, 16);
    }
    auto v = static_cast<unsigned long>(hex);
    return static_cast<int>(((v >> 16) & 255) | ((v >> 8) & 255) << 8 | (v & 255) << 16);
}

int split_field(char* text, char* out, int out_size, const FieldSeparators& seps) {
    if (out && out_size >= 1) out[0] = 0;
    if (!text || text[0] == 0) return 0;
    const unsigned char* t = bytes(text);
    int found = -1;
    int sep_len = -1;
    for (int s = 0; s < seps.count() && found < 0; ++s) {
        int at = scan_to_separator(t, 0, seps.only(s), sep_len);
        if (sep_len >= 0) found = at;
    }
    int total = static_cast<int>(std::strlen(text));
    int item_len = found >= 0 ? found : total;
    copy_bounded(out, out_size, text, item_len);
    if (found >= 0) {
        int rest = found + sep_len;
        std::memmove(text, text + rest, static_cast<std::size_t>(total - rest + 1));
    } else {
        text[0] = 0;
    }
    if (out && out_size >= 1) trim_blanks_quotes(out);
    return found >= 0 ? 1 : 0;
}

void push_string_cut(char* at) {
    if (g_cut_count >= kCutCapacity) {
        if (g_cut_overflow++ == 0) report_cut_misuse("overflow: a cut was not made");
        return;
    }
    g_cuts[g_cut_count] = {at, at ? *at : char(0)};
    ++g_cut_count;
    if (at) *at = 0;
}

void pop_string_cut() {
    if (g_cut_overflow > 0) {
        --g_cut_overflow;
        return;
    }
    if (g_cut_count == 0) {
        report_cut_misuse("underflow: nothing to restore");
        return;
    }
    --g_cut_count;
    if (g_cuts[g_cut_count].at) *g_cuts[g_cut_count].at = g_cuts[g_cut_count].saved;
}

int string_cut_depth() { return g_cut_count + g_cut_overflow; }

namespace {
// Length of the line at start, and the next line's position by next_line's rule.
int line_span(const char* text, int start, int& len) {
    len = 0;
    if (!text || start < 0) return -1;
    int i = start;
    while (text[i] != 0 && text[i] != '\r' && text[i] != '\n') ++i;
    len = i - start;
    if (text[i] == 0) return -1;
    ++i;
    if (text[i] == '\r' || text[i] == '\n') ++i;
    return text[i] == 0 ? -1 : i;
}
}  // namespace

int next_line(const char* text, int start, int& len) { return line_span(text, start, len); }

std::vector<std::string> nonempty_lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        if (end > pos) lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

char* read_line_heap(char* buffer, const char* text, int start, int& next, int& capacity) {
    if (!buffer || capacity < 0) capacity = 0;
    int len = 0;
    next = line_span(text, start, len);
    int needed = capacity;
    while (len + 10 > needed) needed += 1000;
    if (needed != capacity || !buffer) {
        buffer = grow_heap(buffer, needed);
        capacity = needed;
    }
    copy_bounded(buffer, capacity, len > 0 ? text + start : "", len);
    return buffer;
}

int next_semicolon_item(const char* text, int start, int& len) {
    len = 0;
    if (!text || start < 0) return -1;
    const unsigned char* t = bytes(text);
    bool quoted = false;
    int i = start;
    while (t[i] != 0) {
        if (t[i] == '"') {
            quoted = !quoted;
        } else if (t[i] == ';' && !quoted) {
            len = i - start;
            return i + 1;
        }
        i += char_size(t + i);
    }
    len = i - start;
    return -1;
}

int trim_span(const char* text, int& start, int& len) {
    if (!text || start < 0 || len <= 0) {
        len = 0;
        return 0;
    }
    const unsigned char* t = bytes(text);
    int end = start + len;
    while (start < end && is_blank_comma(t[start])) ++start;
    while (end > start && is_blank_comma(t[end - 1])) --end;
    len = end - start;
    return len > 0 ? 1 : 0;
}

namespace {
template <typename Front, typename Back>
void trim_in_place(char* text, Front front, Back back) {
    if (!text) return;
    const unsigned char* t = bytes(text);
    std::size_t n = std::strlen(text);
    std::size_t first = 0;
    while (first < n && front(t[first])) ++first;
    while (n > first && back(t[n - 1])) --n;
    std::memmove(text, text + first, n - first);
    text[n - first] = 0;
}
}  // namespace

void trim_blanks_quotes(char* text) { trim_in_place(text, is_front_trim, is_back_trim); }

void trim_blanks_commas(char* text) { trim_in_place(text, is_blank_comma, is_blank_comma); }

void cut_at_line_end(char* text) {
    if (!text) return;
    const unsigned char* t = bytes(text);
    for (int i = 0; i < 64000 && t[i] != 0;) {
        if (t[i] == '\r' || t[i] == '\n') {
            text[i] = 0;
            return;
        }
        i += char_size(t + i);
    }
}

}  // namespace kz::foundation
