// The rules of the round, polygon and revolution builders that decide which faces are made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "app/scene/xleaf.h"
#include "bridged_view.h"
#include "shape_oracles.h"

namespace kz::scene {
namespace {

class EditingView : public test::BridgedView {
public:
    EditingView() : BridgedView(false) {}
    int EditFlag() override { return 1; }
};

std::set<int> codes_of(const XLeaves& shape) {
    std::set<int> codes;
    for (const XLeaf* f : shape.faces()) codes.insert(f->face_code);
    return codes;
}

// Every face as text: code, polygon numbers, colour, area, and its points and normals in its plane and the shape.
std::string faces_as_text(const XLeaves& shape) {
    std::ostringstream out;
    out << std::hexfloat;
    for (const XLeaf* f : shape.faces()) {
        out << f->face_code << ' ' << f->first_polygon << ' ' << f->last_polygon << ' ' << f->color << ' ' << f->area;
        for (int i = 0; i < f->point_count(); ++i)
            out << ' ' << f->local_point(i)[0] << ' ' << f->local_point(i)[1] << ' ' << f->local_normal(i)[0] << ' '
                << f->local_normal(i)[2] << ' ' << test::face_points(*f)[i][2];
        out << '\n';
    }
    return out.str();
}

// The builder's own answer, run again on the record the shape holds.
int rebuild(XLeaves& shape) {
    shape.ClearFaces();
    switch (shape.record->kind) {
    case kKindBall: return shape.MakeBall();
    case kKindHankyuu: return shape.MakeHankyuu();
    case kKindSui: return shape.MakeSui();
    case kKindCylinder: return shape.MakeCylinder();
    case kKindPoly: return shape.MakePoly();
    case kKindHpoly: return shape.MakeHpoly();
    case kKindD3poly: return shape.MakeD3poly();
    case kKindKaiten: return shape.MakeKaiten();
    default: return -1;
    }
}

TEST(ShapeRules, DivisionsSweepsAndSwitchesDecideTheFaces) {
    const struct {
        std::string line;
        int result, faces;
        std::set<int> must, must_not;
    } cases[] = {
        {"ball,w=200", 1, 24 * 12, {5000, 5023}, {1000, 2000, 3000, 4000, 5024}},
        {"ball,w=200,div=500", 1, 144 * 72, {5143}, {5144}},
        {"ball,w=200,div=2", 1, 24 * 12, {}, {}},
        {"ball,w=200,dtop=90;0", 1, 6 * 12 + 2, {3000, 4000, 5005}, {5006, 1000}},
        {"ball,w=200,dtop=360;0;0;120", 1, 24 * 8 + 1, {1000}, {3000}},
        {"ball,w=200,domebtm=-1,dtop=360;0;0;120", 1, 24 * 8, {}, {1000}},
        {"ball,w=200,dtop=90;0,thick=-1", 1, 6 * 12, {6000}, {5000, 3000}},
        {"hankyuu,w=0", 0, 0, {}, {}},
        {"hankyuu,w=200", 1, 24 * 6, {5000}, {1000}},
        {"hankyuu,w=200,div=8.9,thick=10", 1, 2 * 8 * 2 + 8, {5007, 6007, 2500}, {1000}},
        {"sui,w=0,h=100", 0, 0, {}, {}},
        {"sui,w=200,h=100,div=4", 1, 5, {1000, 5003}, {5004}},
        // 1440 steps of a quarter degree; the last step that would end within half a degree of the sweep's end
        // gives way to the end itself.
        {"sui,w=200,h=100,div=3000", 1, 1439, {5000, 6437}, {6438}},
        {"sui,w=200,h=100,domebtm=-1", 1, 24, {}, {1000}},
        {"cylinder,w=200,h=100", 1, 26, {1000, 2000, 5023}, {3000}},
        {"cylinder,w=200,h=100,dometop=-1,domebtm=-1", 1, 24, {}, {1000, 2000}},
        {"cylinder,w=200,h=100,poldat=magari;0;90", 1, 26, {}, {}},
        {"cylinder,w=200,h=100,poldat=abc|MAGARI;500;0;12", 1, 26, {}, {}},
        // Two-sided, as keyword lines are unless their dispmode says otherwise: every bent quad has a back face
        // (the flat end caps do not); one-sided, none.
        {"cylinder,w=200,h=100,poldat=abc|Magari;500;90;12", 1, 24 * 3 * 2 + 2, {5023}, {}},
        {"cylinder,w=200,h=100,dispmode=0,poldat=magari;500;90;12", 1, 24 * 3 + 2, {5023}, {}},
        {"poly,h=50,poldat=0;0;100;0;100;100;0;100", 1, 6, {1000, 2000, 5000, 5003}, {5004}},
        {"poly,h=50,poldat=0;0;100;0;100;100;0;100;0;0", 1, 6, {5003}, {5004}},
        {"poly,h=0,poldat=0;0;100;0;100;100;0;100", 1, 2, {1000, 2000}, {5000}},
        {"poly,h=50,domebtm=-11,poldat=0;0;100;0;100;100;0;100", 1, 1, {2000}, {}},
        {"poly,h=50,domebtm=-11,dometop=-1,poldat=0;0;100;0;100;100;0;100", 0, 0, {}, {}},
        {"hpoly,h=50,dtop=3,poldat=0;0;100;0;100;100", 1, 4, {5000, 5001, 5999, 5998}, {}},
        {"hpoly,h=50,dtop=2,poldat=0;0;100;0;100;100", 1, 2, {5999, 5998}, {5000}},
        {"hpoly,h=50,poldat=0;0;100;0;100;100", 1, 2, {5000, 5001}, {5999}},
        {"hpoly,h=50,poldat=0;0", 1, 0, {}, {}},
        {"d3poly,h=50,poldat=0;0;0;1;1;1", 0, 0, {}, {}},
        {"d3poly,h=50,dometop=1,poldat=0;0;0;100;0;0;100;100;0", 1, 4, {1000, 5000}, {2000}},
        {"kaiten,poldat=0;0;50;0;0;100", 1, 24 * 2, {5000, 5001}, {3000}},
        {"kaiten,div=0.5,poldat=0;0;50;0;0;100", 1, 24 * 2, {}, {}},
        {"kaiten,div=200,poldat=0;0;50;0;0;100", 1, 144 * 2, {}, {}},
        {"kaiten,div=12.5,poldat=0;0;50;0;0;100", 1, 13 * 2, {}, {}},
        {"kaiten,dtop=90,poldat=0;0;50;0;0;100", 1, 6 * 2 + 2, {3000, 4000}, {}},
        {"kaiten,dtop=90,domebtm=-1,dometop=-1,poldat=0;0;50;0;0;100", 1, 6 * 2, {}, {3000, 4000}},
        {"kaiten,poldat=0;0;50;0", 1, 0, {}, {}},
        {"kaiten,poldat=0;0;50;0;0;0", 1, 0, {}, {}},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.line);
        test::BridgedView view;
        XLeaves* shape = view.add_shape(view.add_trunk("root"), tc.line.c_str());
        EXPECT_EQ(shape->face_count(), tc.faces);
        const int triangles = shape->triangle_count();  // counted by the build, before any face is made
        const std::set<int> codes = codes_of(*shape);
        EXPECT_EQ(shape->triangle_count(), triangles);
        for (int c : tc.must) EXPECT_TRUE(codes.count(c)) << c;
        for (int c : tc.must_not) EXPECT_FALSE(codes.count(c)) << c;
        // The build gave the model its polygons and kept none of its faces: made when asked, they are the faces
        // the builder makes beside the model's polygons, numbered alike.
        const std::string asked = faces_as_text(*shape);
        EXPECT_EQ(rebuild(*shape), tc.result);
        EXPECT_EQ(asked, faces_as_text(*shape));
    }
}

TEST(ShapeRules, PathsAndProfilesFaceTheWayTheirOrderTurns) {
    test::BridgedView view(false);
    XTrunk* root = view.add_trunk("root");
    // A wall from (0, 0) to (100, 0) faces right of its way (-y) on the front and +y on the back.
    XLeaves* wall = view.add_shape(root, "hpoly,h=50,dtop=3,poldat=0;0;100;0");
    ASSERT_EQ(wall->face_count(), 2);
    EXPECT_NEAR(test::face_normal(*wall->faces()[0])[1], -1.0, 1e-9);
    EXPECT_NEAR(test::face_normal(*wall->faces()[1])[1], 1.0, 1e-9);
    // A profile turning counter-clockwise in the r-z plane faces out of its solid, its reverse into it.
    XLeaves* out = view.add_shape(root, "kaiten,dtop=90,poldat=0;0;50;0;50;100;0;100");
    XLeaves* in = view.add_shape(root, "kaiten,dtop=90,poldat=0;100;50;100;50;0;0;0");
    EXPECT_TRUE(test::is_closed(*out));
    EXPECT_TRUE(test::is_closed(*in));
    EXPECT_GT(test::signed_volume(*out), 0.0);
    EXPECT_LT(test::signed_volume(*in), 0.0);
    // A two-sided open bent tube: each back face cancels its face.
    XLeaves* tube =
        view.add_shape(root, "cylinder,w=100,h=300,dispmode=1,dometop=-1,domebtm=-1,poldat=magari;500;90;12");
    EXPECT_NEAR(test::signed_volume(*tube), 0.0, 1e-3);
    // The start cap of the sweep at 0 degrees faces -y, away from the quarter behind it.
    for (const XLeaf* f : out->faces())
        if (f->face_code == 3000) {
            EXPECT_NEAR(test::face_normal(*f)[1], -1.0, 1e-9);
        }
}

TEST(ShapeRules, PolygonTextsThatCannotBeBuiltMakeNoFaces) {
    for (const char* line :
         {"poly,h=50,poldat=0;0;50;50;100;100", "poly,h=50,poldat=0;0;100;0", "poly,h=50,poldat=0;0;100;0;nan;5",
          "poly,h=50,poldat=0;0;100;0;1e400;5;0;9", "d3poly,h=50,poldat=0;0;0;1;1;1;2;2;2",
          "d3poly,h=50,poldat=0;0;0;1;0;0;inf;1;0", "hpoly,h=50,poldat=0;0;nan;1;2;2", "kaiten,poldat=0;0;nan;1;2;2",
          "poly,h=50,poldat=;;;;|", "kaiten,poldat=|||"}) {
        SCOPED_TRACE(line);
        test::BridgedView view(false);
        XLeaves* shape = view.add_shape(view.add_trunk("root"), line);
        EXPECT_EQ(shape->face_count(), 0);
    }
}

TEST(ShapeRules, OversizedPolygonTextsAreRefusedWhole) {
    const struct {
        const char* kind;
        int limit, per_point;
    } cases[] = {{"poly", 2000, 2}, {"hpoly", 2000, 2}, {"kaiten", 2000, 2}, {"d3poly", 4000, 3}};
    for (const auto& tc : cases)
        for (int points : {tc.limit, tc.limit + 1}) {
            SCOPED_TRACE(std::string(tc.kind) + " " + std::to_string(points));
            std::string text;
            for (int i = 0; i < points; ++i) {
                const double a = 2 * 3.141592653589793 * i / points;
                text += std::to_string(100 + 50 * std::cos(a)) + ";" + std::to_string(50 * std::sin(a)) + ";";
                if (tc.per_point == 3) text += "0;";
            }
            EditingView view;
            const std::string line = std::string(tc.kind) + ",h=10,poldat=" + text;
            XLeaves* shape = view.add_shape(view.add_trunk("root"), line.c_str());
            if (points > tc.limit) {
                EXPECT_EQ(shape->face_count(), 0);
                EXPECT_EQ(rebuild(*shape), 0);
                EXPECT_EQ(std::string(shape->record->poldat), text);  // nothing cut off what is written back
            } else {
                EXPECT_GT(shape->face_count(), 0);
            }
        }
}

TEST(ShapeRules, HolesSurviveTheRewrittenPolygonText) {
    EditingView view;
    XTrunk* root = view.add_trunk("root");
    // Clockwise outline, repeated closing point, two holes: the rewrite orders the outline and keeps the holes.
    XLeaves* first = view.add_shape(
        root, "poly,h=20,poldat=0;0;0;100;300;100;300;0;0;0|||20;20;80;20;80;80;20;80|200;20;280;20;240;80");
    const std::string written = first->record->poldat;
    EXPECT_NE(written.find("|2;|"), std::string::npos) << written;
    const std::string again = "poly,h=20,poldat=" + written;
    XLeaves* second = view.add_shape(root, again.c_str());
    EXPECT_EQ(std::string(second->record->poldat), written);
    EXPECT_EQ(second->face_count(), first->face_count());
    EXPECT_NEAR(test::signed_volume(*second), 20 * (30000 - 3600 - 2400), 1e-6);
    EXPECT_TRUE(test::is_closed(*second));
}

TEST(ShapeRules, ZpolyBuildsInItsOwnPlane) {
    test::BridgedView view(false);
    XLeaves* shape = view.add_shape(view.add_trunk("root"), "zpoly,h=10,poldat=0;0;0;100;0;100;100;100;100;0;100;0");
    EXPECT_EQ(std::tuple(shape->record->kind, shape->face_count()), std::tuple(kKindPoly, 6));
    EXPECT_TRUE(test::is_closed(*shape));
    EXPECT_NEAR(std::fabs(test::signed_volume(*shape)), 100 * 100 * std::sqrt(2.0) * 10, 1e-6);
}

}  // namespace
}  // namespace kz::scene
