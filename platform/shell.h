// Stands in for the shell's "open" and "explore" verbs: documents and folders go to the desktop's handler for
// them, web addresses to the browser, programs are started with their parameters. Names arrive as Shift_JIS in
// Windows form and are restored to the real file name at this boundary. No verbs beyond these, no printing verb,
// no waiting for the started program.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// "open": an address or document goes to its handler, a program file is started. False when nothing could
// take it.
bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis = {});
// True when "open" would start the target as a program: a local file that is executable. Addresses, documents
// and folders are not programs.
bool is_program(std::string_view target_sjis);
// "explore": the folder (or the folder of a file) in the file manager.
bool shell_explore(std::string_view folder_sjis);
// Starts a program detached with its parameters (split as a command line, double quotes group); false when it
// cannot be started.
bool start_program(std::string_view program_sjis, std::string_view parameters_sjis);

// Test mode: nothing is handed to the desktop; each request is recorded as "open <url>", "explore <url>" or
// "start <program> <argument>...". Programs are still started in test mode only when `start_programs` is set.
void set_shell_test_mode(bool enabled, bool start_programs = false);
std::vector<std::string> take_shell_test_log();

}  // namespace kz::platform
