// Active attributes of new records with their ring stack, the all-layer switches and the font slot resolution.
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

int xlum_set_active(drawing_context* ctx, int32_t layer, int32_t group, int32_t colour, int32_t style);
// direction 1 pushes (then takes the given values that lie in range), -1 pops; anything else does nothing.
void xlum_push_pop_active(drawing_context* ctx, int direction, int32_t layer, int32_t group, int32_t colour,
                          int32_t style);
// The commands "AllLayerOn" / "AllLayerOff" and "AllLockLayer" on the layer tables.
int set_all_layers_displayed(drawing_context* ctx, int32_t value);
int set_all_layers_locked(drawing_context* ctx, double value);

}  // namespace kz::drawing2d
