// Picking: a window point to the item, part, face and world point under it, through the modeller's shape pick
// refined to the nearest front face or through the faces' projected outlines, and the eye moves that start there.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/vector_geometry.h"
#include "app/foundation/view_projection.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::XLeaf;

namespace {

// Height of the eye above a picked floor, and its distance from a picked wall (millimetres).
constexpr double kStandingEyeHeight = 1550.0;
constexpr double kWallDistance = 100.0;

void copy3(double* to, const double* from) { std::memcpy(to, from, 3 * sizeof(double)); }

void write_pick(int* trunk_index, int* part_index, int* face_index, double* hit, int t, int p, int f, const double* h) {
    if (trunk_index) *trunk_index = t;
    if (part_index) *part_index = p;
    if (face_index) *face_index = f;
    if (hit) copy3(hit, h);
}

// The part's display flags ("dispmode": 1 filled, 2 outline, 3 both) against a pick mask.
bool takes_part(const XLeaves* part, int mask) { return part && part->record && (part->record->draw_style & mask); }

// Window units of a point for items drawn in window coordinates.
void window_item_point(std::int64_t point, double scale, double* out) {
    // An unset scale would divide by zero; such items then sit at plain pixels.
    if (!(scale != 0.0)) scale = 1.0;
    out[0] = view_point_x(point) / scale;
    out[1] = view_point_y(point) / scale;
    out[2] = 0.0;
}

}  // namespace

XLeaves* XView::ShapeOwner(_OfuPosition* shape, int* trunk_index, int* part_index) {
    if (!shape || !output.bridge || !output.bridge->modeller) return nullptr;
    std::uint64_t value = 0;
    if (!output.bridge->modeller->GetProp3(shape, fnd::kPropShape, value) || !value) return nullptr;
    auto* stored = reinterpret_cast<fnd::BridgeShape*>(static_cast<std::uintptr_t>(value));
    auto* leaves = dynamic_cast<XLeaves*>(stored);
    XTrunk* trunk = leaves ? leaves->owner : nullptr;
    if (!trunk) return nullptr;
    // Only a part that still hangs in the item array counts: the bridge's own shapes carry no owner, and the
    // numbers handed out must name the part the caller will look up.
    const int t = trunk->index;
    if (t < 0 || t >= trunk_count() || document.trunks[t] != trunk) return nullptr;
    for (int p = 0; p < trunk->part_count(); ++p) {
        if (trunk->parts[p] != leaves) continue;
        if (trunk_index) *trunk_index = t;
        if (part_index) *part_index = p;
        return leaves;
    }
    return nullptr;
}

int XView::PickRay(std::int64_t point, double* ray) {
    if (!ray) return 0;
    if (!camera.eye) {
        std::memset(ray, 0, 6 * sizeof(double));
        return 0;
    }
    UpdateViewMatrices();
    double on_plane[3], world[3];
    fnd::unproject_screen_point(*camera.eye, static_cast<std::uint64_t>(point), on_plane);
    fnd::transform_from_view(*camera.eye, on_plane, world);
    copy3(ray, camera.eye->eye);
    const double d[3] = {world[0] - camera.eye->eye[0], world[1] - camera.eye->eye[1], world[2] - camera.eye->eye[2]};
    fnd::vec3_normalize(d, ray + 3);
    return 1;
}

int XView::CrossPickRay(std::int64_t point, const double* plane_point, const double* plane_normal, double* out) {
    double ray[6];
    if (!PickRay(point, ray)) return 0;
    double x[3];
    if (!fnd::intersect_line_plane(ray, ray + 3, plane_point, plane_normal, x)) return 0;
    // The line meets the plane behind the eye when the cursor looks away from it: nothing under the cursor.
    const double along[3] = {x[0] - ray[0], x[1] - ray[1], x[2] - ray[2]};
    if (fnd::vec3_dot(along, ray + 3) <= 0.0) return 0;
    copy3(out, x);
    return 1;
}

XLeaf* XView::PickFace(std::int64_t point, XLeaves* shape, double* hit, int* face_index) {
    double best_hit[3] = {0.0, 0.0, 0.0};
    int best = -1;
    XLeaf* found = nullptr;
    input.picked_faces.reset();
    if (camera.eye && shape) {
        UpdateViewMatrices();
        const double view_direction[3] = {camera.eye->target[0] - camera.eye->eye[0],
                                          camera.eye->target[1] - camera.eye->eye[1],
                                          camera.eye->target[2] - camera.eye->eye[2]};
        double best_distance = DBL_MAX;
        XLeaves::FaceWalk faces = shape->WalkFaces();
        for (int i = 0; i < faces.size(); ++i) {
            XLeaf* face = faces[i];
            double p[3], n[3], x[3];
            if (!face || !face->GetWorldPlane(p, n)) continue;
            if (fnd::vec3_dot(n, view_direction) >= 0.0) continue;
            if (!face->HitTestScreenPoint(static_cast<std::uint64_t>(point))) continue;
            if (!CrossPickRay(point, p, n, x)) continue;
            const double distance = fnd::vec3_distance(camera.eye->eye, x);
            if (distance < best_distance) {
                best_distance = distance;
                best = i;
                found = face;
                copy3(best_hit, x);
            }
        }
        if (found) input.picked_faces.emplace(std::move(faces));
    }
    if (hit) copy3(hit, best_hit);
    if (face_index) *face_index = best;
    return found;
}

XTrunk* XView::PickByOutline(std::int64_t point, int* trunk_index, int* part_index, int* face_index, double* hit,
                             int mask) {
    XTrunk* result = TrunkAt(0);
    int best_t = 0, best_p = -1, best_f = -1;
    double best_hit[3] = {0.0, 0.0, 0.0};
    if (camera.eye) {
        UpdateViewMatrices();
        double best_distance = DBL_MAX;
        for (int t = 1; t < trunk_count(); ++t) {
            XTrunk* trunk = document.trunks[t];
            if (!trunk || !trunk->shown) continue;
            for (int p = 1; p < trunk->part_count(); ++p) {
                XLeaves* part = trunk->parts[p];
                if (!takes_part(part, mask)) continue;
                // Every face of the model is looked at, none kept: faces a part does not keep go with the walk.
                const XLeaves::FaceWalk faces = part->WalkFaces();
                for (int f = 0; f < faces.size(); ++f) {
                    XLeaf* face = faces[f];
                    double q[3], n[3], x[3];
                    if (!face || !face->HitTestScreenPoint(static_cast<std::uint64_t>(point))) continue;
                    if (!face->GetWorldPlane(q, n) || !CrossPickRay(point, q, n, x)) continue;
                    const double distance = fnd::vec3_distance(camera.eye->eye, x);
                    if (!(distance < best_distance)) continue;
                    best_distance = distance;
                    result = trunk;
                    best_t = t, best_p = p, best_f = f;
                    copy3(best_hit, x);
                }
            }
        }
    }
    write_pick(trunk_index, part_index, face_index, hit, best_t, best_p, best_f, best_hit);
    return result;
}

XTrunk* XView::PickItem(std::int64_t point, int* trunk_index, int* part_index, int* face_index, int mask_bit1,
                        int mask_bit2, double* hit) {
    const int mask = mask_bit2 * 2 + mask_bit1;
    if (!output.bridge) return PickByOutline(point, trunk_index, part_index, face_index, hit, mask);
    UpdateViewMatrices();
    XTrunk* result = TrunkAt(0);
    int t = 0, p = -1, f = -1;
    double h[3] = {0.0, 0.0, 0.0};
    double modeller_hit[3] = {0.0, 0.0, 0.0};
    _OfuPosition* shape = output.bridge->PickShapeAt(static_cast<std::uint64_t>(point), modeller_hit);
    if (!shape) {
        static const double ground_point[3] = {0.0, 0.0, 0.0}, up[3] = {0.0, 0.0, 1.0};
        CrossPickRay(point, ground_point, up, h);
    } else {
        copy3(h, modeller_hit);
        int owner_trunk = 0, owner_part = -1;
        if (XLeaves* owner = ShapeOwner(shape, &owner_trunk, &owner_part)) {
            result = owner->owner;
            if (takes_part(owner, mask)) {
                t = owner_trunk;
                p = owner_part;
                if (result->HasPartFlag(0, 8)) {
                    f = 0;
                    window_item_point(point, input.window_item_scale, h);
                } else {
                    double face_hit[3];
                    PickFace(point, owner, face_hit, &f);
                    // A shape the modeller saw under the cursor keeps the modeller's point when no face outline
                    // claims the pixel (edges and silhouettes), instead of a hit at the world origin.
                    if (f >= 0) copy3(h, face_hit);
                }
            }
        }
    }
    write_pick(trunk_index, part_index, face_index, hit, t, p, f, h);
    return result;
}

XLeaves* XView::PartAtPoint(std::int64_t point) {
    if (!output.bridge) return nullptr;
    return ShapeOwner(output.bridge->HitTestShape(static_cast<std::uint64_t>(point)), nullptr, nullptr);
}

void XView::LookAtPoint(std::int64_t point) {
    if (!camera.eye) return;
    double hit[3];
    PickItem(point, nullptr, nullptr, nullptr, 1, 0, hit);
    const double kept_eye[3] = {camera.eye->eye[0], camera.eye->eye[1], camera.eye->eye[2]};
    AnimateEyeTo(hit, 0, kept_eye, camera.eye_move_time, 0.0, 0.0, 0.0);
    input.interaction_class = 1;
}

void XView::ApproachPoint(std::int64_t point) {
    if (!camera.eye) return;
    int t = 0;
    double hit[3];
    PickItem(point, &t, nullptr, nullptr, 1, 0, hit);
    if (t <= 0) return;
    const double distance = fnd::vec3_distance(camera.eye->eye, camera.eye->target);
    double back[3];
    fnd::distance_with_direction(hit, camera.eye->eye, back);
    const double new_eye[3] = {hit[0] + back[0] * distance, hit[1] + back[1] * distance, hit[2] + back[2] * distance};
    AnimateEyeTo(hit, 0, new_eye, camera.eye_move_time, 0.0, 0.0, 0.0);
}

void XView::ApproachFace(std::int64_t point, double value) {
    if (!camera.eye) return;
    UpdateViewMatrices();
    const double d = fnd::vec3_distance(camera.eye->eye, camera.eye->target);
    double h[3] = {camera.eye->target[0] - camera.eye->eye[0], camera.eye->target[1] - camera.eye->eye[1], 0.0};
    double level = fnd::vec2_length(h[0], h[1]);
    if (level < 1e-5) level = 1.0;
    for (double& c : h) c = c / level * d;

    XLeaves* part = PartAtPoint(point);
    if (!part || part->owner->HasPartFlag(0, 8)) return;
    double hit[3];
    XLeaf* face = PickFace(point, part, hit, nullptr);
    if (!face) return;
    double n[3];
    fnd::polygon_normal(face->world_points().data(), face->point_count(), n, nullptr);
    double new_eye[3], new_target[3];
    if (std::fabs(n[2]) > 0.5) {
        // A floor or a ceiling: stand on it and look level the way the eye looked.
        new_eye[0] = hit[0], new_eye[1] = hit[1], new_eye[2] = hit[2] + kStandingEyeHeight;
        for (int k = 0; k < 3; ++k) new_target[k] = new_eye[k] + h[k];
    } else {
        // A wall: stand with the back to it, looking out along its normal.
        double m[3];
        fnd::normalize_xyz(n[0], n[1], 0.0, m);
        for (int k = 0; k < 3; ++k) new_eye[k] = hit[k] + kWallDistance * m[k];
        for (int k = 0; k < 3; ++k) new_target[k] = new_eye[k] + d * m[k];
    }
    input.interaction_class = 3;
    AnimateEyeTo(new_target, 0, new_eye, camera.eye_move_time, 0.0, value, 0.0);
}

void XView::GoToStartEye() {
    // Opening the figure file already moved to its own eye point; only an eye point the start settings gave
    // after that is still pending, and without one the eye stays where the opening put it.
    if (settings.eye_point_given == 1) {
        const double seconds = camera.immediate_eye_move == 1 ? 0.0 : camera.eye_move_time;
        AnimateEyeTo(settings.settings_target, 0, settings.settings_eye, seconds, settings.settings_lens, 0.0, 0.0);
    }
    camera.immediate_eye_move = 0;
    settings.eye_point_given = 0;
}

}  // namespace kz::view
