// Every solid shape kind: its faces close a surface, face out of it and hold the analytic volume and area.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "bridged_view.h"
#include "shape_oracles.h"

namespace kz::scene {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct SolidCase {
    const char* line;
    double volume, area;  // kNone: not a closed form worth checking
    int divisions;        // the finest division of a round surface, 0 for flat faces only
    bool inscribed;       // points on the true surface of a convex shape: the mesh can only fall short
};

double sphere_volume(double r) { return 4.0 / 3.0 * kPi * r * r * r; }

const SolidCase kSolids[] = {
    {"ball,w=200,div=96", sphere_volume(100), 4 * kPi * 1e4, 96, true},
    {"ball,w=200,d=100,h=60,div=96", 4.0 / 3.0 * kPi * 100 * 50 * 30, kNone, 96, true},
    // A quarter sector closed by its two cut faces.
    {"ball,w=200,div=96,dtop=90;0", sphere_volume(100) / 4, kPi * 1e4 + kPi * 1e4, 96, true},
    // Polar limits 0 and 120: the cap above z = -50 closed by its bottom face.
    {"ball,w=200,div=96,dtop=360;0;0;120", kPi * 150 * 150 * (300 - 150) / 3, 2 * kPi * 100 * 150 + kPi * 7500, 96,
     true},
    // A shell sector: outer and inner surface joined by rim strips.
    {"ball,w=200,div=96,dtop=90;30,thick=10", (sphere_volume(100) - sphere_volume(90)) / 4, kNone, 96, false},
    {"hankyuu,w=200,div=96,thick=10", (sphere_volume(100) - sphere_volume(90)) / 2, kNone, 96, false},
    {"sui,w=200,h=150,div=96", kPi * 1e4 * 150 / 3, kPi * 1e4 + kPi * 100 * std::hypot(100, 150), 96, true},
    {"sui,w=200,h=150,div=96,dtop=90;0", kPi * 1e4 * 150 / 12, kNone, 96, true},
    {"sui,w=200,h=150,div=96,dtop=180;45", kPi * 1e4 * 150 / 6, kNone, 96, true},
    {"sui,w=200,h=150,div=4", 200 * 200 / 2.0 * 150 / 3, kNone, 0, false},
    {"sui,w=200,h=150,div=96,thick=20;30", kPi * 1e4 * 150 / 3 - kPi * 6400 * 150 * 0.7 / 3, kNone, 96, false},
    {"sui,w=200,h=150,div=96,domebtm=0.5", kPi * 1e4 * 150 / 3 + 2.0 / 3 * kPi * 100 * 100 * 50, kNone, 96, true},
    {"cylinder,w=200,h=150,div=96", kPi * 1e4 * 150, 2 * kPi * 1e4 + 2 * kPi * 100 * 150, 96, true},
    {"cylinder,w=200,wtop=100,h=150,div=96", kPi * 150 / 3 * (1e4 + 5000 + 2500), kNone, 96, true},
    {"cylinder,w=200,d=100,h=150,div=96", kPi * 100 * 50 * 150, kNone, 96, true},
    {"cylinder,w=200,h=150,div=96,domebtm=0.5,dometop=0.25",
     kPi * 1e4 * 150 + 2.0 / 3 * kPi * 1e4 * 50 + 2.0 / 3 * kPi * 1e4 * 25, kNone, 96, true},
    {"cylinder,w=200,h=150,div=96,dtop=90;0", kPi * 1e4 * 150 / 4, kPi * 1e4 / 2 + kPi * 100 * 150 / 2 + 2 * 100 * 150,
     96, true},
    {"cylinder,w=200,h=150,div=96,dtop=180;10", kPi * 1e4 * 150 / 2, kNone, 96, true},
    {"cylinder,w=200,h=150,div=96,thick=10", kPi*(1e4 - 8100) * 150, kNone, 96, false},
    {"cylinder,w=200,h=150,div=96,thick=10,domebtm=0.5,dometop=0.5",
     kPi*(1e4 - 8100) * 150 + 2 * 2.0 / 3 * kPi*(1e4 * 50 - 8100 * 40), kNone, 96, false},
    // The torus section: the bent tube's volume is its cross-section swept along the arc (Pappus). One-sided
    // (dispmode 0), as a two-sided tube has a back face behind every face.
    {"cylinder,w=100,h=300,div=48,dispmode=0,poldat=magari;500;90;48", kPi * 2500 * 500 * kPi / 2,
     2 * kPi * 50 * 500 * kPi / 2 + 2 * kPi * 2500, 48, false},
    {"cylinder,w=100,h=300,div=48,dtop=180;0,dispmode=0,poldat=magari;500;90;48", kPi * 2500 * 500 * kPi / 4, kNone, 48,
     false},
    {"cylinder,w=100,h=300,div=48,domebtm=1,dometop=1,dispmode=0,poldat=magari;500;120;36",
     kPi * 2500 * 500 * 2 * kPi / 3 + 4.0 / 3 * kPi * 50 * 50 * 50, kNone, 48, false},
    {"poly,h=50,poldat=0;0;100;0;100;100;0;100", 5e5, 4e4, 0, false},
    {"poly,h=50,poldat=0;0;0;100;100;100;100;0;0;0", 5e5, 4e4, 0, false},
    {"poly,h=-50,poldat=0;0;100;0;100;100;0;100", 1e6, 2e4 + 4e4, 0, false},
    {"poly,h=30,poldat=0;0;100;0;100;40;40;40;40;100;0;100", 30 * (4000 + 2400), kNone, 0, false},
    // A hole: cut through both caps, walled inside.
    {"poly,h=50,poldat=0;0;100;0;100;100;0;100|||1;|30;30;30;70;70;70;70;30", 50 * 8400, 2 * 8400 + 400 * 50 + 160 * 50,
     0, false},
    {"poly,h=20,poldat=0;0;300;0;300;100;0;100|||20;20;80;20;80;80;20;80|200;20;280;20;240;80",
     20 * (30000 - 3600 - 2400), kNone, 0, false},
    {"d3poly,h=30,poldat=0;0;0;100;0;0;100;100;50;0;100;50", 3e5, kNone, 0, false},
    {"d3poly,h=-30,poldat=0;100;50;100;100;50;100;0;0;0;0;0", 3e5, kNone, 0, false},
    {"kaiten,div=96,poldat=0;0;50;0;50;100;0;100", kPi * 2500 * 100, 2 * kPi * 2500 + 2 * kPi * 50 * 100, 96, true},
    {"kaiten,div=96,dtop=90;0,poldat=0;0;50;0;50;100;0;100", kPi * 2500 * 100 / 4, kNone, 96, true},
    {"kaiten,div=96,poldat=100;0;120;0;120;20;100;20;100;0", 400 * 2 * kPi * 110, kNone, 96, false},
    {"kaiten,div=96,wtop=2,poldat=0;0;50;0;50;100;0;100", kPi * 1e6, kNone, 96, true},
    // A wall doubled out of an open profile: a tube 5 thick inside the radius 60.
    {"kaiten,div=96,thick=5,poldat=60;0;60;50;60;100;60;150", kPi*(3600 - 3025) * 150, kNone, 96, false},
};

TEST(ShapeSolids, FacesCloseTheAnalyticSolidFacingOut) {
    for (const SolidCase& tc : kSolids) {
        SCOPED_TRACE(tc.line);
        test::BridgedView view(false);
        XLeaves* shape = view.add_shape(view.add_trunk("root"), tc.line);
        ASSERT_GT(shape->face_count(), 0);
        EXPECT_TRUE(test::is_closed(*shape));
        // The faces' own turn decides the sign: positive only when they all face out.
        const double volume = test::signed_volume(*shape);
        const double step = tc.divisions ? 2 * kPi / tc.divisions : 0.0;
        const double slack = tc.divisions ? step * step : 1e-9;
        EXPECT_GT(volume, tc.volume * (1 - slack));
        EXPECT_LT(volume, tc.volume * (1 + (tc.inscribed ? 1e-9 : slack)));
        if (!std::isnan(tc.area)) {
            const double area = test::surface_area(*shape);
            EXPECT_GT(area, tc.area * (1 - slack));
            EXPECT_LT(area, tc.area * (1 + (tc.inscribed ? 1e-9 : slack)));
        }
    }
}

TEST(ShapeSolids, SmoothCornerNormalsLeanOutLikeTheirFaces) {
    for (const SolidCase& tc : kSolids) {
        const std::string line = std::string(tc.line) + ",dispmode=1";
        SCOPED_TRACE(line);
        test::BridgedView view(false);
        XLeaves* shape = view.add_shape(view.add_trunk("root"), line.c_str());
        ASSERT_EQ(shape->record->sides, 2);
        EXPECT_TRUE(test::corner_normals_agree(*shape));
    }
}

}  // namespace
}  // namespace kz::scene
