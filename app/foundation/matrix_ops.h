// 4x4 matrices of the application (16 doubles, row by row, p' = p x M, A x B applies A first) built from short
// operation codes ("M-", "y", "YZ+" ...), their products and point and direction transforms.
#pragma once

namespace kz::foundation {

// A code packs one to three ASCII characters, the first in the low byte: op_code("M-") == 0x2D4D.
constexpr int op_code(const char* text) {
    int code = 0;
    for (int i = 0; i < 3 && text[i]; ++i) code |= (static_cast<unsigned char>(text[i]) << (8 * i));
    return code;
}

void identity_matrix4(double* m);
// Rotation about axis 'X', 'Y' or 'Z' (either case) by degrees * sign; any other letter gives the identity.
void axis_rotation_matrix(double* m, int axis, double degrees, double sign);
void axis_rotation_matrix_rad(double* m, int axis, double radians, double sign);
// diag(sx, sy, sz, 1) for sign > 0, else the inverse; components below 1e-8 in magnitude count as 1; a null
// vector gives the identity.
void scale_matrix(double* m, const double* v, double sign);
// One step: out is the matrix of `code` for position v and rotation r (degrees); an unknown code leaves out
// unwritten and returns 0, otherwise 1. With z_up, "Y" rotates about Z.
int matrix_op_step(double* out, const double* v, const double* r, int code, int z_up);
// M = S1 x S2 x ... for the codes up to the first 0 (at most seven); with onto set, M = M x S1 x ... instead.
// Unknown codes are skipped.
void compose_matrix_ops(int onto, double* m, const double* v, const double* r, int z_up, int c1, int c2 = 0, int c3 = 0,
                        int c4 = 0, int c5 = 0, int c6 = 0, int c7 = 0);
// out = A x B; out may alias A or B.
void multiply_matrix4(double* out, const double* a, const double* b);
// [x y z 1] x M, no division by w; out may alias point.
void transform_point(double* out, const double* point, const double* m);
// [x y z 0] x M, normalised; out may alias direction.
void transform_direction(double* out, const double* direction, const double* m);

}  // namespace kz::foundation
