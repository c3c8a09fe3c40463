// Settings lines (the text after "set", one a line): applied, written back as "set" lines, and those applied
// again must write the same lines: what the writer writes reads back to the same values.
#include <cstring>

#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_view.h"

namespace {

void apply_lines(kz::view::XView* view, const std::string& text, bool written) {
    for (std::string line : kz::foundation::nonempty_lines(text)) {
        if (written && line.compare(0, 4, "set\t") == 0) line.erase(0, 4);
        view->ApplySetting(line.c_str());
    }
}

std::string written_settings(kz::view::XView* view) {
    kz::foundation::EString out;
    view->WriteSettings(&out, "\t");
    return out.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::view::XView* view = kz::fuzz::fuzz_view();
    static const std::string baseline = written_settings(view);
    apply_lines(view, baseline, true);
    apply_lines(view, std::string(text.data(), std::strlen(text.data())), false);
    const std::string first = written_settings(view);
    apply_lines(view, first, true);
    const std::string second = written_settings(view);
    if (second != first) kz::fuzz::fail("settings do not read back", first, second);
    return 0;
}
