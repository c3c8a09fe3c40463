// Command blocks handed over by another program under a numbered clipboard format: whatever the block says, the
// view carries it out on a small model and answers at most once.
#include <string>

#include "platform/clipboard.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace {
// Items for the block's lines to move, mark, delete and give attributes and part parameters.
const char kModel[] =
    "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,room\r\n{\r\n"
    "trunk,10,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,desk\r\n{\r\n"
    "box,0,0,0,,,,,,,,,,100,100,100,,,,,,1,,,,,,,,top\r\n}\r\n"
    "trunk,0,20,0,,,,,,,,,,,,,,,,,,,,,,,,,,lamp\r\n{\r\n"
    "box,0,0,0,,,,,,,,,,10,10,10,,,,,,1,,,,,,,,shade\r\n}\r\n}\r\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    const std::string model = kz::fuzz::put_input("block_model.fig", kModel, sizeof kModel - 1);
    view->OpenModelFile(model.c_str(), 1);
    const unsigned format = kz::platform::register_clipboard_format("exeldata-7");
    if (!kz::platform::set_clipboard_data(format, std::string_view(text.data(), size))) std::abort();
    int answers = 0;
    view->ExchangeCommandBlock(7, [&answers](std::int64_t, std::int64_t) { ++answers; });
    if (answers > 1) kz::fuzz::fail("a command block was answered twice", std::to_string(answers), "");
    return 0;
}
