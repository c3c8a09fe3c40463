// The DXF conversion table beside the program: sections of lines that begin with a line whose first field names
// the section and end with "//end". Read with CR LF or LF line ends.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "drawing2d/dxf_files.h"
#include "drawing2d/text_fields.h"
#include "platform/crt/c_numbers.h"
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

bool table_integers(const std::string& line, int count, int* values, const char* separators, std::size_t most) {
    const char* at = line.c_str();
    for (int i = 0; i < count; ++i) {
        if (i > 0 && *separators) {
            const std::size_t run = std::min(std::strspn(at, separators), most);
            if (run == 0) return false;
            at += run;
        }
        char* end = nullptr;
        const long value = kz::crt::c_strtol(at, &end, 10);
        if (end == at) return false;
        values[i] = static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
        at = end;
    }
    return true;
}

}  // namespace kz::drawing2d
