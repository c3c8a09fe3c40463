// Repair of a drawing's records: whatever would upset the display, the edits or the link pairing is fixed or
// cleared to empty rows (which packing removes later).
#pragma once
#include <cstdint>

#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Checks and repairs the records from `start`; the number of repairs.
int32_t xlum_gbaketu(drawing_context* ctx, int32_t start);

}  // namespace kz::drawing2d
