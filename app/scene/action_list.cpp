// Action columns and link tags as far as the scene reads them, and the motion helpers shared with the view:
// target names of timed motions and the eased interpolation of one motion.
#include "app/scene/action_list.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/sjis_string.h"
#include "platform/crt/c_numbers.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

struct LinkKeyword {
    const char* word;
    int code;
};
// Longer keywords that share a beginning with a shorter one differ before the shorter one ends ("wav=" against
// "wavs=", "excoms=" against "excom="), so the first match in this order is the right one.
constexpr LinkKeyword kLinkKeywords[] = {
    {"file=", 1},    {"jump=", 1},      {"exec=", 3},      {"open=", 2},     {"web=", 4},         {"explore=", 8},
    {"wav=", 16},    {"wavs=", 32},     {"pose=", 64},     {"stage=", 128},  {"jimaku=", 256},    {"stop]", 512},
    {"jcom=", 1024}, {"excoms=", 8192}, {"excom=", 16384}, {"tovb=", 32768}, {"atrtovb=", 65536}, {"viewrendou=", 5},
};

// "M"/"H" with an optional 1 or 2: the variant, or 0 when the field is not that letter's item.
int item_variant(const std::string& field, char letter) {
    if (field.empty() || (field[0] & 0xDF) != letter) return 0;
    if (field.size() == 1) return 1;
    if (field.size() == 2 && (field[1] == '1' || field[1] == '2')) return field[1] - '0';
    return 0;
}

}  // namespace

int parse_action_link(const char* text, int position, int length, int* content_start, int* after_close) {
    if (content_start) *content_start = -1;
    if (after_close) *after_close = position;
    if (!text || position < 0 || length <= 0) return 0;
    const int text_length = static_cast<int>(std::strlen(text));
    if (position >= text_length) return 0;
    if (text[position] != '[' && text[position] != '<') return 0;
    // Work on the field alone, as if the text ended behind it.
    const std::string field(text + position, std::min(length, text_length - position));
    const char* f = field.c_str();

    int code = 0;
    int content = 1;
    for (const auto& keyword : kLinkKeywords) {
        const int n = static_cast<int>(std::strlen(keyword.word));
        if (1 + n <= static_cast<int>(field.size()) && compare_prefix_nocase(f + 1, keyword.word, n) == 0) {
            code = keyword.code;
            content = 1 + n;
            break;
        }
    }
    if (code == 1024) {
        // "jcom=NAME:1" asks for the first command kind, any other second field for the second.
        static const FieldSeparators colon(":");
        int pos = content;
        int len = 0;
        int second = get_field(f, pos, len, colon);  // past the command name
        const int value = second >= 0 ? get_field_int(f, second, len, colon, 0) : 0;
        code = value == 1 ? 1024 : 2048;
    }
    if (content_start) *content_start = position + content;

    int close = find_substring(0, f, "]");
    if (close < 0) close = find_substring(0, f, ">");
    if (after_close) *after_close = close < 0 ? -1 : position + close + 1;
    return code;
}

int parse_action_list(const char* text, std::int32_t* kind, std::int32_t* tag_bits, std::int32_t* reserved,
                      std::int32_t* variant) {
    std::int32_t found_kind = 0;
    std::int32_t bits = 0;
    std::int32_t found_variant = 1;
    static const FieldSeparators bar("|");
    static const FieldSeparators semicolon(";");
    for (int pos = 0; text && pos >= 0;) {
        int len = 0;
        const int next = get_field(text, pos, len, bar);
        if (len > 0) {
            const std::string item(text + pos, len);
            int p = 0;
            int n = 0;
            const int after_first = get_field(item.c_str(), p, n, semicolon);
            const std::string first = item.substr(p, n);
            if (const int v = item_variant(first, 'M')) {
                found_kind = 1;
                found_variant = v;
            } else if (const int v = item_variant(first, 'H')) {
                found_kind = 2;
                found_variant = v;
                if (after_first >= 0) {
                    int q = after_first;
                    get_field(item.c_str(), q, n, semicolon);
                    bits |= parse_action_link(item.c_str(), q, n, nullptr, nullptr);
                }
            }
        }
        pos = next;
    }
    if (kind) *kind = found_kind;
    if (tag_bits) *tag_bits = bits;
    if (reserved) *reserved = 0;
    if (variant) *variant = found_variant;
    return 0;
}

int motion_target_index(const char* name) {
    if (!name) return 0;
    static constexpr struct {
        const char* name;
        int column;
    } kTargets[] = {
        {"dx", 1},
        {"dy", 2},
        {"dz", 3},
        {"rx", 4},
        {"ry", 5},
        {"rz", 6},
        {"odx", 7},
        {"ody", 8},
        {"odz", 9},
        {"orx", 10},
        {"ory", 11},
        {"orz", 12},
        {"fw", 41},
        {"light", 42},
        {"#shadow_tukihi", 43},
        {"#shadow_jikoku", 44},
    };
    for (const auto& target : kTargets)
        if (compare_nocase(name, target.name) == 0) return target.column;
    const char first = static_cast<char>(name[0] | 0x20);
    if (first == 'd' || first == 'r' || first == 'o' || name[0] == '#') return 0;
    const int column = kz::crt::c_atoi(name);
    return column >= 0 && column <= 44 ? column : 0;
}

int interpolate_elapsed(double elapsed_ms, double from, double to, double duration_ms, double* value, int easing) {
    if (elapsed_ms < 0) return -1;
    if (elapsed_ms >= duration_ms) {
        if (value) *value = to;
        return 1;
    }
    const double t = elapsed_ms / duration_ms;
    double f = t;
    if (easing == 0)
        f = 1 - (1 - t) * (1 - t);
    else if (easing == 2)
        f = t * t;
    if (value) *value = from + (to - from) * f;
    return 0;
}

}  // namespace kz::scene
