// The lines the libraries say to the user on standard error. A host program may take them (the viewer puts its
// name in front of each); while none does, each line goes to standard error as it is.
#pragma once
#include <string_view>

namespace kz::platform {

using ReportFunction = void (*)(std::string_view line);
// Every line from now on goes to `function` (null: to standard error again); gives the one it replaces.
ReportFunction set_report_function(ReportFunction function);
// One line, without its line end.
void report_line(std::string_view line);

}  // namespace kz::platform
