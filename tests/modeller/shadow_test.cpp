// Stencil shadows against a CPU ray cast: a box over a floor lit by a directional shadow light, seen from outside
// the shadow volume and from inside it, at both shadow accuracies; and volumes rebuilt only when something changed.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "geometry/vector_math.h"
#include "render_support.h"

namespace kz::test {
namespace {

const OfuVector3 kBoxLo(-8, -8, 15), kBoxHi(8, 8, 25);
const OfuVector3 kTravel(0.3, 0.2, -1.0);  // the way the shadow light travels
constexpr int kW = 96, kH = 72;

// Entry distance of the ray into the box, if it hits.
std::optional<double> hit_box(const OfuVector3& o, const OfuVector3& d) {
    double t0 = 1e-6, t1 = 1e30;
    const double lo[3] = {kBoxLo.x, kBoxLo.y, kBoxLo.z}, hi[3] = {kBoxHi.x, kBoxHi.y, kBoxHi.z};
    const double po[3] = {o.x, o.y, o.z}, pd[3] = {d.x, d.y, d.z};
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(pd[a]) < 1e-12) {
            if (po[a] < lo[a] || po[a] > hi[a]) return std::nullopt;
            continue;
        }
        double ta = (lo[a] - po[a]) / pd[a], tb = (hi[a] - po[a]) / pd[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
    }
    if (t0 > t1) return std::nullopt;
    return t0;
}

OfuVector3 unit(OfuVector3 v) {
    NormalizeVector3(v);
    return v;
}

// The same box as one closed indexed mesh, so its outline is the silhouette where lit triangles meet unlit ones.
CO3duPrimitive indexed_box(const _OfuMaterial& material) {
    CO3duPrimitive p;
    CO3duTrianglePolys set;
    set.type = O3DU_SET_INDEXED_TRIANGLES;
    set.material = material;
    set.vertices.SetSize(8);
    for (int i = 0; i < 8; ++i)
        set.vertices[i].position =
            OfuVector3(i & 1 ? kBoxHi.x : kBoxLo.x, i & 2 ? kBoxHi.y : kBoxLo.y, i & 4 ? kBoxHi.z : kBoxLo.z);
    // Counter-clockwise seen from outside.
    const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                              {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces) set.indices.Add(_O3duVertexIndex{f[0], f[1], f[2]});
    p.sets.Add(set);
    return p;
}

struct Score {
    int floor = 0, shadowed = 0, agree = 0;
    int background = 0, background_dark = 0;
};

// Every pixel whose line of sight meets the floor first is shadowed exactly when the way to the light is blocked.
Score compare(const Frame& f, const _O3duCamera& c) {
    Score score;
    const OfuVector3 fw = unit(c.target - c.eye);
    const OfuVector3 s = unit(cross(fw, OfuVector3(0, 0, 1)));
    const OfuVector3 u = cross(s, fw);
    const double t = std::tan(c.fov * M_PI / 360);
    const OfuVector3 to_light = unit(OfuVector3(-kTravel.x, -kTravel.y, -kTravel.z));
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const double px = ((x + 0.5) / f.width * 2 - 1) * t * c.aspect, py = ((y + 0.5) / f.height * 2 - 1) * t;
            const OfuVector3 d(fw.x + px * s.x + py * u.x, fw.y + px * s.y + py * u.y, fw.z + px * s.z + py * u.z);
            const Rgb got = f.at(x, y);
            const bool dark = got.r > 100 && got.g < 40;
            const double tf = d.z < 0 ? -c.eye.z / d.z : 1e30;
            const OfuVector3 p(c.eye.x + tf * d.x, c.eye.y + tf * d.y, 0.0);
            const auto tb = hit_box(c.eye, d);
            if (d.z >= 0 || std::fabs(p.x) > 41 || std::fabs(p.y) > 41) {
                // Well clear of the floor's edges and the box, nothing was drawn.
                if (!tb && (d.z >= 0 || std::fabs(p.x) > 42 || std::fabs(p.y) > 42)) {
                    ++score.background;
                    score.background_dark += dark;
                }
                continue;
            }
            if (std::fabs(p.x) > 40 || std::fabs(p.y) > 40) continue;
            if (tb && *tb < tf) continue;
            const bool want = hit_box(p, to_light).has_value();
            ++score.floor;
            score.shadowed += want;
            score.agree += want == dark;
        }
    return score;
}

struct ShadowCase {
    const char* name;
    OfuVector3 eye, target;
    int accuracy;
    bool one_mesh;
    double fov = 30;
};

TEST(Shadows, MatchARayCastFromEveryFloorPixel) {
    // Inside: under the box, within the shadow of its top face (away from the face's diagonal).
    const OfuVector3 inside(0.3 * 17 + 3, 0.2 * 17 - 1.5, 8);
    const ShadowCase cases[] = {
        {"outside, outlines", {10, -120, 90}, {0, 0, 0}, 1, false},
        {"outside, prisms", {10, -120, 90}, {0, 0, 0}, 0, false},
        {"inside, outlines", inside, {40, 25, 2}, 1, false, 80},
        {"inside, prisms", inside, {40, 25, 2}, 0, false, 80},
        {"outside, silhouette of one mesh", {10, -120, 90}, {0, 0, 0}, 1, true},
        {"inside, silhouette of one mesh", inside, {40, 25, 2}, 1, true, 80},
    };
    for (const ShadowCase& k : cases) {
        SCOPED_TRACE(k.name);
        HeadlessScene scene(kW, kH);
        CO3duGLModelar& m = *scene.modeller;
        CO3duPrimitive floor = make_box({-40, -40, -1}, {40, 40, 0}, make_material({1, 1, 1, 1}, {1, 1, 1, 1}));
        const _OfuMaterial green = make_material({0, 1, 0, 1}, {0, 1, 0, 1});
        CO3duPrimitive box = k.one_mesh ? indexed_box(green) : make_box(kBoxLo, kBoxHi, green);
        m.AddPrimitive(floor);
        m.AddPrimitive(box);
        OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, kTravel);
        light.on = 1;
        m.SetShadowLight(light);
        m.SetShadowAccuracy(k.accuracy);
        m.SetShadowColor({1, 0, 0, 0.5f});
        _O3duCamera c;
        m.GetCamera(c);
        c.eye = k.eye;
        c.target = k.target;
        c.fov = k.fov;
        c.near_distance = 1;
        c.far_distance = 500;
        m.SetCamera(c);
        const Frame f = scene.render();
        const Score score = compare(f, c);
        EXPECT_GT(score.floor, kW * kH / 4);
        EXPECT_GT(score.shadowed, 100);
        EXPECT_GE(score.agree, 0.99 * score.floor) << score.agree << " of " << score.floor;
        if (score.agree < 0.99 * score.floor) f.save(std::string("shadow_") + k.name + ".bmp");
        EXPECT_GT(score.background, 100);
        EXPECT_EQ(score.background_dark, 0);  // the background never takes the shadow colour
    }
}

// Counts the shapes looked at, so a frame that rebuilds volumes shows one more visit per shape.
class CountingModelar : public CO3duGLModelar {
public:
    int DrawStart(_OfuPosition*& pos) override {
        ++starts;
        return CO3duGLModelar::DrawStart(pos);
    }
    int starts = 0;
};

TEST(Shadows, VolumesAreRebuiltOnlyWhenSomethingChanged) {
    auto dc = kz::platform::DeviceContext::create_window(32, 32);
    CountingModelar m;
    HDC hdc = dc.get();
    ASSERT_EQ(m.Initialize(hdc), 1);
    CO3duPrimitive box = make_box(kBoxLo, kBoxHi, make_material({0, 1, 0, 1}, {0, 1, 0, 1}));
    _OfuPosition* pos = m.AddPrimitive(box);
    OfuLight light = make_light(OFU_LIGHT_DIRECTIONAL, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, kTravel);
    light.on = 1;
    m.SetShadowLight(light);
    const auto frame_starts = [&] {
        m.starts = 0;
        m.DrawModel(hdc);
        return m.starts;
    };
    EXPECT_EQ(frame_starts(), 2);  // drawn, and volumes built
    EXPECT_EQ(frame_starts(), 1);
    m.SetShadowLight(light);  // the same light again
    EXPECT_EQ(m.scene()->shadow_rebuild, 0);
    EXPECT_EQ(frame_starts(), 1);
    OfuMatrix4x4 moved = identity_matrix();
    moved[3][0] = 5;
    m.SetMatrix(pos, moved);
    EXPECT_EQ(frame_starts(), 2);
    light.direction = OfuVector3(0, 0, -1);
    m.SetShadowLight(light);
    EXPECT_EQ(frame_starts(), 2);
}

}  // namespace
}  // namespace kz::test
