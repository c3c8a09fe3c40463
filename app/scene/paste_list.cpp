// The paste column: "|"-separated entries of ";"-separated items, read into PasteEntry records and written back
// in the form the reader takes again.
#include "app/scene/paste_list.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/figure_text.h"
#include "app/scene/view_services.h"
#include "platform/crt/c_numbers.h"
#include "platform/crt/mbcs.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr int kMaxSourceBytes = 1023;

struct Extension {
    const char* text;
    int kind;
};
constexpr Extension kExtensions[] = {
    {"mpp", 1}, {"mpw", 1}, {"mpz", 1},  {"mpx", 1}, {"dxf", 1}, {"dwg", 1}, {"jwc", 1},
    {"jww", 1}, {"jpg", 2}, {"jpeg", 2}, {"bmp", 2}, {"gif", 2}, {"tif", 2}, {"png", 2},
};

// Position of the extension's dot in the last path component, or -1; trail bytes 0x5C never count as "\".
int extension_dot(const char* path) {
    int dot = -1;
    for (int i = 0; path[i];) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (kz::crt::is_sjis_lead(c) && kz::crt::is_sjis_trail(static_cast<unsigned char>(path[i + 1]))) {
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/') dot = -1;
        if (c == '.') dot = i;
        ++i;
    }
    return dot;
}

void free_codes(PasteEntry* e) {
    e->from_codes = static_cast<std::int32_t*>(free_and_null(e->from_codes));
    e->to_codes = static_cast<std::int32_t*>(free_and_null(e->to_codes));
}

// Item 2: face codes joined by "." as single numbers or "a-b" ranges.
void read_ranges(PasteEntry* e, const std::string& item) {
    e->from_codes = static_cast<std::int32_t*>(alloc_zeroed(sizeof(std::int32_t) * kMaxPasteRanges));
    e->to_codes = static_cast<std::int32_t*>(alloc_zeroed(sizeof(std::int32_t) * kMaxPasteRanges));
    static const FieldSeparators dot(".");
    const char* text = item.c_str();
    for (int pos = 0; pos >= 0 && e->range_count < kMaxPasteRanges;) {
        int len = 0;
        const int next = get_field(text, pos, len, dot);
        if (len > 0) {
            const std::string part(text + pos, len);
            const std::size_t dash = part.find('-');
            std::int32_t from = 0;
            std::int32_t to = 0;
            if (dash == std::string::npos) {
                from = to = face_code_of_number(kz::crt::c_atoi(part.c_str()));
            } else {
                from = kz::crt::c_atoi(part.substr(0, dash).c_str());
                to = kz::crt::c_atoi(part.c_str() + dash + 1);
                if (to <= 0) to = end_of_thousand(from);
            }
            e->from_codes[e->range_count] = from;
            e->to_codes[e->range_count] = to;
            ++e->range_count;
        }
        pos = next;
    }
}

// Appends `text` as one ";" item, quoted when its own ";" or "|" would otherwise split the entry.
void append_source_item(std::string& out, const char* text) {
    static const FieldSeparators item_splitters("\t", ",", ";", "|");
    append_protected_text(out, text, item_splitters);
}

}  // namespace

std::int32_t face_code_of_number(std::int32_t n) {
    static constexpr std::int32_t kBoxFaces[] = {1000, 2000, 5000, 4000, 6000, 3000};
    return (n >= 0 && n <= 5) ? kBoxFaces[n] : n;
}

std::int32_t end_of_thousand(std::int32_t from) {
    // Saturates at the top of the code range, so the last thousand still ends where the reader and writer agree.
    const std::int64_t end = static_cast<std::int64_t>(from) / 1000 * 1000 + 999;
    return end > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(end);
}

int paste_kind_of_source(const char* source, int record_kind) {
    if (!source || !*source || record_kind == kKindRefer || record_kind == kKindPutref) return 0;
    const struct {
        const char* prefix;
        int kind;
    } tags[] = {{"[loadimage=", 4}, {"<loadimage=", 4}, {"[text=", 3},
                {"<text=", 3},      {"[lumfont=", 5},   {"<lumfont=", 5}};
    for (const auto& tag : tags)
        if (compare_prefix_nocase(source, tag.prefix, static_cast<int>(std::strlen(tag.prefix))) == 0) return tag.kind;
    const int dot = extension_dot(source);
    if (dot < 0) return 0;
    for (const auto& ext : kExtensions)
        if (compare_nocase(source + dot + 1, ext.text) == 0) return ext.kind;
    return -1;
}

void copy_paste_entry(PasteEntry* dst, const PasteEntry& src) {
    *dst = src;
    dst->source = src.source ? set_heap_string(nullptr, src.source, nullptr, -1) : nullptr;
    dst->from_codes = dst->to_codes = nullptr;
    if (src.from_codes && src.to_codes) {
        const std::size_t bytes = sizeof(std::int32_t) * kMaxPasteRanges;
        dst->from_codes = static_cast<std::int32_t*>(alloc_zeroed(bytes));
        dst->to_codes = static_cast<std::int32_t*>(alloc_zeroed(bytes));
        std::memcpy(dst->from_codes, src.from_codes, sizeof(std::int32_t) * src.range_count);
        std::memcpy(dst->to_codes, src.to_codes, sizeof(std::int32_t) * src.range_count);
    } else {
        dst->range_count = 0;
    }
}

void free_paste_entry(PasteEntry* entry) {
    if (!entry) return;
    entry->source = free_and_null(entry->source);
    free_codes(entry);
    *entry = PasteEntry{};
}

void COBJECTA::ClearPasteList() {
    for (int i = 0; i < paste_count; ++i) free_paste_entry(&paste_entries[i]);
    paste_entries = static_cast<PasteEntry*>(free_and_null(paste_entries));
    paste_count = 0;
}

int COBJECTA::RemovePasteEntry(int i) {
    if (i < 0 || i >= paste_count) return 0;
    free_paste_entry(&paste_entries[i]);
    std::memmove(&paste_entries[i], &paste_entries[i + 1], sizeof(PasteEntry) * (paste_count - i - 1));
    paste_entries[paste_count - 1] = PasteEntry{};
    --paste_count;
    return 1;
}

int COBJECTA::AppendPasteEntry(const char* entry_text, int length) {
    const std::string entry(entry_text, length);
    const char* text = entry.c_str();
    static const FieldSeparators semicolon(";");
    int pos = 0;
    int len = 0;
    int next = get_field(text, pos, len, semicolon);
    const int letter = len > 0 ? (text[pos] & 0xDF) : 0;
    if ((letter != 'A' && letter != 'C' && letter != 'R') || next < 0) return 0;

    PasteEntry e{};
    e.face_letter = letter;
    e.image_index = -1;
    pos = next;
    next = get_field(text, pos, len, semicolon);
    read_ranges(&e, std::string(text + pos, len));
    pos = next;
    next = get_field(text, pos, len, semicolon);
    if (pos >= 0 && len > 0) {
        e.source = heap_substring(nullptr, text, pos, sjis_prefix_length(text + pos, len, kMaxSourceBytes));
        // A cut may end on a blank or a quote, which the next read would trim: trimmed now, it reads back whole.
        trim_blanks_quotes(e.source);
    }
    pos = next;
    e.size = get_field_double(text, pos, len, semicolon, 0);
    e.lift = get_field_double(text, pos, len, semicolon, 0);
    const int r = get_field_int(text, pos, len, semicolon, 255);
    const int g = get_field_int(text, pos, len, semicolon, 255);
    const int b = get_field_int(text, pos, len, semicolon, 255);
    e.color = letter == 'C' ? ((r & 255) | (g & 255) << 8 | (b & 255) << 16) : -1;
    e.x = get_field_double(text, pos, len, semicolon, 0);
    e.y = get_field_double(text, pos, len, semicolon, 0);
    e.angle = get_field_double(text, pos, len, semicolon, 0);
    e.center_x = get_field_double(text, pos, len, semicolon, 0);
    e.center_y = get_field_double(text, pos, len, semicolon, 0);
    e.last_number = get_field_int(text, pos, len, semicolon, 0);

    e.kind = paste_kind_of_source(e.source, kind);
    if (e.kind < 0) {
        free_paste_entry(&e);
        return 0;
    }
    if (view && (e.kind == 1 || e.kind == 2)) {
        char* resolved = view->ToAbsolutePath(nullptr, e.source, owner);
        free_and_null(e.source);
        e.source = resolved;
    }
    if (view && e.source && *e.source) e.image_index = view->InternName(e.source);

    // Capacity doubles at powers of two: a long pasted column must not cost one reallocation per entry.
    if ((paste_count & (paste_count - 1)) == 0) {
        const int capacity = paste_count == 0 ? 1 : paste_count * 2;
        auto* grown = static_cast<PasteEntry*>(alloc_zeroed(sizeof(PasteEntry) * capacity));
        if (paste_count) std::memcpy(grown, paste_entries, sizeof(PasteEntry) * paste_count);
        free_and_null(paste_entries);
        paste_entries = grown;
    }
    paste_entries[paste_count++] = e;
    return 1;
}

int COBJECTA::ParsePasteList(const char* text) {
    ClearPasteList();
    if (!text) return 0;
    static const FieldSeparators bar("|");
    for (int pos = 0; pos >= 0;) {
        int len = 0;
        const int next = get_field(text, pos, len, bar);
        if (len > 0) AppendPasteEntry(text + pos, len);
        pos = next;
    }
    return 0;
}

char* COBJECTA::WritePasteList() {
    // Assembled in one growing string: a long list must not cost a reallocation per kilobyte.
    std::string out;
    char number[kNumberTextSize];
    for (int i = 0; i < paste_count; ++i) {
        const PasteEntry& e = paste_entries[i];
        out += static_cast<char>(e.face_letter);
        out += ';';
        for (int k = 0; k < e.range_count && e.from_codes && e.to_codes; ++k) {
            if (k) out += '.';
            out += c_integer_text(e.from_codes[k], number);
            // A one-code range is written as the bare code, except where the bare number would read back as a box
            // face digit (0..5 stand for 1000..6000): "2-2" stays a range.
            if (e.to_codes[k] != e.from_codes[k] || face_code_of_number(e.from_codes[k]) != e.from_codes[k]) {
                out += '-';
                if (e.to_codes[k] != end_of_thousand(e.from_codes[k])) out += c_integer_text(e.to_codes[k], number);
            }
        }
        out += ';';
        if (e.source && (e.source[0] == '[' || e.source[0] == '<')) {
            append_source_item(out, e.source);
        } else if (e.source && view) {
            char* relative = view->ToRelativePath(nullptr, e.source, owner);
            append_source_item(out, relative);
            free_and_null(relative);
        } else {
            append_source_item(out, e.source);
        }
        for (double v : {e.size, e.lift}) {
            out += ';';
            out += figure_number_text(snap_to_zero(v), number);
        }
        out += ';';
        if (e.color >= 0) {
            for (int shift = 0; shift <= 16; shift += 8) {
                const int channel = (e.color >> shift) & 255;
                if (channel != 255) out += c_integer_text(channel, number);
                out += ';';
            }
        } else {
            out += ";;;";
        }
        for (double v : {e.x, e.y, e.angle, e.center_x, e.center_y}) {
            out += figure_number_text(snap_to_zero(v), number);
            out += ';';
        }
        out += c_integer_text(e.last_number, number);
        out += ";|";
    }
    paste_text = set_heap_string(paste_text, out.c_str(), nullptr, -1);
    return paste_text;
}

int paste_range_holding(const PasteEntry& entry, std::int32_t code) {
    for (int r = 0; r < entry.range_count && entry.from_codes && entry.to_codes; ++r)
        if (entry.from_codes[r] <= code && code <= entry.to_codes[r]) return r;
    return -1;
}

int paste_entry_holding(const COBJECTA& record, std::int32_t code) {
    for (int i = 0; i < record.paste_count && record.paste_entries; ++i)
        if (paste_range_holding(record.paste_entries[i], code) >= 0) return i;
    return -1;
}

}  // namespace kz::scene
