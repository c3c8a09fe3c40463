// Comparison of our display with LibreCAD's rendering of the same DXF file at the same scale: LibreCAD prints the
// file to a PDF (dxf2pdf), pdftoppm turns it into black and white pixels (scripts/librecad_picture.sh), and our
// stroked pixels are registered against its strokes by a search over small translations.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kz::drawing2d::test {

struct GreyImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // rows top-down, 0 black .. 255 white
    bool dark(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] < 128; }
};

// The green channel of a PNG file; empty when it cannot be read.
GreyImage read_png(const std::string& path);
// LibreCAD's picture of the file printed at `scale` (paper millimetres per drawing unit of the file) at 100 dpi;
// empty when LibreCAD is missing or fails.
GreyImage librecad_picture(const std::string& dxf_path, double scale, const std::string& png_path);

struct StrokeMatch {
    double ours_near_theirs = 0;  // share of our dark pixels within 2 pixels of one of theirs
    double theirs_near_ours = 0;  // the same the other way round
    int dx = 0, dy = 0;           // our picture's shift that gives the best sum of both figures
    int ours = 0, theirs = 0;     // dark pixel counts
};
// Both pictures are of one size with the drawing centred; every shift of our picture by up to 8 pixels each way is
// tried and the best one counts. A small translation is all it searches: a picture at another scale, turned,
// mirrored or placed elsewhere stays apart.
StrokeMatch match_strokes(const GreyImage& ours, const GreyImage& theirs);

// Both pictures in one: theirs grey, ours red where it is near theirs and blue where it is not (binary PPM).
void write_overlay(const std::string& path, const GreyImage& ours, const GreyImage& theirs, const StrokeMatch& m);

}  // namespace kz::drawing2d::test
