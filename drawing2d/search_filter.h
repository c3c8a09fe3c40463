// The search filter that every search, pick, extent and gathering consults, and the sorted candidate list of picks.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int search_filter_accepts(const drawing_context* ctx, int32_t row);
int reset_search_filter(drawing_context* ctx);

// One candidate of a pick: 32 bytes, kept in ascending order of distance.
struct search_candidate {
    int32_t kind;
    int32_t row;
    double distance;
    double x;
    double y;
};
static_assert(sizeof(search_candidate) == 32);

int insert_candidate(search_candidate* list, int capacity, int count, int32_t first_word, int32_t second_word,
                     double distance, double x, double y);

// Quadrant number of an angle in 0..360 (0 below 90, 1 below 180, 2 below 270, else 3).
int angle_quadrant(double degrees);
// The axis point that ends quadrant q (mod 4): 90, 180, 270 and 0/360 degrees.
void quadrant_end_point(double cx, double cy, double r, int q, double* x, double* y);
// Start and end quadrants of an arc given in degrees (each taken into 0..360 first), the end's number raised by 4
// when the arc passes 0 degrees; the axis points ending quadrants first .. last - 1 lie on the arc.
void arc_quadrant_span(double start, double end, int* first, int* last);

}  // namespace kz::drawing2d
