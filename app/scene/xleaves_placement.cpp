// Where a shape stands: its placement and origin from the record, the anchor shape it hangs on, the matrices that
// carry it into its part and the world, and the matrix handed to the model.
#include <cmath>
#include <cstring>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/sjis_string.h"
#include "app/foundation/small_vector_math.h"
#include "app/scene/view_services.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::scene {

using namespace kz::foundation;

namespace {
constexpr double kPi = 3.141592653589793;
const int kY = op_code("y"), kX = op_code("x"), kZ = op_code("z"), kMove = op_code("M");
const int kYBack = op_code("y-"), kXBack = op_code("x-"), kZBack = op_code("z-"), kMoveBack = op_code("M-");
}  // namespace

void decompose_yxz_angles(const double* m, double* rx, double* ry, double* rz) {
    // The rotation part of y, x, z is Ry Rx Rz; its second row is (-cos x sin z, cos x cos z, sin x).
    const double sx = std::fmax(-1.0, std::fmin(1.0, m[6]));
    *rx = std::asin(sx) * 180.0 / kPi;
    if (std::fabs(sx) < 1.0 - 1e-12) {
        *rz = std::atan2(-m[4], m[5]) * 180.0 / kPi;
        *ry = std::atan2(-m[2], m[10]) * 180.0 / kPi;
    } else {
        // Looking straight along x, y and z turn about the same axis: all of it goes to y.
        *rz = 0.0;
        *ry = std::atan2(m[8], m[0]) * 180.0 / kPi;
    }
}

void XLeaves::ComputePlacement() {
    // The chain of shapes this one hangs on is followed up first and placed top down, without recursion: a file
    // may chain as many shapes as it likes.
    std::vector<XLeaves*> chain{this};
    std::vector<XLeaves*> anchors;  // anchors[k]: the shape chain[k] hangs on (null: the part's base)
    for (XLeaves* at = this; at;) {
        at->visiting = 1;
        XLeaves* next = nullptr;
        COBJECTA& r = *at->record;
        if (r.parent_name && *r.parent_name && at->owner && at->owner->part_count() >= 2) {
            for (int i = 1; i < at->owner->part_count(); ++i) {
                XLeaves* other = at->owner->parts[i];
                if (!other || other == at || !other->record->name) continue;
                if (compare_nocase(other->record->name, r.parent_name) != 0) continue;
                if (other->visiting)
                    // The chain came back to a shape already on it: this link closes a cycle and is dropped.
                    r.parent_name = free_and_null(r.parent_name);
                else
                    next = other;
                break;
            }
        }
        anchors.push_back(next);
        if (next) chain.push_back(next);
        at = next;
    }
    for (std::size_t k = chain.size(); k-- > 0;) chain[k]->PlaceOn(anchors[k]);
}

void XLeaves::PlaceOn(XLeaves* on) {
    COBJECTA& r = *record;
    const bool anchored = r.parent_name && *r.parent_name;
    // A shape hanging on another follows it, so its placement is never taken as still valid.
    if (placement_valid == 1 && !anchored) return;
    const double position[3] = {r.dx, r.dy, r.dz}, rotation[3] = {r.rx, r.ry, r.rz};
    compose_matrix_ops(0, P, position, rotation, 0, kY, kX, kZ, kMove);
    compose_matrix_ops(0, P_inverse, position, rotation, 0, kMoveBack, kZBack, kXBack, kYBack);
    anchor = on ? on : owner ? owner->base() : nullptr;
    if (on) {
        multiply_matrix4(P, P, on->P);
        multiply_matrix4(P_inverse, on->P_inverse, P_inverse);
    }
    const double offset[3] = {r.odx, r.ody, r.odz}, turn[3] = {r.orx, r.ory, r.orz};
    // Most shapes turn about their own origin: their offset matrices are the identity, and composing them would
    // be a quarter of the work of every moving part's tick.
    if (offset[0] == 0.0 && offset[1] == 0.0 && offset[2] == 0.0 && turn[0] == 0.0 && turn[1] == 0.0 &&
        turn[2] == 0.0) {
        identity_matrix4(O);
        identity_matrix4(O_inverse);
    } else {
        compose_matrix_ops(0, O, offset, turn, 0, kMoveBack, kY, kX, kZ);
        compose_matrix_ops(0, O_inverse, offset, turn, 0, kZBack, kXBack, kYBack, kMove);
    }
    placement_valid = 1;
}

void XLeaves::UpdateMatrix(const double* base, const double* base_inverse) {
    if (owner) owner->ClearPartPlacedFlags();
    ComputePlacement();
    multiply_matrix4(L, O, P);
    multiply_matrix4(L, L, base);
    multiply_matrix4(L_inverse, base_inverse, P_inverse);
    multiply_matrix4(L_inverse, L_inverse, O_inverse);
    multiply_matrix4(Q, P, base);
    multiply_matrix4(Q_inverse, base_inverse, P_inverse);
    transform_point(base_point_world, base_point_local, L);
    radius = vec3_distance(extreme_points[0], extreme_points[1]) / 2.0;
    double upper[3] = {axis_local[1][0], axis_local[1][1], axis_local[1][2]};
    if (upper[2] == axis_local[0][2]) upper[2] += 1.0;
    transform_point(axis_world[0], axis_local[0], L);
    transform_point(axis_world[1], upper, L);
    double along[3];
    for (int k = 0; k < 3; ++k) along[k] = axis_world[1][k] - axis_world[0][k];
    vec3_normalize(along, axis_direction, &axis_length);
}

void XLeaves::PushMatrixToModel() {
    XViewServices* v = view();
    CBusMDL* bridge = v ? v->Bridge() : nullptr;
    if (!bridge || !model) return;
    double m[16];
    std::memcpy(m, L, sizeof m);
    if (owner && owner->HasPartFlag(0, 8)) {
        // Screen parts are designed for a screen menu_screen_height units high and drawn in window pixels.
        const EyeRecord* eye = v->Eye();
        const double height = v->MenuScreenHeight();
        const double k = eye && height > 0.0 ? eye->screen_height / height : 1.0;
        const double factors[3] = {k, k, k};
        double s[16];
        scale_matrix(s, factors, 1.0);
        multiply_matrix4(m, s, m);
    }
    OfuMatrix4x4 out;
    std::memcpy(out.m, m, sizeof m);
    bridge->SetShapeMatrix(model, out);
}

}  // namespace kz::scene
