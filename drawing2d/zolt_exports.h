// Exported drawing functions over a handle: each locks the handle for the call, runs the operation of the same
// name and unlocks; a handle that cannot be locked gives the function's failure value.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drawing2d/drawing_context.h"
#include "drawing2d/lumfont.h"

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

// Files (zolt_file_exports.cpp).
int zolt_read(drawing_handle handle, const char* path, int32_t row);
int zolt_write(drawing_handle handle, const char* path, int32_t row, double mpp_unit);
int zolt_read_layer_file(drawing_handle handle, const char* path, int reset);
int zolt_dimconv_read(drawing_handle handle, const char* path, int32_t row);
int zolt_dimconv_write(drawing_handle handle, const char* path, int32_t row);
int zolt_write_layer_file(drawing_handle handle, const char* path);
int zolt_set_open_file(drawing_handle handle, const char* path, const char* drive, const char* dir, const char* name,
                       const char* ext);
int zolt_get_last_file_name(drawing_handle handle, char* buffer);
int zolt_set_execpath(drawing_handle handle, const char* path);
int zolt_cboard_copy(drawing_handle handle, int32_t row);
int zolt_cboard_paste(drawing_handle handle, int32_t row);

// Settings, layers, fonts and commands (zolt_settings_exports.cpp).
int zolt_get_array(drawing_handle handle, const char* name, double* buffer, int64_t first, int64_t last);
int zolt_set_array(drawing_handle handle, const char* name, const double* buffer, int64_t first, int64_t last);
int zolt_init_array(drawing_handle handle, const char* name, double value, int64_t first, int64_t last);
double zolt_get_val(drawing_handle handle, const char* name, int64_t index);
int zolt_set_val(drawing_handle handle, const char* name, int64_t index, double value);
int zolt_get_string(drawing_handle handle, const char* key, int32_t slot, char* buffer);
int zolt_set_string(drawing_handle handle, const char* key, int32_t slot, const char* string);
int zolt_get_font(drawing_handle handle, int32_t row, char* buffer);
int zolt_set_text_font(drawing_handle handle, int32_t slot, const char* name);
int zolt_get_text_font(drawing_handle handle, int32_t slot, char* buffer);
// set non-zero stores a copy of the buffer as the name; zero copies the name into the buffer (capacity bytes).
int zolt_layer_name(drawing_handle handle, int32_t layer, char* buffer, int set, std::size_t capacity = 1024);
int zolt_layer_group(drawing_handle handle, int32_t layer, char* buffer, int set, std::size_t capacity = 1024);
int zolt_set_layer(drawing_handle handle, int32_t first, int32_t last, int32_t value);
int zolt_make_layer_exist(drawing_handle handle, int32_t row);
int32_t zolt_get_aki(drawing_handle handle, const char* key, int32_t start);
double zolt_function(drawing_handle handle, const char* command, double value);
int zolt_equ(drawing_handle handle, drawing_handle source);

// Device mapping and display (zolt_display_exports.cpp).
int zolt_make_window_d(drawing_handle handle, int32_t align, double x1, double y1, double x2, double y2, double dx1,
                       double dy1, double dx2, double dy2);
int zolt_disp_bscale(drawing_handle handle, device_context* dc, const char* key);
int32_t zolt_fn_mcx(drawing_handle handle, double x);
int32_t zolt_fn_mcy(drawing_handle handle, double y);
double zolt_fn_mcxr(drawing_handle handle, double x);
double zolt_fn_mcyr(drawing_handle handle, double y);
double zolt_fn_mcl(drawing_handle handle, double length);
double zolt_fn_gcx(drawing_handle handle, double dx);
double zolt_fn_gcy(drawing_handle handle, double dy);
int zolt_gdisp(drawing_handle handle, device_context* dc, int32_t row, int32_t rop, int32_t paint_flags);
int zolt_gdisp_one(drawing_handle handle, device_context* dc, int32_t row, int32_t rop);
int zolt_paint_all_layer(drawing_handle handle, device_context* dc, int32_t row, int32_t rop);
int zolt_paint_layer(drawing_handle handle, device_context* dc, int32_t row, int32_t rop, int32_t first_layer,
                     int32_t last_layer, int32_t colour);
int zolt_paint_group(drawing_handle handle, device_context* dc, int32_t row, int32_t rop, int32_t group);
int zolt_gdisp_paint_by_zudat(drawing_handle handle, device_context* dc, int32_t row, int32_t rop);
int zolt_gdisp_paint_by_marker(drawing_handle handle, device_context* dc, int32_t row, int32_t rop);
int zolt_draw_text_origin(drawing_handle handle, device_context* dc, int32_t row, int32_t rop);

// Edits and repair (zolt_edit_exports.cpp).
int zolt_gbig(drawing_handle handle, int32_t first, double ox, double oy, double sx, double sy);
int zolt_gdxdy(drawing_handle handle, int32_t first, double dx, double dy);
int zolt_grota(drawing_handle handle, int32_t first, double ox, double oy, double angle);
int zolt_gpint(drawing_handle handle, int32_t first, double dx, double dy, double x1, double y1, double x2, double y2);
int zolt_gntrn(drawing_handle handle, int32_t first, int32_t last, int32_t dest);
int32_t zolt_gpack(drawing_handle handle, int32_t first, int32_t last, int32_t follow);
int32_t zolt_gbaketu(drawing_handle handle, int32_t first);

// Selection, cuts and record edits (zolt_edit_exports.cpp).
int32_t zolt_gatrn(drawing_handle handle, int32_t first, double x1, double y1, double x2, double y2);
int32_t zolt_gptrn(drawing_handle handle, int32_t first, double x1, double y1, double x2, double y2);
int32_t zolt_gcltrn(drawing_handle handle, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                    double tol2);
int32_t zolt_gsegm(drawing_handle handle, int32_t first, int32_t group);
int32_t zolt_kiritori_by_circle(drawing_handle handle, int32_t first, int32_t mode, double cx, double cy, double r,
                                int32_t outline_mode);
int32_t zolt_kiritori_by_rect(drawing_handle handle, int32_t first, int32_t mode, double xmin, double ymin, double xmax,
                              double ymax, int32_t outline_mode);
int32_t zolt_moji_change(drawing_handle handle, int32_t row, const char* string, int32_t mode);
int32_t zolt_move_primitive(drawing_handle handle, int32_t row, int32_t destination);
int32_t zolt_sort_polyline(drawing_handle handle, int32_t first, int32_t layer, int32_t group, int32_t* first_row,
                           int32_t* end_row);
int zolt_inside_group(drawing_handle handle, double x, double y, int32_t group, int32_t first);
int32_t zolt_delete_delimit_code(drawing_handle handle, int32_t first, int32_t last);

}  // namespace kz::drawing2d
