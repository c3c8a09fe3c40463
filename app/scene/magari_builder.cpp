// The bent cylinder ("magari"): a cylinder whose axis follows an arc of radius R through angle A about a line
// parallel to y, its rings carried round the bend, its ends flat, domed or open, its sweep cut along the bend.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/scene/ellipsoid_mesh.h"
#include "app/scene/round_rings.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

namespace {

constexpr int kTimingCylinder = 6;
constexpr double kPi = 3.141592653589793;
// A bend is at most a whole turn, in at most this many steps per turn: beyond them the rings would only lie on
// themselves, and the grid of faces would grow past any memory.
constexpr double kMaxBendAngle = 360.0;
constexpr int kMaxBendDivisions = 144;

struct Bend {
    double radius = 0.0, angle = 0.0;
    int divisions = 24;
};

// The first "magari" item of the polygon text: "magari;R;A;N".
bool find_bend(const char* poldat, Bend* bend) {
    if (!poldat) return false;
    for (const std::string& item : poldat_sections(poldat)) {
        const std::size_t begin = item.find_first_not_of(" \t");
        if (begin == std::string::npos || item.size() - begin < 6) continue;
        std::string word = item.substr(begin, 6);
        for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (word != "magari") continue;
        std::string rest = item.substr(begin + 6);
        if (!rest.empty() && rest[0] == ';') rest.erase(0, 1);
        const std::vector<double> numbers = section_numbers(rest);
        bend->radius = numbers.size() > 0 ? numbers[0] : 0.0;
        bend->angle = numbers.size() > 1 ? numbers[1] : 0.0;
        const std::int32_t n = numbers.size() > 2 ? truncate_to_int(numbers[2]) : 0;
        bend->divisions = n == 0 ? 24 : n;
        return true;
    }
    return false;
}

}  // namespace

int XLeaves::MakeMagari() {
    Bend bend;
    if (!find_bend(record->poldat, &bend)) return 0;
    if (!(bend.radius > 0.0) || !(bend.angle > 0.0) || bend.divisions < 2 || !std::isfinite(bend.radius)) return 0;
    const COBJECTA& r = *record;
    if (!(r.w > 0.0)) return 0;
    const double angle = std::min(bend.angle, kMaxBendAngle);
    const int bend_divisions = std::min(bend.divisions, kMaxBendDivisions);
    const int steps = std::max(1, static_cast<int>(angle / (360.0 / bend_divisions) + 0.5));
    TimingSlot timing(*this, kTimingCylinder);
    SweepParameters s;
    ReadSweepParameters(&s, 0);
    if (!all_finite({s.bottom_width, s.depth, s.height, s.top_width, s.sweep, s.start, s.thick1, s.thick2})) return 1;
    const double R = bend.radius, A = angle / 180.0 * kPi;
    const double rb = s.bottom_width / 2.0, rt = s.top_width / 2.0, ratio = s.depth_ratio;
    const bool shell = s.thick_mode == 1, full_turn = !s.partial;

    // Around the axis the ring keeps to whole division steps, cut at the sweep's start and end.
    const int divisions = round_divisions(truncate_to_int(r.div + 0.5));
    const double step = 360.0 / divisions;
    const int first = static_cast<int>(s.start / step);
    const int columns = std::max(1, static_cast<int>(s.end / step + 0.99999) - first);
    std::vector<double> angles(columns + 1);
    for (int k = 0; k <= columns; ++k) angles[k] = std::clamp((first + k) * step, s.start, s.end) / 180.0 * kPi;
    angles[0] = s.start_rad;
    angles[columns] = s.end_rad;

    double across = std::min(s.thick1, rb);
    if (std::fabs(across - rb) < 1e-8) across = rb - 0.0001;
    auto bent_ring = [&](int i, double inset) {
        const double t = static_cast<double>(i) / steps;
        const double radius = rb + (rt - rb) * t, theta = i * A / steps;
        std::vector<double> ring =
            ring_points(angles, std::max(radius - inset, 0.0), std::max(radius * ratio - inset, 0.0), 0.0, full_turn);
        for (std::size_t p = 0; p < ring.size(); p += 3) {
            const double x = ring[p];
            ring[p] = R - (R - x) * std::cos(theta);
            ring[p + 2] = (R - x) * std::sin(theta);
        }
        return ring;
    };
    std::vector<std::vector<double>> outer(steps + 1), inner;
    for (int i = 0; i <= steps; ++i) outer[i] = bent_ring(i, 0.0);
    if (shell) {
        inner.resize(steps + 1);
        for (int i = 0; i <= steps; ++i) inner[i] = bent_ring(i, across);
    }

    auto add_grid = [&](const std::vector<std::vector<double>>& rings, bool inside) {
        std::vector<GridCell> cells(static_cast<std::size_t>(steps) * columns);
        for (int i = 0; i < steps; ++i)
            for (int k = 0; k < columns; ++k) {
                const std::int32_t code = (inside ? 6000 : 5000) + k;
                int cleared = 0;
                PasteEntry* paste = FindFacePaste(code, &cleared);
                // The inner wall runs its columns backwards, so that each cell's corners keep the grid's order
                // while the wall faces into the hollow.
                const int column = inside ? columns - 1 - k : k;
                const int a = inside ? k + 1 : k, b = inside ? k : k + 1;
                FillGridCell(code, paste, cleared, cells.data(), i * columns + column, &rings[i][3 * a],
                             &rings[i][3 * b], &rings[i + 1][3 * b], &rings[i + 1][3 * a]);
            }
        AddGridFaces(cells.data(), steps, columns, full_turn ? 0 : 1);
    };
    add_grid(outer, false);
    if (shell) add_grid(inner, true);

    // The top end stands square to the bend's end: its frame turns by A about y and moves to the axis's end.
    const double end_frame[16] = {
        std::cos(A),         0.0, -std::sin(A),    0.0, 0.0, 1.0, 0.0, 0.0, std::sin(A), 0.0, std::cos(A), 0.0,
        R - R * std::cos(A), 0.0, R * std::sin(A), 1.0};
    const double bottom_centre[3] = {0.0, 0.0, 0.0};
    const double top_centre[3] = {end_frame[12], 0.0, end_frame[14]};
    if (r.dometop > 0.0)
        MakeEllipsoidPart(*this, 2000, 0.0, s.top_width, s.top_width * ratio, r.dometop * s.top_width, divisions,
                          s.sweep, s.start, 0.0, 90.0, s.thick1, s.thick2, s.thick_mode, -1, end_frame);
    else if (r.dometop == 0.0 && shell)
        add_ring_band(*this, outer[steps], inner[steps], true, 2000);
    else if (r.dometop == 0.0)
        add_ring_cap(*this, outer[steps], top_centre, full_turn, true, 2000);
    if (r.domebtm > 0.0)
        MakeEllipsoidPart(*this, 1000, 0.0, s.bottom_width, s.depth, r.domebtm * s.bottom_width, divisions, s.sweep,
                          s.start, 90.0, 180.0, s.thick1, s.thick2, s.thick_mode, -2);
    else if (r.domebtm == 0.0 && shell)
        add_ring_band(*this, outer[0], inner[0], false, 1000);
    else if (r.domebtm == 0.0)
        add_ring_cap(*this, outer[0], bottom_centre, full_turn, false, 1000);

    if (s.partial && !shell) {
        // The cut faces follow the bent axis: one quad per bend step from the axis to the ring's end.
        for (int i = 0; i < steps; ++i) {
            const double t0 = i * A / steps, t1 = (i + 1) * A / steps;
            const double axis0[3] = {R - R * std::cos(t0), 0.0, R * std::sin(t0)};
            const double axis1[3] = {R - R * std::cos(t1), 0.0, R * std::sin(t1)};
            const double* s0 = &outer[i][0];
            const double* s1 = &outer[i + 1][0];
            const double* e0 = &outer[i][3 * columns];
            const double* e1 = &outer[i + 1][3 * columns];
            const double start_face[12] = {axis0[0], axis0[1], axis0[2], s0[0],    s0[1],    s0[2],
                                           s1[0],    s1[1],    s1[2],    axis1[0], axis1[1], axis1[2]};
            const double end_face[12] = {axis0[0], axis0[1], axis0[2], axis1[0], axis1[1], axis1[2],
                                         e1[0],    e1[1],    e1[2],    e0[0],    e0[1],    e0[2]};
            make_shape_face(*this, FaceMaker::plain, start_face, 4, nullptr, 3000);
            make_shape_face(*this, FaceMaker::plain, end_face, 4, nullptr, 4000);
        }
    }
    const double axis_length = R * A;
    plan_area = s.plan_area;
    volume = kPi / 3.0 * axis_length * (rb * rb + rb * rt + rt * rt) * s.sweep / 360.0 * ratio;
    height = s.height;
    length = axis_length;
    set_axis_extent(*this, std::max(rb, rt), std::max(rb, rt) * ratio, 0.0, s.height);
    add_vector_texts(*this);
    return 1;
}

}  // namespace kz::scene
