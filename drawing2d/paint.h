// Areas painted from outlines: closed outlines of layers and groups filled, groups coloured by their tag texts,
// marker circles flooded.
#pragma once
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "drawing2d/drawing_context.h"
#include "drawing2d/outline_chains.h"

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

// The exported paint operations: each prepares the device, clips to the device rectangle, applies the raster rules
// with rop and puts back the pen colour, mode, device scale, paint colour and clip afterwards.
// Every displayed layer, or only `disp_layer_number` when it is set. 1.
int xlum_paint_all_layer(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
// Layers first_layer .. last_layer; colour -1 takes each layer's colour. 1 when painted.
int xlum_paint_layer(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t first_layer,
                     int32_t last_layer, int32_t colour);
// The group-tag paint of one group, or of all of them. 1.
int xlum_paint_group(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop, int32_t group);
int xlum_gdisp_paint_by_zudat(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);
// The marker flood. 1, or 0 when Escape stopped it.
int xlum_gdisp_paint_by_marker(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t rop);

// The layer paint: the selected layers (flags) that have a paint colour, in the paint order; colour 0 or more
// replaces each layer's. 1 when something was painted, 0 when no selected layer has a paint colour or no record
// follows start_row.
int paint_layers(drawing_context* ctx, device_context* dc, int32_t start_row, const int32_t layer_flags[kLayers],
                 int32_t colour);
int paint_layer_range(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t first_layer,
                      int32_t last_layer, int32_t colour);
// Every displayed layer, or only `disp_layer_number` when it is set.
int paint_displayed_layers(drawing_context* ctx, device_context* dc, int32_t start_row);
// One layer over the rows the layer-order display listed for it (the stroke count runs on).
int paint_layers_ordered(drawing_context* ctx, device_context* dc, std::span<const int32_t> rows, int32_t layer,
                         int32_t colour);
// The groups coloured by their tag texts (group -1: all groups). 1.
int paint_group_tags(drawing_context* ctx, device_context* dc, int32_t start_row, int32_t group);
// 1, or 0 when Escape stopped it.
int flood_markers(drawing_context* ctx, device_context* dc, int32_t start_row);

// The outline material of lines and arcs in drawing units, each segment in its record's pen colour: a line as
// stored; an arc as chords, or as one chord from end to end when its circle misses the device.
void gather_outline_segments(const drawing_context* ctx, std::span<const int32_t> rows,
                             std::vector<OutlineSegment>& out);
// Their extent (xmin, ymin, xmax, ymax); 0 when there is none.
int outline_extent(const drawing_context* ctx, std::span<const int32_t> rows, double box[4]);
// Chains the segments into polygons and fills those that fit GDI's limits and meet the device: mode -2 in the
// colour of each polygon's first segment, otherwise with the brush in place.
void paint_polygons(drawing_context* ctx, device_context* dc, const std::vector<OutlineSegment>& segments,
                    int32_t mode);
// The outlines of the rows filled under a null pen and a solid brush of the colour (-2: each in its own colour).
void paint_in_colour(drawing_context* ctx, device_context* dc, std::span<const int32_t> rows, int32_t colour);
// Group colours from the tag texts (kPaintGroups entries, -1 = not painted); group -1 keeps every group's colour.
std::vector<int32_t> group_tag_colors(drawing_context* ctx, int32_t start_row, int32_t group);
// Three numbers of a text, each read as an integer and clamped to 0..255; the colour R | G << 8 | B << 16.
int32_t parse_rgb_text(const char* text, int* r, int* g, int* b);

}  // namespace kz::drawing2d
