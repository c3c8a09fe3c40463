// Group colours from tag texts: "&RUV.RGB&" gives its own group a colour; "&RUV.NAME&" (or its full-width form in
// a double-byte text) defines a named colour, which every group holding a text of exactly that name takes. The
// group paint fills the closed outlines of each coloured group, in ascending group number.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "drawing2d/paint.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_fields.h"
#include "drawing2d/text_utils.h"
#include "platform/crt/c_numbers.h"

namespace kz::drawing2d {

namespace {

constexpr char kRgbTag[] = "&RUV.RGB&";
constexpr char kNameTag[] = "&RUV.NAME&";

bool starts_with(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

int clamp_byte(int v) { return std::clamp(v, 0, 255); }

// The text of a tagged head row in the group range, or false.
bool group_text(drawing_context* ctx, int32_t row, char* text, std::size_t capacity) {
    const int32_t type = row_type(ctx, row);
    if ((type != kTypeText && type != kTypeKanjiText) || row_group(ctx, row) >= kPaintGroups) return false;
    return xlum_getchar(ctx, row, text, capacity) > 0;
}

struct NamedColor {
    std::string name;
    int32_t color;
};

// "name R G B" after a name tag: the name is the first word without blanks and double quotes.
NamedColor read_name_definition(const char* after_tag) {
    char line[kTextBuffer], field[kTextBuffer];
    std::strncpy(line, after_tag, sizeof line - 1);
    line[sizeof line - 1] = 0;
    take_field(line, field, sizeof field);
    trim_field(field);
    int r = 0, g = 0, b = 0;
    const int32_t color = parse_rgb_text(line, &r, &g, &b);
    return {field, color};
}

}  // namespace

int32_t parse_rgb_text(const char* text, int* r, int* g, int* b) {
    char line[kTextBuffer], field[kTextBuffer];
    std::strncpy(line, text ? text : "", sizeof line - 1);
    line[sizeof line - 1] = 0;
    int* out[3] = {r, g, b};
    int v[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        take_field(line, field, sizeof field);
        v[i] = clamp_byte(kz::crt::c_atoi(field));
        if (out[i]) *out[i] = v[i];
    }
    return v[0] | (v[1] << 8) | (v[2] << 16);
}

std::vector<int32_t> group_tag_colors(drawing_context* ctx, int32_t start_row, int32_t group) {
    std::vector<int32_t> colors(kPaintGroups, -1);
    char text[kTextBuffer];
    int names = 0;
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        if (!group_text(ctx, row, text, sizeof text)) return true;
        if (row_type(ctx, row) == kTypeText && starts_with(text, kRgbTag))
            colors[row_group(ctx, row)] = parse_rgb_text(text + std::strlen(kRgbTag), nullptr, nullptr, nullptr);
        else if ((row_type(ctx, row) == kTypeText && starts_with(text, kNameTag)) ||
                 (row_type(ctx, row) == kTypeKanjiText && starts_with(text, kWideNameTag)))
            ++names;
        return true;
    });
    if (names > 0) {
        std::vector<NamedColor> defined;
        walk_head_rows(ctx, start_row, [&](int32_t row) {
            if (!group_text(ctx, row, text, sizeof text)) return true;
            if (row_type(ctx, row) == kTypeText && starts_with(text, kNameTag)) {
                defined.push_back(read_name_definition(text + std::strlen(kNameTag)));
            } else if (row_type(ctx, row) == kTypeKanjiText && starts_with(text, kWideNameTag)) {
                char narrow[kTextBuffer];
                to_half_width(text + std::strlen(kWideNameTag), narrow, sizeof narrow);
                defined.push_back(read_name_definition(narrow));
            }
            return true;
        });
        walk_head_rows(ctx, start_row, [&](int32_t row) {
            if (!group_text(ctx, row, text, sizeof text) || colors[row_group(ctx, row)] != -1) return true;
            const auto it =
                std::find_if(defined.begin(), defined.end(), [&](const NamedColor& d) { return d.name == text; });
            if (it != defined.end()) colors[row_group(ctx, row)] = it->color;
            return true;
        });
    }
    if (group != -1)
        for (int32_t g = 0; g < kPaintGroups; ++g)
            if (g != group) colors[g] = -1;
    return colors;
}

int paint_group_tags(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t group) {
    ctx->stroke_count = 0;
    const std::vector<int32_t> colors = group_tag_colors(ctx, start_row, group);
    std::map<int32_t, std::vector<int32_t>> outlines;  // ascending group number
    walk_head_rows(ctx, start_row, [&](int32_t row) {
        const int32_t type = row_type(ctx, row), layer = row_layer(ctx, row), g = row_group(ctx, row);
        if ((type == kTypeLine || type == kTypeArc) && g < kPaintGroups && colors[g] != -1 &&
            ctx->disp_layer[layer] != 0 && (ctx->disp_layer_number == -1 || ctx->disp_layer_number == layer))
            outlines[g].push_back(row);
        return true;
    });
    for (const auto& [g, rows] : outlines) paint_in_colour(ctx, dc, rows, colors[g]);
    return 1;
}

}  // namespace kz::drawing2d
