// Exported drawing functions over a handle: each locks the handle for the call, runs the operation of the same
// name and unlocks; a handle that cannot be locked gives the function's failure value.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int zolt_new(drawing_handle handle);
int32_t zolt_test(drawing_handle handle, int32_t value);
int32_t zolt_set_active(drawing_handle handle, int32_t layer, int32_t group, int32_t colour, int32_t style);
int32_t zolt_line_set(drawing_handle handle, int32_t row, double x1, double y1, double x2, double y2);
int32_t zolt_en_set(drawing_handle handle, int32_t row, double cx, double cy, double r, double start, double end);
int32_t zolt_moji_set(drawing_handle handle, int32_t row, const char* string, double x, double y, double mode,
                      double width, double height, double pitch, double angle, double slant);
int32_t zolt_yoyaku(drawing_handle handle, int32_t from, int32_t n);
int32_t zolt_delete_primitive(drawing_handle handle, int32_t row);
int32_t zolt_getchar(drawing_handle handle, int32_t row, char* buffer);
int32_t zolt_bridge(drawing_handle handle, int32_t first, int32_t last, drawing_handle destination, int32_t dest);
int zolt_get_text_4point(drawing_handle handle, int32_t row, double* x1, double* y1, double* x2, double* y2, double* x3,
                         double* y3, double* x4, double* y4);

int32_t zolt_search_point(drawing_handle handle, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                          int32_t* rows, double* distances, double* xs, double* ys);
int zolt_search_cross(drawing_handle handle, int32_t first, double x, double y, double r, double* out_x, double* out_y,
                      double* distance, int32_t* row_a, int32_t* row_b);
int32_t zolt_gsearch(drawing_handle handle, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                     int32_t* rows, double* distances);
int zolt_gmxmn(drawing_handle handle, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax);
int32_t zolt_search_data(drawing_handle handle, int32_t first, int32_t type, int32_t layer, int32_t group,
                         int32_t colour, int32_t style);
int32_t zolt_search_keyword(drawing_handle handle, int32_t first, const char* keyword);
int32_t zolt_search_array(drawing_handle handle, const char* name, double value, int32_t first, int32_t last);

}  // namespace kz::drawing2d
