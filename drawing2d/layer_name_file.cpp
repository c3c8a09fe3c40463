// Reading and writing layer-name files. Written with CR LF line ends, as the maker's other programs expect;
// read with CR LF or LF. Lines are taken up to 1000 bytes.
#include "drawing2d/layer_name_file.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "drawing2d/active_attributes.h"
#include "drawing2d/text_fields.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::drawing2d {
namespace {
constexpr std::size_t kLineLimit = 1000;
constexpr std::size_t kFileLimit = std::size_t(16) << 20;

std::string layer_file_path(const char* drive, const char* dir, const char* name) {
    return std::string(drive ? drive : "") + (dir ? dir : "") + (name ? name : "") + ".LAY";
}

bool is_section_line(const std::string& line) {
    char copy[kLineLimit + 1], field[kLineLimit + 1];
    std::memcpy(copy, line.c_str(), line.size() + 1);
    take_field(copy, field, sizeof field);
    return strcasecmp(field, "[Layer]") == 0;
}

// "n=name": the layer's name, when n is a layer number 0..255.
void read_name_line(drawing_context* ctx, const std::string& line) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) return;
    std::size_t a = line.find_first_not_of(" \t"), b = line.find_last_not_of(" \t", eq - 1);
    if (a == std::string::npos || a >= eq || b == std::string::npos) return;
    int layer = 0;
    for (std::size_t i = a; i <= b; ++i) {
        if (line[i] < '0' || line[i] > '9' || layer > 255) return;
        layer = layer * 10 + (line[i] - '0');
    }
    if (layer > 255) return;
    char rest[kLineLimit + 1], field[kLineLimit + 1];
    std::strcpy(rest, line.c_str() + eq + 1);
    take_field(rest, field, sizeof field);
    xlum_set_layer_name(ctx, layer, field);
}
}  // namespace

int read_layer_file(drawing_context* ctx, const char* drive, const char* dir, const char* name, int reset) {
    std::string bytes;
    if (!kz::platform::read_whole_file(layer_file_path(drive, dir, name), &bytes, kFileLimit)) return 0;
    if (reset == 1) reset_layer_tables(ctx);
    bool in_section = false;
    for (std::string& line : text_lines(bytes)) {
        if (line.size() > kLineLimit) line.resize(kLineLimit);
        if (line.find('\0') != std::string::npos) line.resize(line.find('\0'));
        if (!in_section) {
            in_section = is_section_line(line);
        } else if (!line.empty() && line[0] == '[') {
            in_section = false;  // the line that ends a section is not looked at again
        } else {
            read_name_line(ctx, line);
        }
    }
    return 1;
}

int write_layer_file(drawing_context* ctx, const char* drive, const char* dir, const char* name) {
    std::string path = layer_file_path(drive, dir, name);
    std::string text = "[Layer]\r\n";
    int count = 0;
    for (int layer = 0; layer < kLayers; ++layer) {
        const char* layer_name = layer_name_of(ctx, layer);
        if (!*layer_name) continue;
        text += kz::crt::int_text(layer) + "=\"" + layer_name + "\"\r\n";
        ++count;
    }
    if (count == 0) {
        kz::platform::delete_file(path);  // no stale names are left beside the drawing
        return 0;
    }
    return kz::platform::write_whole_file(path, text) ? count : 0;
}

}  // namespace kz::drawing2d
