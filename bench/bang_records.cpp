// Pasting bang records (a drawing program's polygon export) as flat polygons whose normals are smoothed where they
// meet: 25,000 four-point polygons of a folded roof, 100,000 points of which 25,326 lie apart, 100 km from the
// origin along each axis (beyond where surveyed coordinates in millimetres outgrow the int range) and, as its peer,
// the same polygons around the origin. The points of the pasted item are looked up in a grid of cells a few
// hundredths of a millimetre wide; the two should take the same time. Each paste starts from an empty model and ends
// with the view's frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "app/document/xview.h"
#include "bench_view.h"
#include "platform/clipboard.h"
#include "platform/crt/c_numbers.h"
#include "platform/window.h"

namespace {

namespace plat = kz::platform;

constexpr int kColumns = 125, kRows = 200;  // 25,000 quadrilaterals
constexpr double kStep = 500.0;             // millimetres

// The records of the roof with its corner at (offset, offset, offset): each column of polygons a flat strip, its
// slope turning by less than the angle at which neighbours' normals are averaged.
std::string roof_records(double offset) {
    std::string text = "!trunk\r\n!color,200,120,80\r\n";
    const auto add_point = [&](int column, int row) {
        for (const long long v : {std::llround(offset + column * kStep), std::llround(offset + row * kStep),
                                  std::llround(offset + 600.0 * std::sin(column * 0.4))})
            text.append(1, ',').append(kz::crt::int_text(v));
    };
    for (int c = 0; c < kColumns; ++c)
        for (int r = 0; r < kRows; ++r) {
            text += "!poly,4";
            add_point(c, r), add_point(c + 1, r), add_point(c + 1, r + 1), add_point(c, r + 1);
            text += "\r\n";
        }
    return text;
}

void BM_PasteBangRecords(benchmark::State& state) {
    const bool far = state.range(0) != 0;
    const std::string records = roof_records(far ? 100e6 : -0.5 * kColumns * kStep);
    const plat::WindowHandle parent = make_bench_parent(800, 600);
    {
        auto view = std::make_unique<kz::view::XView>(parent, nullptr);
        view->LayoutWindows(800, 600);
        for (auto _ : state) {
            state.PauseTiming();
            view->NewModel();
            plat::set_clipboard_data(plat::kClipboardText, records);
            state.ResumeTiming();
            view->PasteBangRecords(nullptr);
        }
        state.counters["items"] = view->trunk_count() - 1;
    }
    plat::destroy_window(parent);
}
BENCHMARK(BM_PasteBangRecords)->ArgName("far")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
