// The one view the document harnesses drive: a hidden parent window with the XView on it, a working folder of the
// fuzzer's own (the current folder, with a FIFO in it for inputs that name one) and no network at all.
#pragma once
#include <string>

#include "app/document/xview.h"

namespace kz::fuzz {

kz::view::XView* fuzz_view();
// The working folder, POSIX form with a trailing "/".
const std::string& fuzz_folder();
// Writes the bytes to `name` in the working folder and gives its program-form (Windows) path.
std::string put_input(const std::string& name, const char* data, std::size_t size);
// Drawing imports at a hundredth of a viewer's budget, as the view's own are: harnesses that read drawings call it.
void lower_drawing_budgets();

}  // namespace kz::fuzz
