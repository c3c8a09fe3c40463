// Paths of drawing files: division into drive, directory, name and extension (Shift_JIS aware, so a trail byte
// that equals a separator is not taken for one), the current file of a drawing and its folder name.
#include <cstring>

#include "drawing2d/drawing_files.h"
#include "platform/crt/mbcs.h"

namespace kz::drawing2d {
namespace {
template <std::size_t N>
bool copy_into(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

// Positions of the separators of a directory, stepping over double-byte characters.
std::size_t last_separator(const std::string& text, std::size_t* second_to_last) {
    std::size_t last = std::string::npos, before = std::string::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (kz::crt::is_sjis_lead(c) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        if (c == '\\') {
            before = last;
            last = i;
        }
    }
    if (second_to_last) *second_to_last = before;
    return last;
}

void derive_folder_name(drawing_context* ctx) {
    std::string dir = ctx->file_dir;
    if (dir.empty()) return;
    std::string folder;
    if (dir.size() <= 2) {
        folder = ctx->file_drive;
    } else {
        std::size_t before = 0, last = last_separator(dir, &before);
        if (last == std::string::npos)
            folder = dir;
        else if (before == std::string::npos)
            folder = dir.substr(0, last) + "\\";
        else
            folder = dir.substr(before + 1, last - before - 1) + "\\";
    }
    copy_into(ctx->folder_name, folder);
}
}  // namespace

PathParts split_path(const char* path) {
    PathParts parts;
    std::string p = path ? path : "";
    std::size_t at = 0;
    if (p.size() >= 2 && p[1] == ':' && !kz::crt::is_sjis_lead(static_cast<unsigned char>(p[0]))) {
        parts.drive = p.substr(0, 2);
        at = 2;
    }
    std::string rest = p.substr(at);
    std::size_t dir_end = 0;  // one past the last separator
    for (std::size_t i = 0; i < rest.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rest[i]);
        if (kz::crt::is_sjis_lead(c) && i + 1 < rest.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') dir_end = i + 1;
    }
    parts.dir = rest.substr(0, dir_end);
    std::string file = rest.substr(dir_end);
    std::size_t dot = file.rfind('.');
    parts.name = dot == std::string::npos ? file : file.substr(0, dot);
    parts.ext = dot == std::string::npos ? "" : file.substr(dot);
    return parts;
}

int xlum_set_open_file(drawing_context* ctx, const char* path, const char* drive, const char* dir, const char* name,
                       const char* ext) {
    bool fitted = true;
    if (path) {
        PathParts parts = split_path(path);
        fitted = copy_into(ctx->file_path, path) && copy_into(ctx->file_drive, parts.drive) &&
                 copy_into(ctx->file_dir, parts.dir) && copy_into(ctx->file_name, parts.name) &&
                 copy_into(ctx->file_ext, parts.ext);
    }
    if (drive) fitted = copy_into(ctx->file_drive, drive) && fitted;
    if (dir) fitted = copy_into(ctx->file_dir, dir) && fitted;
    if (name) fitted = copy_into(ctx->file_name, name) && fitted;
    if (ext) fitted = copy_into(ctx->file_ext, ext) && fitted;
    std::string full = std::string(ctx->file_drive) + ctx->file_dir + ctx->file_name + ctx->file_ext;
    fitted = copy_into(ctx->file_path, full) && fitted;
    derive_folder_name(ctx);
    return fitted ? 1 : 0;
}

int xlum_get_last_file_name(const drawing_context* ctx, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return 0;
    std::string full = std::string(ctx->file_drive) + ctx->file_dir + ctx->file_name + ctx->file_ext;
    if (full.size() >= capacity) full.resize(capacity - 1);
    std::memcpy(out, full.c_str(), full.size() + 1);
    return 1;
}

int xlum_set_execpath(drawing_context* ctx, const char* path) {
    copy_into(ctx->exec_path, path ? path : "");
    return 0;
}

}  // namespace kz::drawing2d
