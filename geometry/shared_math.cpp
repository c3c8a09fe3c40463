// Cofactor expansion inverses and the shortest-path search.
// Sizes are tiny (3 and 4) and the graphs are outline loops, so plain expansions and an O(n^2) Dijkstra do.
#include "geometry/shared_math.h"

#include <cmath>

namespace {

constexpr double kSingular = 1e-5;

double det3(double a, double b, double c, double d, double e, double f, double g, double h, double i) {
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

}  // namespace

double CofactorMatrix4x4(const OfuMatrix4x4& m, int row, int column) {
    if (row < 1 || row > 4 || column < 1 || column > 4) return 0.0;
    double minor[9];
    int k = 0;
    for (int r = 0; r < 4; ++r) {
        if (r == row - 1) continue;
        for (int c = 0; c < 4; ++c) {
            if (c == column - 1) continue;
            minor[k++] = m[r][c];
        }
    }
    const double d = det3(minor[0], minor[1], minor[2], minor[3], minor[4], minor[5], minor[6], minor[7], minor[8]);
    return (row + column) % 2 == 0 ? d : -d;
}

double DeterminantMatrix4x4(const OfuMatrix4x4& m) {
    double d = 0.0;
    for (int c = 0; c < 4; ++c) d += m[0][c] * CofactorMatrix4x4(m, 1, c + 1);
    return d;
}

int InverseMatrix4x4(const OfuMatrix4x4& m, OfuMatrix4x4& out) {
    const double det = DeterminantMatrix4x4(m);
    if (std::fabs(det) < kSingular) return 0;
    OfuMatrix4x4 t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t[c][r] = CofactorMatrix4x4(m, r + 1, c + 1) / det;
    out = t;
    return 1;
}

double CofactorMatrix3x3(const double m[3][3], int row, int column) {
    if (row < 1 || row > 3 || column < 1 || column > 3) return 0.0;
    double minor[4];
    int k = 0;
    for (int r = 0; r < 3; ++r) {
        if (r == row - 1) continue;
        for (int c = 0; c < 3; ++c) {
            if (c == column - 1) continue;
            minor[k++] = m[r][c];
        }
    }
    const double d = minor[0] * minor[3] - minor[1] * minor[2];
    return (row + column) % 2 == 0 ? d : -d;
}

double DeterminantMatrix3x3(const double m[3][3]) {
    return det3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
}

int InverseMatrix3x3(const double m[3][3], double out[3][3]) {
    const double det = DeterminantMatrix3x3(m);
    if (std::fabs(det) < kSingular) return 0;
    double t[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) t[c][r] = CofactorMatrix3x3(m, r + 1, c + 1) / det;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r][c] = t[r][c];
    return 1;
}

int GetShortestPath(const int32_t* matrix, int n, int start, int32_t* distance, int32_t* predecessor, int32_t* visited,
                    int32_t excluded) {
    if (!matrix || n <= 0 || start < 0 || start >= n) return 0;
    for (int i = 0; i < n; ++i) {
        distance[i] = O3DU_NO_EDGE;
        predecessor[i] = -1;
        visited[i] = 0;
    }
    distance[start] = 0;
    for (;;) {
        int u = -1;
        for (int i = 0; i < n; ++i)
            if (!visited[i] && distance[i] < O3DU_NO_EDGE && (u < 0 || distance[i] < distance[u])) u = i;
        if (u < 0) return 1;
        visited[u] = 1;
        const int32_t* row = matrix + static_cast<int64_t>(u) * n;
        for (int v = 0; v < n; ++v) {
            const int32_t w = row[v];
            if (visited[v] || w == O3DU_NO_EDGE || w == excluded) continue;
            // Summed in 64 bits: a path that would reach the "unreached" mark counts as no path.
            const int64_t through = int64_t(distance[u]) + w;
            if (through < distance[v]) {
                distance[v] = static_cast<int32_t>(through);
                predecessor[v] = u;
            }
        }
    }
}
