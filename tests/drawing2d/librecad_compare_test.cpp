// Our display of DXF files against LibreCAD's: three files of lines, arcs, circles and polylines drawn at the same
// scale as LibreCAD's stored pictures of them must put at least 95% of our stroked pixels within 2 pixels of
// LibreCAD's strokes, and at least 95% of LibreCAD's within 2 pixels of ours. With KZ_LIBRECAD_LIST naming a list of
// files (scripts/librecad_compare.sh) every listed file is drawn by both and its figures printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device_test_support.h"
#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/search.h"
#include "drawing_test_support.h"
#include "librecad_compare.h"
#include "platform/file_system.h"
#include "support/test_paths.h"

namespace kz::drawing2d {
namespace {

using test::Device;
using test::Drawing;
using test::GreyImage;

constexpr int kDpi = 100;  // LibreCAD's pictures are rasterised at this resolution

// Our display of the file at `scale` paper millimetres per file unit on a device of the given size; the
// file's longer side in its own units goes to file_extent. A zero size only measures.
GreyImage our_picture(const std::string& dxf, double scale, int width, int height, double* file_extent) {
    Drawing d;
    drawing_context* ctx = d.peek();
    if (xlum_read(ctx, kz::platform::from_native_path(dxf).c_str(), 0) != 1) return {};
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (xlum_gmxmn(ctx, 0, &x0, &y0, &x1, &y1) != 1) return {};
    // One drawing unit is plot_scale units of the file.
    *file_extent = std::max(x1 - x0, y1 - y0) * ctx->plot_scale;
    if (width <= 0 || height <= 0) return {};
    const double pixels_per_unit = scale * kDpi / 25.4 * ctx->plot_scale;
    // The display's own screen: a black background under the colour table's pens (colour 7 draws white).
    Device device(width, height);
    device.clear(0);
    // Centred on the device as LibreCAD centres it on the sheet.
    const double left = (x0 + x1 - width / pixels_per_unit) / 2, top = (y0 + y1 - height / pixels_per_unit) / 2;
    xlum_make_window_d(ctx, 0, left, top, left + width / pixels_per_unit, top + height / pixels_per_unit, 0, 0, width,
                       height);
    xlum_gdisp(ctx, device.dc(), 0, 13, 0);
    GreyImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels[static_cast<std::size_t>(y) * width + x] = device.at(x, y) == 0 ? 255 : 0;
    return image;
}

test::StrokeMatch compare(const std::string& dxf, double scale, const GreyImage& theirs, const std::string& stem) {
    double extent = 0;
    const GreyImage ours = our_picture(dxf, scale, theirs.width, theirs.height, &extent);
    const test::StrokeMatch m = test::match_strokes(ours, theirs);
    // Only pictures worth a look are kept: an overlay takes megabytes.
    if (m.ours_near_theirs < 0.99 || m.theirs_near_ours < 0.99)
        test::write_overlay(kz::test::output_file(stem + "_overlay.ppm"), ours, theirs, m);
    return m;
}

// LibreCAD's pictures were made by scripts/librecad_picture.sh at these scales (see ORIGIN.txt).
TEST(LibreCadComparison, ThreeFilesMatchLibreCad) {
    const struct {
        const char* name;
        double scale;
    } files[] = {{"aw15", 7.2}, {"pe21", 2}, {"Transform-output", 6.4}};
    for (const auto& f : files) {
        const std::string stem = std::string("drawing2d/librecad/") + f.name;
        const GreyImage theirs = test::read_png(kz::test::data_file(stem + ".png"));
        ASSERT_GT(theirs.width, 0) << f.name;
        const test::StrokeMatch m =
            compare(kz::test::data_file(stem + ".dxf"), f.scale, theirs, std::string("librecad_") + f.name);
        EXPECT_GT(m.ours, 1000) << f.name;
        EXPECT_GE(m.ours_near_theirs, 0.95)
            << f.name << ": overlay in " << kz::test::output_dir() << " (red near theirs, blue not)";
        EXPECT_GE(m.theirs_near_ours, 0.95) << f.name;
    }
}

// The wider run: every file of the list drawn at the scale that makes its longer side 180 mm on paper.
TEST(LibreCadComparison, ListedFiles) {
    const char* list = std::getenv("KZ_LIBRECAD_LIST");
    if (!list) GTEST_SKIP() << "KZ_LIBRECAD_LIST names no list (scripts/librecad_compare.sh)";
    std::filesystem::create_directories(kz::test::output_file("librecad"));
    std::ifstream in(list);
    std::string path;
    for (int file = 0; std::getline(in, path); ++file) {
        const std::string stem = "librecad/" + std::to_string(file);
        double extent = 0;
        our_picture(path, 0, 0, 0, &extent);
        const GreyImage theirs =
            extent > 0 ? test::librecad_picture(path, 180 / extent, kz::test::output_file(stem + "_librecad.png"))
                       : GreyImage{};
        const test::StrokeMatch m = theirs.width > 0 ? compare(path, 180 / extent, theirs, stem) : test::StrokeMatch{};
        if (m.ours == 0 || m.theirs == 0)
            std::printf("librecad %4d not drawn by %s %s\n", file, m.theirs == 0 ? "LibreCAD" : "us", path.c_str());
        else
            std::printf("librecad %4d ours near theirs %6.2f %% theirs near ours %6.2f %% shift %3d %3d %s\n", file,
                        100 * m.ours_near_theirs, 100 * m.theirs_near_ours, m.dx, m.dy, path.c_str());
    }
}

}  // namespace
}  // namespace kz::drawing2d
