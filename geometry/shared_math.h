// Matrix and graph routines shared by the converters, the plane cut and the modeller's shadow and walking code:
// cofactors, determinants and inverses of 3x3 and 4x4 matrices, and Dijkstra over an adjacency matrix.
#pragma once
#include <cstdint>

#include "geometry/ofu_types.h"

// Row and column are 1-based; (-1)^(row+column) times the minor's determinant. Out-of-range indices give 0.
double CofactorMatrix4x4(const OfuMatrix4x4& m, int row, int column);
double DeterminantMatrix4x4(const OfuMatrix4x4& m);
// 0, leaving out untouched, when |det| < 1e-5; else out = m^-1 and 1. The signed determinant is the divisor,
// so mirrors invert correctly.
int InverseMatrix4x4(const OfuMatrix4x4& m, OfuMatrix4x4& out);

double CofactorMatrix3x3(const double m[3][3], int row, int column);
double DeterminantMatrix3x3(const double m[3][3]);
int InverseMatrix3x3(const double m[3][3], double out[3][3]);

// Marks "no edge" in the adjacency matrix and "unreached" in the distances.
inline constexpr int32_t O3DU_NO_EDGE = 0xFFFFFF;

// Dijkstra from start over the n x n row-major matrix of distances; entries equal to O3DU_NO_EDGE or to excluded
// are no edges. Fills distance (O3DU_NO_EDGE when unreached), predecessor (-1 for none) and visited (1 settled).
// Returns 0 when start is not a node, else 1.
int GetShortestPath(const int32_t* matrix, int n, int start, int32_t* distance, int32_t* predecessor, int32_t* visited,
                    int32_t excluded);
