// The ball: a whole or partial ellipsoid, a sector of the turn between two polar limits, plain or a shell, read
// from the record and handed to the ellipsoid mesher.
#include <cmath>

#include "app/scene/ellipsoid_mesh.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {
constexpr int kTimingBall = 3;
constexpr int kMaxBallDivisions = 144;
}  // namespace

int XLeaves::MakeBall() {
    TimingSlot timing(*this, kTimingBall);
    const COBJECTA& r = *record;
    EllipsoidParameters p;
    p.rx = r.w / 2.0;
    p.ry = r.d / 2.0 == 0.0 ? p.rx : r.d / 2.0;
    p.rz = r.h / 2.0 == 0.0 ? p.rx : r.h / 2.0;
    const std::int32_t divisions = truncate_to_int(r.div + 0.5);
    p.divisions = divisions < 3 ? 24 : divisions > kMaxBallDivisions ? kMaxBallDivisions : divisions;
    p.half_divisions = p.divisions / 2;
    double sweep = 360.0;
    elliptic_arc_angles(r.dtop, r.dtop_items[0], r.w, r.d, &sweep, &p.start, &p.end);
    p.first_polar = std::fabs(r.dtop_items[1]);
    p.second_polar = std::fabs(r.dtop_items[2]);
    if (p.first_polar > 180.0) p.first_polar = 180.0;
    if (p.second_polar > 180.0) p.second_polar = 180.0;
    p.thick_mode = r.thick_set;
    p.thick_xy = r.thick1;
    p.thick_z = r.thick2;
    p.surface_kind = ellipsoid_surface_kind(p.thick_mode, p.thick_xy);
    if (p.thick_xy >= 0.0)
        p.flat_faces =
            kFlatStartCut | kFlatEndCut | (r.domebtm >= 0.0 ? kFlatBottom : 0) | (r.dometop >= 0.0 ? kFlatTop : 0);
    p.face_code = 5000;
    const int built = MakeEllipsoid(*this, p);
    set_axis_extent(*this, p.rx, p.ry, -p.rz, p.rz);
    add_vector_texts(*this);
    return built;
}

}  // namespace kz::scene
