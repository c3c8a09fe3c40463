// Vector text in the built-in stroke font: a Shift_JIS text laid out as line segments (pairs of 3D points), and
// the "[lumfont=" paste text read into such a drawing with its colour, line width and transparency.
#pragma once
#include <vector>

namespace kz::foundation {

// One stroke drawing the way a polyline of the shape being built takes it.
struct VectorTextLines {
    std::vector<double> points;  // x, y, z per point; each two points are one segment
    int color = 0xFFFFFF;        // COLORREF
    int line_width = 1;
    double ambient_factor = 1.0;
    double transparency = 0.0;
};

// Appends the segments of the text to points: r is the glyph size within its cell, (x0, y0, z) the first
// character's cell corner, h the character height (0 or less: glyphs flipped for a y-downward system, |h| used),
// w the full-width advance (half of it for single-byte characters), a the extra advance per character (times r),
// d the step to the next line ("__" in the text starts one). Every point is placed by rotating about Y, X and Z
// by the angle vector (degrees) and then moving by the move vector (either may be null for none). With mode 1
// and leader points (start x, y, z, end x, y, z) one more segment, the leader line, follows unplaced.
void layout_vector_text(std::vector<double>& points, const char* text, double r, double x0, double y0, double z,
                        double h, double w, double a, double d, const double* move, const double* angles, int mode,
                        const double* leader);

// Reads a "[lumfont=" paste text (fields after the 9-byte tag, separated by ':', TAB or ',') and lays its text out into
// out. 0 when it drew; 1 when there was nothing to draw (no text, or a character height or advance below 1).
// transparency is the object's, used when the paste text gives none.
int make_vector_text(const char* paste, double transparency, VectorTextLines* out);

}  // namespace kz::foundation
