// Opening, reading and measuring the drawings pasted on faces, and the walk over their visible lines and texts.
#include "app/scene/pasted_drawing.h"

#include "app/foundation/paths.h"
#include "app/scene/view_services.h"
#include "drawing2d/drawing_files.h"
#include "drawing2d/row_store.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/report.h"

namespace kz::scene {

using namespace kz::drawing2d;

OpenedDrawing::OpenedDrawing() : handle_(zolt_open()) {
    if (handle_) context_ = zolt_lock(handle_);
}

OpenedDrawing::~OpenedDrawing() {
    if (!handle_) return;
    if (context_) zolt_unlock(handle_);
    zolt_close(handle_);
}

int read_drawing_file(drawing_context* drawing, const char* file_name, int row, const std::function<bool()>& keep_going,
                      const std::function<bool(std::uint64_t bytes)>& may_take) {
    if (!drawing || !file_name) return 0;
    // Files are read whole up to the common cap; a drawing beyond it is not even opened, and the user is told.
    kz::platform::FileInfo info;
    if (kz::platform::get_file_info(file_name, &info) && !info.directory && info.size > kz::platform::kMaxReadBytes) {
        kz::platform::report_line(kz::platform::display_name(file_name) + ": drawing larger than " +
                                  kz::crt::byte_size_text(kz::platform::kMaxReadBytes) + ", not pasted");
        return 0;
    }
    if (may_take && !may_take(info.size)) return 0;
    return xlum_read(drawing, file_name, row, keep_going);
}

int read_pasted_drawing(XViewServices& view, const char* source, drawing_context* drawing,
                        const std::function<bool()>& keep_going) {
    char local[kz::foundation::kPathBufferSize] = {};
    if (!view.FindPastedFile(source, local, "pasted drawing")) return 0;
    return read_drawing_file(drawing, local, 0, keep_going,
                             [&view, &local](std::uint64_t bytes) { return view.MemoryAllows(bytes, local); });
}

DrawingUnits drawing_units(const drawing_context* d) {
    DrawingUnits u;
    if (!d) return u;
    u.origin_x = d->gentenx;
    u.origin_y = d->genteny;
    u.unit = d->plot_scale;
    u.scale = d->print_scale < 1e-8 ? 100.0 : d->print_scale;
    return u;
}

void for_each_drawn_record(const drawing_context* d, const std::function<bool()>& keep_going,
                           const std::function<void(int row, int type, int pen)>& visit) {
    if (!d || !d->c1) return;
    for (int row = 0; row <= d->mat && row_code_u(d, row) != kEndCode; ++row) {
        if (row_code(d, row) <= 0) continue;
        if (keep_going && !keep_going()) return;
        const int type = row_type(d, row), layer = row_layer(d, row);
        if (type != kTypeLine && type != kTypeText && type != kTypeKanjiText) continue;
        if (!d->disp_layer[layer]) continue;
        const int pen = row_color(d, row);
        visit(row, type, pen >= 16 ? 15 : pen);
    }
}

bool text_record_of(drawing_context* d, int row, DrawingTextRecord* out, char* text, std::size_t capacity) {
    const int type = row_type(d, row);
    if ((type != kTypeText && type != kTypeKanjiText) || row + 1 > d->mat) return false;
    if (xlum_getchar(d, row, text, capacity) <= 0) return false;
    const int p = row + 1;
    const int pen = row_color(d, row) & 15;
    // A font slot that sizes itself has no width of its own: the expansion takes half the height.
    const bool sized = (type == kTypeText ? d->ank_res[pen] : d->text_res[pen]) == 1;
    out->x = d->c4[row];
    out->y = d->c5[row];
    out->height = d->c3[p];
    out->width = sized ? 0.0 : d->c2[p];
    out->spacing = d->c4[p];
    out->count = static_cast<int16_t>(d->c6[row] & 0xFFFF);
    out->angle_degrees = d->c5[p] / 1000000.0;
    out->anchor = d->c7[p] & 0xF;
    out->text = text;
    return true;
}

}  // namespace kz::scene
