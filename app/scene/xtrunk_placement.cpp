// The placement chain from parent part to child: the base shape's matrices computed by the part itself, then every
// shape of the part placed on them; per frame only the parts that follow the camera are placed again.
#include <array>
#include <cfloat>
#include <cstring>

#include "app/foundation/eye_record.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {
constexpr int kCameraRelative = 16;

// One part, or the part and everything below it, each after the part it hangs on.
template <class Place>
void place_down(XTrunk* top, int recursive, Place place) {
    if (!recursive) {
        place(top);
        return;
    }
    walk_subtree(top, [&](XTrunk* t) {
        place(t);
        return true;
    });
}
}  // namespace

void XTrunk::ClearPartPlacedFlags() {
    for (int i = 1; i < part_count(); ++i) parts[i]->visiting = 0;
}

// The base shape's own matrices, hung on `anchor` (and its inverse) when one is given. The base shape's origin
// is the centre about which the whole part turns: L = O^-1 . P.
void XTrunk::PlaceBase(const double* anchor, const double* anchor_inverse) {
    XLeaves& b = *base();
    HeldPlacement& h = *b.HoldPlacement();
    const COBJECTA& r = *b.record;
    const double position[3] = {r.dx, r.dy, r.dz}, rotation[3] = {r.rx, r.ry, r.rz};
    const double offset[3] = {r.odx, r.ody, r.odz}, turn[3] = {r.orx, r.ory, r.orz};
    const int forward[4] = {op_code("y"), op_code("x"), op_code("z"), op_code("M")};
    const int back[4] = {op_code("M-"), op_code("z-"), op_code("x-"), op_code("y-")};
    compose_matrix_ops(0, h.P, position, rotation, 0, forward[0], forward[1], forward[2], forward[3]);
    compose_matrix_ops(0, h.P_inverse, position, rotation, 0, back[0], back[1], back[2], back[3]);
    compose_matrix_ops(0, h.O, offset, turn, 0, forward[0], forward[1], forward[2], forward[3]);
    compose_matrix_ops(0, h.O_inverse, offset, turn, 0, back[0], back[1], back[2], back[3]);
    if (anchor && anchor_inverse) {
        multiply_matrix4(h.P, h.P, anchor);
        multiply_matrix4(h.P_inverse, anchor_inverse, h.P_inverse);
    }
    multiply_matrix4(b.L, h.O_inverse, h.P);
    multiply_matrix4(h.L_inverse, h.P_inverse, h.O);
    b.placement_valid = 1;
}

void XTrunk::PlaceParts() {
    ClearPartPlacedFlags();
    XLeaves& b = *base();
    for (int i = 1; i < part_count(); ++i) {
        parts[i]->UpdateMatrix(b.L, nullptr);
        parts[i]->PushMatrixToModel();
    }
}

void XTrunk::PlaceOnParent() {
    if (parent) {
        // A part hangs on the named shape of its parent, without that shape's origin.
        const int p = GetParentPartIndex();
        const XLeaves* on = p < parent->part_count() ? parent->parts[p] : parent->base();
        const Matrix16 q = on->Q(), q_inverse = on->Q_inverse();
        PlaceBase(q.data(), q_inverse.data());
    } else {
        PlaceBase(nullptr, nullptr);
    }
    PlaceParts();
}

void XTrunk::RecalcMatrices(int recursive) {
    place_down(this, recursive, [](XTrunk* t) { t->PlaceOnParent(); });
}

void XTrunk::PlaceForFrame() {
    placed_this_frame = 0;
    EyeRecord* eye = view ? view->Eye() : nullptr;
    if (HasPartFlag(0, kCameraRelative) && eye) {
        // Camera-relative parts ride with the eye: P . Z . E, Z the quarter turn that points the part's y axis
        // along the line of sight.
        double z[16], z_inverse[16], anchor[16], anchor_inverse[16];
        const double quarter[3] = {0.0, 0.0, -90.0};
        compose_matrix_ops(0, z, nullptr, quarter, 0, op_code("z"));
        compose_matrix_ops(0, z_inverse, nullptr, quarter, 0, op_code("z-"));
        multiply_matrix4(anchor, z, eye->inverse_view_matrix);
        multiply_matrix4(anchor_inverse, eye->view_matrix, z_inverse);
        PlaceBase(anchor, anchor_inverse);
        placed_this_frame = 1;
    } else if (parent && parent->placed_this_frame) {
        const int p = GetParentPartIndex();
        const XLeaves* on = p < parent->part_count() ? parent->parts[p] : parent->base();
        const Matrix16 q = on->Q(), q_inverse = on->Q_inverse();
        PlaceBase(q.data(), q_inverse.data());
        placed_this_frame = 1;
    }
    if (placed_this_frame) PlaceParts();
}

void XTrunk::UpdateMatricesForFrame(int recursive) {
    place_down(this, recursive, [](XTrunk* t) { t->PlaceForFrame(); });
}

void XTrunk::GetPartBounds(double* point, double* box, int reset) {
    double local[6];
    double* b = box ? box : local;
    if (reset == 1 || !box) {
        b[0] = b[1] = b[2] = DBL_MAX;
        b[3] = b[4] = b[5] = -DBL_MAX;
    }
    for (XLeaves* part : parts) {
        if (!part) continue;
        const std::array<double, 3> world = part->base_point_world();
        const double* p = world.data();
        for (int k = 0; k < 3; ++k) {
            if (p[k] < b[k]) b[k] = p[k];
            if (p[k] > b[3 + k]) b[3 + k] = p[k];
        }
        if (point) std::memcpy(point, p, 3 * sizeof(double));
    }
}

}  // namespace kz::scene
