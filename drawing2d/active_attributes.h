// Active attributes of new records with their ring stack, the layer tables (display and lock switches, names,
// layer-group names, the layer-display stack), free numbers, the named commands, the copy of all settings from
// one drawing into another and the font names of the slots.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int xlum_set_active(drawing_context* ctx, int32_t layer, int32_t group, int32_t colour, int32_t style);
// direction 1 pushes (then takes the given values that lie in range), -1 pops; anything else does nothing.
void xlum_push_pop_active(drawing_context* ctx, int direction, int32_t layer, int32_t group, int32_t colour,
                          int32_t style);
// The one-deep backup of the active attributes that an edit writing with a record's own attributes keeps.
void save_active_attributes(drawing_context* ctx);
void restore_active_attributes(drawing_context* ctx);
// The commands "AllLayerOn" / "AllLayerOff" and "AllLockLayer" on the layer tables.
int set_all_layers_displayed(drawing_context* ctx, int32_t value);
int set_all_layers_locked(drawing_context* ctx, double value);

// Display switch of layers first .. last (0 <= first <= last <= 255, else 0); value -1 toggles each.
int xlum_set_layer(drawing_context* ctx, int32_t first, int32_t last, int32_t value);
// A copy of `name` as the layer's name or layer-group name; 0 for a layer outside 0..255.
int xlum_set_layer_name(drawing_context* ctx, int32_t layer, const char* name);
int xlum_set_layer_group(drawing_context* ctx, int32_t layer, const char* name);
// The layer's name or layer-group name ("" when none or the layer lies outside 0..255).
const char* layer_name_of(const drawing_context* ctx, int32_t layer);
const char* layer_group_of(const drawing_context* ctx, int32_t layer);
// Empties every layer name and layer-group name and sets every layer colour and style to -1.
void reset_layer_tables(drawing_context* ctx);
// Recomputes the layer-used flags from the head rows from `row` to the end; 1.
int xlum_make_layer_exist(drawing_context* ctx, int32_t row);

// A free number by key ("layer", "group" or "segment", "link", case ignored) searched from `start`; -1 for an
// unknown key.
int32_t xlum_get_aki(drawing_context* ctx, const char* key, int32_t start);
// The named commands ("PushLayer", "PopLayer", "AllLayerOff", "AllLayerOn", "AllLockLayer", "Delete_Pen",
// "SetFontType", "SetFileName"); -1.0 for an unknown one.
double xlum_function(drawing_context* ctx, const char* command, double value, const char* text);
// Copies the settings of `src` into `dst` (not the records, the row limits, the active attributes or the pens).
int xlum_equ(drawing_context* dst, const drawing_context* src);

// Font names of slots: the name of a text record's slot (its single-byte name for type 5, kanji name for 6).
int xlum_get_font(const drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity = 32);
int xlum_get_text_font(const drawing_context* ctx, int32_t slot, char* buffer, std::size_t capacity = 32);
// Stores `name` as both names of slot 0..15 and resolves the slots again; 0 for another slot.
int xlum_set_text_font(drawing_context* ctx, int32_t slot, const char* name);
// Key "text" or "kanji" names the kanji font name, "ank" the single-byte one.
int xlum_get_string(const drawing_context* ctx, const char* key, int32_t slot, char* buffer, std::size_t capacity = 32);
int xlum_set_string(drawing_context* ctx, const char* key, int32_t slot, const char* string);
// Copies a font name into a 32-byte name field, cut at a character boundary to at most 31 bytes.
void copy_font_name(char (&field)[32], const char* name);

}  // namespace kz::drawing2d
