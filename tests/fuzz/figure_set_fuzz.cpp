// Figure set files: the figure file they name and the settings they carry, read from whatever the file holds.
#include "app/foundation/paths.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    const std::string path = kz::fuzz::put_input("input.figset", text.data(), size);
    char figure[kz::foundation::kPathBufferSize] = {};
    view->FindStartFigFile(path.c_str(), figure);
    view->LoadStartSettings(path.c_str());
    return 0;
}
