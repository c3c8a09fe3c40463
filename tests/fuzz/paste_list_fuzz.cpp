// Paste columns: whatever a column says, the list written from it reads back to the same list.
#include "app/scene/figure_record.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> text = kz::fuzz::terminated_copy(data, size);
    kz::scene::COBJECTA first;
    first.kind = kz::scene::kKindBox;
    first.ParsePasteList(text.data());
    const std::string written = first.WritePasteList();
    kz::scene::COBJECTA again;
    again.kind = kz::scene::kKindBox;
    again.ParsePasteList(written.c_str());
    const std::string rewritten = again.WritePasteList();
    if (rewritten != written) kz::fuzz::fail("paste list does not read back", written, rewritten);
    return 0;
}
