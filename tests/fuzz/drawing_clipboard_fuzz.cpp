// The drawing clipboard's native block: the bytes lie on the clipboard under the drawings' own format and are
// pasted into a new drawing. A block that is taken copies back (drawn as a picture, its texts laid out) and pastes
// into another drawing record for record.
#include <vector>

#include "drawing2d/drawing_clipboard.h"
#include "drawing2d/drawing_context.h"
#include "drawing2d/primitive_rows.h"
#include "platform/clipboard.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace {
using namespace kz::drawing2d;

// The seven columns of the rows up to and including the data end, one row after another.
std::vector<int32_t> records(drawing_context* ctx) {
    std::vector<int32_t> cells;
    const int32_t end = find_data_end(ctx, 0);
    for (int32_t r = 0; r <= end; ++r)
        for (const int32_t* column : {ctx->c1, ctx->c2, ctx->c3, ctx->c4, ctx->c5, ctx->c6, ctx->c7})
            cells.push_back(column[r]);
    return cells;
}

std::string text_of(const std::vector<int32_t>& cells) { return std::to_string(cells.size()) + " cells"; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kz::fuzz::fuzz_view();  // the application the clipboard belongs to
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    drawing_handle from = zolt_open(), into = zolt_open();
    drawing_context* a = zolt_lock(from);
    drawing_context* b = zolt_lock(into);
    if (!kz::platform::set_clipboard_data(a->clipboard_format, std::string_view(bytes.data(), size))) std::abort();
    if (xlum_cboard_paste(a, 0) == 1) {
        const std::vector<int32_t> pasted = records(a);
        if (xlum_cboard_copy(a, 0) != 1) kz::fuzz::fail("a pasted block cannot be copied", text_of(pasted), "");
        if (xlum_cboard_paste(b, 0) != 1) kz::fuzz::fail("a copied block is refused", text_of(pasted), "");
        const std::vector<int32_t> again = records(b);
        if (again != pasted) kz::fuzz::fail("a copied block pastes differently", text_of(pasted), text_of(again));
    }
    zolt_unlock(into);
    zolt_unlock(from);
    zolt_close(into);
    zolt_close(from);
    return 0;
}
