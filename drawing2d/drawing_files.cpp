// The two entry points of drawing files: the format is chosen by the path's extension, and the steps every format
// shares wrap its reader or writer (degenerate arcs, the attribute records, the header settings, packing, room to
// grow and the current file name).
#include <strings.h>

#include <functional>
#include <string>

#include "drawing2d/active_attributes.h"
#include "drawing2d/attribute_records.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/dxf_files.h"
#include "drawing2d/lumfont.h"
#include "drawing2d/primitive_rows.h"
#include "drawing2d/transforms.h"
#include "platform/file_system.h"
#include "platform/report.h"

namespace kz::drawing2d {
namespace {
using KeepGoing = std::function<bool()>;
struct DrawingFormat {
    const char* extension;
    // Only a text format takes long enough to be asked whether to go on.
    int (*read)(drawing_context*, const char*, int32_t, const KeepGoing&);
    int (*write)(drawing_context*, const char*, int32_t);
    bool has_header;
};

const DrawingFormat kFormats[] = {
    {".MPP", [](drawing_context* c, const char* p, int32_t r, const KeepGoing&) { return read_mpp(c, p, r); },
     write_mpp, true},
    {".MPW", [](drawing_context* c, const char* p, int32_t r, const KeepGoing&) { return read_mpw(c, p, r); },
     write_mpw, true},
    {".DXF", [](drawing_context* c, const char* p, int32_t r, const KeepGoing& k) { return read_dxf(c, p, r, k); },
     write_dxf, false},
};

const DrawingFormat* format_of(const PathParts& parts) {
    for (const DrawingFormat& f : kFormats)
        if (strcasecmp(parts.ext.c_str(), f.extension) == 0) return &f;
    return nullptr;
}

// Calls f(head row) for every arc record from `row` whose start and end angles are equal.
template <class F>
void for_equal_angle_arcs(drawing_context* ctx, int32_t row, F f) {
    mark_row_limits(ctx);
    for (int32_t r = row; r < ctx->mat && row_code_u(ctx, r) != kEndCode; ++r) {
        if (row_code(ctx, r) <= 0 || row_type(ctx, r) != kTypeArc || r + 1 >= ctx->mat) continue;
        if (ctx->c6[r + 1] != ctx->c7[r + 1]) continue;
        f(r);
        ++r;
    }
}

// A record of a type with a second row must be followed by a continuation row. In a damaged file it may be
// followed by an empty row (packing would then join it to whatever row comes next), by another record or by the end
// code (its missing rows would then be read from behind the end, which the next save fills with the settings
// records). Such a record is dropped rather than changed by being read and saved.
bool has_second_row(int32_t type) {
    return type == kTypeArc || type == kTypeText || type == kTypeKanjiText || type == kTypeTextLike ||
           type == kTypeMultiRow;
}

void drop_cut_records(drawing_context* ctx, int32_t row) {
    const int32_t end = find_data_end(ctx, row);
    for (int32_t r = row; r < end; ++r)
        if (row_code(ctx, r) > 0 && has_second_row(row_type(ctx, r)) && row_code_u(ctx, r + 1) != kContinuationCode)
            ctx->c1[r] = 0;
}

int record_file(drawing_context* ctx, const PathParts& parts) {
    return xlum_set_open_file(ctx, nullptr, parts.drive.c_str(), parts.dir.c_str(), parts.name.c_str(),
                              parts.ext.c_str());
}
}  // namespace

int xlum_read(drawing_context* ctx, const char* path, int32_t row) { return xlum_read(ctx, path, row, {}); }

int xlum_read(drawing_context* ctx, const char* path, int32_t row, const std::function<bool()>& keep_going) {
    if (row < 0) row = 0;
    PathParts parts = split_path(path);
    const DrawingFormat* format = format_of(parts);
    if (!format) return 0;
    // A host learns only 0: what kept the file from being read goes to standard error.
    std::string why;
    if (!kz::platform::readable_file(parts.joined(), kz::platform::kMaxReadBytes, &why)) {
        kz::platform::report_line(kz::platform::display_name(parts.joined()) + ": drawing not read: " + why);
        return 0;
    }
    if (format->read(ctx, parts.joined().c_str(), row, keep_going) != 1) return 0;
    drop_cut_records(ctx, row);
    // A file may hold arcs with equal angles, which no writer makes: they are dropped.
    for_equal_angle_arcs(ctx, row, [&](int32_t r) { ctx->c1[r] = ctx->c1[r + 1] = 0; });
    if (row > 0) {
        int32_t found = ctx->attribute_records_found;
        read_attribute_records(ctx, row, -1);
        ctx->attribute_records_found = found;
        return 1;
    }
    if (format->has_header) apply_drawing_header(ctx);
    xlum_make_layer_exist(ctx, 0);
    read_attribute_records(ctx, 0, ctx->control_text_read);
    resolve_font_slots(ctx);
    record_file(ctx, parts);
    xlum_gpack(ctx, 0, -1, -1);
    grow_rows(ctx, ctx->data_end + 5000);
    return 1;
}

int xlum_write(drawing_context* ctx, const char* path, int32_t row, double mpp_unit) {
    if (row < 0) row = 0;
    ctx->mpp_unit = mpp_unit;
    // Equal angles mean a full circle; files hold it as 0 to 360.
    for_equal_angle_arcs(ctx, row, [&](int32_t r) {
        ctx->c6[r + 1] = 0;
        ctx->c7[r + 1] = 360000000;
    });
    PathParts parts = split_path(path);
    store_drawing_header(ctx);
    int32_t end = find_code_row(ctx, row, -1);
    if (end < 0) return 0;
    const DrawingFormat* format = format_of(parts);
    if (!format) return 0;
    if (ctx->control_text_write == 1) write_attribute_records(ctx, end, 200);
    int result = format->write(ctx, parts.joined().c_str(), row);
    ctx->c1[end] = kEndCode;  // the attribute records leave the drawing again
    ctx->data_end = end;
    note_rows_changed(ctx, end);
    if (result == 1 && row == 0) record_file(ctx, parts);
    return result == 1 ? 1 : 0;
}

}  // namespace kz::drawing2d
