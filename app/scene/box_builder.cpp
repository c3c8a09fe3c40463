// The box: a rectangular bottom and a top of its own size that may sit off-centre, placed by a three-digit anchor
// code, made of up to six quadrilateral faces.
#include <cmath>

#include "app/scene/figure_text.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"

namespace kz::scene {

namespace {

constexpr int kTimingBox = 2;
constexpr double kDefaultSize = 100.0;
constexpr double kDefaultChannel = 0x40;
constexpr double kDefaultTransparency = 0.7;

struct BoxFace {
    int corners[4];
    std::int32_t code;
    bool needs_width, needs_depth, needs_height;
};

// In the order they are made; corner order makes each face's normal point out of the box.
constexpr BoxFace kFaces[6] = {
    {{3, 2, 1, 0}, 1000, true, true, false},  // bottom
    {{4, 5, 6, 7}, 2000, true, true, false},  // top
    {{0, 1, 5, 4}, 5000, true, false, true},  // front
    {{1, 2, 6, 5}, 4000, false, true, true},  // right
    {{2, 3, 7, 6}, 6000, true, false, true},  // back
    {{3, 0, 4, 7}, 3000, false, true, true},  // left
};

}  // namespace

int XLeaves::MakeBox() {
    XViewServices* v = view();
    if (v) v->BeginTiming(kTimingBox);
    COBJECTA& r = *record;
    // A box without a size (as its line is written: 1e-300 is written 0) is the default box.
    if (written_value(r.w) <= 0.0 && written_value(r.d) <= 0.0 && written_value(r.h) <= 0.0) {
        r.w = r.d = r.h = kDefaultSize;
        r.red = r.green = r.blue = kDefaultChannel;
        r.UpdatePackedColor();
        r.trans = kDefaultTransparency;
    }
    const double w = r.w, d = r.d, h = r.h;
    const double wt = r.wtop > 0.0 ? r.wtop : w;
    const double dt = r.dtop > 0.0 ? r.dtop : d;
    plan_area = w * d;
    height = h;
    length = 0.0;
    volume = h / 6.0 * (w * dt + d * wt + 2.0 * w * d + 2.0 * wt * dt);

    const std::int32_t k = truncate_to_int(r.div + 0.5);
    const std::int32_t hundreds = k / 100, tens = (k - 100 * hundreds) / 10, ones = k - 10 * (k / 10);
    const double tx = w / 2.0 * hundreds, ty = d / 2.0 * tens, tz = h / 2.0 * ones;
    const double ox = r.domebtm, oy = r.dometop;
    const double corners[8][3] = {
        {-tx, -ty, -tz},
        {w - tx, -ty, -tz},
        {w - tx, d - ty, -tz},
        {-tx, d - ty, -tz},
        {w / 2 - wt / 2 + ox - tx, d / 2 - dt / 2 + oy - ty, h - tz},
        {w / 2 + wt / 2 + ox - tx, d / 2 - dt / 2 + oy - ty, h - tz},
        {w / 2 + wt / 2 + ox - tx, d / 2 + dt / 2 + oy - ty, h - tz},
        {w / 2 - wt / 2 + ox - tx, d / 2 + dt / 2 + oy - ty, h - tz},
    };
    static const double kS = 1.0 / std::sqrt(3.0);
    static const double kCornerNormals[8][3] = {{-kS, -kS, -kS}, {kS, -kS, -kS}, {kS, kS, -kS}, {-kS, kS, -kS},
                                                {-kS, -kS, kS},  {kS, -kS, kS},  {kS, kS, kS},  {-kS, kS, kS}};
    const double base_point[3] = {w / 2 - tx, d / 2 - ty, -tz};
    SetStoredPoints(base_point, corners[0], corners[6], -tz, h - tz);

    const bool smooth = r.sides == 2;
    for (const BoxFace& f : kFaces) {
        if ((w == 0.0 && f.needs_width) || (d == 0.0 && f.needs_depth) || (h == 0.0 && f.needs_height)) continue;
        int cleared = 0;
        PasteEntry* paste = FindFacePaste(f.code, &cleared);
        if (cleared) continue;
        ShapeMaterial material;
        GetFaceMaterial(f.code, &material, nullptr);
        double points[4][3], normals[4][3];
        for (int i = 0; i < 4; ++i)
            for (int c = 0; c < 3; ++c) {
                points[i][c] = corners[f.corners[i]][c];
                normals[i][c] = kCornerNormals[f.corners[i]][c];
            }
        const int made = AddFace(&points[0][0], 4, material, smooth ? &normals[0][0] : nullptr, paste, f.code);
        if (made >= 0) PasteDrawingsOnFace(made);
    }
    if (v && v->Bridge()) AddVectorTexts();
    if (v) v->EndTiming(kTimingBox);
    return 1;
}

}  // namespace kz::scene
