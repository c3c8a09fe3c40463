// Selection by gathering: the records that pass the search filter and a test (inside, partly inside or crossing
// a figure, of a group, or all) move behind the data end after a 0xFFFF separator, whose row is returned; the
// block runs from the next row to the next 0xFFFF. Also the searches for lines crossing a segment.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Rectangles may be given with their corners in any order.
int32_t xlum_gatrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2);
int32_t xlum_gptrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2);
int32_t xlum_gcatrn(drawing_context* ctx, int32_t first);
int32_t xlum_gsegm(drawing_context* ctx, int32_t first, int32_t group);
// Records crossing the segment (tol1 lengthens the segment, tol2 the record's lines).
int32_t xlum_gcltrn(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                    double tol2);

// The row of the next line record crossing the segment, -1 at the end row.
int32_t xlum_gscl(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double tol1,
                  double tol2);
// The nearest crossing line on each side of (px, py) along the segment: the first side lies towards (x1, y1).
int xlum_gsncl(drawing_context* ctx, int32_t first, double x1, double y1, double x2, double y2, double px, double py,
               int32_t* first_side, int32_t* second_side, double tol1, double tol2);

// 0 when the record lies wholly inside the box (bounds inclusive), -1 otherwise.
int record_wholly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax);
int arc_wholly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax);
// 0 when a telling point of the record (a line end, an arc point, a text origin) lies inside, -1 otherwise.
int record_partly_inside(drawing_context* ctx, int32_t row, double xmin, double ymin, double xmax, double ymax);
// 1 when the record crosses the segment.
int record_crosses_segment(drawing_context* ctx, int32_t row, double x1, double y1, double x2, double y2, double tol1,
                           double tol2);

// Copies count rows of all columns from source to destination, overlap-safe; destination + count.
int32_t move_rows(drawing_context* ctx, int32_t source, int32_t destination, int32_t count);

}  // namespace kz::drawing2d
