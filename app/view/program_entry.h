// The program entry and the main window: start-up in the system's order, the choice of the start file, the one
// message loop and the shut-down, with the process-wide values they set.
#pragma once
#include <string>

#include "platform/window.h"

namespace kz::view {

class XView;

// Process-wide values, each set once by WinMain.
extern void* g_instance;
extern kz::platform::WindowHandle g_main_window;
extern XView* g_view;

// Returns the quit message's code, or 0 when the main window class cannot be registered.
int WinMain(void* instance, void* previous_instance, const char* command_line, int show_command);
kz::platform::LResult MainWindowProc(kz::platform::WindowHandle window, std::uint32_t message,
                                     kz::platform::WParam wparam, kz::platform::LParam lparam);

// The name of the program's one argument as the program names files: an "http:" or "file:" address as written,
// a name from the root as it is, any other name joined to the current folder (the road a dropped name takes
// from there on). Empty for no argument.
std::string command_line_name(const char* argument);

// Chooses and opens the start file: the name carried by the program's file name, the command line (a figure set,
// or what a file dropped on the window opens; anything else is named on standard error), a "start.txt" beside
// the program, then the first figure set, figure file or mesh file in the program folder.
// The program folder ends with a backslash. Returns the rule that applied (1..4), 0 when none did.
int ChooseStartFile(XView* view, const std::string& program_folder, const std::string& start_name,
                    const char* command_line);

}  // namespace kz::view
