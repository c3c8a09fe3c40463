// Geometric edits of the records from a first row to the end row (affine transform with a dry run, scale, move,
// rotate, stretch), and the two row operations edits rely on: packing out empty rows and moving a block of rows.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Maps every record through x' = ox + offx + (x - ox) sx cos a + (y - oy) sy sin a,
// y' = oy + offy - (x - ox) sx sin a + (y - oy) sy cos a. Mode 1 applies; any other mode only checks and gives 0
// at the first record whose result would not fit, changing nothing.
int xlum_henkei(drawing_context* ctx, int32_t first, double ox, double oy, double sx, double sy, double angle,
                double offx, double offy, int mode);
int xlum_gbig(drawing_context* ctx, int32_t first, double ox, double oy, double sx, double sy);
int xlum_gdxdy(drawing_context* ctx, int32_t first, double dx, double dy);
int xlum_grota(drawing_context* ctx, int32_t first, double ox, double oy, double angle);
// Moves the line ends inside the rectangle (either corner order, bounds included) and every arc centre, text
// origin and type-15 origin by dx, dy.
int xlum_gpint(drawing_context* ctx, int32_t first, double dx, double dy, double x1, double y1, double x2, double y2);

// Removes empty rows: up to the end row when last < first, else within first .. last (zeroing the freed rows).
// Returns the followed row's new index (follow < 0: none), else the new end row (or the range's last kept row);
// -1 for a first row at or beyond the capacity.
int32_t xlum_gpack(drawing_context* ctx, int32_t first, int32_t last, int32_t follow);
// Moves rows first .. last to start at dest, growing the rows when the block lands near the capacity; 0 when
// refused.
int xlum_gntrn(drawing_context* ctx, int32_t first, int32_t last, int32_t dest);
// angle + increment in 0 up to, not including, 360.
double add_degrees_mod360(double angle, double increment);

}  // namespace kz::drawing2d
