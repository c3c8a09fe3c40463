// The lines the libraries say to the user on standard error. A host program may take them (the viewer puts its
// name in front of each); while none does, each line goes to standard error as it is.
#pragma once
#include <string>
#include <string_view>

namespace kz::platform {

using ReportFunction = void (*)(std::string_view line);
// Every line from now on goes to `function` (null: to standard error again); gives the one it replaces. It gets
// each line escaped (escape_line).
ReportFunction set_report_function(ReportFunction function);
// One line, without its line end.
void report_line(std::string_view line);
// A line as it may reach a terminal: every control character (C0, DEL, and C1 as a UTF-8 character) and every byte
// that is no part of a UTF-8 character shows as "\xNN" (each byte in hex), so that a name in it can neither end the
// line nor move, clear or reset the terminal. An escaped line comes back as it is.
std::string escape_line(std::string_view line);

}  // namespace kz::platform
