// Stands in for the shell's "open" and "explore" verbs: documents and folders go to the desktop's handler for
// them, web addresses to the browser, programs are started with their parameters. Names arrive as Shift_JIS in
// Windows form (or as "file:" names) and leave as native POSIX paths: the program, its arguments and what the
// desktop gets. No verbs beyond these, no printing verb, no waiting for the started program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/descriptor.h"

namespace kz::platform {

// What "open" of a target would do, judged on the file itself: the name is resolved (case as the file layer finds
// it, then every link followed) and the file judged through one descriptor, which the judgement keeps open, so
// the file named, judged, remembered and then started or handed to the desktop is one file. The descriptor is
// taken by the resolved name without opening anything (a device or pipe is refused unopened) and held only when
// the kernel names it back by that very name; a file is then read through it, or, when the user may run it but
// not read it, judged by its mode alone.
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
    std::int64_t change_time = 0;  // its status change, in nanoseconds: an edit or a new mode changes it
    // For showing the user (Shift_JIS): the resolved program and its arguments as they are handed over (an
    // argument with a blank in double quotes), those arguments alone, and the native name as given when links
    // make it another than the resolved one (else empty).
    std::string command_text;
    std::string arguments;
    std::string given_name;

    // What the act works on (native, UTF-8): a web address as written; else the name for messages, the file
    // judged by its resolved path and its open descriptor, and the arguments exactly as command_text shows them.
    std::string address;
    std::string shown_name;
    std::string resolved;
    Descriptor file;
    std::vector<std::string> argument_list;
    std::string refusal;  // why a name that exists could not be judged; empty when it was, or when nothing is there
    bool folder = false;
    bool executable = false;  // a regular file with any execute bit
    bool script = false;      // its first line begins "#!"
};
ProgramJudgement judge_program(std::string_view target_sjis, std::string_view parameters_sjis = {});
// "open" of what was judged: an address goes to its handler; a file with an execute bit starts with the arguments
// shown (a "#!" script by its resolved path where no one but the user and root could have changed it on the way
// there, else, as every other program, through the judged descriptor, so a script may see its name as
// /dev/fd/N); a document, a folder, and a program without an execute bit go to the desktop by the resolved path,
// but only while every folder on that path passes the private folder's rule, the path still reaches the file
// judged, and that is the user's or root's and no one else may write it (others_could_change). A refusal and a
// failed start are told in one line (report.h). False when nothing was opened.
bool shell_open(const ProgramJudgement& judged);
// The same for a target judged now: an address, a document or an executable file.
bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis = {});
// "explore": the folder (or the folder of a file) in the file manager, under the same rule as a document.
bool shell_explore(std::string_view folder_sjis);
// Starts a program detached with its parameters (split as a command line, double quotes group), as shell_open
// starts one; every argument that is a name in Windows form goes over as the native path ("Z:\\a\\b" as "/a/b"),
// one that names nothing here as written. False when it cannot be started (also for a file without an execute
// bit).
bool start_program(std::string_view program_sjis, std::string_view parameters_sjis);

// Test mode: nothing is handed to the desktop; each request is recorded as "open <url>", "explore <url>" or
// "start <resolved program> <argument>...". Programs are still started in test mode only when `start_programs`
// is set.
void set_shell_test_mode(bool enabled, bool start_programs = false);
std::vector<std::string> take_shell_test_log();
// Test hook: called with the resolved name of every file a judgement reaches, between the name's resolution and the
// open of what it names; empty to remove.
void set_judgement_observer_for_tests(std::function<void(const std::string&)> observer);

}  // namespace kz::platform
