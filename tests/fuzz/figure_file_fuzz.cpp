// Figure files opened as a new model, with everything a file can reach: units (itself, a FIFO, devices,
// addresses that lead nowhere), nesting, templates, grid copies and settings. Whatever the file says, the open
// ends, within its budgets, without a memory error or undefined behaviour.
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    const std::string path = kz::fuzz::put_input("input.fig", text.data(), size);
    view->OpenModelFile(path.c_str(), 1);
    return 0;
}
