// Splitting of a (possibly concave) outline into convex pieces for the face makers: each piece becomes one
// triangle fan of the bridge. Points have a stride of three; the split looks at x and y only.
#pragma once
#include <vector>

namespace kz::foundation {

// One convex piece: its corners in outline order (not closed), the second point set and texture coordinates
// carried alike (empty when none were given), and the next piece of the chain.
struct PolygonPiece {
    int count = 0;
    std::vector<double> points;     // 3 per corner
    std::vector<double> second;     // 3 per corner, or empty
    std::vector<double> texcoords;  // 2 per corner, or empty
    int done = 0;
    PolygonPiece* next = nullptr;
};

// The chain of convex pieces covering the outline of n points (a repeated first point at the end is dropped);
// null for fewer than 3 corners. The caller frees it with free_polygon_chain.
PolygonPiece* triangulate_polygon(const double* points, int n, const double* second, const double* texcoords);
void free_polygon_chain(PolygonPiece* chain);

// One step on a piece given as corner indices into points: a piece of 3 corners, a convex one, or one with no
// valid diagonal from its first reflex corner is done (1). Otherwise it is cut along the first valid diagonal
// from that corner: `piece` keeps the part from the corner forward to the diagonal's other end, the rest goes to
// `rest`, and the result is 0. orientation is the sign of the outline's normal z.
int split_polygon_piece(const double* points, std::vector<int>& piece, int orientation, std::vector<int>& rest);

}  // namespace kz::foundation
