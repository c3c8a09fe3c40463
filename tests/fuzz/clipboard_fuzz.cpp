// Clipboard text pasted into a new model through each way in: the paste command (figure text, a path, bang
// records), figure text under the current item, bang records as polygon items, and a reference to the clipboard.
// The first byte picks the way, the rest is the clipboard's text.
#include "platform/clipboard.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<char> text = kz::fuzz::terminated_copy(data + 1, size - 1);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    view->NewModel();
    if (!kz::platform::set_clipboard_data(kz::platform::kClipboardText, std::string_view(text.data(), size - 1)))
        std::abort();
    switch (data[0] % 4) {
    case 0: view->PasteFromClipboard(); break;
    case 1: view->PasteFigureText(); break;
    case 2: view->PasteBangRecords(nullptr); break;
    default: view->PasteClipRef(); break;
    }
    return 0;
}
