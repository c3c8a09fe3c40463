// Surfaces seen from below beside their shadows, where a ray from the eye enters a prism by a wall and leaves it
// through the lit face on top, a face it passes from behind: a canopy, one-face roofs over a terrace, an awning on a
// sunlit wall, a two-sided canopy with a one-sided flap; the eye beside the shadow and below the surface, by
// day and at dusk, counted all at once, in batches and in groups; held to the ray cast. And whether a shape counts
// as closed, against rays cast at it: a shape taken as closed lets no ray from outside pass a lit face from behind.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/shadow/near_plane.h"
#include "modeller/shadow/shadows.h"
#include "tests/modeller/render_support.h"
#include "tests/modeller/shadow/scenes.h"

namespace kz::test {
namespace {

constexpr int kW = 160, kH = 120;
const OfuVector3 kDay(0.3, 0.2, -1), kDusk(1, 0.3, -0.2);

_OfuMaterial white() { return make_material({1, 1, 1, 1}, {1, 1, 1, 1}); }
_OfuMaterial green() { return make_material({0, 1, 0, 1}, {0, 1, 0, 1}); }

struct OpenCase {
    const char* name;
    std::function<void(CO3duGLModelar&, ShadowScene&)> shapes;  // besides the floor
    OfuVector3 eye, target, travel;
    double fov = 80;
    bool wraps = true;                                 // off: a saturating count, in batches
    std::uint32_t group_depth = 0;                     // counted in groups of this depth at most
    std::function<void(CO3duGLModelar&)> before = {};  // run before the frame judged, the light and the eye set
};

TEST(Shadows, OpenSurfacesSeenFromBelowDarkenNothingBeyondThem) {
    // A canopy 10 m up, one face turned to the sky, and a wall beyond it whose face the sun lights.
    const auto canopy = [](bool two_sided) {
        return [=](CO3duGLModelar& m, ShadowScene& cast) {
            cast.add(m, one_face({{-6, -6, 10}, {6, -6, 10}, {6, 6, 10}, {-6, 6, 10}}, green(), two_sided));
            cast.add(m, make_box({20, -30, 0}, {21, 30, 25}, white()));
        };
    };
    // Five roofs of one sloping face each over a terrace, the last two as one shape, and a house wall beyond.
    const auto roofs = [](CO3duGLModelar& m, ShadowScene& cast) {
        CO3duPrimitive last = one_face({{6, 0, 3.4}, {9.5, 0, 3.4}, {9.5, 8, 3.0}, {6, 8, 3.0}}, green());
        last.sets.Add(one_face({{10, 0, 3.4}, {13.5, 0, 3.4}, {13.5, 8, 3.0}, {10, 8, 3.0}}, green()).sets[0]);
        for (int k = -3; k < 0; ++k)
            cast.add(
                m, one_face(
                       {{4.0 * k + 2, 0, 3.4}, {4.0 * k + 5.5, 0, 3.4}, {4.0 * k + 5.5, 8, 3.0}, {4.0 * k + 2, 8, 3.0}},
                       green()));
        cast.add(m, last);
        cast.add(m, make_box({-20, 20, 0}, {30, 21, 12}, white()));
    };
    // An awning on a wall whose -x face the sun lights, sloping down from 4.5 m.
    const auto awning = [](CO3duGLModelar& m, ShadowScene& cast) {
        cast.add(m, make_box({0, -10, 0}, {0.3, 10, 10}, white()));
        cast.add(m, one_face({{0, -3, 4.5}, {0, 3, 4.5}, {-2.5, 3, 4.0}, {-2.5, -3, 4.0}}, green()));
    };
    // A two-sided canopy with a one-sided flap sloping down from it to the sun's side, one shape: open, its two-sided
    // part too.
    const auto flapped = [](CO3duGLModelar& m, ShadowScene& cast) {
        CO3duPrimitive both = one_face({{-6, -6, 10}, {6, -6, 10}, {6, 6, 10}, {-6, 6, 10}}, green(), true);
        both.sets.Add(one_face({{6, -6, 10}, {8, -6, 9}, {8, 6, 9}, {6, 6, 10}}, green()).sets[0]);
        cast.add(m, both);
        cast.add(m, make_box({20, -30, 0}, {21, 30, 25}, white()));
    };
    // The canopy first a closed box under the sun, a frame drawn, then its one face again: what the box's faces
    // were found to be does not outlast them.
    std::vector<HeadlessScene*> scenes;
    _OfuPosition* was_a_box = nullptr;
    const auto once_a_box = [&](CO3duGLModelar& m, ShadowScene& cast) {
        was_a_box = cast.add(m, one_face({{-6, -6, 10}, {6, -6, 10}, {6, 6, 10}, {-6, 6, 10}}, green(), false));
        cast.add(m, make_box({20, -30, 0}, {21, 30, 25}, white()));
    };
    const auto drawn_as_a_box = [&](CO3duGLModelar& m) {
        CO3duPrimitive face, box = make_box({-6, -6, 9.5}, {6, 6, 10}, green());
        m.GetPrimitive(was_a_box, face, O3DU_PRIM_ALL);
        m.ChangePrimitive(was_a_box, box, O3DU_PRIM_GEOMETRY);
        scenes.back()->render();
        m.ChangePrimitive(was_a_box, face, O3DU_PRIM_GEOMETRY);
    };
    const OfuVector3 beside(-14, -8, 3), below(-5.5, -5.5, 3), wall_top(20, 2, 18), wall(20, 4, 8);
    const OfuVector3 under_the_roofs(1, -2, 1.6), house(1, 20, 9);
    const OfuVector3 under_the_awning(-3.5, -2, 1.6), above_the_awning(0, 0.5, 9);
    const std::vector<OpenCase> cases = {
        {"a canopy, the eye beside its shadow, by day", canopy(false), beside, wall_top, kDay},
        {"a canopy, the eye beside its shadow, at dusk", canopy(false), beside, wall, kDusk},
        {"a canopy, the eye below it, by day", canopy(false), below, wall, kDay},
        {"a canopy, the eye below it, at dusk", canopy(false), below, wall, kDusk},
        {"a canopy, in batches", canopy(false), beside, wall_top, kDay, 80, false},
        {"a canopy, in groups", canopy(false), beside, wall_top, kDay, 80, true, 1},
        {"a canopy that was a box", once_a_box, below, wall, kDay, 80, true, 0, drawn_as_a_box},
        {"a two-sided canopy", canopy(true), beside, wall_top, kDay},
        {"one-face roofs over a terrace, by day", roofs, under_the_roofs, house, {0.2, 0.5, -1}},
        {"one-face roofs over a terrace, at dusk", roofs, under_the_roofs, {1, 20, 3}, {0.3, 1, -0.2}},
        {"one-face roofs over a terrace, in batches", roofs, under_the_roofs, house, {0.2, 0.5, -1}, 80, false},
        {"an awning on a sunlit wall, by day", awning, under_the_awning, above_the_awning, {0.7, 0.1, -1}},
        {"an awning on a sunlit wall, at dusk", awning, under_the_awning, above_the_awning, {1, 0.2, -0.2}},
        {"a two-sided canopy with a one-sided flap", flapped, beside, wall_top, kDay},
        {"a two-sided canopy with a one-sided flap, the eye below it", flapped, below, wall, kDay},
    };
    for (const OpenCase& k : cases) {
        SCOPED_TRACE(k.name);
        HeadlessScene scene(kW, kH);
        scenes.assign(1, &scene);
        CO3duGLModelar& m = *scene.modeller;
        ShadowScene cast;
        cast.add(m, make_box({-80, -80, -1}, {80, 80, 0}, white()));
        k.shapes(m, cast);
        m.set_shadow_count_wraps(k.wraps);
        OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, k.travel);
        light.on = 1;
        m.SetShadowLight(light);
        m.SetShadowColor({1, 0, 0, 0.5f});
        const _O3duCamera c = camera_looking(m, k.eye, k.target, k.fov, 0.5, 500);
        m.SetCamera(c);
        set_shadow_group_depth_for_testing(k.group_depth);
        if (k.before) k.before(m);
        const Frame f = scene.render();
        set_shadow_group_depth_for_testing(0);
        const Score score = cast.compare(f, PixelRays(c, kW, kH), k.travel);
        EXPECT_GT(score.judged, kW * kH / 3);
        EXPECT_GT(score.shadowed, 30);
        EXPECT_GE(score.agree, 0.99 * score.judged) << score.agree << " of " << score.judged;
        if (score.agree < 0.99 * score.judged) f.save(std::string("open_") + k.name);
        EXPECT_EQ(score.background_dark, 0);
    }
}

using Triangle = std::array<OfuVector3, 3>;

// Whether a ray from outside the triangles' box may pass a face turned towards the light from behind before it
// meets a face turned towards it, which would stop it: rays from random points about the box through random points
// inside it, every face met along each in turn.
bool seen_from_behind(const std::vector<Triangle>& faces, const OfuVector3& to_light, std::mt19937& random) {
    OfuVector3 lo(HUGE_VAL, HUGE_VAL, HUGE_VAL), hi(-HUGE_VAL, -HUGE_VAL, -HUGE_VAL);
    for (const Triangle& t : faces)
        for (const OfuVector3& p : t) {
            lo = OfuVector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
            hi = OfuVector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        }
    const auto between = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    const OfuVector3 mid((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    const double reach = length(hi - lo) + 1;
    for (int ray = 0; ray < 400; ++ray) {
        // From a point of the sphere about the box.
        OfuVector3 way(between(-1, 1), between(-1, 1), between(-1, 1));
        NormalizeVector3(way);
        const OfuVector3 from(mid.x + reach * way.x, mid.y + reach * way.y, mid.z + reach * way.z);
        const OfuVector3 through(between(lo.x, hi.x), between(lo.y, hi.y), between(lo.z, hi.z));
        const OfuVector3 d = through - from;
        // The faces met, by distance: each turned towards the ray or away, lit or not.
        std::vector<std::pair<double, int>> met;  // 1: turned towards the ray, 2: passed from behind, lit
        for (const Triangle& t : faces) {
            const OfuVector3 n = cross(t[1] - t[0], t[2] - t[0]);
            const double det = -dot(n, d);
            if (std::fabs(det) < 1e-12) continue;
            const OfuVector3 o = from - t[0];
            const double along = dot(n, o) / det;
            const OfuVector3 q = cross(o, d);
            const double u = dot(t[2] - t[0], q) / det, v = -dot(t[1] - t[0], q) / det;
            if (along <= 0 || u < 1e-7 || v < 1e-7 || u + v > 1 - 1e-7) continue;
            met.push_back({along, det > 0 ? 1 : (dot(n, to_light) > 1e-9 ? 2 : 0)});
        }
        std::sort(met.begin(), met.end());
        for (const auto& [along, kind] : met) {
            if (kind == 1) break;
            if (kind == 2) return true;
        }
    }
    return false;
}

// Whether the builder takes the shape as open (its lit faces count rays out wherever its walls may be in view).
bool taken_as_open(const std::vector<Triangle>& faces, const OfuVector3& travel) {
    CO3duShadowVolumes outlines, prisms;
    build_volumes(indexed_mesh(faces, green()), travel, outlines, prisms);
    return o3du_counts_out_through_lit_faces(prisms, 0, true, 0);
}

// The twelve faces of a box from lo to hi, counter-clockwise seen from outside.
std::vector<Triangle> box_faces(const OfuVector3& lo, const OfuVector3& hi) {
    OfuVector3 c[8];
    for (int i = 0; i < 8; ++i) c[i] = OfuVector3(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z);
    const int f[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                          {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    std::vector<Triangle> out;
    for (const auto& t : f) out.push_back({c[t[0]], c[t[1]], c[t[2]]});
    return out;
}

// Seeded shapes on an integer grid: a box, two boxes apart, a terrace of equal boxes touching face to face, boxes that
// overlap or meet along an edge, a lone face, a face with its back face as a two-sided surface has it, a box with a
// smaller one turned inside out beside it along an edge; each as built or changed: a face left out, one turned round, a
// box turned inside out, an inside-out box as the hollow of a box about it. A shape the builder takes as closed lets no
// ray pass a lit face from behind; boxes built whole and outwards, apart or in a terrace, and two-sided faces are taken
// as closed, so that their lit faces cost nothing.
TEST(Shadows, AShapeTakenAsClosedLetsNoRayPassALitFaceFromBehind) {
    std::mt19937 random(20261211);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    int closed = 0, seen_open = 0;
    for (int shape = 0; shape < 400; ++shape) {
        const OfuVector3 travel(pick(9) * 0.1 - 0.4, pick(9) * 0.1 - 0.4, -1);
        const int family = pick(7), change = pick(8);
        const OfuVector3 lo(pick(4), pick(4), pick(3)), size(1 + pick(3), 1 + pick(3), 1 + pick(3));
        std::vector<Triangle> faces = box_faces(lo, lo + size);
        if (family == 1) {
            const OfuVector3 apart(size.x + 1, 0, 0);
            const std::vector<Triangle> more = box_faces(lo + apart, lo + size + apart);
            faces.insert(faces.end(), more.begin(), more.end());
        } else if (family == 2) {
            for (int k = 1; k < 2 + pick(3); ++k) {
                const OfuVector3 step(k * size.x, 0, 0);
                const std::vector<Triangle> more = box_faces(lo + step, lo + size + step);
                faces.insert(faces.end(), more.begin(), more.end());
            }
        } else if (family == 3) {
            for (int k = 1 + pick(2); k > 0; --k) {
                const OfuVector3 at(pick(4), pick(4), pick(3));
                const std::vector<Triangle> more =
                    box_faces(at, at + OfuVector3(1 + pick(3), 1 + pick(3), 1 + pick(3)));
                faces.insert(faces.end(), more.begin(), more.end());
            }
        } else if (family == 6) {
            // A box turned inside out beside it along its edge, smaller than it.
            const OfuVector3 corner(size.x, size.y, 0);
            std::vector<Triangle> more = box_faces(lo + corner, lo + corner + OfuVector3(1, 1, size.z));
            for (Triangle& t : more) std::swap(t[1], t[2]);
            faces.insert(faces.end(), more.begin(), more.end());
        } else if (family >= 4) {
            faces.resize(2);  // the bottom face, turned down
            if (pick(2)) std::swap(faces[0][1], faces[0][2]), std::swap(faces[1][1], faces[1][2]);
            if (family == 5)
                faces.push_back({faces[0][0], faces[0][2], faces[0][1]}),
                    faces.push_back({faces[1][0], faces[1][2], faces[1][1]});
        }
        const std::size_t one = std::size_t(pick(int(faces.size())));
        if (change == 0) faces.erase(faces.begin() + std::ptrdiff_t(one));
        if (change == 1) std::swap(faces[one][1], faces[one][2]);
        // The first box turned inside out, alone or as the hollow of a box about it.
        if (change == 2 || change == 3)
            for (std::size_t t = 0; t < 12 && t < faces.size(); ++t) std::swap(faces[t][1], faces[t][2]);
        if (change == 3) {
            const std::vector<Triangle> about = box_faces(lo - OfuVector3(1, 1, 1), lo + size + OfuVector3(1, 1, 1));
            faces.insert(faces.end(), about.begin(), about.end());
        }
        SCOPED_TRACE(testing::Message() << "shape " << shape << ", family " << family << ", change " << change);
        const bool taken_open = taken_as_open(faces, travel);
        const bool seen = seen_from_behind(faces, OfuVector3(-travel.x, -travel.y, -travel.z), random);
        EXPECT_FALSE(seen && !taken_open);
        seen_open += seen;
        if (change >= 4 && family != 3 && family != 4 && family != 6) {
            EXPECT_FALSE(taken_open);
        }
        closed += !taken_open;
    }
    // Many of the shapes taken as open are open indeed, whose lit faces the rays find from behind.
    EXPECT_GT(seen_open, 60);
    EXPECT_GT(closed, 80);
}

}  // namespace
}  // namespace kz::test
