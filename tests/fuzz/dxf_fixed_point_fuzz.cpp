// DXF files: after one import and export, the drawing is at a fixed point: the export imported and exported again
// gives the same file.
#include "tests/fuzz/drawing_cycle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Without the settings records: they are placed at the drawing's origin, which an import fits to the file's
    // limits, so they would move with every cycle.
    kz::fuzz::check_drawing_cycle(data, size, ".dxf", false);
    return 0;
}
