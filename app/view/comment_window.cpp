// The small text displays of the view: the borderless comment window near the pointer (a part's comment), the
// three-column layout of attribute lists, and the green overlay line on the view.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/heap_text.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/overlay_texts.h"
#include "platform/crt/mbcs.h"
#include "platform/gdi.h"
#include "platform/report.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

// Longest line in bytes and the number of lines of a text whose lines are separated by "__".
void measure_lines(const char* text, int* longest, int* lines) {
    *longest = 0;
    *lines = 1;
    int run = 0;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '_' && p[1] == '_') {
            *longest = std::max(*longest, run);
            run = 0;
            ++*lines;
            ++p;
        } else {
            ++run;
        }
    }
    *longest = std::max(*longest, run);
}

}  // namespace

void XView::HideCommentWindow() {
    plat::show_window(output.comment_window, false);
    output.comment_text.clear();
}

void XView::ShowAttributePopup(plat::Point point, int mode) {
    if (mode == 0 || !output.bridge) {
        HideCommentWindow();
        return;
    }
    const std::uint64_t packed = std::uint64_t(std::uint32_t(point.x)) | (std::uint64_t(std::uint32_t(point.y)) << 32);
    _OfuPosition* shape = output.bridge->HitTestShape(packed);
    const XLeaves* owner = nullptr;
    for (XTrunk* t : document.trunks)
        for (int i = 0; t && shape && !owner && i < t->part_count(); ++i)
            if (t->parts[i] && t->parts[i]->model == shape) owner = t->parts[i];
    // Sizes in pixels, as they look on an unscaled display; a scaled one has that many more device pixels.
    const double ratio = plat::window_pixel_ratio(output.view_window[0]);
    const double scale = display.comment_text_factor * ratio;
    const int margin = int(8 * ratio + 0.5);
    if (mode == 2) {
        char* list = ItemAttributeList(nullptr, owner ? owner->owner : nullptr);
        if (!list) return;
        const std::string rows = list;
        kz::foundation::free_and_null(list);
        ShowTextWindow(rows.c_str(), point, int(2 * scale + 0.5), int(16 * scale + 0.5), margin);
        return;
    }
    const char* text = owner && mode == 1 ? owner->record->comment : nullptr;
    if (!text || !*text) {
        HideCommentWindow();
        return;
    }
    ShowTextWindow(text, point, int(3 * scale + 0.5), int(24 * scale + 0.5), margin);
}

void XView::ShowTextWindow(const char* text_sjis, plat::Point point, int line_gap, int font_height, int margin) {
    if (!text_sjis || !output.comment_window) return;
    // Names and values come from the model: a control or format character in them shows as its escape.
    const std::string shown = plat::escape_shown_sjis(text_sjis);
    const char* text = shown.c_str();
    int longest = 0, lines = 0;
    measure_lines(text, &longest, &lines);
    const int width = int(font_height * 0.5 * (longest + 4) + 2 * margin + 0.5);
    const int height = int(double(line_gap + font_height) * lines + 2 * margin + 0.5);
    const plat::Point screen = plat::client_to_screen(output.view_window[0], point);
    kz::platform::GdiRect work{};
    kz::foundation::get_monitor_work_area(plat::GdiPoint{screen.x, screen.y}, &work);
    // Distances from the pointer and the screen's edges, in pixels as they look.
    const double r = plat::window_pixel_ratio(output.view_window[0]);
    const auto px = [r](int pixels) { return int(pixels * r + 0.5); };
    int x = screen.x + px(16), y = screen.y + px(32);
    if (screen.x + px(26) + width > work.right) x = work.right - width - px(10);
    if (screen.y + px(64) + height > work.bottom) y = work.bottom - height - px(32);
    x = std::max(x, px(10));
    y = std::max(y, px(10));
    plat::move_window(output.comment_window, x, y, width, height, true);
    output.comment_text = text;
    plat::set_window_text(output.comment_window, text);
    std::unique_ptr<plat::DeviceContext> dc = plat::DeviceContext::create_window(width, height);
    plat::fill_rect(*dc, plat::GdiRect{0, 0, width, height}, plat::Brush{false, 0xFFFFFF});
    int measured = 0, count = 0;
    // Lines hang from the top margin down (alignment 8): the first line's top is at the margin, inside the window.
    kz::foundation::draw_multiline_text(dc.get(), text, margin, margin, font_height, 0x000000, kGothicFace, -1,
                                        line_gap, &measured, &count, 8, 0, 0.0, nullptr, 0.0);
    plat::present_window_frame(output.comment_window, *dc);  // the window keeps the pixels
    plat::show_window(output.comment_window, true);
}

int XView::CutToWidth(const char* text, char* buffer, int width) {
    width = std::max(width, 0);
    std::memset(buffer, ' ', std::size_t(width));
    buffer[width] = '\0';
    if (!text) return 0;
    int taken = 0, consumed = 0;
    while (text[taken] && taken < width) {
        if (text[taken] == '_' && text[taken + 1] == '_') {
            consumed = taken + 2;
            std::memcpy(buffer, text, std::size_t(taken));
            return consumed;
        }
        const int size = kz::crt::is_sjis_lead(static_cast<unsigned char>(text[taken])) && text[taken + 1] ? 2 : 1;
        // A double-byte character is never split: it waits for the next piece.
        if (taken + size > width) break;
        taken += size;
    }
    consumed = taken;
    std::memcpy(buffer, text, std::size_t(taken));
    return consumed;
}

char* XView::JoinColumns(char* heap_text, const char* text1, int width1, const char* text2, int width2,
                         const char* text3, int width3) {
    const char* texts[3] = {text1 ? text1 : "", text2 ? text2 : "", text3 ? text3 : ""};
    const int widths[3] = {std::max(width1, 1), std::max(width2, 1), std::max(width3, 1)};
    std::string out = heap_text ? heap_text : "";
    std::string piece;
    while (*texts[0] || *texts[1] || *texts[2]) {
        for (int k = 0; k < 3; ++k) {
            piece.assign(std::size_t(widths[k]) + 1, '\0');
            int used = CutToWidth(texts[k], piece.data(), widths[k]);
            // A column too narrow for its next double-byte character would never move on: that character is
            // left out rather than split.
            if (used == 0 && *texts[k])
                used = kz::crt::is_sjis_lead(static_cast<unsigned char>(*texts[k])) && texts[k][1] ? 2 : 1;
            texts[k] += used;
            out.append(piece.c_str());
        }
        out += "__";
    }
    return kz::foundation::set_heap_string(heap_text, out.c_str(), nullptr, -1);
}

void XView::DrawOverlayText(const char* text) {
    plat::DeviceContext* dc = output.view_dc[0].get();
    if (!dc || !text) return;
    plat::set_rop2(*dc, plat::kR2CopyPen);
    const double r = dc->pixel_ratio();
    kz::foundation::text_out_gdi(dc, text, int(10 * r + 0.5), 0, int(16 * r + 0.5), 0x00FF00, kGothicFace, 0x010000, 0,
                                 0.0);
    dc->notify_present();
}

}  // namespace kz::view
