// Figure lines: any line reads into a record whose written line reads back to the same record (written again
// byte for byte), through either separator.
#include "app/foundation/estring.h"
#include "app/scene/figure_record.h"
#include "app/scene/figure_text.h"
#include "tests/fuzz/fuzz_input.h"

namespace {
std::string written(kz::scene::COBJECTA& record, char separator) {
    kz::foundation::EString out;
    kz::scene::append_figure_fields(out, record, separator);
    return out.text();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::scene::COBJECTA first;
    first.ReadFigureLine(text.data());
    for (char separator : {'\t', ','}) {
        const std::string line = written(first, separator);
        kz::scene::COBJECTA again;
        again.ReadFigureLine(line.c_str());
        const std::string line_again = written(again, separator);
        if (line_again != line) kz::fuzz::fail("figure line does not read back", line, line_again);
    }
    return 0;
}
