// Lookup of the drawing's columns and settings by name, as arrays of a given element type.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Element types of a selection.
enum VariableType : int32_t {
    kVarInt16 = 2,
    kVarInt32 = 4,
    kVarUInt32 = 5,
    kVarDouble = 6,
    kVarByte0 = 7,
    kVarByte1 = 8,
    kVarLow16 = 9,
};

// Selects the named field (case-insensitive) into the context: pointer, element type and element count; 0 for
// an unknown name, which leaves nothing selected.
int select_variable(drawing_context* ctx, const char* name);
// Element `index` of the current selection as a double; 0.0 when nothing is selected or the index lies outside.
double selected_element(const drawing_context* ctx, int64_t index);
// Stores a value into element `index` of the current selection by its element type; nothing outside the field.
void store_selected_element(drawing_context* ctx, int64_t index, double value);

// Typed access by name; indexes outside the field are passed over. 0 for an unknown name.
int xlum_get_array(drawing_context* ctx, const char* name, double* buffer, int64_t first, int64_t last);
int xlum_set_array(drawing_context* ctx, const char* name, const double* buffer, int64_t first, int64_t last);
int xlum_init_array(drawing_context* ctx, const char* name, double value, int64_t first, int64_t last);
double xlum_get_val(drawing_context* ctx, const char* name, int64_t index);
int xlum_set_val(drawing_context* ctx, const char* name, int64_t index, double value);

}  // namespace kz::drawing2d
