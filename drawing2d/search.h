// Searches of a drawing: nearest points, the crossing of the two records nearest a point, records within a
// distance (picking), extents of a row range, and plain searches by attribute, keyword and variable value.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int xlum_search_point(drawing_context* ctx, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                      int32_t* rows, double* distances, double* xs, double* ys);
int xlum_search_cross(drawing_context* ctx, int32_t first, double x, double y, double r, double* out_x, double* out_y,
                      double* distance, int32_t* row_a, int32_t* row_b);
int xlum_gsearch(drawing_context* ctx, int32_t first, double x, double y, double r, int n, int32_t* kinds,
                 int32_t* rows, double* distances);
int xlum_cross_point_by_primitive(const drawing_context* ctx, int32_t row_a, int32_t row_b, double* x, double* y,
                                  double* other_x, double* other_y);
int xlum_gmxmn(drawing_context* ctx, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax);
int row_range_extents(drawing_context* ctx, int32_t first, double* xmin, double* ymin, double* xmax, double* ymax,
                      int centre_switch);
// The box of the arc record at `row`; 0 when the row holds no arc.
int arc_extents(const drawing_context* ctx, int32_t row, double* xmin, double* ymin, double* xmax, double* ymax,
                int centre_switch);
int extend_box(double x, double y, double* xmin, double* ymin, double* xmax, double* ymax);
int32_t xlum_search_data(drawing_context* ctx, int32_t first, int32_t type, int32_t layer, int32_t group,
                         int32_t colour, int32_t style);
int32_t xlum_search_keyword(drawing_context* ctx, int32_t first, const char* keyword);
int32_t xlum_search_array(drawing_context* ctx, const char* name, double value, int64_t first, int64_t last);

// The search radius in drawing units: a negative one is a device length, 0 means unlimited.
double search_radius(const drawing_context* ctx, double r);

}  // namespace kz::drawing2d
