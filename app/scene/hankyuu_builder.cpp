// The hemisphere ("hankyuu"): the upper half of an ellipsoid standing on the shape's origin, a sector of the turn,
// plain or a shell, made by the ellipsoid mesher.
#include "app/scene/ellipsoid_mesh.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {
constexpr int kTimingHankyuu = 4;
constexpr int kMaxHankyuuDivisions = 144;
}  // namespace

int XLeaves::MakeHankyuu() {
    const COBJECTA& r = *record;
    if (!(r.w > 0.0)) return 0;
    TimingSlot timing(*this, kTimingHankyuu);
    std::int32_t divisions = truncate_to_int(r.div);
    divisions = divisions < 3 ? 24 : divisions > kMaxHankyuuDivisions ? kMaxHankyuuDivisions : divisions;
    const double sweep = r.dtop >= 0.0001 && r.dtop < 360.0 ? r.dtop : 360.0;
    MakeEllipsoidPart(*this, 5000, 0.0, r.w, r.d, r.h, divisions, sweep, r.dtop_items[0], 0.0, 90.0, r.thick1, r.thick2,
                      r.thick_set, truncate_to_int(r.domebtm));
    const double rx = r.w / 2.0;
    set_axis_extent(*this, rx, r.d > 0.0 ? r.d / 2.0 : rx, 0.0, r.h > 0.0 ? r.h / 2.0 : rx);
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
