// Rings of the cone, cylinder and bent cylinder: the angles of a sweep in division steps, points on an elliptic
// ring, corner normals shared by neighbouring side faces, and the flat faces that close a ring.
#pragma once
#include <vector>

#include "app/scene/xleaves.h"

namespace kz::scene {

constexpr int kMaxRoundDivisions = 1440;

// Steps around the full turn from a "div" value already cut to an integer: below 3 24, above 1440 1440.
int round_divisions(std::int32_t value);

// Angles (radians) from the sweep's start in steps of 2 pi / divisions; the last step ends exactly at the
// sweep's end, which replaces a step that would come within half a degree of it.
std::vector<double> ring_angles(const SweepParameters& s, int divisions);

// Points (3 each) at (rx cos a, ry sin a, z); with a whole turn the last point repeats the first exactly.
std::vector<double> ring_points(const std::vector<double>& angles, double rx, double ry, double z, bool full_turn);

// Unit normal at every ring point from the normals of the side faces beside it (face i lies between points i and
// i + 1): their normalised sum, the two end faces meeting with a whole turn, else the end face's own. The cone's
// SmoothConeNormals and the cylinder's SmoothSideNormals are this one step.
std::vector<double> ring_corner_normals(const std::vector<double>& face_normals, bool full_turn);

// The side faces between a bottom and a top ring (a cone's top ring is its apex repeated), face k with code
// 5000 + k, or 6000 + k turned the other way for the inner wall of a shell. Smooth corners share the normals of
// the two faces beside them; an apex keeps its face's own. A pasted image is spread round the side by chords.
void add_round_side(XLeaves& shape, const std::vector<double>& bottom, const std::vector<double>& top, bool inner,
                    bool full_turn, double slant, bool apex);

// A flat cap through the ring: up (z order of the ring) or down (reversed); a partial ring takes its centre.
void add_ring_cap(XLeaves& shape, const std::vector<double>& ring, const double* centre, bool full_turn, bool up,
                  std::int32_t code);

// A ring of quads between an outer and an inner ring, facing up or down.
void add_ring_band(XLeaves& shape, const std::vector<double>& outer, const std::vector<double>& inner, bool up,
                   std::int32_t code);

}  // namespace kz::scene
