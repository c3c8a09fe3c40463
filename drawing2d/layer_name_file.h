// The layer-name file beside a drawing: "[Layer]" and one line `n="name"` for each named layer, in a file named by
// the drawing's drive, directory and name with the extension ".LAY".
#pragma once
#include "drawing2d/drawing_context.h"

namespace kz::drawing2d {

// Reads the names (after emptying the layer tables when `reset` is 1); 0 when the file cannot be opened, which
// changes nothing.
int read_layer_file(drawing_context* ctx, const char* drive, const char* dir, const char* name, int reset);
// Writes the names; the count written. A drawing without names leaves no file (an old one is deleted); a failed
// write leaves any old file as it was and gives 0.
int write_layer_file(drawing_context* ctx, const char* drive, const char* dir, const char* name);

}  // namespace kz::drawing2d
