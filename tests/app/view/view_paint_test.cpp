// Paint, stereo, layouts, rendering into DIBs and printing, checked on pixels read back from headless renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/scene/xtrunk.h"
#include "paint_fixture.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/heap_release.h"
#include "platform/message_loop.h"
#include "support/heap_in_use.h"
#include "support/test_paths.h"

namespace kz::view::test {
namespace {

bool is(Rgb p, int r, int g, int b, int tolerance = 2) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

// Mean column of the pixels of one colour; -1 when there are none.
double mean_column(const Frame& f, int r, int g, int b) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            if (is(f.at(x, y), r, g, b)) sum += x, ++n;
    return n ? sum / n : -1.0;
}

int count_color(const Frame& f, int r, int g, int b) {
    int n = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) n += is(f.at(x, y), r, g, b) ? 1 : 0;
    return n;
}

class RenderTest : public PaintTest {
public:
    void SetUp() override {
        PaintTest::SetUp();
        view->settings.background_color = 0x00804020;  // red 0x20, green 0x40, blue 0x80
        box = add_box_item("box,w=400,d=400,h=400,red=255,green=0,blue=0");
        view->ComputeSceneBounds(nullptr, centre);
        const double from[3] = {centre[0], centre[1] - 2000, centre[2]};
        look(from, centre);
    }
    int box = 0;
    double centre[3] = {};
};

TEST_F(RenderTest, SingleWindowShowsBackgroundAndModel) {
    view->Redraw(0);
    const Frame f = window_frame(0);
    EXPECT_TRUE(is(f.at(2, 2), 0x20, 0x40, 0x80)) << f.at(2, 2).r;
    EXPECT_TRUE(is(f.at(kW / 2, kH / 2), 255, 0, 0));
    // The front face 400 wide at 1800 away, a window 1.0 high per unit of depth: 400 / 1800 x 120 pixels across.
    const double side = 400.0 / 1800.0 * kH;
    EXPECT_NEAR(count_color(f, 255, 0, 0), side * side, 60.0);
    if (HasFailure()) f.save("layout0");
}

TEST_F(RenderTest, SideBySideWindowsShowTheEyesApart) {
    view->output.window_layout = 1;
    view->LayoutWindows(kW, kH);
    const double from[3] = {centre[0], centre[1] - 2000, centre[2]},
                 far_target[3] = {centre[0], centre[1] + 6000, centre[2]};
    look(from, far_target);
    view->Redraw(0);
    const Frame left = window_frame(0), right = window_frame(1);
    ASSERT_EQ(left.width, kW / 2);
    ASSERT_EQ(right.width, kW / 2);
    // Both eyes turn to the target, 8000 away behind the model: each eye moves (8000 / 2000)^0.75 x 65 sideways,
    // and the near face, 1800 away, by that times (1 - 1800 / 8000), seen in a window 0.5 x 80 / 120 wide per unit
    // of depth over 40 pixels.
    const double s = std::pow(4.0, 0.75) * 65.0;
    const double want = 2 * s * (1 - 1800.0 / 8000.0) / 1800.0 / (0.5 * 80.0 / 120.0) * 40.0;
    const double shift = mean_column(right, 255, 0, 0) - mean_column(left, 255, 0, 0);
    EXPECT_NEAR(shift, want, 1.0);
    if (HasFailure()) left.save("layout1_left"), right.save("layout1_right");
}

TEST_F(RenderTest, AnaglyphsFollowTheirFormulas) {
    add_box_item("box,w=300,d=300,h=300,dx=-500,red=40,green=200,blue=120");
    for (int layout : {2, 3}) {
        SCOPED_TRACE(layout);
        view->output.window_layout = layout;
        view->LayoutWindows(kW, kH);
        view->SyncScene(0);
        kz::crt::GlobalHandle a = kz::foundation::create_dib24(kW, kH), b = kz::foundation::create_dib24(kW, kH);
        view->SetStereoEye(1);
        view->CopyViewToDib(a);
        view->SetStereoEye(-1);
        view->CopyViewToDib(b);
        const Frame plus = dib_frame(a), minus = dib_frame(b);
        ASSERT_NE(mean_column(plus, 255, 0, 0), mean_column(minus, 255, 0, 0));
        view->Redraw(0);
        const Frame got = window_frame(0);
        int wrong = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const Rgb r = plus.at(x, y), l = minus.at(x, y), g = got.at(x, y);
                Rgb want;
                if (layout == 2) {
                    want = {(l.g + l.b + 1) / 2, r.g, r.b};
                } else {
                    const int grey_r = int(0.6 * r.g + 0.1 * r.b + 0.3 * r.r);
                    want = {int(0.6 * l.g + 0.1 * l.b + 0.3 * l.r), grey_r, grey_r};
                }
                wrong += is(g, want.r, want.g, want.b, 1) ? 0 : 1;
            }
        EXPECT_EQ(wrong, 0);
        if (HasFailure()) got.save("anaglyph"), plus.save("eye_plus"), minus.save("eye_minus");
    }
}

TEST_F(RenderTest, LargeDibKeepsThePictureWhole) {
    view->Redraw(0);
    const Frame small = dib_frame(view->RenderToDib(500, 375));
    kz::crt::GlobalHandle dib = view->RenderToDib(5000, 3749);
    ASSERT_NE(dib, nullptr);
    {
        const auto* h = static_cast<const std::uint8_t*>(kz::crt::global_lock(dib));
        EXPECT_EQ(kz::foundation::dib_width(h), 5000);
        EXPECT_EQ(kz::foundation::dib_height(h), 3749);
        EXPECT_EQ(h[14], 24);
        kz::crt::global_unlock(dib);
    }
    const Frame big = dib_frame(dib);
    EXPECT_TRUE(is(big.at(2500, 1874), 255, 0, 0));
    for (auto [x, y] : {std::pair{3, 3}, std::pair{4996, 3}, std::pair{3, 3745}, std::pair{4996, 3745}})
        EXPECT_TRUE(is(big.at(x, y), 0x20, 0x40, 0x80)) << x << "," << y;
    // The same share of the picture at both sizes: the model is neither stretched nor cut.
    const double share_small = count_color(small, 255, 0, 0) / (500.0 * 375.0);
    const double share_big = count_color(big, 255, 0, 0) / (5000.0 * 3749.0);
    EXPECT_NEAR(share_big / share_small, 1.0, 0.03);
    EXPECT_NEAR(mean_column(big, 255, 0, 0), 2500.0, 10.0);
    // A picture of another shape than the window's keeps the square front face square.
    const Frame wide = dib_frame(view->RenderToDib(400, 150));
    int x0 = wide.width, x1 = -1, y0 = wide.height, y1 = -1;
    for (int y = 0; y < wide.height; ++y)
        for (int x = 0; x < wide.width; ++x)
            if (is(wide.at(x, y), 255, 0, 0))
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    EXPECT_NEAR(x1 - x0, y1 - y0, 2);
    EXPECT_NEAR(y1 - y0 + 1, 400.0 / 1800.0 * 150, 2);
    // The window's own view is left as it was.
    EXPECT_EQ(view->camera.eye->screen_width, kW);
    view->Redraw(0);
    EXPECT_TRUE(is(window_frame(0).at(kW / 2, kH / 2), 255, 0, 0));
}

TEST_F(RenderTest, SideBySideDibOfOddWidthLeavesTheLastPixelWhite) {
    view->output.window_layout = 1;
    view->LayoutWindows(kW, kH);
    view->Redraw(0);
    const Frame f = dib_frame(view->RenderToDib(81, 60));
    ASSERT_EQ(f.width, 81);
    for (int y = 0; y < f.height; ++y) ASSERT_TRUE(is(f.at(80, y), 255, 255, 255, 0)) << y;
    Frame half_a = f, half_b = f;
    double a = 0, b = 0;
    int na = 0, nb = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < 40; ++x) {
            if (is(f.at(x, y), 255, 0, 0)) a += x, ++na;
            if (is(f.at(40 + x, y), 255, 0, 0)) b += x, ++nb;
        }
    ASSERT_GT(na, 0);
    ASSERT_GT(nb, 0);
    EXPECT_LT(a / na, b / nb);  // the right-shifted eye at byte 0 sees the model further left
}

TEST_F(RenderTest, UnknownLayoutRendersNothing) {
    view->output.window_layout = 7;
    const double zoom = view->camera.eye->zoom_ratio;
    EXPECT_EQ(view->RenderToDib(64, 48), nullptr);
    EXPECT_EQ(view->camera.eye->zoom_ratio, zoom);
    EXPECT_EQ(view->RenderFrame(0), 1);
}

// Reads a binary PPM as pdftoppm writes it.
struct Ppm {
    int width = 0, height = 0;
    std::string pixels;
    Rgb at(int x, int y) const {
        const std::size_t i = (std::size_t(y) * width + x) * 3;
        return {(unsigned char)pixels[i], (unsigned char)pixels[i + 1], (unsigned char)pixels[i + 2]};
    }
};
Ppm read_ppm(const std::string& path) {
    Ppm p;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    p.pixels.assign(std::size_t(p.width) * p.height * 3, '\0');
    in.read(p.pixels.data(), static_cast<std::streamsize>(p.pixels.size()));
    return p;
}

TEST_F(RenderTest, PrintFillsThePageWidthAtFourToThree) {
    const std::string pdf = kz::test::output_file("print_view.pdf");
    std::remove(pdf.c_str());
    kz::platform::DialogTestAnswers answers;
    answers.print_pdf_file = pdf;
    kz::platform::set_dialog_test_mode(true, answers);
    view->Redraw(0);
    view->PrintView(-1);
    kz::platform::set_dialog_test_mode(false);
    const std::string stem = kz::test::output_file("print_view");
    ASSERT_EQ(std::system(("pdftoppm -r 20 -singlefile " + pdf + " " + stem).c_str()), 0);
    const Ppm page = read_ppm(stem + ".ppm");
    ASSERT_GT(page.width, 50);
    // Find the picture: the background colour's rows and columns.
    int left = page.width, right = -1, top = page.height, bottom = -1;
    for (int y = 0; y < page.height; ++y)
        for (int x = 0; x < page.width; ++x)
            if (is(page.at(x, y), 0x20, 0x40, 0x80, 6)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0);
    const double w = right - left + 1, h = bottom - top + 1;
    EXPECT_NEAR(h / w, 0.75, 0.03);
    EXPECT_LE(bottom, page.height - 1);
    // The model sits in the middle of the picture.
    EXPECT_TRUE(is(page.at(int(left + w / 2), int(top + h / 2)), 255, 0, 0, 8));
    // Printable width: the picture spans at least 90% of the page.
    EXPECT_GT(w / page.width, 0.9);
}

TEST_F(RenderTest, SunShadowFallsAwayFromTheSun) {
    // A white floor around the red block, seen from high above.
    add_box_item("box,w=6000,d=6000,h=10,dx=-2800,dy=-2800,dz=-10,red=255,green=255,blue=255");
    view->settings.shadow_display = 1;
    view->settings.shadow_color = 0;
    view->settings.shadow_transparency = 0.0;
    view->settings.latitude = 35.0;
    view->settings.longitude = 135.0;
    view->settings.shadow_date = 171;  // 21 June
    view->settings.shadow_time = 8.0;  // the sun in the east, low
    for (double north : {0.0, 90.0}) {
        SCOPED_TRACE(north);
        view->settings.north_angle = north;
        const double from[3] = {centre[0], centre[1] - 1, 9000}, to[3] = {centre[0], centre[1], 0};
        look(from, to);
        view->Redraw(0);
        OfuLight light;
        view->output.bridge->modeller->GetShadowLight(light);
        double plan[2] = {-light.direction.x, -light.direction.y};  // towards the sun
        const double len = std::hypot(plan[0], plan[1]);
        ASSERT_GT(len, 0.1);
        plan[0] /= len, plan[1] /= len;
        // Hand check of the turn: at 8 in the morning of midsummer the sun stands nearly due east (+x); a quarter
        // turn of the north angle brings it nearly due north (+y).
        EXPECT_GT(north == 0.0 ? plan[0] : plan[1], 0.7);
        const Frame f = window_frame(0);
        const _O3duCamera cam = camera();
        int sun_dark = 0, away_dark = 0;
        for (double d = 300; d <= 600; d += 50) {
            const double toward[3] = {centre[0] + plan[0] * d, centre[1] + plan[1] * d, 0.0};
            const double away[3] = {centre[0] - plan[0] * d, centre[1] - plan[1] * d, 0.0};
            int x = 0, y = 0;
            ASSERT_TRUE(project_to_pixel(cam, kW, kH, toward, &x, &y));
            sun_dark += f.at(x, y).r < 128 ? 1 : 0;
            ASSERT_TRUE(project_to_pixel(cam, kW, kH, away, &x, &y));
            away_dark += f.at(x, y).r < 128 ? 1 : 0;
        }
        EXPECT_EQ(sun_dark, 0);
        EXPECT_GE(away_dark, 7);
        if (HasFailure()) f.save("shadow");
    }
}

// 8 December's sun sets between 16:20 and 16:30. At night no volume is kept and each pixel drawn takes the shadow
// colour over the plain frame's, the background staying; at noon the box casts its shadow. The wheel's hour crosses
// into the night and back: the volumes go, and come again with the day's frame.
TEST_F(RenderTest, NightShadesAllThatIsDrawnAndTheWheelCrossesIntoItAndBack) {
    add_box_item("box,w=6000,d=6000,h=10,dx=-2800,dy=-2800,dz=-10,red=255,green=255,blue=255");
    view->output.bridge->SetShapeVisible(view->display.sky_shape, 0);  // drawn under all at no depth
    SceneSettings& st = view->settings;
    st.shadow_color = 0x00336699, st.shadow_transparency = 0.25, st.shadow_date = 341;
    const double from[3] = {200, 3400, 1500};
    look(from, centre);
    const auto frame_at = [&](int shadows, double time) {
        st.shadow_display = shadows, st.shadow_time = time;
        view->Redraw(0), view->Redraw(0);
        return window_frame(0);
    };
    const Frame plain = frame_at(0, 23);
    // The channels off by more than 1 from the plain frame with every drawn pixel shaded (rows are unpadded BGR).
    const auto unshaded = [&](const Frame& f) {
        int off = 0;
        for (std::size_t i = 0; i < f.bytes.size(); ++i) {
            const std::size_t pixel = i - i % 3;
            const bool drawn =
                plain.bytes[pixel] != 0x80 || plain.bytes[pixel + 1] != 0x40 || plain.bytes[pixel + 2] != 0x20;
            const int shadow = (0x336699 >> (8 * (2 - i % 3))) & 0xFF, under = plain.bytes[i];
            off += std::abs(f.bytes[i] - (drawn ? int(std::lround(0.75 * shadow + 0.25 * under)) : under)) > 1;
        }
        return off;
    };
    const CO3duGLModelar& m = *view->output.bridge->modeller;
    EXPECT_EQ(unshaded(frame_at(1, 23)), 0);
    EXPECT_EQ(m.shadow_volume_bytes(), 0u);
    const Frame noon = frame_at(1, 12);
    EXPECT_GT(unshaded(noon), 3000);
    EXPECT_NE(noon.bytes, plain.bytes);
    const Frame day = frame_at(1, 16 + 20 / 60.0);
    kz::platform::set_forced_key_state(kz::platform::VK_SHIFT, 1);
    view->OnMouseWheel(120);  // 16:30
    EXPECT_EQ(m.shadow_volume_bytes(), 0u);
    view->OnMouseWheel(0xFF88);
    kz::platform::set_forced_key_state(-1, -1);
    view->Redraw(0);
    EXPECT_GT(m.shadow_volume_bytes(), 0u);
    EXPECT_EQ(window_frame(0).bytes, day.bytes);
}

// A file's shadow column holds from the start: "1" on the item casts no shadow where "0" casts one.
TEST_F(RenderTest, AFilesNoShadowColumnHoldsFromTheStart) {
    const auto frame_of = [&](const char* shadows, const char* caster_column) {
        std::vector<std::string> caster(40);
        caster[0] = "trunk", caster[29] = "caster", caster[39] = caster_column;
        std::string line;
        for (const std::string& field : caster) line += (line.empty() ? "" : ",") + field;
        const std::string file = kz::test::output_file("shadow_column.fig");
        std::ofstream(file, std::ios::binary) << "set,haikei,255,255,0\r\nset,shadow_disp_sw," << shadows
                                              << "\r\nset,shadow_hokui,35,135\r\nset,shadow_month,6,21,8,0\r\n"
                                                 "trunk,0,0,0,,,,,,,,,,,,,,,,,,,,,,,,,,floor\r\n"
                                                 "box,-3000,-3000,-10,,,,,,,,,,6000,6000,10,,,,,,1,255,255,255\r\n"
                                              << line << "\r\nbox,-200,-200,0,,,,,,,,,,400,400,400,,,,,,1,255,0,0\r\n";
        EXPECT_EQ(view->OpenModel(kz::platform::from_native_path(file).c_str()), 1);
        const double from[3] = {0, -1, 9000}, to[3] = {0, 0, 0};
        look(from, to);
        view->Redraw(0);
        return window_frame(0);
    };
    const Frame unshaded = frame_of("0", "0;0"), cast = frame_of("1", "0;0"), kept = frame_of("1", "1;0");
    EXPECT_NE(cast.bytes, unshaded.bytes);
    EXPECT_EQ(kept.bytes, unshaded.bytes);
    if (HasFailure()) kept.save("shadow_column");
}

// The ground grid lies in the plane of a floor's top: the floor hides all of it, and beyond the floor it shows.
TEST_F(RenderTest, AFloorOnTheGroundHidesTheGridWhichShowsBeyondIt) {
    const int floor = add_box_item("box,w=4000,d=4000,h=10,dx=-2000,dy=-2000,dz=-10,red=255,green=255,blue=255");
    view->document.trunks[box]->SetVisible(0, 0);
    const double from[3] = {0, -3000, 800}, to[3] = {0, 0, 0};
    look(from, to);
    const auto frame = [&](int grid, int floor_shown) {
        view->output.bridge->SetShapeVisible(view->display.sky_shape, grid);
        view->document.trunks[floor]->SetVisible(floor_shown, 0);
        view->Redraw(0);
        return window_frame(0);
    };
    const Frame with_grid = frame(1, 1), floor_only = frame(0, 1), neither = frame(0, 0);
    const auto same = [](Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
    int on_floor = 0, grid_on_floor = 0, grid_beyond = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool grid_seen = !same(with_grid.at(x, y), floor_only.at(x, y));
            if (!same(floor_only.at(x, y), neither.at(x, y)))
                ++on_floor, grid_on_floor += grid_seen;
            else
                grid_beyond += grid_seen;
        }
    EXPECT_GT(on_floor, kW * kH / 8);
    EXPECT_EQ(grid_on_floor, 0);
    EXPECT_GT(grid_beyond, 20);
    if (HasFailure()) with_grid.save("grid_on_floor");
}

TEST_F(RenderTest, SectionShowsTheCapColourAtTheCut) {
    // Cut the block half way up, seen from above: the cut face shows the cap colour where the red top was.
    view->display.section_point[0] = centre[0], view->display.section_point[1] = centre[1],
    view->display.section_point[2] = centre[2];
    view->display.section_axes[0][0] = 0, view->display.section_axes[0][1] = 0, view->display.section_axes[0][2] = -1;
    view->display.section_axis = 0;
    view->display.section_cap_color[0] = 0, view->display.section_cap_color[1] = 255,
    view->display.section_cap_color[2] = 0;
    const double from[3] = {centre[0], centre[1] - 1, 3000};
    look(from, centre);
    view->Redraw(0);
    EXPECT_TRUE(is(window_frame(0).at(kW / 2, kH / 2), 255, 0, 0));
    view->display.section_switch = 1;
    view->Redraw(0);
    const Frame f = window_frame(0);
    EXPECT_TRUE(is(f.at(kW / 2, kH / 2), 0, 255, 0));
    if (HasFailure()) f.save("section");
}

TEST_F(RenderTest, PlanDisplayFillsNegativeBackgroundAndDrawsFaces) {
    view->display.plan_display = 1;
    view->settings.background_color = 0xFFFFFFFF;  // negative: the plan's own dark green
    // The heap's blocks in use each time its pages are asked back.
    std::vector<std::uint64_t> held;
    kz::platform::set_heap_release_observer_for_tests([&] { held.push_back(kz::test::heap_in_use()); });
    view->Redraw(0);
    // The faces of a box made for the drawing are too few to hand their pages back; those of two fine balls are not,
    // and they are gone by then: the heap holds no more than once the frame is over, but for the drawing's own lists
    // of the faces' order (0.6 MiB in either build; the faces themselves hold some 9 MiB).
    EXPECT_TRUE(held.empty());
    add_box_item("ball,w=400,d=400,h=400,div=144");
    add_box_item("ball,w=400,d=400,h=400,div=144");
    view->Redraw(0);
    kz::platform::set_heap_release_observer_for_tests(nullptr);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_LT(held[0], kz::test::heap_in_use() + (3u << 20)) << "faces still held";
    for (int item = box + 1; item < view->trunk_count(); ++item) view->document.trunks[item]->shown = 0;
    view->Redraw(0);
    const Frame f = window_frame(0);
    EXPECT_TRUE(is(f.at(2, 2), 0x00, 0x40, 0x20, 0));
    const Rgb middle = f.at(kW / 2, kH / 2);
    EXPECT_FALSE(is(middle, 0x00, 0x40, 0x20, 0));
    EXPECT_GT(middle.r, middle.g);
    if (HasFailure()) f.save("plan");
    // Hidden items take no part.
    view->document.trunks[box]->shown = 0;
    view->Redraw(0);
    EXPECT_TRUE(is(window_frame(0).at(kW / 2, kH / 2), 0x00, 0x40, 0x20, 0));
}

TEST_F(RenderTest, StatusTextReachesTheParent) {
    view->Redraw(0);
    const auto status = received(0x5507);
    ASSERT_EQ(status.size(), 1u);
    const std::string text = reinterpret_cast<const char*>(status[0].lparam);
    EXPECT_NE(text.find(" eye("), std::string::npos);
}

// Start-up timing from outside: once the start model is read, the program ends at the first frame that draws all
// of the shown model, even while the eye still moves to the model's eye point; a frame that shows part of it while
// the eye moves does not end it, one at the eye's rest does, and so does any frame when nothing is shown.
TEST_F(RenderTest, StartTimingEndsAtTheFirstFrameOfTheWholeStartModel) {
    const int far_box = add_box_item("box,w=400,d=400,h=400,dx=20000,red=0,green=255,blue=0");
    const double near_eye[3] = {centre[0], centre[1] - 2000, centre[2]};  // the red box alone in sight
    const double far_target[3] = {centre[0] + 10000, centre[1], centre[2]};
    const double far_eye[3] = {far_target[0], far_target[1] - 60000, far_target[2]};  // both boxes in sight
    const struct {
        const char* name;
        bool armed, near, moving, shown, quits;
    } rows[] = {
        {"before the read", false, false, true, true, false},  {"part while moving", true, true, true, true, false},
        {"whole while moving", true, false, true, true, true}, {"part at rest", true, true, false, true, true},
        {"nothing shown", true, true, true, false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (const int item : {box, far_box}) view->document.trunks[item]->SetVisible(r.shown ? 1 : 0, 0);
        const double* eye = r.near ? near_eye : far_eye;
        const double* target = r.near ? centre : far_target;
        look(eye, target);
        // A move of ten seconds that ends where it starts, or none.
        view->AnimateEyeTo(target, 0, eye, r.moving ? 10.0 : 0.0, 0.0, 0.0, 0.0);
        if (r.armed) view->EndAtStartModelFrame();
        view->Redraw(0);
        EXPECT_EQ(kz::platform::quit_requested(), r.quits);
        if (kz::platform::quit_requested()) kz::platform::run_message_loop();  // takes the quit back
    }
}

}  // namespace
}  // namespace kz::view::test
