// The shadow pass's main header: the one invariant every way of counting the shadow volumes rests on, stated once,
// and the switches with which tests and benchmarks set those ways side by side.
#pragma once
#include <cstdint>

// Every lit triangle (opaque, filled, facing the light) of a shape that casts is swept away from the light into a
// prism; a pixel lies in shadow where the point drawn there lies inside at least one prism. The pass counts, into the
// stencil, the prisms' walls a ray from the eye crosses before it reaches that point: one up for a wall entered, one
// down for a wall left, one up for each prism the ray starts in (the near plane's rectangle inside a prism) and one
// down for each it leaves through the prism's top, the caster's lit face, which has no wall. So:
//
//   the count left at a pixel is the number of prisms that hold its point, and never more than the sum of the depths
//   (how deep its prisms stack over one point, CO3duShadowVolumes::depth) of the shapes whose walls' light-space box
//   holds that point; the frame's bound is the most those depths sum to over any point.
//
// Each way of counting reads that count, or what it is modulo the bits it counts in, right, because the bound keeps
// it out of the counts it cannot tell apart:
// - every shape at once, modulo 256, where the stencil wraps and the frame's bound is at most 250, the counts 252 to
//   255 being a little below zero (a wall lost to rounding along a caster's outline), no shadow;
// - in groups, where the stencil wraps and the frame is deeper: shapes taken along the light into groups whose
//   depths sum to at most 122, each group counted modulo 256 on top of what the groups before left, 128 ("shadowed")
//   or 0, and folded back to 128 or 0: from 128 a group's count ends within 124 to 250, from 0 within 0 to 122 or
//   252 to 255 (below zero), so a pixel shadowed before stays so and one that was not reads its group's count;
// - between the groups, a shape deeper than a group alone, over the pixels its volume can reach: where its depth is
//   at most 246, modulo 256 from 4 where a pass before shadowed (128, or 250 after a shape alone) and from 255
//   elsewhere, so that a pixel shadowed before or by the shape itself ends within 0 to 250 and any other within 251
//   to 255, which one quad folds into 250 and 0 (taken back to 128 before a group counts); where it is deeper, modulo
//   256 within 250 and saturating beyond, from 0 everywhere, what the passes before left read out before and put
//   back after;
// - shape by shape where the stencil saturates: each shape's increments before its decrements, so a count saturates
//   only where one shape alone brings it past 255, and a shape's count never goes below 0.
// The volumes live in the shapes and are built again only where what they depend on changes; a deep frame's groups
// depend on the volumes alone, not on the eye, and are kept while they stay.

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
