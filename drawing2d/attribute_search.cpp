// Plain searches without the search filter: the next record of given attributes, the next text that begins
// with a keyword, and the first element of a named variable equal to a value.
#include <cctype>
#include <cstring>

#include "drawing2d/named_variables.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"

namespace kz::drawing2d {
namespace {
constexpr unsigned kWorkFlags = kz::crt::kGlobalMoveable | kz::crt::kGlobalZeroInit | kz::crt::kGlobalShare;

// Compares n bytes without regard to the case of single-byte letters; double-byte characters compare whole.
bool same_prefix_nocase(const char* text, const char* key, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(key[i]);
        bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (lead && i + 1 < n) {
            if (a != b || text[i + 1] != key[i + 1]) return false;
            ++i;
            continue;
        }
        if (a < 0x80 && b < 0x80 ? std::tolower(a) != std::tolower(b) : a != b) return false;
        if (a == 0) return false;
    }
    return true;
}
}  // namespace

int32_t xlum_search_data(drawing_context* ctx, int32_t first, int32_t type, int32_t layer, int32_t group,
                         int32_t colour, int32_t style) {
    int32_t found = -1;
    walk_head_rows(ctx, first, [&](int32_t row) {
        int32_t t = row_type(ctx, row);
        bool type_ok = type == -1 || (type == 56 ? (t == kTypeText || t == kTypeKanjiText) : t == type);
        if (type_ok && (layer == -1 || row_layer(ctx, row) == layer) &&
            (group == -1 || static_cast<int16_t>(ctx->c2[row] & 0xFFFF) == group) &&
            (colour == -1 || row_color(ctx, row) == colour) && (style == -1 || row_style(ctx, row) == style)) {
            found = row;
            return false;
        }
        return true;
    });
    return found;
}

int32_t xlum_search_keyword(drawing_context* ctx, int32_t first, const char* keyword) {
    if (!keyword) return -1;
    kz::crt::GlobalHandle handle = kz::crt::global_alloc(kWorkFlags, 4096);
    if (!handle) return -1;
    auto* buffer = static_cast<char*>(kz::crt::global_lock(handle));
    std::size_t n = std::strlen(keyword);
    int32_t found = -1;
    walk_head_rows(ctx, first, [&](int32_t row) {
        int32_t t = row_type(ctx, row);
        if (t != kTypeText && t != kTypeKanjiText) return true;
        xlum_getchar(ctx, row, buffer, 4096);
        if (!same_prefix_nocase(buffer, keyword, n)) return true;
        found = row;
        return false;
    });
    kz::crt::global_unlock(handle);
    kz::crt::global_free(handle);
    return found;
}

int32_t xlum_search_array(drawing_context* ctx, const char* name, double value, int64_t first, int64_t last) {
    mark_row_limits(ctx);
    if (!select_variable(ctx, name)) return -1;
    if (first < 0) first = 0;
    if (first > last) last = ctx->mat;
    if (last >= ctx->selected_count) last = ctx->selected_count - 1;  // never past the field
    for (int64_t i = first; i <= last; ++i) {
        double element = selected_element(ctx, i);
        if (ctx->selected_type == kVarByte1)  // read as a signed byte here
            element = static_cast<int8_t>(static_cast<int32_t>(element) & 0xFF);
        if (element == value) return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace kz::drawing2d
