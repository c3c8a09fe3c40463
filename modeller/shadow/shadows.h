// The shadows of the shadow light, drawn with stencil shadow volumes: what every counting mode of the pass rests on,
// and the switches tests and benchmarks use to compare the modes.
//
// Every lit triangle (opaque, filled, facing the light) of a shape that casts is swept away from the light into a
// prism; a pixel lies in shadow where the point drawn there lies inside at least one prism. The pass counts, into the
// stencil, the prisms' walls a ray from the eye crosses before it reaches that point: one up for a wall entered, one
// down for a wall left, and one up for each prism the ray starts in (the near plane's rectangle inside a prism), so
// the count left at a pixel is exactly the number of prisms that hold its point. That count is never more than the
// sum of the depths (how deep its prisms stack over one point, `CO3duShadowVolumes::depth`) of the shapes whose walls'
// light-space box holds the point, and the frame's bound is the most those depths sum to over any point. Every way of
// counting is chosen so that this count, or what it is modulo the bits counted in, is read right:
// - all shapes at once, wrapping modulo 256, where the bound stays below the band read as below zero;
// - in groups of shapes whose summed depths stay below 124, each in seven bits, folded into a "shadowed" top bit;
// - shape by shape with a saturating stencil, increments before decrements, where a shape alone is deeper.
// The volumes live in the shapes and are built again only where what they depend on changes.
#pragma once
#include <cstdint>

// Switched off, shadows count from the near plane without adding the prisms its rectangle lies in, for the
// benchmarks that measure what adding them costs.
void set_shadow_near_caps_for_testing(bool on);
// On, a frame where the stencil wraps counts every shape's walls in one wrapping pass whatever its bound, so that
// counts past 255 read wrong: what a deep frame costs at the least, for the benchmarks.
void set_shadow_one_wrapping_pass_for_testing(bool on);
// Above 0, every frame where the stencil wraps counts in groups whose shapes' depths sum to `depth` at most, or as
// much as a group may hold where that is less, whatever its bound; 0, as a frame does. For the tests of the
// counting in groups.
void set_shadow_group_depth_for_testing(std::uint32_t depth);
