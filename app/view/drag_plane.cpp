// Drag geometry of the move and rotate tools: the drag plane laid through a picked point in the frame the drag
// target moves in, the cursor's travel on that plane or up and down facing the eye, and world to part points.
#include <array>
#include <cstdint>
#include <cstring>

#include "app/document/xview.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/view_projection.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "geometry/shared_math.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

void copy3(double* to, const double* from) { std::memcpy(to, from, 3 * sizeof(double)); }

// The world matrix of the parent's part an item hangs on; null for an item under nothing.
const double* hanging_frame(XTrunk* trunk) {
    XTrunk* parent = trunk ? trunk->parent : nullptr;
    if (!parent) return nullptr;
    const int hang = trunk->GetParentPartIndex();
    if (hang < 0 || hang >= parent->part_count() || !parent->parts[hang]) return nullptr;
    return parent->parts[hang]->L;
}

// A part moves in its parent shape's frame; the base shape, whose anchor is itself, in the frame it hangs in.
const double* parent_shape_frame(XTrunk* trunk, XLeaves* part) {
    if (part && part->anchor && part->anchor != part) return part->anchor->L;
    return hanging_frame(trunk);
}

}  // namespace

void XView::SetDragPlane(int trunk_index, int part_index, int face_index, const double* hit, int store) {
    XTrunk* trunk = TrunkAt(trunk_index);
    XLeaves* part = trunk && part_index >= 0 && part_index < trunk->part_count() ? trunk->parts[part_index] : nullptr;
    const double* frame = nullptr;
    std::array<double, 16> face_world;
    if (input.target == 1 || input.target == 2) {
        frame = hanging_frame(trunk);
    } else if (input.target == 3 || input.target == 4) {
        if (input.target == 4 && part && face_index >= 0 && face_index < part->face_count() &&
            part->faces()[face_index])
            frame = (face_world = part->faces()[face_index]->world()).data();
        else
            frame = parent_shape_frame(trunk, part);
    }
    // Any other target kind, or a frame that is missing, drags in the world's own axes.
    double m[16];
    if (frame)
        std::memcpy(m, frame, sizeof m);
    else
        fnd::identity_matrix4(m);
    const double origin[3] = {0.0, 0.0, 0.0}, up[3] = {0.0, 0.0, 1.0};
    double o[3], z[3];
    fnd::transform_point(o, origin, m);
    fnd::transform_point(z, up, m);
    const double at[3] = {hit ? hit[0] : 0.0, hit ? hit[1] : 0.0, hit ? hit[2] : 0.0};
    for (int k = 0; k < 3; ++k) input.drag.normal[k] = z[k] - o[k];
    copy3(input.drag.point, at);
    copy3(m + 12, at);
    std::memcpy(input.drag.matrix, m, sizeof m);
    if (display.ground_grid_switch == 1) ShowGroundGrid(input.drag.matrix);
    if (store == 1) {
        input.drag.pick_trunk = trunk_index;
        input.drag.pick_part = part_index;
        input.drag.pick_face = face_index;
        input.drag.pick_height = at[2];
    }
}

void XView::BeginDragAt(std::int64_t point) {
    double hit[3];
    PickItem(point, nullptr, nullptr, nullptr, 1, 0, hit);
    if (input.selected_trunk <= 0) {
        fnd::identity_matrix4(input.drag.matrix);
        std::memset(input.drag.point, 0, sizeof input.drag.point);
        input.drag.normal[0] = 0.0, input.drag.normal[1] = 0.0, input.drag.normal[2] = 1.0;
    } else {
        SetDragPlane(input.selected_trunk, input.selected_part, input.selected_face, hit, 1);
    }
    copy3(input.drag.last, hit);
    copy3(input.drag.last_copy, hit);
}

void XView::DragPointOnPlane(std::int64_t point, double* delta, int trunk_index) {
    double d[3] = {0.0, 0.0, 0.0};
    XTrunk* trunk = TrunkAt(trunk_index);
    if (trunk && trunk->HasPartFlag(0, 8)) {
        const double scale = input.window_item_scale != 0.0 ? input.window_item_scale : 1.0;
        const double now[3] = {view_point_x(point) / scale, view_point_y(point) / scale, 0.0};
        for (int k = 0; k < 3; ++k) d[k] = now[k] - input.drag.last[k];
        copy3(input.drag.last, now);
    } else {
        double crossing[3];
        // A cursor beyond the plane's horizon has no point on it: the drag stands still rather than jumping to
        // a point behind the eye.
        if (CrossPickRay(point, input.drag.point, input.drag.normal, crossing)) {
            OfuMatrix4x4 plane, inverse;
            std::memcpy(&plane, input.drag.matrix, sizeof plane);
            if (InverseMatrix4x4(plane, inverse)) {
                double a[3], b[3];
                fnd::transform_point(a, crossing, &inverse.m[0][0]);
                fnd::transform_point(b, input.drag.last, &inverse.m[0][0]);
                for (int k = 0; k < 3; ++k) d[k] = a[k] - b[k];
            } else {
                for (int k = 0; k < 3; ++k) d[k] = crossing[k] - input.drag.last[k];
            }
            copy3(input.drag.last, crossing);
        }
    }
    if (delta) copy3(delta, d);
}

void XView::DragHeight(std::int64_t point, double* p, double* dz) {
    double change = 0.0;
    if (camera.eye && p) {
        UpdateViewMatrices();
        double v[3], nearer[3];
        fnd::transform_to_view(*camera.eye, p, v);
        v[2] -= 1.0;
        fnd::transform_from_view(*camera.eye, v, nearer);
        const double normal[3] = {p[0] - nearer[0], p[1] - nearer[1], p[2] - nearer[2]};
        double crossing[3];
        if (CrossPickRay(point, p, normal, crossing)) {
            change = crossing[2] - p[2];
            copy3(p, crossing);
        }
    }
    if (dz) *dz = change;
}

int XView::WorldToPartLocal(const double* world, int trunk_index, int part_index, double* out) {
    if (!out) return 0;
    XTrunk* trunk = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    XLeaves* part = trunk && part_index >= 0 && part_index < trunk->part_count() ? trunk->parts[part_index] : nullptr;
    if (!part || !world) {
        std::memset(out, 0, 3 * sizeof(double));
        return 0;
    }
    fnd::transform_point(out, world, part->L_inverse().data());
    return 1;
}

}  // namespace kz::view
