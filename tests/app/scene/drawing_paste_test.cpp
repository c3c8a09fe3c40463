// Drawings pasted on faces, headless end to end: a box's DXF paste becomes the bridge's polylines, drawn in the
// drawing's pen colour; without a bridge the face keeps the drawing's lines and texts itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>

#include "app/foundation/stroke_font.h"
#include "app/scene/xleaf.h"
#include "bridged_view.h"
#include "support/all_near.h"
#include "support/test_paths.h"

namespace kz::scene {
namespace {

// Red (DXF colour 1) lines 0.5 apart over the face's square `side` wide, and one text.
std::string hatch_dxf(double side) {
    std::string out = "0\nSECTION\n2\nENTITIES\n";
    char line[200];
    for (double y = 0; y <= side; y += 0.5) {
        std::snprintf(line, sizeof line, "0\nLINE\n8\n1\n62\n1\n10\n0\n20\n%g\n11\n%g\n21\n%g\n", y, side / 2, y);
        out += line;
    }
    out += "0\nTEXT\n8\n1\n62\n1\n1\nAB\n10\n10\n20\n10\n40\n5\n0\nENDSEC\n0\nEOF\n";
    return out;
}

TEST(DrawingPaste, ADxfOnAFaceRendersItsLines) {
    ASSERT_TRUE(std::ofstream(kz::test::output_file("paste_hatch.dxf"), std::ios::binary) << hatch_dxf(100));
    kz::foundation::load_font_resource(nullptr);
    const char* line = "box,w=100,d=100,h=100,color=#0000FF,paste=A;2;paste_hatch.dxf;1;1";
    test::BridgedView view;
    view.data_folder = kz::test::output_dir();
    XLeaves* shape = view.add_shape(view.add_trunk("root"), line);
    ASSERT_NE(shape->model, nullptr);
    view.look({50, -500, 50}, {50, 50, 50});
    const kz::test::Frame frame = view.render();
    // The hatch covers the left half of the front face.
    const struct {
        OfuVector3 world;
        kz::test::Rgb want;
    } probes[] = {{{25, 0, 50}, {255, 0, 0}}, {{75, 0, 50}, {0, 0, 255}}, {{150, 0, 50}, {0, 0, 0}}};
    for (const auto& p : probes) {
        double fx = 0, fy = 0;
        kz::test::project(view.camera(), test::BridgedView::kSize, test::BridgedView::kSize, p.world, fx, fy);
        EXPECT_TRUE(kz::test::pixel_near(frame, static_cast<int>(fx), static_cast<int>(fy), p.want, 3, "drawing_paste"))
            << p.world.x;
    }

    // Without a bridge the face keeps the lines itself, in drawing units over the drawing's scale.
    test::BridgedView plain(false);
    plain.data_folder = kz::test::output_dir();
    XLeaves* kept = plain.add_shape(plain.add_trunk("root"), line);
    ASSERT_GE(kept->face_count(), 3);
    const std::vector<PastedLine>& lines = kept->faces()[2]->lines;
    ASSERT_GT(lines.size(), 201u);  // the hatch and the strokes of the text
    EXPECT_TRUE(kz::test::all_near({lines[1].start[1], lines[1].end[0]}, {0.5, 50}, 1e-9));
    EXPECT_EQ(std::tuple(lines[1].start[2], lines[1].color), std::tuple(10, 0x0000FF));
}

}  // namespace
}  // namespace kz::scene
