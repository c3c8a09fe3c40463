// Moving one vertex by a shape matrix: the position as a row vector divided by w, the normal turned by the upper
// 3x3 part and made unit length again (a normal too short to have a direction is left as it is).
#pragma once
#include "geometry/ofu_types.h"

void move_vertex(const OfuMatrix4x4& m, OfuVector3& position, OfuVector3& normal);
