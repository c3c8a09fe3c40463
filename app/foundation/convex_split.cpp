// Convex splitting of caps: cut at the first reflex corner along the first diagonal that stays inside, until
// every piece is convex. Pieces are index lists while cutting, so a cut costs a copy of indices, not of points.
#include "app/foundation/convex_split.h"

#include <cstddef>

#include "app/foundation/polygon_tests_2d.h"
#include "app/foundation/vector_geometry.h"

namespace kz::foundation {

namespace {

int sign_of(double v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }

double turn_at(const double* pts, const std::vector<int>& piece, std::size_t k) {
    const std::size_t m = piece.size();
    const double* a = pts + 3 * piece[(k + m - 1) % m];
    const double* b = pts + 3 * piece[k];
    const double* c = pts + 3 * piece[(k + 1) % m];
    return (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0]);
}

}  // namespace

int split_polygon_piece(const double* pts, std::vector<int>& piece, int orientation, std::vector<int>& rest) {
    const int m = static_cast<int>(piece.size());
    if (m <= 3) return 1;
    int reflex = -1;
    for (int k = 0; k < m && reflex < 0; ++k)
        if (sign_of(turn_at(pts, piece, static_cast<std::size_t>(k))) != orientation) reflex = k;
    if (reflex < 0) return 1;
    for (int j = 0; j < m; ++j) {
        const int step = (j - reflex + m) % m;   // corners from the reflex one forward to j
        if (step < 2 || step > m - 2) continue;  // the corner itself or a neighbour
        if (!is_valid_diagonal_indexed(pts, piece.data(), m, reflex, j)) continue;
        std::vector<int> first;
        first.reserve(static_cast<std::size_t>(step) + 1);
        for (int k = 0; k <= step; ++k) first.push_back(piece[(reflex + k) % m]);
        rest.clear();
        rest.reserve(static_cast<std::size_t>(m - step) + 1);
        for (int k = step; k <= m; ++k) rest.push_back(piece[(reflex + k) % m]);
        piece.swap(first);
        return 0;
    }
    // No diagonal stays inside (a self-touching or degenerate outline): the piece is closed off as it is
    // rather than searched forever.
    return 1;
}

PolygonPiece* triangulate_polygon(const double* points, int n, const double* second, const double* texcoords) {
    if (!points) return nullptr;
    if (n >= 4 && points[0] == points[3 * (n - 1)] && points[1] == points[3 * (n - 1) + 1] &&
        points[2] == points[3 * (n - 1) + 2])
        --n;
    if (n < 3) return nullptr;
    double normal[3];
    polygon_normal(points, n, normal, nullptr);
    const int orientation = sign_of(normal[2]);

    std::vector<std::vector<int>> pieces(1);
    pieces[0].reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) pieces[0].push_back(i);
    std::vector<int> rest;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        while (split_polygon_piece(points, pieces[k], orientation, rest) == 0) pieces.push_back(std::move(rest));
    }

    PolygonPiece* head = nullptr;
    PolygonPiece** tail = &head;
    for (const std::vector<int>& piece : pieces) {
        auto* p = new PolygonPiece;
        p->count = static_cast<int>(piece.size());
        p->done = 1;
        for (int i : piece) {
            p->points.insert(p->points.end(), points + 3 * i, points + 3 * i + 3);
            if (second) p->second.insert(p->second.end(), second + 3 * i, second + 3 * i + 3);
            if (texcoords) p->texcoords.insert(p->texcoords.end(), texcoords + 2 * i, texcoords + 2 * i + 2);
        }
        *tail = p;
        tail = &p->next;
    }
    return head;
}

void free_polygon_chain(PolygonPiece* chain) {
    while (chain) {
        PolygonPiece* next = chain->next;
        delete chain;
        chain = next;
    }
}

}  // namespace kz::foundation
