// The choice of the start file: the name decoded from the program's own file name, the command line (sorted as a
// dropped name), the first line of "start.txt" in the program folder, and last the first figure set, figure or
// mesh file found there.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/view/program_entry.h"
#include "platform/file_system.h"
#include "platform/file_type.h"

namespace kz::view {

namespace {

constexpr int kPath = kz::foundation::kPathBufferSize;

// Opens a figure set's figure file with its settings; false when the set names no figure file.
bool open_figure_set(XView* view, const char* set_path) {
    char figure[kPath] = {};
    view->FindStartFigFile(set_path, figure);
    if (!*figure) return false;
    view->OpenModel(figure);
    view->LoadStartSettings(set_path);
    view->GoToStartEye();
    return true;
}

std::string first_match(const std::string& folder, const char* pattern) {
    for (const kz::platform::FileInfo& f : kz::platform::find_files(folder + pattern))
        if (!f.directory) return folder + f.name;
    return {};
}

bool is_address(const char* name) {
    return kz::foundation::compare_prefix_nocase(name, "http:", 5) == 0 ||
           kz::foundation::compare_prefix_nocase(name, "file:", 5) == 0;
}

// What the viewer opens as its model: a figure file, a mesh, or whatever an "http:" address serves (the figure
// file the server hands out is judged when it is read).
bool opens_as_model(const char* name) {
    return kz::foundation::compare_prefix_nocase(name, "http:", 5) == 0 ||
           kz::foundation::has_extension(name, ".fig") || kz::foundation::has_extension(name, ".om3");
}

// "%XX" as the byte it stands for; a "%" not followed by two hexadecimal digits, or by "00", is itself.
std::string percent_decoded(const std::string& text) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int byte = text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0
                             ? digit(text[i + 1]) * 16 + digit(text[i + 2])
                             : 0;
        if (byte != 0) {  // a "%00" would end the name where no one wrote an end
            out.push_back(static_cast<char>(byte));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace

std::string command_line_name(const char* argument) {
    if (!argument || !*argument) return {};
    std::string given = argument;
    // A "file:" address as file managers write it, its letters percent-encoded, is the local name it stands for.
    if (kz::foundation::compare_prefix_nocase(argument, "file:", 5) == 0) {
        const std::string local = percent_decoded(kz::platform::file_url_local_name(given));
        if (!local.empty() && local[0] == '/') given = local;
    }
    if (given[0] == '/' || is_address(given.c_str())) return kz::platform::from_native_path(given);
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(given, error);
    if (error) return kz::platform::from_native_path(given);
    // "link/.." is where the kernel puts it, the folder holding what the link leads to, which the names below a
    // model's folder would otherwise lose when joined to it as text.
    for (const std::filesystem::path& part : absolute)
        if (part == "..") {
            const std::filesystem::path folder = std::filesystem::weakly_canonical(absolute.parent_path(), error);
            if (!error) absolute = folder / absolute.filename();
            break;
        }
    return kz::platform::from_native_path(absolute.string());
}

int ChooseStartFile(XView* view, const std::string& program_folder, const std::string& start_name,
                    const char* command_line) {
    if (!view) return 0;
    if (!start_name.empty()) {
        view->OpenModel(start_name.c_str());
        view->document.current_figure_path = start_name;
        return 1;
    }
    if (command_line && *command_line) {
        std::string given(command_line);
        kz::foundation::trim_blanks_quotes(given.data());
        given.resize(std::strlen(given.c_str()));
        // Cut to fit, the name would be another file's.
        if (given.size() >= kPath) {
            print_viewer_line(kz::platform::display_name(given) + ": name too long, nothing opened");
            return 2;
        }
        char path[kPath] = {};
        std::snprintf(path, sizeof path, "%s", given.c_str());
        if (kz::foundation::has_extension(path, ".figset")) {
            open_figure_set(view, path);
            return 2;
        }
        // Any other name is taken as a name dropped on the window is: what a drop opens as the model opens here.
        const int kind = kz::foundation::get_file_kind(path);
        const std::string type = kind == 1 && !opens_as_model(path)
                                     ? kz::platform::file_type(kz::platform::file_url_local_name(path))
                                     : std::string();
        if (kind == 1 && !opens_as_model(path) && type.empty()) {
            print_viewer_line(kz::platform::display_name(path) + ": not found, nothing opened");
        } else if (kind == 1 && !opens_as_model(path)) {
            print_viewer_line(kz::platform::display_name(path) + ": not a model the viewer opens (a file of type " +
                              type + "), nothing opened");
        } else if (kind == 1) {
            view->OpenModel(path);
            view->document.current_figure_path = path;
        } else {
            const char* why = kind == 2
                                  ? "an image is pasted on a face by dropping it on the view, not opened as a model"
                              : kind == 3 ? "a 2D drawing is not opened as a model"
                                          : "not found";
            print_viewer_line(kz::platform::display_name(path) + ": " + why + ", nothing opened");
        }
        return 2;
    }
    const std::string start_txt = program_folder + "start.txt";
    if (kz::platform::FilePtr f = kz::platform::open_for_reading(start_txt)) {
        char line[256] = {};
        if (!std::fgets(line, sizeof line, f.get())) line[0] = '\0';
        f.reset();
        kz::foundation::trim_blanks_quotes(line);
        if (*line) {
            char resolved[kPath] = {};
            kz::foundation::resolve_relative_path(resolved, line, program_folder.c_str(), 0);
            view->OpenModel(resolved);
        }
        return 3;
    }
    const std::string set = first_match(program_folder, "*.figset");
    if (!set.empty() && open_figure_set(view, set.c_str())) return 4;
    for (const char* pattern : {"*.fig", "*.om3"}) {
        const std::string found = first_match(program_folder, pattern);
        if (found.empty()) continue;
        view->OpenModel(found.c_str());
        return 4;
    }
    return 0;
}

}  // namespace kz::view
