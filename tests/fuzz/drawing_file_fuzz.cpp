// Drawing files read as DXF, MPP and MPW into a new drawing and, when taken, written again in the same format:
// whatever the bytes, the read ends without a memory error or undefined behaviour, and a drawing that was read
// can be written.
#include "drawing2d/drawing_context.h"
#include "drawing2d/drawing_files.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kz::drawing2d;
    kz::fuzz::lower_drawing_budgets();
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    for (const char* name : {"input.dxf", "input.mpp", "input.mpw"}) {
        const std::string path = kz::fuzz::put_input(name, bytes.data(), size);
        drawing_handle h = zolt_open();
        drawing_context* ctx = zolt_lock(h);
        if (xlum_read(ctx, path.c_str(), 0) == 1 && xlum_write(ctx, path.c_str(), 0, 0) != 1)
            kz::fuzz::fail("a drawing that was read cannot be written", name, path);
        zolt_unlock(h);
        zolt_close(h);
    }
    return 0;
}
