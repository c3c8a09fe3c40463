// O3duPickIndex: every shape's box in world coordinates, packed in drawing order and grouped in runs with a box of
// their own, so a pick passes over the many shapes far from its pixel reading a few bytes of each run instead of
// every shape's record. It only ever passes over shapes that cannot draw into the pixel: what a pick finds, and in
// which order it draws, stay as without it.
#pragma once
#include <cstdint>
#include <vector>

#include "modeller/gl_structure.h"
#include "modeller/gl_view_volume.h"

class O3duPickIndex {
public:
    // What of a shape decides where a pick can meet it.
    struct Placement {
        float box_lo[3], box_hi[3];
        float reach;
        std::int32_t pickable, kind;
        OfuMatrix4x4 model_matrix;
        explicit Placement(const CO3duGLEntity& entity);
        bool operator==(const Placement&) const;
    };

    // Held over a change of one shape: when the shape's placement differs at its end, the index takes it again
    // before the next pick.
    class Change {
    public:
        Change(O3duPickIndex& index, const CO3duGLEntity* entity);
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;
        ~Change();

    private:
        O3duPickIndex& index_;
        const CO3duGLEntity* entity_;
        Placement before_;
    };

    // Brings the index up to date with the list and returns how many pixels any shape's lines or points reach
    // past its box: the volume given to reaching() must be widened by at least that much.
    float refresh(const CO3duGLStructure& structure);
    // The shapes whose box can meet the volume, in drawing order (valid until the next call).
    const std::vector<O3duShapeRef>& reaching(const CO3duGLStructure& structure, const O3duViewVolume& volume);

private:
    // Centre and half extents, rounded outwards to floats; extent[0] < 0 for a shape no pick meets, infinite
    // for one that may be drawn anywhere (window shapes, projective matrices).
    struct Box {
        float centre[3], extent[3];
    };
    static constexpr std::size_t kRun = 32;

    void rebuild(const CO3duGLStructure& structure);
    void take(std::size_t slot, const CO3duGLEntity& entity);
    void group(std::size_t run);

    std::vector<Box> boxes_;  // one a shape, in drawing order
    std::vector<Box> runs_;   // one a run of kRun shapes
    float reach_ = 0.0f;      // the widest of any shape indexed since the last rebuild
    std::vector<const CO3duGLEntity*> changed_;
    std::vector<O3duShapeRef> found_;
    std::uint64_t list_version_ = 0;
    bool valid_ = false;
};
