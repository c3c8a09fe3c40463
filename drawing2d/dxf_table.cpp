// The DXF conversion table beside the program: sections of lines that begin with a line whose first field names
// the section and end with "//end". Read with CR LF or LF line ends.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drawing2d/dxf_files.h"
#include "drawing2d/text_fields.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
constexpr std::size_t kTableLimit = std::size_t(1) << 20;

std::string first_field(const std::string& line) {
    std::vector<char> copy(line.begin(), line.end());
    copy.push_back(0);
    char field[kFieldBuffer];
    if (take_field(copy.data(), field, sizeof field) <= 0) return {};
    return field;
}
}  // namespace

std::vector<std::string> dxf_table_section(const drawing_context* ctx, const char* section) {
    std::vector<std::string> lines;
    char path[sizeof ctx->exec_path + 16];
    std::snprintf(path, sizeof path, "%sboudxf.txt", ctx->exec_path);
    std::string bytes;
    if (!kz::platform::read_whole_file(path, &bytes, kTableLimit)) return lines;
    bool inside = false;
    for (const std::string& line : text_lines(bytes)) {
        const std::string first = first_field(line);
        if (!inside) {
            inside = first == section;
        } else if (first == "//end") {
            break;
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace kz::drawing2d
