// Moving, scaling, rotating, stretching and the general affine transform of records in place. Points saturate
// through the coordinate rounding; the transform's dry run is how a caller learns beforehand that it would not fit.
#include <algorithm>
#include <cmath>

#include "drawing2d/plane_geometry.h"
#include "drawing2d/record_display.h"
#include "drawing2d/record_walk.h"
#include "drawing2d/row_store.h"
#include "drawing2d/text_corners.h"
#include "drawing2d/text_utils.h"
#include "drawing2d/transforms.h"

namespace kz::drawing2d {
namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kInt32Limit = 2147483647.0;

struct Point {
    double x, y;
};

bool second_row_in_columns(const drawing_context* ctx, int32_t row) { return row + 1 < ctx->mat; }

// The point in columns x_col, x_col + 1 of a row, mapped and stored back.
template <class F>
void map_cells(drawing_context* ctx, int32_t row, int x_col, F map, int32_t (*store)(double)) {
    int32_t* const* cols = columns(ctx);
    Point p = map(Point{static_cast<double>(cols[x_col][row]), static_cast<double>(cols[x_col + 1][row])});
    cols[x_col][row] = store(p.x);
    cols[x_col + 1][row] = store(p.y);
}

template <class F>
void map_line(drawing_context* ctx, int32_t row, F map, int32_t (*store)(double)) {
    map_cells(ctx, row, 3, map, store);
    map_cells(ctx, row, 5, map, store);
}

template <class F>
void map_arc_centre(drawing_context* ctx, int32_t row, F map) {
    Point c = map(Point{arc_centre_x(ctx, row), arc_centre_y(ctx, row)});
    store_arc_centre(ctx, row, c.x, c.y);
}

// Arc angles with equal results made a full circle, stored in millionths of a degree.
void store_arc_angles(drawing_context* ctx, int32_t row, double start, double end) {
    if (start == end) {
        start = 0;
        end = 360;
    }
    ctx->c6[row + 1] = angle_to_millionths(start);
    ctx->c7[row + 1] = angle_to_millionths(end);
}

int32_t stored_radius(double r) { return truncate_to_int32(r + 0.5); }
int32_t scaled(int32_t v, double k) { return round_to_int32(v * k); }
double degrees_of(int32_t millionths) { return millionths / 1000000.0; }

double corrected_once(double a) {
    if (a < 0) return a + 360;
    if (a > 360) return a - 360;
    return a;
}

// Texts follow a mirroring scale as the display turns them: with the text-mirror setting on, a text is turned so
// that it still reads upright, and its anchor moves to the mirrored side.
void mirror_text(const drawing_context* ctx, double sx, double sy, double* angle, int32_t* alignment) {
    *angle = normalize_degrees(*angle);
    if (ctx->disp_text_angle_sw == 0) return;
    bool nx = sx < 0, ny = sy < 0;
    if (!nx && !ny) return;
    if (nx && ny) {
        *angle = normalize_degrees(*angle + 180);
        return;
    }
    double m = nx ? 90 : 0;
    *angle = normalize_degrees(2 * m - *angle - 180);
    int32_t horizontal = *alignment & 3, vertical = (*alignment >> 2) & 3;
    auto swap02 = [](int32_t code) { return code == 0 ? 2 : code == 2 ? 0 : code; };
    if (*angle > 90 && *angle < 270) {
        *angle = normalize_degrees(*angle + 180);
        vertical = swap02(vertical);
    } else {
        horizontal = swap02(horizontal);
    }
    *alignment = (*alignment & ~15) | (vertical << 2) | horizontal;
}

// Text parameter row: width, height and pitch scaled; angle plus `turn` through the mirror rule.
void change_text_parameters(drawing_context* ctx, int32_t row, double kw, double kh, double turn, double sx,
                            double sy) {
    int32_t p = row + 1;
    ctx->c2[p] = scaled(ctx->c2[p], kw);
    ctx->c3[p] = scaled(ctx->c3[p], kh);
    ctx->c4[p] = scaled(ctx->c4[p], kw);
    double angle = degrees_of(ctx->c5[p]) + turn;
    int32_t alignment = ctx->c7[p] & 15;
    mirror_text(ctx, sx, sy, &angle, &alignment);
    ctx->c5[p] = angle_to_millionths(angle);
    ctx->c7[p] = (ctx->c7[p] & ~15) | alignment;
}

bool is_text(int32_t type) { return type == kTypeText || type == kTypeKanjiText; }

// Runs visit(row, type) over the head rows from `first`; records whose further rows lie beyond the columns are
// left alone.
template <class Visit>
void walk_records(drawing_context* ctx, int32_t first, Visit visit) {
    walk_head_rows(ctx, first, [&](int32_t row) {
        int32_t type = row_type(ctx, row);
        bool two_rows = type == kTypeArc || is_text(type) || type == kTypeMultiRow;
        if (!two_rows || second_row_in_columns(ctx, row)) return visit(row, type);
        return true;
    });
}

// Line ends through line_map; arc centres, text origins and type-15 origins through point_map.
template <class LineMap, class PointMap>
void move_records(drawing_context* ctx, int32_t first, LineMap line_map, PointMap point_map, int32_t (*store)(double)) {
    walk_records(ctx, first, [&](int32_t row, int32_t type) {
        if (type == kTypeLine)
            map_line(ctx, row, line_map, store);
        else if (type == kTypeArc)
            map_arc_centre(ctx, row, point_map);
        else if (is_text(type) || type == kTypeMultiRow)
            map_cells(ctx, row, 3, point_map, store);
        return true;
    });
}

bool outside_int32(double v) { return !(v >= -kInt32Limit && v <= kInt32Limit); }
bool outside_int32(Point p) { return outside_int32(p.x) || outside_int32(p.y); }

// The transform of xlum_henkei as set in the display transform fields.
Point mapped(const drawing_context* ctx, Point p) {
    Point out;
    display_transform_point(ctx, p.x, p.y, &out.x, &out.y);
    return out;
}

// Whether the record at `row` still fits after the transform in the display transform fields.
bool henkei_fits(drawing_context* ctx, int32_t row, int32_t type, double sx, double sy) {
    double k = std::max(std::fabs(sx), std::fabs(sy));
    auto cell_point = [&](int x_col) {
        return mapped(ctx, Point{static_cast<double>(columns(ctx)[x_col][row]),
                                 static_cast<double>(columns(ctx)[x_col + 1][row])});
    };
    switch (type) {
    case kTypeLine: return !outside_int32(cell_point(3)) && !outside_int32(cell_point(5));
    case kTypePointRecord: return !outside_int32(cell_point(3));
    case kTypeArc:
        return !outside_int32(mapped(ctx, Point{arc_centre_x(ctx, row), arc_centre_y(ctx, row)})) &&
               ctx->c6[row] * k + 0.5 < kInt32Limit;
    case kTypeText:
    case kTypeKanjiText: {
        double c[8];
        if (calc_text_corners(ctx, row, c, nullptr))
            for (int i = 0; i < 4; ++i)
                if (outside_int32(mapped(ctx, Point{c[2 * i], c[2 * i + 1]}))) return false;
        int32_t p = row + 1;
        return std::fabs(ctx->c2[p] * sx) < kInt32Limit && std::fabs(ctx->c3[p] * sy) < kInt32Limit &&
               std::fabs(ctx->c4[p] * sx) < kInt32Limit;
    }
    case kTypeMultiRow:
        for (int32_t r : {row, row + 1})
            for (int32_t v : {ctx->c6[r], ctx->c7[r]})
                if (std::fabs(v * k) > kInt32Limit) return false;
        return !outside_int32(cell_point(3));
    default: return true;
    }
}

void henkei_apply(drawing_context* ctx, int32_t row, int32_t type, double sx, double sy, double turn) {
    double k = std::max(std::fabs(sx), std::fabs(sy));
    auto map = [&](Point p) { return mapped(ctx, p); };
    switch (type) {
    case kTypeLine: map_line(ctx, row, map, round_to_int32); break;
    case kTypePointRecord: map_cells(ctx, row, 3, map, round_to_int32); break;
    case kTypeArc: {
        map_arc_centre(ctx, row, map);
        ctx->c6[row] = stored_radius(ctx->c6[row] * k);
        double start = degrees_of(ctx->c6[row + 1]), end = degrees_of(ctx->c7[row + 1]);
        if (sy < 0) {
            double s = mirror_angle(0, end), e = mirror_angle(0, start);
            start = s;
            end = e;
        }
        if (sx < 0) {
            double s = mirror_angle(90, end), e = mirror_angle(90, start);
            start = s;
            end = e;
        }
        store_arc_angles(ctx, row, normalize_degrees(start + turn), normalize_degrees(end + turn));
        break;
    }
    case kTypeText:
    case kTypeKanjiText:
        map_cells(ctx, row, 3, map, round_to_int32);
        change_text_parameters(ctx, row, std::fabs(sx), std::fabs(sy), turn, sx, sy);
        break;
    case kTypeMultiRow:
        map_cells(ctx, row, 3, map, round_to_int32);
        for (int32_t r : {row, row + 1}) {
            ctx->c6[r] = scaled(ctx->c6[r], k);
            ctx->c7[r] = scaled(ctx->c7[r], k);
        }
        ctx->c4[row + 1] = angle_to_millionths(normalize_degrees(degrees_of(ctx->c4[row + 1]) + turn));
        break;
    default: break;
    }
}
}  // namespace

double add_degrees_mod360(double angle, double increment) {
    double a = std::fmod(angle + increment, 360.0);
    if (std::isnan(a)) return 0;
    if (a < 0) a += 360;
    return a >= 360 ? 0 : a;
}

int xlum_henkei(drawing_context* ctx, int32_t first, double ox, double oy, double sx, double sy, double angle,
                double offx, double offy, int mode) {
    double saved[9] = {ctx->disp_origin_x, ctx->disp_origin_y,    ctx->disp_scale_x,
                       ctx->disp_scale_y,  ctx->disp_angle,       ctx->disp_sin,
                       ctx->disp_cos,      ctx->display_offset_x, ctx->display_offset_y};
    ctx->disp_origin_x = ox;
    ctx->disp_origin_y = oy;
    ctx->disp_scale_x = sx;
    ctx->disp_scale_y = sy;
    ctx->disp_angle = angle;
    ctx->disp_sin = std::sin(angle * kPi / 180);
    ctx->disp_cos = std::cos(angle * kPi / 180);
    ctx->display_offset_x = offx;
    ctx->display_offset_y = offy;
    int result = 1;
    walk_records(ctx, first, [&](int32_t row, int32_t type) {
        if (mode == 1) {
            henkei_apply(ctx, row, type, sx, sy, angle);
            return true;
        }
        if (henkei_fits(ctx, row, type, sx, sy)) return true;
        result = 0;
        return false;
    });
    ctx->disp_origin_x = saved[0];
    ctx->disp_origin_y = saved[1];
    ctx->disp_scale_x = saved[2];
    ctx->disp_scale_y = saved[3];
    ctx->disp_angle = saved[4];
    ctx->disp_sin = saved[5];
    ctx->disp_cos = saved[6];
    ctx->display_offset_x = saved[7];
    ctx->display_offset_y = saved[8];
    return result;
}

int xlum_gbig(drawing_context* ctx, int32_t first, double ox, double oy, double sx, double sy) {
    if (sx == 1 && sy == 1) return 1;
    auto map = [&](Point p) { return Point{(p.x - ox) * sx + ox, (p.y - oy) * sy + oy}; };
    double k = std::max(std::fabs(sx), std::fabs(sy));
    walk_records(ctx, first, [&](int32_t row, int32_t type) {
        switch (type) {
        case kTypeLine: map_line(ctx, row, map, round_to_int32); break;
        case kTypeArc: {
            map_arc_centre(ctx, row, map);
            ctx->c6[row] = stored_radius(ctx->c6[row] * k);
            double start = degrees_of(ctx->c6[row + 1]), end = degrees_of(ctx->c7[row + 1]);
            if (sy < 0) {
                double s = -end, e = -start;
                start = s;
                end = e;
            }
            if (sx < 0) {
                double s = 180 - end, e = 180 - start;
                start = s;
                end = e;
            }
            store_arc_angles(ctx, row, corrected_once(start), corrected_once(end));
            break;
        }
        case kTypeText:
        case kTypeKanjiText:
            map_cells(ctx, row, 3, map, round_to_int32);
            change_text_parameters(ctx, row, std::fabs(sx), std::fabs(sy), 0, sx, sy);
            break;
        case kTypeMultiRow:
            map_cells(ctx, row, 3, map, round_to_int32);
            for (int32_t r : {row, row + 1}) {
                ctx->c6[r] = scaled(ctx->c6[r], std::fabs(sx));
                ctx->c7[r] = scaled(ctx->c7[r], std::fabs(sy));
            }
            break;
        default: break;
        }
        return true;
    });
    return 1;
}

int xlum_gdxdy(drawing_context* ctx, int32_t first, double dx, double dy) {
    auto map = [&](Point p) { return Point{p.x + dx, p.y + dy}; };
    move_records(ctx, first, map, map, round_to_int32);
    return 1;
}

int xlum_grota(drawing_context* ctx, int32_t first, double ox, double oy, double angle) {
    double a = add_degrees_mod360(angle, 0);
    if (a == 0) return 1;
    double c = std::cos(a * kPi / 180), s = std::sin(a * kPi / 180);
    auto map = [&](Point p) {
        return Point{(p.x - ox) * c + ox + (p.y - oy) * s, oy - (p.x - ox) * s + (p.y - oy) * c};
    };
    walk_records(ctx, first, [&](int32_t row, int32_t type) {
        if (type == kTypeLine) {
            map_line(ctx, row, map, round_to_int32);
        } else if (type == kTypeArc) {
            map_arc_centre(ctx, row, map);
            store_arc_angles(ctx, row, add_degrees_mod360(degrees_of(ctx->c6[row + 1]), a),
                             add_degrees_mod360(degrees_of(ctx->c7[row + 1]), a));
        } else if (is_text(type)) {
            map_cells(ctx, row, 3, map, round_to_int32);
            ctx->c5[row + 1] = angle_to_millionths(add_degrees_mod360(degrees_of(ctx->c5[row + 1]), a));
        } else if (type == kTypeMultiRow) {
            map_cells(ctx, row, 3, map, round_to_int32);
            ctx->c4[row + 1] = angle_to_millionths(add_degrees_mod360(degrees_of(ctx->c4[row + 1]), a));
        }
        return true;
    });
    return 1;
}

int xlum_gpint(drawing_context* ctx, int32_t first, double dx, double dy, double x1, double y1, double x2, double y2) {
    double xmin = std::min(x1, x2), xmax = std::max(x1, x2), ymin = std::min(y1, y2), ymax = std::max(y1, y2);
    auto move = [&](Point p) { return Point{p.x + dx, p.y + dy}; };
    auto move_inside = [&](Point p) {
        bool inside = p.x >= xmin && p.x <= xmax && p.y >= ymin && p.y <= ymax;
        return inside ? move(p) : p;
    };
    move_records(ctx, first, move_inside, move, truncate_to_int32);
    return 1;
}

}  // namespace kz::drawing2d
