// Areas painted from outlines: closed outlines of layers and groups filled, groups coloured by their tag texts,
// marker circles flooded; and the link lines between texts and the lines they label.
#pragma once
#include <cstdint>
#include <cstring>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

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
// 1, or 0 when Escape or the stroke limit stopped it.
int xlum_draw_link_line(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);

}  // namespace kz::drawing2d
