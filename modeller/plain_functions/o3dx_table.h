// The plain-function interface's table of modellers, shared by the files that implement the functions.
#pragma once
#include "modeller/gl_modelar.h"
#include "modeller/plain_functions/o3dx_interface.h"

// The modeller of a handle, or null for a handle outside 0..15 or of a free slot.
CO3duGLModelar* o3dx_modeller(O3DXLONG h);
