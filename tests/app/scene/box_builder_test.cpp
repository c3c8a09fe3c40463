// The box builder on its own; the volume of the solid its faces close is measured from the faces alone.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "app/scene/xleaf.h"
#include "bridged_view.h"
#include "shape_oracles.h"
#include "support/all_near.h"

namespace kz::scene {
namespace {

using test::is_closed;
using test::Point;
using test::signed_volume;

std::vector<int> face_codes(const XLeaves& shape) {
    std::vector<int> codes;
    for (const XLeaf* f : shape.faces()) codes.push_back(f->face_code);
    return codes;
}

XLeaves* built_box(test::BridgedView& view, const char* line) {
    XTrunk* root = view.trunks.empty() ? view.add_trunk("root") : view.trunks[0];
    return view.add_shape(root, line);
}

TEST(BoxBuilder, SizesDecideWhichFacesRemain) {
    const struct {
        const char* line;
        std::vector<int> codes;
    } cases[] = {
        {"box,w=100,d=80,h=60", {1000, 2000, 5000, 4000, 6000, 3000}},
        {"box,w=100,d=80,h=0", {1000, 2000}},
        {"box,w=0,d=80,h=60", {4000, 3000}},
        {"box,w=100,d=0,h=60", {5000, 6000}},
        {"box,w=0,d=0,h=60", {}},
        {"box,w=100,d=80,h=60,paste=A;5;CLEAR", {1000, 2000, 5000, 4000, 6000}},
        {"box,w=100,d=80,h=60,paste=A;3000;clear|C;1;;0;0;255", {1000, 2000, 5000, 4000, 6000}},
        // A top that collapses to a line is left out; the other faces stay.
        {"box,w=100,d=80,h=60,wtop=0.0000001,dtop=0.0000001", {1000, 5000, 4000, 6000, 3000}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.line);
        test::BridgedView view(false);
        EXPECT_EQ(face_codes(*built_box(view, tc.line)), tc.codes);
    }
}

TEST(BoxBuilder, EmptyBoxLineGivesTheDefaultBoxStoredBack) {
    test::BridgedView view(false);
    XLeaves* box = built_box(view, "box");
    const COBJECTA& r = *box->record;
    EXPECT_EQ(std::tuple(r.w, r.d, r.h, r.packed_color, r.red), std::tuple(100, 100, 100, 0x404040u, 0x40));
    EXPECT_DOUBLE_EQ(r.trans, 0.7);
    ASSERT_EQ(box->face_count(), 6);
    EXPECT_EQ(box->faces()[0]->color, 0x404040u);
    const Point first = test::face_points(*box->faces()[0])[3];  // bottom 3, 2, 1, 0: corner 0 last
    for (double c : first) EXPECT_NEAR(c, 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(box->volume, 1e6);
}

TEST(BoxBuilder, AnchorCodeShiftsCornerZero) {
    const struct {
        const char* div;
        Point corner0;
    } cases[] = {{"", {0, 0, 0}},   {"0", {0, 0, 0}},        {"111", {-50, -40, -30}}, {"1.6", {0, 0, -60}},
                 {"-1", {0, 0, 0}}, {"220", {-100, -80, 0}}, {"3", {0, 0, -90}}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.div);
        test::BridgedView view(false);
        const std::string line = std::string("box,w=100,d=80,h=60,div=") + tc.div;
        XLeaves* box = built_box(view, line.c_str());
        ASSERT_EQ(box->face_count(), 6);
        const Point got = test::face_points(*box->faces()[0])[3];
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], tc.corner0[k], 1e-9);
    }
}

TEST(BoxBuilder, FacesCloseASolidOfThePrismoidVolume) {
    const struct {
        const char* line;
        double w, d, h, wt, dt;
    } cases[] = {
        {"box,w=100,d=80,h=60", 100, 80, 60, 100, 80},
        {"box,w=100,d=80,h=60,wtop=20,dtop=50", 100, 80, 60, 20, 50},
        {"box,w=100,d=80,h=60,wtop=20,dtop=50,domebtm=35,dometop=-12,div=111", 100, 80, 60, 20, 50},
        {"box,w=30,d=200,h=10,wtop=-5,dtop=400,domebtm=-70", 30, 200, 10, 30, 400},
        {"box,w=100,d=80,h=60,dispmode=1", 100, 80, 60, 100, 80},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.line);
        test::BridgedView view(false);
        XLeaves* box = built_box(view, tc.line);
        ASSERT_EQ(box->face_count(), 6);
        EXPECT_TRUE(is_closed(*box));
        // Prismoid: h / 6 (bottom + 4 middle + top).
        const double middle = (tc.w + tc.wt) / 2 * (tc.d + tc.dt) / 2;
        const double expected = tc.h / 6 * (tc.w * tc.d + 4 * middle + tc.wt * tc.dt);
        EXPECT_NEAR(signed_volume(*box), expected, 1e-6 * expected);
        EXPECT_NEAR(box->volume, expected, 1e-6 * expected);
        EXPECT_DOUBLE_EQ(box->plan_area, tc.w * tc.d);
        double surface = 0.0;
        for (const XLeaf* f : box->faces()) surface += f->area;
        EXPECT_GT(surface, 0.0);
    }
}

TEST(BoxBuilder, OddDisplayModeGivesSmoothCornerNormals) {
    for (const char* dispmode : {"0", "1", "3.2", "2", "-1"}) {
        SCOPED_TRACE(dispmode);
        test::BridgedView view(false);
        const std::string line = std::string("box,w=100,d=80,h=60,dispmode=") + dispmode;
        XLeaves* box = built_box(view, line.c_str());
        const XLeaf& bottom = *box->faces()[0];
        const bool smooth = std::string(dispmode) == "1" || std::string(dispmode) == "3.2";
        // In the face's own plane a flat normal is (0, 0, 1); a corner normal leans out of it.
        const double* n = bottom.local_normal(0);
        EXPECT_NEAR(n[2], smooth ? 1.0 / std::sqrt(3.0) : 1.0, 1e-9);
        EXPECT_EQ(box->face_count(), 6);
    }
}

TEST(BoxBuilder, ColourPasteRecoloursOnlyItsFaces) {
    test::BridgedView view(false);
    XLeaves* box = built_box(view, "box,w=10,d=10,h=10,red=10,green=20,blue=30,paste=C;1.3;;;;0;255;0");
    ASSERT_EQ(box->face_count(), 6);
    for (const XLeaf* f : box->faces()) {
        SCOPED_TRACE(f->face_code);
        const bool pasted = f->face_code == 2000 || f->face_code == 4000;
        EXPECT_EQ(f->color, pasted ? 0x00FF00u : 0x1E140Au);
    }
}

TEST(BoxBuilder, FacesKnowTheirWorldPlaneAndDepth) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    XTrunk* part = view.add_trunk("part");
    part->base_record()->dz = 50;
    XLeaves* box = view.add_shape(part, "box,w=100,d=100,h=100");
    root->RecalcMatrices(1);
    XLeaf& top = *box->faces()[1];
    ASSERT_EQ(top.face_code, 2000);
    double point[3], normal[3];
    ASSERT_EQ(top.GetWorldPlane(point, normal), 1);
    EXPECT_TRUE(kz::test::all_near({point[2], normal[2]}, {150.0, 1.0}, 1e-9));
    const double eye[3] = {0, 0, 500}, target[3] = {100, 100, 0};
    double nearest = 0.0;
    EXPECT_NEAR(top.ComputeDepth(eye, target, &nearest), std::sqrt(100.0 * 100 * 2 + 350.0 * 350), 1e-9);
    EXPECT_NEAR(nearest, 150.0, 1e-9);
    EXPECT_EQ(top.depth, top.ComputeDepth(eye, nullptr));
    // Without an eye record the view cannot project the face.
    view.eye = nullptr;
    EXPECT_EQ(top.HitTestScreenPoint(0), 0);
    EXPECT_EQ(top.Draw(nullptr), 0);
}

}  // namespace
}  // namespace kz::scene
