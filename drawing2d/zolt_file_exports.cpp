// The exported forwarders of drawing files, dimension files, layer-name files, the current file name and the
// clipboard.
#include <string>

#include "drawing2d/dimension_files.h"
#include "drawing2d/drawing_clipboard.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/layer_name_file.h"
#include "drawing2d/zolt_exports.h"
#include "drawing2d/zolt_forward.h"

namespace kz::drawing2d {
namespace {
using Hint = LockedDrawing::Hint;
}  // namespace

int zolt_read(drawing_handle h, const char* path, int32_t row) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_read(c, path, row); });
}

int zolt_write(drawing_handle h, const char* path, int32_t row, double mpp_unit) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_write(c, path, row, mpp_unit); });
}

int zolt_read_layer_file(drawing_handle h, const char* path, int reset) {
    PathParts parts = split_path(path);
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        return read_layer_file(c, parts.drive.c_str(), parts.dir.c_str(), parts.name.c_str(), reset);
    });
}

int zolt_write_layer_file(drawing_handle h, const char* path) {
    PathParts parts = split_path(path);
    return forward(h, 0, Hint::keep, [&](drawing_context* c) {
        return write_layer_file(c, parts.drive.c_str(), parts.dir.c_str(), parts.name.c_str());
    });
}

int zolt_dimconv_read(drawing_handle h, const char* path, int32_t row) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_dimconv_read(c, path, row); });
}

int zolt_dimconv_write(drawing_handle h, const char* path, int32_t row) {
    return forward(h, 0, Hint::drop, [&](drawing_context* c) { return xlum_dimconv_write(c, path, row); });
}

int zolt_set_open_file(drawing_handle h, const char* path, const char* drive, const char* dir, const char* name,
                       const char* ext) {
    return forward(h, 0, Hint::keep,
                   [&](drawing_context* c) { return xlum_set_open_file(c, path, drive, dir, name, ext); });
}

int zolt_get_last_file_name(drawing_handle h, char* buffer) {
    return forward(h, 0, Hint::keep, [&](drawing_context* c) { return xlum_get_last_file_name(c, buffer); });
}

int zolt_set_execpath(drawing_handle h, const char* path) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_set_execpath(c, path); });
}

int zolt_cboard_copy(drawing_handle h, int32_t row) {
    return forward(h, -1, Hint::keep, [&](drawing_context* c) { return xlum_cboard_copy(c, row); });
}

int zolt_cboard_paste(drawing_handle h, int32_t row) {
    return forward(h, -1, Hint::drop, [&](drawing_context* c) { return xlum_cboard_paste(c, row); });
}

}  // namespace kz::drawing2d
