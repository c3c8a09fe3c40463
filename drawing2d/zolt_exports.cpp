// The exported forwarders of the row store, text outlines and searches. The appending writers and the reads keep
// the free-row hint across calls; every other forwarder drops it.
#include "drawing2d/zolt_exports.h"

#include "drawing2d/active_attributes.h"
#include "drawing2d/row_store.h"
#include "drawing2d/search.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/zolt_forward.h"

namespace kz::drawing2d {
namespace {
using Hint = LockedDrawing::Hint;
}  // namespace

int zolt_new(drawing_handle h) {
    return forward(h, 0, Hint::drop, [](drawing_context* c) { return xlum_new(c); });
}

int32_t zolt_test(drawing_handle h, int32_t value) {
    return forward(h, -1, Hint::keep, [&](drawing_context*) { return value; });
}

int32_t zolt_set_active(drawing_handle h, int32_t layer, int32_t group, int32_t colour, int32_t style) {
    return forward(h, -1, Hint::keep,
                   [&](drawing_context* c) { return xlum_set_active(c, layer, group, colour, style); });
}

int32_t zolt_line_set(drawing_handle h, int32_t row, double x1, double y1, double x2, double y2) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_line_set(c, row, x1, y1, x2, y2); });
}

int32_t zolt_en_set(drawing_handle h, int32_t row, double cx, double cy, double r, double start, double end) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_en_set(c, row, cx, cy, r, start, end); });
}

int32_t zolt_moji_set(drawing_handle h, int32_t row, const char* string, double x, double y, double mode, double width,
                      double height, double pitch, double angle, double slant) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) {
        return xlum_moji_set(c, row, string, x, y, mode, width, height, pitch, angle, slant);
    });
}

int32_t zolt_yoyaku(drawing_handle h, int32_t from, int32_t n) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return reserve_rows(c, from, n); });
}

int32_t zolt_delete_primitive(drawing_handle h, int32_t row) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_delete_primitive(c, row); });
}

int32_t zolt_getchar(drawing_handle h, int32_t row, char* buffer) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_getchar(c, row, buffer); });
}

int32_t zolt_bridge(drawing_handle h, int32_t first, int32_t last, drawing_handle destination, int32_t dest) {
    return forward_pair(destination, h, -1, [&](drawing_context* dst, drawing_context* src) {
        return xlum_bridge(src, first, last, dst, dest);
    });
}

int zolt_get_text_4point(drawing_handle h, int32_t row, double* x1, double* y1, double* x2, double* y2, double* x3,
                         double* y3, double* x4, double* y4) {
    return forward(h, 0, Hint::keep,
                   [&](drawing_context* c) { return xlum_get_text_4point(c, row, x1, y1, x2, y2, x3, y3, x4, y4); });
}

int32_t zolt_search_point(drawing_handle h, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                          int32_t* rows, double* distances, double* xs, double* ys) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) {
        return xlum_search_point(c, first, x, y, r, n, kinds, rows, distances, xs, ys);
    });
}

int zolt_search_cross(drawing_handle h, int32_t first, double x, double y, double r, double* out_x, double* out_y,
                      double* distance, int32_t* row_a, int32_t* row_b) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        return xlum_search_cross(c, first, x, y, r, out_x, out_y, distance, row_a, row_b);
    });
}

int32_t zolt_gsearch(drawing_handle h, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                     int32_t* rows, double* distances) {
    return forward(h, -1, Hint::keep,
                   [&](drawing_context* c) { return xlum_gsearch(c, first, x, y, r, n, kinds, rows, distances); });
}

int zolt_gmxmn(drawing_handle h, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_gmxmn(c, first, xmin, ymin, xmax, ymax); });
}

int32_t zolt_search_data(drawing_handle h, int32_t first, int32_t type, int32_t layer, int32_t group, int32_t colour,
                         int32_t style) {
    return forward(h, -1, Hint::keep,
                   [&](drawing_context* c) { return xlum_search_data(c, first, type, layer, group, colour, style); });
}

int32_t zolt_search_keyword(drawing_handle h, int32_t first, const char* keyword) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_search_keyword(c, first, keyword); });
}

int32_t zolt_search_array(drawing_handle h, const char* name, double value, int32_t first, int32_t last) {
    return forward(h, -1, Hint::keep,
                   [&](drawing_context* c) { return xlum_search_array(c, name, value, first, last); });
}

}  // namespace kz::drawing2d
