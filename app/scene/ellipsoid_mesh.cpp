// The ellipsoid mesher: bands from pole to pole and steps around, outer and inner surfaces, and the caps, cuts or
// rims that close a partial one. Balls and hemispheres use it directly, cones and cylinders for their domes.
#include "app/scene/ellipsoid_mesh.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/foundation/matrix_ops.h"
#include "app/foundation/solar_position.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/shape_faces.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr std::int32_t kInnerCode = 6000;
constexpr std::int32_t kBottomCode = 1000, kTopCode = 2000, kStartCode = 3000, kEndCode = 4000;
constexpr double kMinimumChord = 0.1;

// Points and normals of one ellipsoid over the mesh's bands (rows 0..nb) and steps (columns 0..ns).
struct SurfaceGrid {
    int rows = 0, columns = 0;
    std::vector<double> points, normals;
    const double* point(int j, int k) const { return &points[3 * (j * columns + k)]; }
    const double* normal(int j, int k) const { return &normals[3 * (j * columns + k)]; }
};

SurfaceGrid make_grid(const Ellipsoid& e, const std::vector<double>& polar, const std::vector<double>& longitude,
                      bool full_turn, int side, const double* placement) {
    SurfaceGrid g;
    g.rows = static_cast<int>(polar.size());
    g.columns = static_cast<int>(longitude.size());
    g.points.resize(3 * g.rows * g.columns);
    g.normals.resize(3 * g.rows * g.columns);
    for (int j = 0; j < g.rows; ++j)
        for (int k = 0; k < g.columns; ++k) {
            double* p = &g.points[3 * (j * g.columns + k)];
            double* n = &g.normals[3 * (j * g.columns + k)];
            if (full_turn && k == g.columns - 1) {
                // The last column of a whole turn is the first one: the same numbers close the surface exactly.
                std::copy(p - 3 * k, p - 3 * k + 3, p);
                std::copy(n - 3 * k, n - 3 * k + 3, n);
                continue;
            }
            ellipsoid_point_normal(e, longitude[k], 90.0 - polar[j], p, n, side);
            if (placement) {
                transform_point(p, p, placement);
                transform_direction(n, n, placement);
            }
        }
    return g;
}

void axis_point(const EllipsoidParameters& p, double polar, double* out) {
    const double z = p.cz + p.rz * std::cos(polar / 180.0 * 3.141592653589793);
    out[0] = p.cx;
    out[1] = p.cy;
    out[2] = z;
    if (p.placement) transform_point(out, out, p.placement);
}

double chord(const Ellipsoid& e, double az0, double el0, double az1, double el1) {
    double a[3], b[3];
    ellipsoid_point_normal(e, az0, el0, a, nullptr, 1);
    ellipsoid_point_normal(e, az1, el1, b, nullptr, 1);
    return std::max(distance_3d(a, b), kMinimumChord);
}

void push(std::vector<double>& out, const double* p) { out.insert(out.end(), p, p + 3); }

// The quads of one surface; the inner one turns the other way so that both face out of the shell.
void add_surface(XLeaves& shape, const SurfaceGrid& g, const Ellipsoid& e, bool inner, std::int32_t base,
                 const std::vector<double>& polar, const std::vector<double>& longitude) {
    const int nb = g.rows - 1, ns = g.columns - 1;
    const bool smooth = smooth_normals(shape);
    // Chord sums along the equator and down the meridian lay an image over the whole surface.
    std::vector<double> u_before(ns + 1, 0.0), v_below(nb + 1, 0.0);
    for (int k = 0; k < ns; ++k) u_before[k + 1] = u_before[k] + chord(e, longitude[k], 0.0, longitude[k + 1], 0.0);
    for (int j = nb - 1; j >= 0; --j)
        v_below[j] = v_below[j + 1] + chord(e, 0.0, 90.0 - polar[j + 1], 0.0, 90.0 - polar[j]);
    for (int j = 0; j < nb; ++j)
        for (int k = 0; k < ns; ++k) {
            const std::int32_t code = inner ? kInnerCode + k : base + k;
            const int order[4][2] = {{j + 1, k}, {j + 1, k + 1}, {j, k + 1}, {j, k}};
            double points[4][3], normals[4][3];
            for (int c = 0; c < 4; ++c) {
                const int(&rc)[2] = order[inner ? 3 - c : c];
                std::copy(g.point(rc[0], rc[1]), g.point(rc[0], rc[1]) + 3, points[c]);
                std::copy(g.normal(rc[0], rc[1]), g.normal(rc[0], rc[1]) + 3, normals[c]);
            }
            ImageWindow window;
            const PasteEntry* image = image_entry_of(shape, code);
            if (image) {
                const double width = image->size > 0.0 ? image->size : u_before[ns];
                const double height = image->lift > 0.0 ? image->lift : v_below[0];
                window = {u_before[k] / width, 1.0 / width, v_below[j + 1] / height, 1.0 / height};
            }
            make_shape_face(shape, FaceMaker::plain, &points[0][0], 4, smooth ? &normals[0][0] : nullptr, code,
                            image ? &window : nullptr);
        }
}

// The flat faces of a plain (thick mode 0) partial ellipsoid.
void add_cuts_and_caps(XLeaves& shape, const EllipsoidParameters& p, const SurfaceGrid& g, bool partial_sweep) {
    const int nb = g.rows - 1, ns = g.columns - 1;
    const double p0 = p.first_polar, p1 = p.second_polar;
    double top[3], bottom[3];
    axis_point(p, p0, top);
    axis_point(p, p1, bottom);
    std::vector<double> outline;
    if (partial_sweep && (p.flat_faces & kFlatStartCut)) {
        outline.clear();
        push(outline, top);
        push(outline, bottom);
        for (int j = nb; j >= (p0 > 0.0 ? 0 : 1); --j) push(outline, g.point(j, 0));
        make_shape_face(shape, FaceMaker::cap, outline.data(), static_cast<int>(outline.size() / 3), nullptr,
                        kStartCode);
    }
    if (partial_sweep && (p.flat_faces & kFlatEndCut)) {
        outline.clear();
        for (int j = p0 > 0.0 ? 0 : 1; j <= nb; ++j) push(outline, g.point(j, ns));
        push(outline, bottom);
        push(outline, top);
        make_shape_face(shape, FaceMaker::cap, outline.data(), static_cast<int>(outline.size() / 3), nullptr, kEndCode);
    }
    // A cap of a partial sweep is a sector: its centre joins the cut faces.
    const int last = partial_sweep ? ns : ns - 1;
    if ((p.flat_faces & kFlatBottom) && p1 < 180.0) {
        outline.clear();
        if (partial_sweep) push(outline, bottom);
        for (int k = last; k >= 0; --k) push(outline, g.point(nb, k));
        make_shape_face(shape, FaceMaker::cap, outline.data(), static_cast<int>(outline.size() / 3), nullptr,
                        kBottomCode);
    }
    if ((p.flat_faces & kFlatTop) && p0 > 0.0) {
        outline.clear();
        if (partial_sweep) push(outline, top);
        for (int k = 0; k <= last; ++k) push(outline, g.point(0, k));
        make_shape_face(shape, FaceMaker::cap, outline.data(), static_cast<int>(outline.size() / 3), nullptr, kTopCode);
    }
}

// The rims between the outer and inner surface of a thick-mode-1 shell.
void add_rims(XLeaves& shape, const EllipsoidParameters& p, const SurfaceGrid& outer, const SurfaceGrid& inner,
              bool partial_sweep) {
    const int nb = outer.rows - 1, ns = outer.columns - 1;
    auto quad = [&](const double* a, const double* b, const double* c, const double* d, std::int32_t code) {
        double points[4][3];
        for (int i = 0; i < 3; ++i) {
            points[0][i] = a[i];
            points[1][i] = b[i];
            points[2][i] = c[i];
            points[3][i] = d[i];
        }
        make_shape_face(shape, FaceMaker::plain, &points[0][0], 4, nullptr, code);
    };
    if (partial_sweep && (p.flat_faces & kFlatStartCut))
        for (int j = 0; j < nb; ++j)
            quad(inner.point(j + 1, 0), outer.point(j + 1, 0), outer.point(j, 0), inner.point(j, 0), kStartCode + j);
    if (partial_sweep && (p.flat_faces & kFlatEndCut))
        for (int j = 0; j < nb; ++j)
            quad(inner.point(j, ns), outer.point(j, ns), outer.point(j + 1, ns), inner.point(j + 1, ns), kEndCode + j);
    if ((p.flat_faces & kFlatTop) && p.first_polar > 0.0)
        for (int k = 0; k < ns; ++k)
            quad(outer.point(0, k), outer.point(0, k + 1), inner.point(0, k + 1), inner.point(0, k), kTopCode + k);
    if ((p.flat_faces & kFlatBottom) && p.second_polar < 180.0)
        for (int k = 0; k < ns; ++k)
            quad(inner.point(nb, k), inner.point(nb, k + 1), outer.point(nb, k + 1), outer.point(nb, k),
                 kBottomRimCode + k);
}

}  // namespace

std::int32_t ellipsoid_surface_kind(std::int32_t thick_mode, double thick_xy) {
    if (thick_mode != 1) return 1;
    if (thick_xy >= 0.0) return 3;
    if (thick_xy >= -1.5) return 2;
    return 1;
}

int MakeEllipsoid(XLeaves& shape, EllipsoidParameters p) {
    if (!(p.ry > 0.0)) p.ry = p.rx;
    if (!(p.rz > 0.0)) p.rz = p.rx;
    if (!(p.rx > 0.0)) return 0;
    if (!all_finite({p.rx, p.ry, p.rz, p.cx, p.cy, p.cz, p.thick_xy, p.thick_z})) return 0;
    if (p.divisions < 3 || p.half_divisions < 1) return 0;
    if (!(p.start < p.end) || !std::isfinite(p.start) || !std::isfinite(p.end)) {
        p.start = 0.0;
        p.end = 360.0;
    }
    // More than a whole turn would lay the surface over itself.
    p.end = std::min(p.end, p.start + 360.0);
    if (!(p.first_polar >= 0.0 && p.first_polar < 180.0 && p.first_polar < p.second_polar)) {
        p.first_polar = 0.0;
        p.second_polar = 180.0;
    }
    p.second_polar = std::min(p.second_polar, 180.0);
    shape.plan_area = 0.0;
    shape.volume = 0.0;

    const double longitude_step = 360.0 / p.divisions, polar_step = 180.0 / p.half_divisions;
    const int nb = std::max(1, static_cast<int>((p.second_polar - p.first_polar) / polar_step + 0.5));
    const int ns = std::max(1, static_cast<int>((p.end - p.start) / longitude_step + 0.5));
    std::vector<double> polar(nb + 1), longitude(ns + 1);
    for (int j = 0; j <= nb; ++j) polar[j] = j == nb ? p.second_polar : p.first_polar + j * polar_step;
    for (int k = 0; k <= ns; ++k) longitude[k] = k == ns ? p.end : p.start + k * longitude_step;
    const bool partial_sweep = p.end - p.start < 360.0;
    const bool partial = partial_sweep || p.first_polar > 0.0 || p.second_polar < 180.0;

    Ellipsoid outer_e, inner_e;
    set_ellipsoid(outer_e, p.rx, p.ry, p.rz, p.cx, p.cy, p.cz);
    // An inner surface larger than nothing; a wall thicker than the radius closes the hollow to a point.
    set_ellipsoid(inner_e, std::max(p.rx - p.thick_xy, 0.0), std::max(p.ry - p.thick_xy, 0.0),
                  std::max(p.rz - p.thick_z, 0.0), p.cx, p.cy, p.cz);
    const int kind = p.thick_mode != 0 ? p.surface_kind : 1;
    const SurfaceGrid outer = make_grid(outer_e, polar, longitude, !partial_sweep, 1, p.placement);
    const SurfaceGrid inner = make_grid(inner_e, polar, longitude, !partial_sweep, -1, p.placement);
    if (kind & 1) add_surface(shape, outer, outer_e, false, p.face_code, polar, longitude);
    if (kind & 2) add_surface(shape, inner, inner_e, true, p.face_code, polar, longitude);
    if (partial) {
        if (p.thick_mode == 0)
            add_cuts_and_caps(shape, p, outer, partial_sweep);
        else if (p.thick_mode == 1)
            add_rims(shape, p, outer, inner, partial_sweep);
    }
    return 1;
}

int MakeEllipsoidPart(XLeaves& shape, std::int32_t face_code, double centre_z, double w, double d, double h,
                      int divisions, double sweep, double start, double first_polar, double second_polar,
                      double thick_xy, double thick_z, std::int32_t thick_mode, std::int32_t flat_face_code,
                      const double* placement) {
    EllipsoidParameters p;
    p.rx = w / 2.0;
    p.ry = d / 2.0;
    p.rz = h / 2.0;
    p.cz = centre_z;
    p.divisions = divisions < 3 ? 24 : divisions > 144 ? 144 : divisions;
    p.half_divisions = p.divisions / 2;
    if (!std::isfinite(start)) start = 0.0;
    start = std::fmod(start, 360.0);
    if (start < 0.0) start += 360.0;
    p.start = start;
    p.end = start + (sweep == 0.0 ? 360.0 : sweep);
    p.first_polar = std::min(first_polar, 180.0);
    p.second_polar = std::min(second_polar, 180.0);
    p.thick_xy = thick_xy;
    p.thick_z = thick_z;
    p.thick_mode = thick_mode;
    p.surface_kind = ellipsoid_surface_kind(thick_mode, thick_xy);
    // Only the low four bits are flags; the sum is taken wide so that no code can overflow it.
    p.flat_faces = thick_xy == 0.0 && thick_z == 0.0
                       ? 0
                       : static_cast<std::int32_t>((static_cast<std::int64_t>(flat_face_code) + 15) & 0xF);
    p.face_code = face_code;
    p.placement = placement;
    return MakeEllipsoid(shape, p);
}

}  // namespace kz::scene
