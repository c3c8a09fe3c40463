// Dimension files beside a drawing: whatever the ".DIM" file says, its dimensions are built into the drawing read
// from the MPW file beside it, and the drawing with them can be written again as MPW and ".DIM".
#include "drawing2d/dimension_files.h"
#include "drawing2d/drawing_context.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/row_store.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kz::drawing2d;
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    static const std::string drawing = [] {
        // The drawing the dimensions join: one line, written once.
        const std::string path = kz::fuzz::put_input("input.MPW", "", 0);
        drawing_handle h = zolt_open();
        drawing_context* ctx = zolt_lock(h);
        xlum_line_set(ctx, 0, 0, 0, 1000, 500);
        if (xlum_write(ctx, path.c_str(), 0, 0) != 1) std::abort();
        zolt_unlock(h);
        zolt_close(h);
        return path;
    }();
    kz::fuzz::put_input("input.DIM", bytes.data(), size);
    drawing_handle h = zolt_open();
    drawing_context* ctx = zolt_lock(h);
    if (xlum_dimconv_read(ctx, drawing.c_str(), 0) != 1)
        kz::fuzz::fail("the drawing beside the dimensions was not read", drawing, "");
    const std::string out = kz::fuzz::put_input("output.MPW", "", 0);
    if (xlum_dimconv_write(ctx, out.c_str(), 0) != 1)
        kz::fuzz::fail("a drawing with dimensions read cannot be written", out, "");
    zolt_unlock(h);
    zolt_close(h);
    return 0;
}
