// End to end, headless: box lines read, built, committed through the bridge and drawn, checked at their pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridged_view.h"
#include "support/test_paths.h"

namespace kz::scene {
namespace {

using kz::test::pixel_of;
using kz::test::Rgb;

struct Probe {
    OfuVector3 world;
    Rgb want;
};

struct RenderCase {
    std::string name, line;
    OfuVector3 eye, target;
    std::vector<Probe> probes;
    double part_dx = 0, part_rz = 0;  // the placement of the part that holds the box
};

constexpr Rgb kBlack{0, 0, 0};

TEST(BoxRender, FigureLineAndPartPlacementToPixels) {
    const OfuVector3 front(50, -500, 50), middle(50, 50, 50);
    const std::vector<RenderCase> cases = {
        {"positional",
         "box,0,0,0,0,0,0,0,0,0,0,0,0,100,100,100,,,,,,,200,40,30",
         {-250, -300, 300},
         middle,
         {{{50, 50, 50}, {200, 40, 30}}, {{50, 0, 95}, {200, 40, 30}}, {{-50, 135, 50}, kBlack}}},
        {"keyword",
         "box,w=100,d=100,h=100,red=30,green=180,blue=60",
         {-250, -300, 300},
         middle,
         {{{50, 50, 50}, {30, 180, 60}}, {{150, -35, 50}, kBlack}}},
        // Top 40 x 40 moved 30 right and 30 back: the upper left of a straight box is empty here.
        {"offset top",
         "box,w=100,d=100,h=100,wtop=40,dtop=40,domebtm=30,dometop=30,color=#50A0F0",
         front,
         middle,
         {{{85, 50, 85}, {0x50, 0xA0, 0xF0}}, {{50, 0, 10}, {0x50, 0xA0, 0xF0}}, {{15, 0, 85}, kBlack}}},
        // Anchor 111 centres the box on the shape's origin.
        {"anchor",
         "box,w=100,d=100,h=100,div=111,red=250,green=250,blue=20",
         {0, -500, 0},
         {0, 0, 0},
         {{{-40, 0, -40}, {250, 250, 20}}, {{40, 0, 40}, {250, 250, 20}}, {{70, 0, 70}, kBlack}}},
        // A 4 x 4 image, red on its left half and blue on its right, pasted once across the front.
        {"texture paste",
         "box,w=100,d=100,h=100,color=#FFFFFF,paste=A;2;red_blue.bmp;100;100",
         front,
         middle,
         {{{20, 0, 50}, {255, 0, 0}}, {{80, 0, 50}, {0, 0, 255}}, {{120, 0, 50}, kBlack}}},
        // A part placed away from the origin carries its box with it (x 200..300, y 0..100): the model matrix
        // reaches the modeller.
        {"placed part",
         "box,w=100,d=100,h=100,red=255,green=255,blue=255",
         {250, -500, 50},
         {250, 50, 50},
         {{{250, 0, 50}, {255, 255, 255}}, {{150, 0, 50}, kBlack}},
         300,
         90},
    };
    for (const RenderCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        test::BridgedView view;
        view.data_folder = kz::test::data_file("scene_model");
        XTrunk* root = view.add_trunk("root");
        XTrunk* part = view.add_trunk("part");
        part->base_record()->dx = tc.part_dx;
        part->base_record()->rz = tc.part_rz;
        XLeaves* shape = view.add_shape(part, tc.line.c_str());
        root->RecalcMatrices(1);
        ASSERT_NE(shape->model, nullptr);
        ASSERT_EQ(shape->face_count(), 6);
        view.look(tc.eye, tc.target);
        const kz::test::Frame frame = view.render();
        const _O3duCamera camera = view.camera();
        for (const Probe& p : tc.probes) {
            int x = 0, y = 0;
            pixel_of(camera, p.world, x, y);
            ASSERT_TRUE(x >= 0 && y >= 0 && x < frame.width && y < frame.height) << x << "," << y;
            EXPECT_TRUE(kz::test::pixel_near(frame, x, y, p.want, 3, "box_render_" + tc.name))
                << "world " << p.world.x << "," << p.world.y << "," << p.world.z;
        }
    }
}

}  // namespace
}  // namespace kz::scene
