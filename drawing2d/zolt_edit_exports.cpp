// The exported forwarders of the record transforms, packing, block moves, the repair, selection, cuts and
// record edits.
#include "drawing2d/cuts.h"
#include "drawing2d/record_edits.h"
#include "drawing2d/repair.h"
#include "drawing2d/selection.h"
#include "drawing2d/transforms.h"
#include "drawing2d/zolt_exports.h"
#include "drawing2d/zolt_forward.h"

namespace kz::drawing2d {
namespace {
using Hint = LockedDrawing::Hint;
}  // namespace

int zolt_gbig(drawing_handle h, int32_t first, double ox, double oy, double sx, double sy) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_gbig(c, first, ox, oy, sx, sy); });
}

int zolt_gdxdy(drawing_handle h, int32_t first, double dx, double dy) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_gdxdy(c, first, dx, dy); });
}

int zolt_grota(drawing_handle h, int32_t first, double ox, double oy, double angle) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_grota(c, first, ox, oy, angle); });
}

int zolt_gpint(drawing_handle h, int32_t first, double dx, double dy, double x1, double y1, double x2, double y2) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_gpint(c, first, dx, dy, x1, y1, x2, y2); });
}

int zolt_gntrn(drawing_handle h, int32_t first, int32_t last, int32_t dest) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_gntrn(c, first, last, dest); });
}

int32_t zolt_gpack(drawing_handle h, int32_t first, int32_t last, int32_t follow) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_gpack(c, first, last, follow); });
}

int32_t zolt_gbaketu(drawing_handle h, int32_t first) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_gbaketu(c, first); });
}

int32_t zolt_gatrn(drawing_handle h, int32_t first, double x1, double y1, double x2, double y2) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_gatrn(c, first, x1, y1, x2, y2); });
}

int32_t zolt_gptrn(drawing_handle h, int32_t first, double x1, double y1, double x2, double y2) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_gptrn(c, first, x1, y1, x2, y2); });
}

int32_t zolt_gcltrn(drawing_handle h, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                    double tol2) {
    return forward(h, -1, Hint::drop,
                   [&](drawing_context* c) { return xlum_gcltrn(c, first, x1, y1, x2, y2, tol1, tol2); });
}

int32_t zolt_gsegm(drawing_handle h, int32_t first, int32_t group) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_gsegm(c, first, group); });
}

int32_t zolt_kiritori_by_circle(drawing_handle h, int32_t first, int32_t mode, double cx, double cy, double r,
                                int32_t outline_mode) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) {
        return xlum_kiritori_by_circle(c, first, mode, cx, cy, r, outline_mode);
    });
}

int32_t zolt_kiritori_by_rect(drawing_handle h, int32_t first, int32_t mode, double xmin, double ymin, double xmax,
                              double ymax, int32_t outline_mode) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) {
        return xlum_kiritori_by_rect(c, first, mode, xmin, ymin, xmax, ymax, outline_mode);
    });
}

int32_t zolt_moji_change(drawing_handle h, int32_t row, const char* string, int32_t mode) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_moji_change(c, row, string, mode); });
}

int32_t zolt_move_primitive(drawing_handle h, int32_t row, int32_t destination) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_move_primitive(c, row, destination); });
}

int32_t zolt_sort_polyline(drawing_handle h, int32_t first, int32_t layer, int32_t group, int32_t* first_row,
                           int32_t* end_row) {
    return forward(h, -1, Hint::drop,
                   [&](drawing_context* c) { return xlum_sort_polyline(c, first, layer, group, first_row, end_row); });
}

int zolt_inside_group(drawing_handle h, double x, double y, int32_t group, int32_t first) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_inside_group(c, x, y, group, first); });
}

int32_t zolt_delete_delimit_code(drawing_handle h, int32_t first, int32_t last) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_delete_delimit_code(c, first, last); });
}

}  // namespace kz::drawing2d
