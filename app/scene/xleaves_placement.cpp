// Where a shape stands: its placement and origin from the record, the anchor shape it hangs on, the matrices that
// carry it into its part and the world, and the matrix handed to the model.
#include <algorithm>
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
    visiting = 1;
    COBJECTA& own = *record;
    if (!(own.parent_name && *own.parent_name) || !owner || owner->part_count() < 2) {
        PlaceOn(nullptr);
        return;
    }
    // The chain of shapes this one hangs on is followed up first and placed top down, without recursion: a file
    // may chain as many shapes as it likes. A link back to a shape already on the chain closes a cycle.
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
                if (std::find(chain.begin(), chain.end(), other) != chain.end())
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
    const bool anchored = record->parent_name && *record->parent_name;
    // A shape hanging on another follows it, so its placement is never taken as still valid.
    if (placement_valid == 1 && !anchored) return;
    anchor = on ? on : owner ? owner->base() : nullptr;
    placement_valid = 1;
}

bool XLeaves::Hung() const { return anchor && anchor != this && owner && anchor != owner->base(); }

Matrix16 XLeaves::OwnP() const {
    const COBJECTA& r = *record;
    const double position[3] = {r.dx, r.dy, r.dz}, rotation[3] = {r.rx, r.ry, r.rz};
    Matrix16 m;
    compose_matrix_ops(0, m.data(), position, rotation, 0, kY, kX, kZ, kMove);
    return m;
}

Matrix16 XLeaves::OwnP_inverse() const {
    const COBJECTA& r = *record;
    const double position[3] = {r.dx, r.dy, r.dz}, rotation[3] = {r.rx, r.ry, r.rz};
    Matrix16 m;
    compose_matrix_ops(0, m.data(), position, rotation, 0, kMoveBack, kZBack, kXBack, kYBack);
    return m;
}

namespace {

Matrix16 copy16(const double* m) {
    Matrix16 out;
    std::memcpy(out.data(), m, sizeof(double) * 16);
    return out;
}

// The shapes from `shape` up the chain it hangs on, the top one last; a chain can be no longer than its part.
std::vector<const XLeaves*> hanging_chain(const XLeaves* shape, bool (XLeaves::*hung)() const) {
    std::vector<const XLeaves*> chain{shape};
    const int limit = shape->owner ? shape->owner->part_count() : 1;
    while ((chain.back()->*hung)() && static_cast<int>(chain.size()) <= limit) chain.push_back(chain.back()->anchor);
    return chain;
}

bool plain_origin(const COBJECTA& r) {
    return r.odx == 0.0 && r.ody == 0.0 && r.odz == 0.0 && r.orx == 0.0 && r.ory == 0.0 && r.orz == 0.0;
}

}  // namespace

Matrix16 XLeaves::P() const {
    if (held_) return copy16(held_->P);
    if (!Hung()) return OwnP();
    // Placed from the top of the chain down, each shape's own placement before the one it hangs on.
    const std::vector<const XLeaves*> chain = hanging_chain(this, &XLeaves::Hung);
    Matrix16 m = chain.back()->OwnP();
    for (std::size_t k = chain.size() - 1; k-- > 0;) {
        Matrix16 own = chain[k]->OwnP();
        multiply_matrix4(own.data(), own.data(), m.data());
        m = own;
    }
    return m;
}

Matrix16 XLeaves::P_inverse() const {
    if (held_) return copy16(held_->P_inverse);
    if (!Hung()) return OwnP_inverse();
    const std::vector<const XLeaves*> chain = hanging_chain(this, &XLeaves::Hung);
    Matrix16 m = chain.back()->OwnP_inverse();
    for (std::size_t k = chain.size() - 1; k-- > 0;) {
        const Matrix16 own = chain[k]->OwnP_inverse();
        multiply_matrix4(m.data(), m.data(), own.data());
    }
    return m;
}

Matrix16 XLeaves::O() const {
    if (held_) return copy16(held_->O);
    Matrix16 m;
    const COBJECTA& r = *record;
    // Most shapes turn about their own origin: their offset matrices are the identity.
    if (plain_origin(r)) {
        identity_matrix4(m.data());
    } else {
        const double offset[3] = {r.odx, r.ody, r.odz}, turn[3] = {r.orx, r.ory, r.orz};
        compose_matrix_ops(0, m.data(), offset, turn, 0, kMoveBack, kY, kX, kZ);
    }
    return m;
}

Matrix16 XLeaves::O_inverse() const {
    if (held_) return copy16(held_->O_inverse);
    Matrix16 m;
    const COBJECTA& r = *record;
    if (plain_origin(r)) {
        identity_matrix4(m.data());
    } else {
        const double offset[3] = {r.odx, r.ody, r.odz}, turn[3] = {r.orx, r.ory, r.orz};
        compose_matrix_ops(0, m.data(), offset, turn, 0, kZBack, kXBack, kYBack, kMove);
    }
    return m;
}

Matrix16 XLeaves::BaseL() const {
    const XLeaves* b = owner ? owner->base() : nullptr;
    if (b && b != this) return copy16(b->L);
    Matrix16 m;
    identity_matrix4(m.data());
    return m;
}

Matrix16 XLeaves::BaseL_inverse() const {
    const XLeaves* b = owner ? owner->base() : nullptr;
    if (b && b != this) return b->L_inverse();
    Matrix16 m;
    identity_matrix4(m.data());
    return m;
}

Matrix16 XLeaves::Q() const {
    if (held_) return copy16(held_->P);
    Matrix16 m = P();
    const Matrix16 base = BaseL();
    multiply_matrix4(m.data(), m.data(), base.data());
    return m;
}

Matrix16 XLeaves::Q_inverse() const {
    if (held_) return copy16(held_->P_inverse);
    Matrix16 m = BaseL_inverse();
    const Matrix16 p = P_inverse();
    multiply_matrix4(m.data(), m.data(), p.data());
    return m;
}

Matrix16 XLeaves::L_inverse() const {
    if (held_) return copy16(held_->L_inverse);
    Matrix16 m = Q_inverse();
    const Matrix16 o = O_inverse();
    multiply_matrix4(m.data(), m.data(), o.data());
    return m;
}

void XLeaves::UpdateMatrix(const double* base, const double*) {
    ComputePlacement();
    const Matrix16 o = O(), p = P();
    multiply_matrix4(L, o.data(), p.data());
    multiply_matrix4(L, L, base);
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
