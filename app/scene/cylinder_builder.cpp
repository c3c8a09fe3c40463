// The cylinder: elliptic rings at the bottom and the top (a truncated cone when their widths differ), a sector of
// the turn, an optional wall thickness, and ends that are flat, domed or open. A "magari" item bends it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/scene/ellipsoid_mesh.h"
#include "app/scene/round_rings.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {

constexpr int kTimingCylinder = 6;

}  // namespace

int XLeaves::MakeCylinder() {
    if (const int bent = MakeMagari()) return bent;
    const COBJECTA& r = *record;
    if (!(r.w > 0.0)) return 0;
    TimingSlot timing(*this, kTimingCylinder);
    SweepParameters s;
    ReadSweepParameters(&s, 0);
    const double h = s.height;
    if (!all_finite({s.bottom_width, s.depth, h, s.top_width, s.sweep, s.start, s.thick1, s.thick2})) return 1;
    const int divisions = round_divisions(truncate_to_int(r.div));
    const double rb = s.bottom_width / 2.0, rt = s.top_width / 2.0, ratio = s.depth_ratio;
    const bool shell = s.thick_mode == 1;
    const bool full_turn = !s.partial;
    const std::vector<double> angles = ring_angles(s, divisions);
    const std::vector<double> bottom = ring_points(angles, rb, rb * ratio, 0.0, full_turn);
    const std::vector<double> top = ring_points(angles, rt, rt * ratio, h, full_turn);
    add_round_side(*this, bottom, top, false, full_turn, std::hypot(rb - rt, h), false);

    const double bottom_centre[3] = {0.0, 0.0, 0.0}, top_centre[3] = {0.0, 0.0, h};
    auto top_end = [&](bool ring_instead_of_cap, const std::vector<double>* inner_top) {
        if (r.dometop > 0.0)
            MakeEllipsoidPart(*this, 2000, h, s.top_width, s.top_width * ratio, r.dometop * s.top_width, divisions,
                              s.sweep, s.start, 0.0, 90.0, s.thick1, s.thick2, s.thick_mode, -1);
        else if (r.dometop == 0.0 && ring_instead_of_cap)
            add_ring_band(*this, top, *inner_top, true, 2000);
        else if (r.dometop == 0.0)
            add_ring_cap(*this, top, top_centre, full_turn, true, 2000);
    };
    auto bottom_end = [&](bool ring_instead_of_cap, const std::vector<double>* inner_bottom) {
        if (r.domebtm > 0.0)
            MakeEllipsoidPart(*this, 1000, 0.0, s.bottom_width, s.depth, r.domebtm * s.bottom_width, divisions, s.sweep,
                              s.start, 90.0, 180.0, s.thick1, s.thick2, s.thick_mode, -2);
        else if (r.domebtm == 0.0 && ring_instead_of_cap)
            add_ring_band(*this, bottom, *inner_bottom, false, 1000);
        else if (r.domebtm == 0.0)
            add_ring_cap(*this, bottom, bottom_centre, full_turn, false, 1000);
    };
    if (shell) {
        double across = std::min(s.thick1, rb);
        if (std::fabs(across - rb) < 1e-8) across = rb - 0.0001;
        const std::vector<double> inner_bottom =
            ring_points(angles, std::max(rb - across, 0.0), std::max(rb * ratio - across, 0.0), 0.0, full_turn);
        const std::vector<double> inner_top =
            ring_points(angles, std::max(rt - across, 0.0), std::max(rt * ratio - across, 0.0), h, full_turn);
        add_round_side(*this, inner_bottom, inner_top, true, full_turn, std::hypot(rb - rt, h), false);
        top_end(true, &inner_top);
        bottom_end(true, &inner_bottom);
    } else {
        top_end(false, nullptr);
        bottom_end(false, nullptr);
    }
    if (s.partial && !shell) {
        const int n = static_cast<int>(bottom.size() / 3);
        const double* b0 = &bottom[0];
        const double* t0 = &top[0];
        const double* b1 = &bottom[3 * (n - 1)];
        const double* t1 = &top[3 * (n - 1)];
        if (std::fabs(s.sweep - 180.0) < 1e-9) {
            // One rectangle through the axis, with the centres that the end caps share.
            const double face[18] = {b1[0], b1[1], b1[2], 0.0, 0.0, 0.0, b0[0], b0[1], b0[2],
                                     t0[0], t0[1], t0[2], 0.0, 0.0, h,   t1[0], t1[1], t1[2]};
            make_shape_face(*this, FaceMaker::cap, face, 6, nullptr, 3000);
        } else {
            const double start_face[12] = {0.0, 0.0, 0.0, b0[0], b0[1], b0[2], t0[0], t0[1], t0[2], 0.0, 0.0, h};
            const double end_face[12] = {0.0, 0.0, 0.0, 0.0, 0.0, h, t1[0], t1[1], t1[2], b1[0], b1[1], b1[2]};
            make_shape_face(*this, FaceMaker::cap, start_face, 4, nullptr, 3000);
            make_shape_face(*this, FaceMaker::cap, end_face, 4, nullptr, 4000);
        }
    }
    plan_area = s.plan_area;
    volume = s.volume;
    height = h;
    length = 0.0;
    set_axis_extent(*this, std::max(rb, rt), std::max(rb, rt) * ratio, 0.0, h);
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
