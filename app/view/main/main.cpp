// The kzview executable: the command line of a Windows program rebuilt from the arguments (one file name, in the
// program's own Windows form of paths), then the program entry.
#include <string>

#include "app/view/program_entry.h"

int main(int argc, char** argv) {
    const std::string command_line = argc > 1 ? kz::view::command_line_name(argv[1]) : std::string();
    return kz::view::WinMain(nullptr, nullptr, command_line.c_str(), 1);
}
