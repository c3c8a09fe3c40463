// Areas painted from outlines: closed outlines of layers and groups filled, groups coloured by their tag texts,
// marker circles flooded; and the link lines between texts and the lines they label.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

constexpr int32_t kPaintGroups = 33000;

// Texts that colour their group: "&RUV.RGB&" and "&RUV.NAME&" in single-byte texts, the full-width
// "&BOU.NAME&" in double-byte ones.
inline constexpr char kWideNameTag[] =
    "\x81\x95\x82\x61\x82\x6e\x82\x74\x81\x44\x82\x6d\x82\x60\x82\x6c\x82\x64\x81\x95";
inline bool is_group_tag_text(int32_t type, const char* text) {
    auto starts = [text](const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; };
    return type == kTypeText ? starts("&RUV.NAME&") || starts("&RUV.RGB&")
                             : type == kTypeKanjiText && starts(kWideNameTag);
}

// Every displayed layer, or only `disp_layer_number` when it is set. 1 when something was painted.
int paint_displayed_layers(drawing_context* ctx, device_context* dc, int32_t start_row);
// One layer over the rows the layer-order display listed for it.
int paint_layers_ordered(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t layer, int32_t colour);
// The groups coloured by their tag texts (group -1: all groups).
int paint_group_tags(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t group);
// 1, or 0 when Escape stopped it.
int flood_markers(drawing_context* ctx, device_context* dc, int32_t start_row);
// Group colours from the tag texts (kPaintGroups entries, -1 = not painted); group -1 keeps every group's colour.
std::vector<int32_t> group_tag_colors(drawing_context* ctx, int32_t start_row, int32_t group);
// Three numbers of a text, each read as an integer and clamped to 0..255; the colour R | G << 8 | B << 16.
int32_t parse_rgb_text(const char* text, int* r, int* g, int* b);

// 1, or 0 when Escape or the stroke limit stopped it.
int xlum_draw_link_line(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);

}  // namespace kz::drawing2d
