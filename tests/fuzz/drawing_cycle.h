// The drawing harnesses' cycle: the bytes read as a drawing file and written in the same format; what was written
// read and written again must give the same bytes.
#pragma once
#include <string>

#include "drawing2d/drawing_context.h"
#include "drawing2d/drawing_files.h"
#include "platform/file_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace kz::fuzz {

// Reads `from` into a new drawing and writes it to `to`: false when `from` was refused; a drawing that was read
// and cannot be written stops the run like a crash.
inline bool read_and_write(const std::string& from, const std::string& to, bool settings_records,
                           std::string* written) {
    using namespace kz::drawing2d;
    drawing_handle h = zolt_open();
    drawing_context* ctx = zolt_lock(h);
    ctx->control_text_write = settings_records ? 1 : 0;
    const bool read = xlum_read(ctx, from.c_str(), 0) == 1;
    if (read && xlum_write(ctx, to.c_str(), 0, 0) != 1) fail("a drawing that was read cannot be written", from, to);
    zolt_unlock(h);
    zolt_close(h);
    return read && kz::platform::read_whole_file(to, written, std::size_t(1) << 30);
}

// The cycle for a file of the extension (".mpw", ".dxf"), with or without the settings records.
inline void check_drawing_cycle(const std::uint8_t* data, std::size_t size, const std::string& extension,
                                bool settings_records) {
    lower_drawing_budgets();
    const std::vector<char> bytes = terminated_copy(data, size);
    const std::string input = put_input("input" + extension, bytes.data(), size);
    const std::string first_path = put_input("first" + extension, "", 0);
    const std::string second_path = put_input("second" + extension, "", 0);
    std::string first, second;
    if (!read_and_write(input, first_path, settings_records, &first)) return;
    if (!read_and_write(first_path, second_path, settings_records, &second))
        fail("a written drawing is refused", first_path, "");
    if (second != first) fail("a written drawing reads back differently", first_path, second_path);
}

}  // namespace kz::fuzz
