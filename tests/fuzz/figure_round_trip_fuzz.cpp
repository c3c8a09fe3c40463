// Figure files: a file that opens is saved, and the saved file opens to a model that saves to the same bytes.
#include "app/scene/figure_record.h"
#include "app/scene/xtrunk.h"
#include "platform/file_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace {

// Opens the file, marks the model changed and saves: the model file's bytes, or false when it was not saved (an
// open that did not read the whole file, for one). Only the model's own file is written: the units it names may
// be anywhere.
bool open_and_save(kz::view::XView* view, const std::string& path, std::string* saved) {
    view->OpenModelFile(path.c_str(), 1);
    kz::scene::XTrunk* root = view->document.trunks.empty() ? nullptr : view->document.trunks[0];
    const char* file = root && root->base_record() ? root->base_record()->frefer : nullptr;
    if (!file || path != file) return false;
    root->changed = 1;
    return view->SaveModel() == 1 && kz::platform::read_whole_file(path, saved, std::size_t(1) << 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    const std::string path = kz::fuzz::put_input("round.fig", text.data(), size);
    std::string first, second;
    if (!open_and_save(view, path, &first)) return 0;
    if (!open_and_save(view, path, &second)) kz::fuzz::fail("a saved model does not open and save", first, "");
    if (second != first) kz::fuzz::fail("a saved model saves differently", first, second);
    return 0;
}
