// Small constructors of the plain value types.
// Kept out of line so the header stays a list of layouts.
#include "geometry/ofu_types.h"

OfuMatrix4x4 identity_matrix() {
    OfuMatrix4x4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = r == c ? 1.0 : 0.0;
    return m;
}
