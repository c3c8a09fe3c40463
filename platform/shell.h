// Stands in for the shell's "open" and "explore" verbs: documents and folders go to the desktop's handler for
// them, web addresses to the browser, programs are started with their parameters. Names arrive as Shift_JIS in
// Windows form (or as "file:" names) and leave as native POSIX paths: the program, its arguments and what the
// desktop gets. No verbs beyond these, no printing verb, no waiting for the started program.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kz::platform {

// "open": an address or document goes to its handler, an executable file is started with the parameters. False
// when nothing could take it, and for a name that has no place here (another machine, another drive).
bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis = {});
// What "open" of a target would run, judged on the file itself: the name is resolved (case as the file layer finds
// it, then every link followed) and the file judged through one descriptor, so the file named, judged and
// remembered is one file.
struct ProgramJudgement {
    // The file could run as a program, directly or through the desktop: it has any execute bit, its first line
    // begins "#!", the shared MIME database (by content and name) gives it the type of an executable, library,
    // script, desktop entry, Windows program or installer, Java archive or launch file, AppImage or VBScript, or
    // the resolved name or the name as given has the extension of one (.sh .bash .py .pyw .pl .rb .csh .command
    // .desktop .jar .jnlp .AppImage .run .exe .com .bat .cmd .vbs .ps1 .msi, any case, trailing dots ignored).
    // Web addresses, folders and other documents are not programs.
    bool program = false;
    std::uint64_t device = 0;  // the file judged
    std::uint64_t inode = 0;
    // For showing the user (Shift_JIS): the resolved program and its arguments as start_program hands them over
    // (an argument with a blank in double quotes), those arguments alone, and the native name as given when
    // links make it another than the resolved one (else empty).
    std::string command_text;
    std::string arguments;
    std::string given_name;
};
ProgramJudgement judge_program(std::string_view target_sjis, std::string_view parameters_sjis = {});
// "explore": the folder (or the folder of a file) in the file manager.
bool shell_explore(std::string_view folder_sjis);
// Starts a program detached with its parameters (split as a command line, double quotes group); every argument
// that is a name in Windows form goes over as the native path ("Z:\\a\\b" as "/a/b"), one that names nothing
// here as written. False when it cannot be started.
bool start_program(std::string_view program_sjis, std::string_view parameters_sjis);

// Test mode: nothing is handed to the desktop; each request is recorded as "open <url>", "explore <url>" or
// "start <program> <argument>...". Programs are still started in test mode only when `start_programs` is set.
void set_shell_test_mode(bool enabled, bool start_programs = false);
std::vector<std::string> take_shell_test_log();

}  // namespace kz::platform
