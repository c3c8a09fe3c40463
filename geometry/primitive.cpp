// Construction of a primitive: visible, pickable, placed where its vertices say.
// The layer starts at 0 so that a producer that never sets it still hands the modeller a defined value.
#include "geometry/primitive.h"

CO3duPrimitive::CO3duPrimitive() : model_matrix(identity_matrix()), texture_matrix(identity_matrix()) {}
