// Layer-name files: whatever the file says, the names read are written as a file that reads back to the same
// names (the second write is the first byte for byte).
#include "drawing2d/drawing_context.h"
#include "drawing2d/layer_name_file.h"
#include "platform/file_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace {

// The names of the file `name`.LAY in the working folder, written again as `name`.LAY; the written bytes.
std::string read_and_rewrite(const std::string& folder, const char* from, const char* to) {
    using namespace kz::drawing2d;
    drawing_handle h = zolt_open();
    drawing_context* ctx = zolt_lock(h);
    read_layer_file(ctx, "", folder.c_str(), from, 1);
    write_layer_file(ctx, "", folder.c_str(), to);
    zolt_unlock(h);
    zolt_close(h);
    std::string bytes;
    kz::platform::read_whole_file(folder + to + ".LAY", &bytes, std::size_t(1) << 24);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    const std::string input = kz::fuzz::put_input("input.LAY", bytes.data(), size);
    const std::string folder = input.substr(0, input.size() - std::string("input.LAY").size());
    const std::string first = read_and_rewrite(folder, "input", "first");
    const std::string second = read_and_rewrite(folder, "first", "second");
    if (second != first) kz::fuzz::fail("layer names do not read back", first, second);
    return 0;
}
