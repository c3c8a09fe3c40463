// Change locks of the fix column: a kind letter, a value for all twelve locks, then one item per lock that
// overrides it when present. The writer picks the default that leaves the fewer items to spell out.
#include "app/scene/fix_flags.h"

#include <cstring>

#include "app/foundation/field_tokenizer.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

template <class Locks>
void parse_into(const char* text, Locks& locks, std::int32_t* fix_kind) {
    *fix_kind = 0;
    if (!text || !*text) {
        for (int i = 1; i <= 12; ++i) locks[i] = 0;
        return;
    }
    static const FieldSeparators semicolon(";");
    int pos = 0;
    int len = 0;
    int next = get_field(text, pos, len, semicolon);
    if (len > 0 && (text[pos] == 'B' || text[pos] == 'b')) *fix_kind = 1;
    pos = next;
    const std::int32_t all = get_field_int(text, pos, len, semicolon, 0) != 0 ? 1 : 0;
    for (int i = 1; i <= 12; ++i) locks[i] = all;
    for (int i = 1; i <= 12 && pos >= 0; ++i) {
        const int value = get_field_int(text, pos, len, semicolon, 0);
        if (len > 0) locks[i] = value != 0 ? 1 : 0;
    }
}

template <class Locks>
char* format_from(std::int32_t fix_kind, const Locks& locks, char* buffer) {
    int set = 0;
    for (int i = 1; i <= 12; ++i) set += locks[i] != 0;
    buffer[0] = 0;
    if (set == 0) return buffer;
    char* out = buffer;
    *out++ = fix_kind == 0 ? 'A' : 'B';
    const bool mostly_set = set >= 12 - set;
    std::memcpy(out, mostly_set ? ";1" : ";0", 2);
    out += 2;
    for (int i = 1; i <= 12; ++i) {
        *out++ = ';';
        const bool locked = locks[i] != 0;
        if (locked != mostly_set) *out++ = locked ? '1' : '0';
    }
    *out = 0;
    return buffer;
}

}  // namespace

void parse_fix_flags(const char* text, std::int32_t* locks, std::int32_t* fix_kind) {
    parse_into(text, locks, fix_kind);
}
void parse_fix_flags(const char* text, ChangeLocks& locks, std::int32_t* fix_kind) {
    parse_into(text, locks, fix_kind);
}
char* format_fix_flags(std::int32_t fix_kind, const std::int32_t* locks, char* buffer) {
    return format_from(fix_kind, locks, buffer);
}
char* format_fix_flags(std::int32_t fix_kind, const ChangeLocks& locks, char* buffer) {
    return format_from(fix_kind, locks, buffer);
}

}  // namespace kz::scene
