// The two face makers every builder goes through: a face's outline is moved into its own plane (first point at the
// origin, first edge along x), kept as an XLeaf and handed to the bridge whole or in convex pieces (a model alone
// needs no plane for a face it takes whole); and the arc angles of round shapes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/convex_split.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/trig_memo.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSamePoint = 1e-6;
constexpr double kNormalReach = 1000.0;

double degrees(double radians) { return radians * 180.0 / kPi; }

bool is_image_paste(const PasteEntry* entry) { return entry && entry->kind >= 2 && entry->kind <= 4; }

// A face outline in its own plane, with the matrices between that plane and the shape.
struct FacePlane {
    std::vector<double> points;         // kept shape points
    std::vector<double> normals;        // their normals, or empty
    std::vector<double> local;          // plane points (z = 0)
    std::vector<double> local_normals;  // plane normals, or empty
    FacePlacement placement;
    double to_plane[16];
    double to_shape[16];
    int count() const { return static_cast<int>(points.size() / 3); }
};

// The points that differ from the last kept one (and their normals), as plan_face keeps them; the kept count.
int keep_distinct_points(const double* points, int count, const double* normals, std::vector<double>& kept,
                         std::vector<double>& kept_normals) {
    if (!points || count < 1) return 0;
    kept.resize(3 * std::size_t(count));
    if (normals) kept_normals.resize(3 * std::size_t(count));
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const double* p = points + 3 * i;
        if (n > 0) {
            const double* last = &kept[3 * (n - 1)];
            if (std::fabs(p[0] - last[0]) <= kSamePoint && std::fabs(p[1] - last[1]) <= kSamePoint &&
                std::fabs(p[2] - last[2]) <= kSamePoint)
                continue;
        }
        for (int k = 0; k < 3; ++k) kept[3 * n + k] = p[k];
        if (normals)
            for (int k = 0; k < 3; ++k) kept_normals[3 * n + k] = normals[3 * i + k];
        ++n;
    }
    return n;
}

// Keeps every point that differs from the last kept one; false when fewer than three remain.
bool plan_face(const double* points, int count, const double* normals, bool vertical_rule, FacePlane& plane) {
    if (!points || count < 1) return false;
    plane.points.resize(3 * std::size_t(count));
    if (normals) plane.normals.resize(3 * std::size_t(count));
    std::size_t kept = 0;
    for (int i = 0; i < count; ++i) {
        const double* p = points + 3 * i;
        if (kept > 0) {
            const double* last = &plane.points[3 * (kept - 1)];
            if (std::fabs(p[0] - last[0]) <= kSamePoint && std::fabs(p[1] - last[1]) <= kSamePoint &&
                std::fabs(p[2] - last[2]) <= kSamePoint)
                continue;
        }
        // Element by element: a library copy call for three numbers costs more than the copy.
        for (int k = 0; k < 3; ++k) plane.points[3 * kept + k] = p[k];
        if (normals)
            for (int k = 0; k < 3; ++k) plane.normals[3 * kept + k] = normals[3 * i + k];
        ++kept;
    }
    plane.points.resize(3 * kept);
    if (normals) plane.normals.resize(3 * kept);
    const int n = plane.count();
    if (n < 3) return false;
    double normal[3] = {0.0, 0.0, 1.0};
    polygon_normal(plane.points.data(), n, normal, nullptr);
    double azimuth = degrees(memo_atan2(normal[1], normal[0])) - 90.0;
    const double tilt = degrees(memo_atan2(normal[2], std::hypot(normal[0], normal[1]))) - 90.0;
    if (vertical_rule && std::fabs(normal[0]) < 1e-10 && std::fabs(normal[1]) < 1e-10)
        azimuth = normal[2] < 0.0 ? 180.0 : 0.0;
    FacePlacement& placement = plane.placement;
    std::copy(plane.points.begin(), plane.points.begin() + 3, placement.origin);
    placement.turn[0] = tilt;
    placement.turn[2] = azimuth;
    double turned[16], second[3];
    compose_matrix_ops(0, turned, placement.origin, placement.turn, 0, op_code("M-"), op_code("z-"), op_code("x-"));
    transform_point(second, &plane.points[3], turned);
    placement.edge = degrees(memo_atan2(second[1], second[0]));
    face_plane_matrices(placement, plane.to_plane, plane.to_shape);
    plane.local.resize(3 * n);
    for (int i = 0; i < n; ++i) transform_point(&plane.local[3 * i], &plane.points[3 * i], plane.to_plane);
    if (!plane.normals.empty()) {
        plane.local_normals.resize(3 * n);
        for (int i = 0; i < n; ++i) {
            double tip[3];
            for (int k = 0; k < 3; ++k) tip[k] = plane.points[3 * i + k] + kNormalReach * plane.normals[3 * i + k];
            transform_point(tip, tip, plane.to_plane);
            double* out = &plane.local_normals[3 * i];
            for (int k = 0; k < 3; ++k) out[k] = (tip[k] - plane.local[3 * i + k]) / kNormalReach;
            normalize_vector(out, out);
        }
    }
    return true;
}

std::vector<double> outline_2d(const FacePlane& plane) {
    std::vector<double> uv(2 * plane.count());
    for (int i = 0; i < plane.count(); ++i) {
        uv[2 * i] = plane.local[3 * i];
        uv[2 * i + 1] = plane.local[3 * i + 1];
    }
    return uv;
}

}  // namespace

// The texture id of a face's image paste, as its polygon carries it.
static void take_texture(ShapeMaterial& material, const PasteEntry* paste) {
    material.material.texture = is_image_paste(paste) && paste->texture_id > 0 ? paste->texture_id : 0;
}

// Makes the XLeaf of a planned face at the end of `list`.
static XLeaf* make_leaf(XLeaves& shape, std::vector<XLeaf*>& list, const FacePlane& plane,
                        const ShapeMaterial& material, const PasteEntry* paste, std::int32_t face_code) {
    if (list.capacity() < list.size() + 4) list.reserve(list.size() + 16);
    auto* face = new XLeaf(&shape, face_code);
    list.push_back(face);
    face->SetPlacement(plane.placement);
    face->SetPoints(plane.local.data(), plane.count(), material.material.color,
                    plane.local_normals.empty() ? nullptr : plane.local_normals.data());
    face->paste_entry =
        paste && shape.record->paste_entries ? static_cast<std::int32_t>(paste - shape.record->paste_entries) : -1;
    face->paste_image = paste ? paste->image_index : -1;
    return face;
}

std::vector<XLeaf*>* XLeaves::FaceTarget() {
    if (making_) return making_->target;
    // Called outside a build: the face joins the faces the shape has.
    return &faces();
}

void XLeaves::CountFace(int points) {
    ++face_total_;
    triangle_total_ += std::max(points - 2, 0);
}

void XLeaves::NotePolygon(int polygon, const ShapeMaterial& material) {
    // Letters past the end of the list are 0: most shapes need no list at all.
    if (!making_ || polygon < 0 || (material.paste_letter == 0 && making_->letters.size() <= std::size_t(polygon)))
        return;
    std::vector<std::int32_t>& letters = making_->letters;
    if (letters.size() <= static_cast<std::size_t>(polygon)) letters.resize(polygon + 1);
    letters[polygon] = material.paste_letter;
}

int XLeaves::AddFace(const double* points, int count, ShapeMaterial& material, const double* normals, PasteEntry* paste,
                     std::int32_t face_code) {
    const MakeMode mode = making_ ? making_->mode : MakeMode::both;
    XViewServices* v = view();
    CBusMDL* bridge = mode == MakeMode::faces || !v ? nullptr : v->Bridge();
    if (mode == MakeMode::model && !is_image_paste(paste)) {
        // The model takes the kept points as they are: no plane and no face is worked out for it.
        thread_local std::vector<double> kept, kept_normals;
        const int n = keep_distinct_points(points, count, normals, kept, kept_normals);
        if (n < 3) return -1;
        take_texture(material, paste);
        CountFace(n);
        if (bridge)
            NotePolygon(bridge->AddPolygon(kept.data(), n, material.material, normals ? kept_normals.data() : nullptr,
                                           nullptr, 0),
                        material);
        return face_total_ - 1;
    }
    FacePlane plane;
    if (!plan_face(points, count, normals, false, plane)) return -1;
    take_texture(material, paste);
    std::vector<XLeaf*>* list = mode == MakeMode::model ? nullptr : FaceTarget();
    XLeaf* face = list ? make_leaf(*this, *list, plane, material, paste, face_code) : nullptr;
    if (mode != MakeMode::faces) CountFace(plane.count());
    std::vector<double> uv;
    if (is_image_paste(paste)) {
        uv = outline_2d(plane);
        MapTextureCoords(uv.data(), plane.count(), paste);
    }
    if (bridge) {
        const int polygon = bridge->AddPolygon(plane.points.data(), plane.count(), material.material,
                                               plane.normals.empty() ? nullptr : plane.normals.data(),
                                               uv.empty() ? nullptr : uv.data(), 0);
        if (face) face->first_polygon = face->last_polygon = polygon;
        NotePolygon(polygon, material);
    } else if (face && mode == MakeMode::faces && making_->number_polygons) {
        face->first_polygon = face->last_polygon = making_->next_polygon++;
    }
    return list ? static_cast<int>(list->size()) - 1 : face_total_ - 1;
}

int XLeaves::AddCapFace(const double* points, int count, ShapeMaterial& material, const double* normals,
                        PasteEntry* paste, std::int32_t face_code, const double* texture_points, int texture_count) {
    const MakeMode mode = making_ ? making_->mode : MakeMode::both;
    const bool with_normals = normals && (normals[0] != 0.0 || normals[1] != 0.0 || normals[2] != 0.0);
    FacePlane plane;
    if (!plan_face(points, count, with_normals ? normals : nullptr, true, plane)) return -1;
    take_texture(material, paste);
    std::vector<XLeaf*>* list = mode == MakeMode::model ? nullptr : FaceTarget();
    XLeaf* face = list ? make_leaf(*this, *list, plane, material, paste, face_code) : nullptr;
    if (mode != MakeMode::faces) CountFace(plane.count());
    const int index = list ? static_cast<int>(list->size()) - 1 : face_total_ - 1;
    XViewServices* v = view();
    CBusMDL* bridge = mode == MakeMode::faces || !v ? nullptr : v->Bridge();
    // Faces made again number their pieces as the bridge did.
    const bool numbering = mode == MakeMode::faces && making_->number_polygons;
    if (!bridge && !numbering) return index;
    std::vector<double> uv;
    if (paste && texture_points && texture_count > 0) {
        // Given texture points belong to the given points; only as many as were kept are taken.
        uv.assign(2 * plane.count(), 0.0);
        std::copy(texture_points, texture_points + 2 * std::min(texture_count, plane.count()), uv.begin());
    } else if (is_image_paste(paste)) {
        uv = outline_2d(plane);
        MapTextureCoords(uv.data(), plane.count(), paste);
    }
    std::vector<double> tips;
    if (with_normals) {
        tips.resize(plane.local.size());
        for (std::size_t k = 0; k < tips.size(); ++k) tips[k] = plane.local[k] + kNormalReach * plane.local_normals[k];
    }
    if (face) face->first_polygon = -1;
    PolygonPiece* chain = triangulate_polygon(plane.local.data(), plane.count(), tips.empty() ? nullptr : tips.data(),
                                              uv.empty() ? nullptr : uv.data());
    for (PolygonPiece* piece = chain; piece; piece = piece->next) {
        const int n = piece->count;
        if (n < 3) continue;
        int polygon = -1;
        if (bridge) {
            std::vector<double> shape_points(3 * n), shape_normals;
            for (int i = 0; i < n; ++i) transform_point(&shape_points[3 * i], &piece->points[3 * i], plane.to_shape);
            if (!piece->second.empty()) {
                shape_normals.resize(3 * n);
                for (int i = 0; i < n; ++i) {
                    double tip[3];
                    transform_point(tip, &piece->second[3 * i], plane.to_shape);
                    double* out = &shape_normals[3 * i];
                    for (int k = 0; k < 3; ++k) out[k] = tip[k] - shape_points[3 * i + k];
                    normalize_vector(out, out);
                }
            }
            polygon = bridge->AddPolygon(shape_points.data(), n, material.material,
                                         shape_normals.empty() ? nullptr : shape_normals.data(),
                                         piece->texcoords.empty() ? nullptr : piece->texcoords.data(), 0);
            NotePolygon(polygon, material);
        } else {
            polygon = making_->next_polygon++;
        }
        if (face) {
            if (face->first_polygon < 0) face->first_polygon = polygon;
            face->last_polygon = polygon;
        }
    }
    free_polygon_chain(chain);
    return index;
}

double polar_to_eccentric_angle(double a, double b, double angle) {
    const double t = angle / 180.0 * kPi;
    const double ratio = a != 0.0 ? b / a : 1.0;
    const double result = degrees(std::atan2(std::sin(t) / (ratio != 0.0 ? ratio : 1.0), std::cos(t)));
    return std::fabs(result) < 1e-13 ? 0.0 : result;
}

int elliptic_arc_angles(double sweep, double start, double a, double b, double* out_sweep, double* out_start,
                        double* out_end) {
    if (b == 0.0) b = a;
    if (!std::isfinite(start)) start = 0.0;
    start = std::fmod(start, 360.0);
    if (start < 0.0) start += 360.0;
    int partial = 1;
    if (!(sweep >= 0.0001 && sweep < 360.0)) {
        sweep = 360.0;
        partial = 0;
    }
    double t0 = polar_to_eccentric_angle(a, b, start);
    // atan2 answers in -180..180; the start stays in 0..360 as it was given.
    if (t0 < 0.0) t0 += 360.0;
    const double t1 = polar_to_eccentric_angle(a, b, start + sweep);
    double d = std::fabs(t1 - t0) < 1e-6 ? 360.0 : t1 - t0;
    while (d <= 0.0) d += 360.0;
    while (d > 360.0) d -= 360.0;
    if (out_sweep) *out_sweep = d;
    if (out_start) *out_start = t0;
    if (out_end) *out_end = t0 + d;
    return partial;
}

void XLeaves::ReadSweepParameters(SweepParameters* out, int without_top) {
    const COBJECTA& r = *record;
    SweepParameters s;
    s.bottom_width = r.w;
    s.depth = r.d > 0.0 ? r.d : r.w;
    s.height = r.h;
    s.top_width = without_top ? 0.0 : r.wtop > 0.0 ? r.wtop : r.w;
    s.depth_ratio = s.bottom_width != 0.0 ? s.depth / s.bottom_width : 1.0;
    s.dtop = r.dtop;
    s.div = r.div;
    s.partial = elliptic_arc_angles(r.dtop, r.dtop_items[0], r.w, s.depth, &s.sweep, &s.start, &s.end);
    s.start_rad = s.start / 180.0 * kPi;
    s.end_rad = s.end / 180.0 * kPi;
    const double r1 = r.w / 2.0, r2 = s.top_width / 2.0;
    s.plan_area = kPi * r1 * r1 * s.sweep / 360.0 * s.depth_ratio;
    s.volume = kPi / 3.0 * s.height * (r1 * r1 + r1 * r2 + r2 * r2) * s.sweep / 360.0 * s.depth_ratio;
    s.thick_mode = r.thick_set;
    s.thick1 = r.thick1;
    s.thick2 = r.thick2;
    *out = s;
}

}  // namespace kz::scene
