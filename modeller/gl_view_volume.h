// The view volume of a rectangle of window pixels, to pass over shapes that cannot put anything into it: the
// frame skips shapes outside the window, a pick those away from its pixel. A shape is passed over only when its
// box lies wholly outside one of the volume's planes, so what is drawn into the rectangle never changes. A frame
// with the section plane adds it: what lies wholly on its cut side is passed over too, and where the plane
// crosses a box is told apart, for the section caps.
#pragma once
#include <cmath>

#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"
#include "modeller/o3du_records.h"

// A box moved into world coordinates: its centre and half extents along the world axes.
struct O3duWorldBox {
    double centre[3];
    double extent[3];

    // The box from lo to hi, as it stands.
    static O3duWorldBox between(const float* lo, const float* hi);
    // The centre's and the box's half reach along the direction n (a plane's normal, not made unit): the box
    // spans along() - reach_along() to along() + reach_along() that way.
    double along(const double* n) const { return n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2]; }
    double reach_along(const double* n) const {
        return std::fabs(n[0]) * extent[0] + std::fabs(n[1]) * extent[1] + std::fabs(n[2]) * extent[2];
    }
};

class O3duViewVolume {
public:
    // Where a shape drawn with the model matrix m can meet any volume: nowhere (no vertices), within `box`, or
    // anywhere (shapes drawn in window coordinates, matrices that move by projection).
    enum class Reach { nowhere, box, anywhere };
    static Reach place(const CO3duGLEntity& entity, const OfuMatrix4x4& m, O3duWorldBox& box);

    // From the current modelview (the view alone) and projection matrices, for the window pixels x0..x1 and
    // y0..y1 (OpenGL rows) of the viewport.
    O3duViewVolume(const _O3duViewport& viewport, double x0, double y0, double x1, double y1);

    // Whether the shape, drawn with the model matrix m, can put nothing into the rectangle. Shapes drawn in
    // window coordinates and shapes moved by a projective matrix are never passed over.
    bool misses(const CO3duGLEntity& entity, const OfuMatrix4x4& m) const;
    // Whether the world box lies wholly outside one of the volume's planes, or wholly on the section's cut side.
    bool misses(const O3duWorldBox& box) const { return outside(box, planes_) || section_side(box) == Side::cut; }

    // The section plane (a x + b y + c z + d >= 0 kept, world coordinates, as the clip plane takes it).
    void set_section(const OfuPlane& plane);
    // Where a world box lies against the section: wholly on the kept side (always so without a section), wholly
    // on the cut side, or crossed. A box within a rounding's width of the plane counts as crossed, so a shape
    // called kept or cut is so whatever OpenGL's rounding of its vertices.
    enum class Side { kept, crossed, cut };
    Side section_side(const O3duWorldBox& box) const;
    // Whether the plane can cross the shape drawn with the model matrix m where the shape reaches the rectangle,
    // its box placed once for both: shapes drawn in window coordinates and shapes moved by a projective matrix
    // always count as opened, shapes without vertices never.
    bool section_opens(const CO3duGLEntity& entity, const OfuMatrix4x4& m) const;
    // Whether both boxes lie wholly outside one and the same plane: so then does all that one swept to the other.
    bool misses_both(const O3duWorldBox& a, const O3duWorldBox& b) const;
    // The matrix from the coordinates of the volume's planes to clip coordinates (row vectors): the modelview and
    // projection it was made from.
    const OfuMatrix4x4& to_clip() const { return view_projection_; }

private:
    // The box from lo to hi moved by the affine matrix m (row vectors), as a box along the world axes.
    static O3duWorldBox moved_box(const float* lo, const float* hi, const OfuMatrix4x4& m);
    void make_planes(double reach, double planes[6][4]) const;
    // Whether the shape's box, widened by the pixels its lines and points reach, lies outside the rectangle.
    bool reaches_nothing(const CO3duGLEntity& entity, const O3duWorldBox& box) const;
    static bool outside(const O3duWorldBox& box, const double (*planes)[4]);
    static bool beyond(const O3duWorldBox& box, const double* plane);

    OfuMatrix4x4 view_projection_;
    _O3duViewport viewport_;
    double x0_, y0_, x1_, y1_;
    double planes_[6][4];  // a x + b y + c z + d >= 0 inside, world coordinates
    bool section_ = false;
    double section_plane_[4] = {};
};
