// The exported forwarders of the record transforms, packing, block moves and the repair.
#include "drawing2d/repair.h"
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

}  // namespace kz::drawing2d
