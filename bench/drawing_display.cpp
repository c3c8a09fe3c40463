// The 2D display of a drawing of one million short lines into a 4000 x 3000 image, fitted whole and zoomed in ten
// times, beside QPainter::drawLines of the same segments mapped once beforehand, and the GDI layer's own line
// drawing of those mapped segments; long lines across a 24-bit DIB; and 50,000 texts by the GDI layer beside
// QPainter::drawText.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QLine>
#include <QPainter>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "drawing2d/device_mapping.h"
#include "drawing2d/drawing_display.h"
#include "drawing2d/row_store.h"
#include "drawing2d/zolt_exports.h"
#include "platform/device_context.h"
#include "platform/gdi.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
constexpr int kLines = 1000000;
constexpr double kExtentX = 4.0e6, kExtentY = 3.0e6;  // drawing units; fitted whole, one unit is 1/1000 pixel

struct Segment {
    int x1, y1, x2, y2;
};

// Short lines (up to 20 pixels when fitted) spread over the whole extent, as the details of a large plan are.
const std::vector<Segment>& drawing_segments() {
    static const std::vector<Segment> segments = [] {
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> x(0, kExtentX), y(0, kExtentY), d(-10000, 10000);
        std::vector<Segment> s(kLines);
        for (Segment& e : s) {
            const double ax = x(rng), ay = y(rng);
            e = {int(ax), int(ay), int(ax + d(rng)), int(ay + d(rng))};
        }
        return s;
    }();
    return segments;
}

// Device mapping of a window zoomed about the extent's centre.
struct Mapping {
    double scale, ox, oy;
    explicit Mapping(int zoom) : scale(kWidth / kExtentX * zoom) {
        ox = kExtentX / 2 - kWidth / 2.0 / scale;
        oy = kExtentY / 2 - kHeight / 2.0 / scale;
    }
    int x(double v) const { return int((v - ox) * scale + 0.5); }
    int y(double v) const { return int((v - oy) * scale + 0.5); }
};

std::vector<QLine> mapped_lines(int zoom) {
    const Mapping m(zoom);
    std::vector<QLine> lines;
    lines.reserve(kLines);
    for (const Segment& s : drawing_segments()) lines.emplace_back(m.x(s.x1), m.y(s.y1), m.x(s.x2), m.y(s.y2));
    return lines;
}

void BM_QPainterDrawLines(benchmark::State& state) {
    const std::vector<QLine> lines = mapped_lines(static_cast<int>(state.range(0)));
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 0));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_QPainterDrawLines)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_GdiLinesPremapped(benchmark::State& state) {
    using namespace kz::platform;
    const std::vector<QLine> lines = mapped_lines(static_cast<int>(state.range(0)));
    auto bitmap = Bitmap::create_compatible(kWidth, kHeight);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    const GdiRect clip{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        fill_rect(*dc, clip, stock_white_brush());
        set_clip_rect(*dc, &clip);
        select_pen(*dc, stock_black_pen());
        for (const QLine& l : lines) {
            move_to(*dc, l.x1(), l.y1());
            line_to(*dc, l.x2(), l.y2());
        }
    }
    dc->select_bitmap(nullptr);
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_GdiLinesPremapped)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// Lines from edge to edge of a 24-bit DIB (the clipboard picture's surface), which the GDI layer cannot draw in
// place: one-pixel lines are plotted into it pixel by pixel, so each costs its length, not its bounding box.
void BM_GdiLongLinesOnDib(benchmark::State& state) {
    using namespace kz::platform;
    constexpr int kLongLines = 2000;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> x(0, kWidth - 1), y(0, kHeight - 1);
    std::vector<QLine> lines;
    for (int i = 0; i < kLongLines; ++i) lines.emplace_back(x(rng), 0, x(rng), kHeight - 1);
    kz::crt::GlobalHandle dib = allocate_packed_dib(kWidth, kHeight, 24);
    auto dc = DeviceContext::create_memory_over_dib(dib);
    for (auto _ : state) {
        fill_rect(*dc, {0, 0, kWidth, kHeight}, stock_white_brush());
        select_pen(*dc, stock_black_pen());
        for (const QLine& l : lines) {
            move_to(*dc, l.x1(), l.y1());
            line_to(*dc, l.x2(), l.y2());
        }
    }
    dc.reset();
    kz::crt::global_free(dib);
    state.SetItemsProcessed(state.iterations() * kLongLines);
}
BENCHMARK(BM_GdiLongLinesOnDib)->Unit(benchmark::kMillisecond);

// The same segments as the line records of a drawing, shown whole by the display with one-pixel pens.
kz::drawing2d::drawing_handle line_drawing() {
    static const kz::drawing2d::drawing_handle h = [] {
        const kz::drawing2d::drawing_handle d = kz::drawing2d::zolt_open();
        for (const Segment& s : drawing_segments()) kz::drawing2d::zolt_line_set(d, 0, s.x1, s.y1, s.x2, s.y2);
        return d;
    }();
    return h;
}

void BM_DisplayLines(benchmark::State& state) {
    using namespace kz::platform;
    const Mapping m(static_cast<int>(state.range(0)));
    const kz::drawing2d::drawing_handle h = line_drawing();
    auto bitmap = Bitmap::create_compatible(kWidth, kHeight);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    kz::drawing2d::drawing_context* ctx = kz::drawing2d::zolt_lock(h);
    ctx->disp_pen_width = -1;
    kz::drawing2d::xlum_make_window_d(ctx, 0, m.ox, m.oy, m.ox + kWidth / m.scale, m.oy + kHeight / m.scale, 0, 0,
                                      kWidth, kHeight);
    for (auto _ : state) {
        fill_rect(*dc, {0, 0, kWidth, kHeight}, stock_white_brush());
        benchmark::DoNotOptimize(kz::drawing2d::xlum_gdisp(ctx, dc.get(), 0, 13, 0));
    }
    kz::drawing2d::zolt_unlock(h);
    dc->select_bitmap(nullptr);
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_DisplayLines)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

constexpr int kTexts = 50000;
constexpr int kTextHeight = 12;  // pixels

struct Label {
    int x, y;
    std::string text;
};
const std::vector<Label>& labels() {
    static const std::vector<Label> all = [] {
        std::mt19937 rng(9);
        std::uniform_int_distribution<int> x(0, kWidth - 60), y(0, kHeight - kTextHeight), n(0, 99999);
        std::vector<Label> l(kTexts);
        for (Label& e : l) e = {x(rng), y(rng), "R" + std::to_string(n(rng))};
        return l;
    }();
    return all;
}

void BM_QPainterTexts(benchmark::State& state) {
    kz::platform::ensure_gui_application();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(kTextHeight);
    font.setStyleStrategy(QFont::NoAntialias);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        for (const Label& l : labels()) p.drawText(l.x, l.y + kTextHeight, QString::fromStdString(l.text));
    }
    state.SetItemsProcessed(state.iterations() * kTexts);
}
BENCHMARK(BM_QPainterTexts)->Unit(benchmark::kMillisecond);

void BM_GdiTextOut(benchmark::State& state) {
    using namespace kz::platform;
    auto bitmap = Bitmap::create_compatible(kWidth, kHeight);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    LogFont font;
    font.height = -kTextHeight;
    font.quality = 3;
    std::strcpy(font.face_name, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");
    for (auto _ : state) {
        fill_rect(*dc, {0, 0, kWidth, kHeight}, stock_white_brush());
        select_font(*dc, font);
        set_bk_mode(*dc, kTransparent);
        for (const Label& l : labels()) text_out(*dc, l.x, l.y, l.text);
    }
    dc->select_bitmap(nullptr);
    state.SetItemsProcessed(state.iterations() * kTexts);
}
BENCHMARK(BM_GdiTextOut)->Unit(benchmark::kMillisecond);

}  // namespace
