// One vertex moved by a matrix, shared by the interface's generic MoveShape and the OpenGL entity's own.
// A matrix whose w vanishes at the point leaves the point undivided instead of sending it to infinity.
#include "modeller/vertex_transform.h"

#include "geometry/vector_math.h"

void move_vertex(const OfuMatrix4x4& m, OfuVector3& p, OfuVector3& n) {
    const double x = p.x, y = p.y, z = p.z;
    double w = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
    if (w == 0.0) w = 1.0;
    p.x = (x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0]) / w;
    p.y = (x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1]) / w;
    p.z = (x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2]) / w;
    const double nx = n.x, ny = n.y, nz = n.z;
    n.x = nx * m[0][0] + ny * m[1][0] + nz * m[2][0];
    n.y = nx * m[0][1] + ny * m[1][1] + nz * m[2][1];
    n.z = nx * m[0][2] + ny * m[1][2] + nz * m[2][2];
    NormalizeVector3(n);
}
