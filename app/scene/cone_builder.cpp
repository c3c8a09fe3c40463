// The cone ("sui"): an elliptic base on the shape's origin, an apex above its centre, a sector of the turn, an
// optional wall thickness, and a bottom that is flat, domed or open.
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/scene/ellipsoid_mesh.h"
#include "app/scene/round_rings.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {

constexpr int kTimingSui = 5;

}  // namespace

int XLeaves::MakeSui() {
    const COBJECTA& r = *record;
    if (!(r.w > 0.0)) return 0;
    TimingSlot timing(*this, kTimingSui);
    SweepParameters s;
    ReadSweepParameters(&s, 1);
    const double h = r.h;
    if (!all_finite({s.bottom_width, s.depth, h, s.sweep, s.start, s.thick1, s.thick2})) return 1;
    const int divisions = round_divisions(truncate_to_int(r.div));
    const double radius = s.bottom_width / 2.0, ratio = s.depth_ratio;
    const bool shell = s.thick_mode == 1;
    double across = std::min(s.thick1, radius);
    if (std::fabs(across - radius) < 1e-8) across = radius - 0.0001;
    const double along = std::min(s.thick2, radius);

    const std::vector<double> angles = ring_angles(s, divisions);
    const bool full_turn = !s.partial;
    const std::vector<double> base = ring_points(angles, radius, radius * ratio, 0.0, full_turn);
    const double apex[3] = {0.0, 0.0, h}, centre[3] = {0.0, 0.0, 0.0};
    auto apex_ring = [&](const double* point) {
        std::vector<double> ring;
        for (std::size_t i = 0; i < base.size(); i += 3) ring.insert(ring.end(), point, point + 3);
        return ring;
    };
    if (!(s.thick_mode != 0 && along < 0.0))
        add_round_side(*this, base, apex_ring(apex), false, full_turn, std::sqrt(radius * radius + h * h), true);

    const double sizes_depth = s.depth;
    auto bottom_dome_or_cap = [&]() {
        if (r.domebtm > 0.0)
            MakeEllipsoidPart(*this, 1000, 0.0, s.bottom_width, sizes_depth, r.domebtm * s.bottom_width, divisions,
                              s.sweep, s.start, 90.0, 180.0, s.thick1, s.thick2, s.thick_mode, -2);
        else if (r.domebtm == 0.0 && !shell)
            add_ring_cap(*this, base, centre, full_turn, false, 1000);
    };
    if (shell) {
        const double inner_radius = radius - across;
        const double inner_apex[3] = {0.0, 0.0, h * (1.0 - along / radius)};
        const double inner_depth = radius * ratio - across;
        const std::vector<double> inner = ring_points(angles, inner_radius, inner_depth, 0.0, full_turn);
        const double inner_slant = std::sqrt(inner_radius * inner_radius + inner_apex[2] * inner_apex[2]);
        if (inner_slant > 0.001)
            add_round_side(*this, inner, apex_ring(inner_apex), true, full_turn, inner_slant, true);
        add_ring_band(*this, base, inner, false, 1000);
    }
    bottom_dome_or_cap();
    if (s.partial && !shell) {
        const int n = static_cast<int>(base.size() / 3);
        const double* first = &base[0];
        const double* last = &base[3 * (n - 1)];
        if (std::fabs(s.sweep - 180.0) < 1e-9) {
            // Both cuts lie in one plane: one face, through the base centre that the bottom cap shares.
            const double face[12] = {first[0], first[1], first[2], apex[0], apex[1], apex[2],
                                     last[0],  last[1],  last[2],  0.0,     0.0,     0.0};
            make_shape_face(*this, FaceMaker::cap, face, 4, nullptr, 3000);
        } else {
            const double start_face[9] = {0.0, 0.0, 0.0, first[0], first[1], first[2], apex[0], apex[1], apex[2]};
            const double end_face[9] = {0.0, 0.0, 0.0, apex[0], apex[1], apex[2], last[0], last[1], last[2]};
            make_shape_face(*this, FaceMaker::cap, start_face, 3, nullptr, 3000);
            make_shape_face(*this, FaceMaker::cap, end_face, 3, nullptr, 4000);
        }
    }
    // The dome's mesher clears the summary; the cone's own figures are set after it.
    plan_area = s.plan_area;
    volume = s.volume;
    height = h;
    length = 0.0;
    set_axis_extent(*this, radius, radius * ratio, 0.0, h);
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
