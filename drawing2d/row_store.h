// Writing, reading, copying and removing records in the record rows: room for new rows, lines, arcs, texts,
// raw byte rows, link attributes, deletion and the copy of a row block between drawings.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int32_t reserve_rows(drawing_context* ctx, int32_t from, int32_t n);
inline int32_t xlum_yoyaku(drawing_context* ctx, int32_t from, int32_t n) { return reserve_rows(ctx, from, n); }
int insert_rows(drawing_context* ctx, int32_t row, int32_t end, int32_t n);
int xlum_insert_space(drawing_context* ctx, int32_t row, int32_t end, int32_t n);

int32_t xlum_line_set_d(drawing_context* ctx, device_context* dc, int32_t row, int32_t layer, int32_t group,
                        int32_t colour, int32_t style, double x1, double y1, double x2, double y2, int refuse_zero);
int32_t xlum_line_set(drawing_context* ctx, int32_t row, double x1, double y1, double x2, double y2);
int set_arc_rows(drawing_context* ctx, int32_t row, int32_t layer, int32_t group, int32_t colour, int32_t style,
                 double cx, double cy, double r, double start, double end);
int32_t xlum_en_set(drawing_context* ctx, int32_t row, double cx, double cy, double r, double start, double end);
int32_t set_text_rows(drawing_context* ctx, int32_t row, const char* string, double x, double y, double width,
                      double height, double pitch, double angle, double slant, int32_t alignment, int32_t flags);
// Rows the text record of `string` takes (head, parameter and string rows); 0 when set_text_rows refuses it.
int32_t text_record_rows(const char* string);
int write_text_rows(drawing_context* ctx, int32_t row, int32_t type, int32_t layer, int32_t group, int32_t colour,
                    int32_t style, double x, double y, double width, double height, double pitch, double angle,
                    double slant, int32_t alignment, const char* string, int32_t flags);
int32_t xlum_moji_set(drawing_context* ctx, int32_t row, const char* string, double x, double y, double mode,
                      double width, double height, double pitch, double angle, double slant);
int32_t xlum_set_line(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, double x1, double y1,
                      double x2, double y2, int32_t layer, int32_t group, int32_t colour, int32_t style);
int32_t xlum_set_arc(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, double cx, double cy,
                     double r, double start, double end, int32_t layer, int32_t group, int32_t colour, int32_t style);
int32_t xlum_set_text(drawing_context* ctx, device_context* dc, int32_t draw_mode, int32_t row, const char* string,
                      int32_t kind, double x, double y, double width, double height, double pitch, double angle,
                      double slant, int32_t alignment, int32_t layer, int32_t group, int32_t colour, int32_t style);

int32_t xlum_delete_primitive(drawing_context* ctx, int32_t row);
// The string of a type 5 or 6 text into `buffer` (capacity bytes, zero-terminated); the length.
int xlum_getchar(drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity = 1024);
int xlum_set_char_dat(drawing_context* ctx, int32_t row, const char* bytes);
int xlum_get_char_dat(drawing_context* ctx, int32_t row, char* buffer, std::size_t capacity = 1024);
int xlum_get_link_attribute(const drawing_context* ctx, int32_t row, int32_t* link, int32_t* a, int32_t* b, int32_t* c,
                            int32_t* d, int32_t* e, int32_t* f);
int xlum_set_link_attribute(drawing_context* ctx, int32_t row, int32_t link, int32_t a, int32_t b, int32_t c, int32_t d,
                            int32_t e, int32_t f);
int32_t xlum_bridge(drawing_context* src, int32_t first, int32_t last, drawing_context* dst, int32_t dest);

// Degrees to the stored millionths (truncation of degrees x 1000000 + 0.5), saturated to int32.
int32_t angle_to_millionths(double degrees);
// Stores an arc centre into the row pair as high = coordinate / 2^31 truncated, low = the rest rounded.
void store_arc_centre(drawing_context* ctx, int32_t row, double cx, double cy);
// Centre coordinate of an arc row pair: high x 2^31 + low.
double arc_centre_x(const drawing_context* ctx, int32_t row);
double arc_centre_y(const drawing_context* ctx, int32_t row);

}  // namespace kz::drawing2d
