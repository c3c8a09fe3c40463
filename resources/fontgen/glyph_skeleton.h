// Centre lines of a rendered glyph: the ink is thinned to one-pixel lines, traced into chains of pixels and
// simplified, so that an outline font can be turned into the strokes of a stroke font.
#pragma once
#include <vector>

namespace fontgen {

struct Point {
    double x = 0;
    double y = 0;
};
using Chain = std::vector<Point>;

// A binary picture, row 0 on top; ink is 1.
struct InkGrid {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> ink;
    unsigned char at(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0 : ink[static_cast<std::size_t>(y) * width + x];
    }
};

// Solid pieces of ink (a filled square or circle, whose inscribed radius reaches `radius` pixels) keep only their
// rim, so that thinning draws their outline instead of shrinking them to a point.
void hollow_solid_ink(InkGrid& grid, int radius);

// Thins the ink in place to lines one pixel wide that keep its connectivity.
void thin_ink(InkGrid& grid);

// The thinned ink as chains of pixel centres (grid coordinates). Chains run between line ends and crossings;
// closed loops come back to their first point; a lone pixel is a chain of one point. Branches that run from a
// line end into a crossing and are shorter than spur_length pixels (the forks thinning leaves at square stroke
// ends) are dropped.
std::vector<Chain> trace_chains(const InkGrid& grid, double spur_length);

// Douglas-Peucker: the fewest points of the chain that stay within tolerance of it; ends are kept.
Chain simplify_chain(const Chain& chain, double tolerance);

}  // namespace fontgen
