// The exported forwarders of the named variables, the layer tables, the font names, the free numbers, the
// commands and the copy of settings between drawings.
#include <cstring>

#include "drawing2d/active_attributes.h"
#include "drawing2d/named_variables.h"
#include "drawing2d/zolt_exports.h"
#include "drawing2d/zolt_forward.h"

namespace kz::drawing2d {
namespace {
using Hint = LockedDrawing::Hint;

int name_access(drawing_handle h, int32_t layer, char* buffer, int set, std::size_t capacity,
                int (*store)(drawing_context*, int32_t, const char*),
                const char* (*read)(const drawing_context*, int32_t)) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        if (layer < 0 || layer >= kLayers || !buffer) return 0;
        if (set != 0) {
            store(c, layer, buffer);
        } else if (capacity > 0) {
            std::size_t n = std::strlen(read(c, layer));
            if (n >= capacity) n = capacity - 1;
            std::memcpy(buffer, read(c, layer), n);
            buffer[n] = 0;
        }
        return static_cast<int>(std::strlen(buffer));
    });
}
}  // namespace

int zolt_get_array(drawing_handle h, const char* name, double* buffer, int64_t first, int64_t last) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        xlum_get_array(c, name, buffer, first, last);
        return 1;
    });
}

int zolt_set_array(drawing_handle h, const char* name, const double* buffer, int64_t first, int64_t last) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_set_array(c, name, buffer, first, last); });
}

int zolt_init_array(drawing_handle h, const char* name, double value, int64_t first, int64_t last) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_init_array(c, name, value, first, last); });
}

double zolt_get_val(drawing_handle h, const char* name, int64_t index) {
    return forward(h, 0.0, Hint::keep, [&](drawing_context* c) { return xlum_get_val(c, name, index); });
}

int zolt_set_val(drawing_handle h, const char* name, int64_t index, double value) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_set_val(c, name, index, value); });
}

int zolt_get_string(drawing_handle h, const char* key, int32_t slot, char* buffer) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_get_string(c, key, slot, buffer); });
}

int zolt_set_string(drawing_handle h, const char* key, int32_t slot, const char* string) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_set_string(c, key, slot, string); });
}

int zolt_get_font(drawing_handle h, int32_t row, char* buffer) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_get_font(c, row, buffer); });
}

int zolt_set_text_font(drawing_handle h, int32_t slot, const char* name) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_set_text_font(c, slot, name); });
}

int zolt_get_text_font(drawing_handle h, int32_t slot, char* buffer) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_get_text_font(c, slot, buffer); });
}

int zolt_layer_name(drawing_handle h, int32_t layer, char* buffer, int set, std::size_t capacity) {
    return name_access(h, layer, buffer, set, capacity, xlum_set_layer_name, layer_name_of);
}

int zolt_layer_group(drawing_handle h, int32_t layer, char* buffer, int set, std::size_t capacity) {
    return name_access(h, layer, buffer, set, capacity, xlum_set_layer_group, layer_group_of);
}

int zolt_set_layer(drawing_handle h, int32_t first, int32_t last, int32_t value) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_set_layer(c, first, last, value); });
}

int zolt_make_layer_exist(drawing_handle h, int32_t row) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_make_layer_exist(c, row); });
}

int32_t zolt_get_aki(drawing_handle h, const char* key, int32_t start) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_get_aki(c, key, start); });
}

double zolt_function(drawing_handle h, const char* command, double value) {
    return forward(h, -1.0, Hint::keep, [&](drawing_context* c) { return xlum_function(c, command, value, nullptr); });
}

int zolt_equ(drawing_handle h, drawing_handle source) {
    return forward_pair(h, source, 0, [](drawing_context* dst, drawing_context* src) { return xlum_equ(dst, src); });
}

}  // namespace kz::drawing2d
