// The kzview executable: the command line of a Windows program rebuilt from the arguments (one file name, in the
// program's own Windows form of paths), then the program entry.
#include <filesystem>
#include <string>

#include "app/view/program_entry.h"
#include "platform/file_system.h"

int main(int argc, char** argv) {
    std::string command_line;
    if (argc > 1) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(argv[1], error);
        command_line = kz::platform::from_native_path(error ? std::string(argv[1]) : absolute.string());
    }
    return kz::view::WinMain(nullptr, nullptr, command_line.c_str(), 1);
}
