// GDI-style drawing checked against GDI's documented rules, and Japanese text from Shift_JIS in a mapped IPA face.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/gdi.h"

namespace kz::platform {
namespace {

constexpr ColorRef kWhite = 0xFFFFFF;

// A memory DC over a bottom-up 24-bit DIB (the layout GDI work is most often done in here), cleared to white.
struct DibCanvas {
    int w, h;
    crt::GlobalHandle dib;
    std::unique_ptr<DeviceContext> dc;
    DibCanvas(int width, int height) : w(width), h(height), dib(allocate_packed_dib(w, h, 24)) {
        dc = DeviceContext::create_memory_over_dib(dib);
        fill_rect(*dc, {0, 0, w, h}, Brush{false, kWhite});
    }
    ~DibCanvas() {
        dc.reset();
        crt::global_free(dib);
    }
    ColorRef at(int x, int y) const { return static_cast<ColorRef>(get_pixel(*dc, x, y)); }
    // Every pixel against want(x, y); the first one off is named.
    template <class Want>
    ::testing::AssertionResult matches(Want want) const {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != static_cast<ColorRef>(want(x, y)))
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << at(x, y);
        return ::testing::AssertionSuccess();
    }
    // The pixels darker than half in blue (ink of black text) in [x0, x1) x [y0, y1).
    int ink(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += (at(x, y) & 0xFF) < 128;
        return n;
    }
    bool dark_near(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (at(x + dx, y + dy) == 0) return true;
        return false;
    }
};

TEST(Gdi, Rop2ModesFollowTheirTruthTables) {
    // With pen 0xCC and destination 0xAA in each channel, mode m gives (m - 1) * 0x11: the documented table.
    for (int mode = kR2Black; mode <= kR2White; ++mode) {
        DibCanvas c(4, 1);
        set_pixel(*c.dc, 0, 0, rgb(0xAA, 0xAA, 0xAA));
        set_rop2(*c.dc, mode);
        select_pen(*c.dc, Pen{kPsSolid, 1, rgb(0xCC, 0xCC, 0xCC)});
        move_to(*c.dc, 0, 0);
        line_to(*c.dc, 1, 0);
        const int v = (mode - 1) * 0x11;
        EXPECT_EQ(c.at(0, 0), rgb(v, v, v)) << "mode " << mode;
        EXPECT_EQ(c.at(1, 0), kWhite) << "end point drawn, mode " << mode;
    }
    DibCanvas c(2, 1);
    EXPECT_EQ(set_rop2(*c.dc, 17), 0);
    EXPECT_EQ(gdi_state(*c.dc).rop2, kR2CopyPen);
}

TEST(Gdi, CosmeticStyledLinesKeepGdiRuns) {
    struct Case {
        int style;
        std::vector<int> pattern;
    };
    const Case cases[] = {{kPsDash, {18, 6}},
                          {kPsDot, {3, 3}},
                          {kPsDashDot, {9, 6, 3, 6}},
                          {kPsDashDotDot, {9, 3, 3, 3, 3, 3}},
                          {kPsSolid, {1000}}};
    for (const Case& k : cases)
        for (int mode : {kTransparent, kOpaque}) {
            DibCanvas c(80, 10);
            select_pen(*c.dc, Pen{k.style, 1, rgb(0, 0, 255)});
            set_bk_mode(*c.dc, mode);
            set_bk_color(*c.dc, rgb(0, 255, 0));
            move_to(*c.dc, 2, 5);
            line_to(*c.dc, 40, 5);
            line_to(*c.dc, 70, 5);  // the pattern goes on across joined segments
            // Expected runs laid out by hand from the pattern.
            std::vector<ColorRef> want(80, kWhite);
            int x = 2, i = 0;
            while (x < 70) {
                const int run = k.pattern[i % k.pattern.size()];
                for (int n = 0; n < run && x < 70; ++n, ++x)
                    want[x] = i % 2 == 0 ? rgb(0, 0, 255) : (mode == kOpaque ? rgb(0, 255, 0) : kWhite);
                ++i;
            }
            for (int px = 0; px < 80; ++px)
                ASSERT_EQ(c.at(px, 5), want[px]) << "style " << k.style << " mode " << mode << " x " << px;
            for (int px = 0; px < 80; ++px) ASSERT_EQ(c.at(px, 4), kWhite);
        }
}

TEST(Gdi, WideStyledPenDrawsSolid) {
    DibCanvas c(60, 12);
    select_pen(*c.dc, Pen{kPsDash, 3, 0});
    move_to(*c.dc, 5, 6);
    line_to(*c.dc, 50, 6);
    for (int x = 8; x < 48; ++x) ASSERT_EQ(c.at(x, 6), 0u) << x;
    // Three pixels thick.
    EXPECT_EQ(std::tuple(c.at(20, 5), c.at(20, 7), c.at(20, 3)), std::tuple(0u, 0u, kWhite));
}

TEST(Gdi, BoxesLeaveOutRightAndBottomEdges) {
    DibCanvas c(20, 20);
    select_pen(*c.dc, Pen{kPsSolid, 1, 0});
    select_brush(*c.dc, Brush{false, rgb(255, 0, 0)});
    rectangle(*c.dc, 2, 3, 10, 8);
    EXPECT_TRUE(c.matches([](int x, int y) {
        const bool in = x >= 2 && x <= 9 && y >= 3 && y <= 7;
        const bool border = in && (x == 2 || x == 9 || y == 3 || y == 7);
        return border ? 0u : in ? rgb(255, 0, 0) : kWhite;
    }));
    DibCanvas n(20, 20);
    select_pen(*n.dc, stock_null_pen());  // documented: a null pen makes the box one pixel smaller each way
    select_brush(*n.dc, Brush{false, 0});
    rectangle(*n.dc, 2, 3, 10, 8);
    EXPECT_TRUE(n.matches([](int x, int y) { return (x >= 2 && x <= 8 && y >= 3 && y <= 6) ? 0u : kWhite; }));
}

TEST(Gdi, ArcRunsCounterClockwiseBetweenItsRays) {
    // Box (10,10)-(51,41): pixels 10..50 by 10..40, centre (30, 25), radii 20 and 15.
    auto near_ellipse = [](int x, int y) {
        const double u = (x - 30) / 20.0, v = (y - 25) / 15.0;
        return std::abs(std::sqrt(u * u + v * v) - 1.0) < 0.08;
    };
    {
        DibCanvas c(64, 50);
        arc(*c.dc, 10, 10, 51, 41, 60, 25, 30, 0);  // from the ray to the right to the ray straight up
        // Start point on the right, end point at the top, ink at 45 degrees upper right; upper left and lower
        // right are not swept.
        EXPECT_EQ(std::tuple(c.at(50, 25), c.at(30, 10)), std::tuple(0u, 0u));
        EXPECT_EQ(std::tuple(c.dark_near(44, 14), c.dark_near(16, 14), c.dark_near(44, 36)),
                  std::tuple(true, false, false));
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 64; ++x)
                if (c.at(x, y) == 0) {
                    ASSERT_TRUE(near_ellipse(x, y)) << x << "," << y;
                    ASSERT_TRUE(x >= 30 && y <= 25) << "outside the quadrant: " << x << "," << y;
                }
    }
    {
        DibCanvas c(64, 50);
        arc(*c.dc, 10, 10, 51, 41, 30, 0, 60, 25);  // the other three quarters
        EXPECT_EQ(std::tuple(c.at(30, 10), c.at(50, 25)), std::tuple(0u, 0u));
        EXPECT_EQ(std::tuple(c.dark_near(16, 14), c.dark_near(44, 36), c.dark_near(44, 14)),
                  std::tuple(true, true, false));
    }
}

// Independent coverage oracle: crossings of a ray from the pixel centre (even-odd rule).
bool centre_inside(const std::vector<GdiPoint>& poly, double px, double py, bool* on_edge) {
    bool inside = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const double xi = poly[i].x, yi = poly[i].y, xj = poly[j].x, yj = poly[j].y;
        const double cross = (xj - xi) * (py - yi) - (yj - yi) * (px - xi);
        if (std::abs(cross) < 1e-9 && px >= std::min(xi, xj) && px <= std::max(xi, xj) && py >= std::min(yi, yj) &&
            py <= std::max(yi, yj))
            *on_edge = true;
        if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
}

TEST(Gdi, PolygonCoversPixelsWhoseCentresAreInside) {
    const std::vector<std::vector<GdiPoint>> polys = {
        {{3, 2}, {40, 9}, {22, 18}, {37, 35}, {5, 30}},  // concave
        {{4, 4}, {44, 4}, {4, 36}, {44, 36}},            // self-crossing bow tie: alternate rule
        {{2, 2}, {30, 2}, {30, 20}, {10, 20}, {10, 8}, {20, 8}, {20, 14}, {2, 14}},  // overlapping loop
    };
    for (const auto& poly : polys) {
        DibCanvas c(48, 40);
        select_pen(*c.dc, stock_null_pen());
        select_brush(*c.dc, Brush{false, 0});
        polygon(*c.dc, poly.data(), static_cast<int>(poly.size()));
        int covered = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 48; ++x) {
                bool on_edge = false;
                const bool in = centre_inside(poly, x + 0.5, y + 0.5, &on_edge);
                if (on_edge) continue;  // the oracle cannot tell; no such centres in the cases above except lines
                ASSERT_EQ(c.at(x, y), in ? 0u : kWhite) << x << "," << y;
                covered += in;
            }
        EXPECT_GT(covered, 50);
    }
}

TEST(Gdi, XorDrawnTwiceRestoresThePicture) {
    DibCanvas c(50, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) set_pixel(*c.dc, x, y, rgb(x * 5, y * 6, (x * y) & 0xFF));
    std::vector<ColorRef> before;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) before.push_back(c.at(x, y));
    set_rop2(*c.dc, kR2XorPen);
    const GdiPoint zigzag[] = {{1, 1}, {45, 5}, {3, 30}, {48, 38}, {20, 2}};
    auto draw = [&] {
        select_pen(*c.dc, Pen{kPsSolid, 1, rgb(0x5A, 0xC3, 0x0F)});
        polyline(*c.dc, zigzag, 5);
        select_pen(*c.dc, Pen{kPsDashDot, 1, rgb(0xFF, 0x00, 0x80)});
        select_brush(*c.dc, Brush{false, rgb(0x12, 0x34, 0x56)});
        ellipse(*c.dc, 5, 5, 40, 33);
        select_pen(*c.dc, Pen{kPsSolid, 4, rgb(1, 2, 3)});
        move_to(*c.dc, 0, 39);
        line_to(*c.dc, 49, 0);
    };
    draw();
    int changed = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) changed += c.at(x, y) != before[y * 50 + x];
    EXPECT_GT(changed, 300);
    EXPECT_EQ(c.at(1, 1), before[1 * 50 + 1] ^ rgb(0x5A, 0xC3, 0x0F));  // polyline start: once, XORed
    draw();
    EXPECT_TRUE(c.matches([&](int x, int y) { return before[y * 50 + x]; }));
}

LogFont japanese_font(int height, int escapement = 0) {
    LogFont f;
    f.height = height;
    f.escapement = escapement;
    f.char_set = 128;
    const char face[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // "ＭＳ ゴシック" in Shift_JIS
    std::memcpy(f.face_name, face, sizeof face);
    return f;
}

TEST(Gdi, FaceNamesMapToIpaFonts) {
    for (auto [face, mapped] : {std::pair{"ＭＳ ゴシック", "IPAGothic"},
                                {"ＭＳ Ｐゴシック", "IPAPGothic"},
                                {"ＭＳ 明朝", "IPAMincho"},
                                {"@ＭＳ Ｐ明朝", "IPAPMincho"},
                                {"Arial", "Arial"}})
        EXPECT_EQ(map_face_name(face), mapped);
}

TEST(Gdi, JapaneseTextFromShiftJisStaysInsideItsCell) {
    const std::string text = "\x93\xfa\x96\x7b\x8c\xea";  // 日本語
    DibCanvas c(120, 60);
    select_font(*c.dc, japanese_font(-24));
    set_bk_mode(*c.dc, kTransparent);
    const GdiSize extent = text_extent(*c.dc, text);
    EXPECT_NEAR(extent.cx, 72, 2);  // three full-width characters of a 24-pixel em
    EXPECT_NEAR(extent.cy, 24, 2);  // IPA Gothic's cell is its em
    text_out(*c.dc, 10, 20, text);
    const int dark = c.ink(10, 20, 10 + extent.cx, 20 + extent.cy);
    EXPECT_EQ(c.ink(0, 0, 120, 60), dark) << "ink outside the cell";
    EXPECT_GT(dark, 150);  // real glyphs, not empty boxes or nothing
    // Each of the three cells holds ink.
    for (int k = 0; k < 3; ++k) EXPECT_GT(c.ink(10 + 24 * k, 20, 34 + 24 * k, 44), 30) << "character " << k;
    // The same text drawn into a top-down device bitmap gives the same pixels: the bottom-up path mirrors nothing.
    auto bitmap = Bitmap::create_compatible(120, 60);
    auto mem = DeviceContext::create_memory();
    mem->select_bitmap(bitmap.get());
    fill_rect(*mem, {0, 0, 120, 60}, Brush{false, kWhite});
    select_font(*mem, japanese_font(-24));
    set_bk_mode(*mem, kTransparent);
    text_out(*mem, 10, 20, text);
    EXPECT_TRUE(c.matches([&](int x, int y) { return get_pixel(*mem, x, y); }));
    mem->select_bitmap(nullptr);
}

// Texts one after another in changing sizes, angles, colours and alignments give the same pixels on a top-down
// device bitmap (drawn by the painter its DC keeps) as on a DIB; and so does the next bitmap selected.
TEST(Gdi, TextsInSequenceMatchOnEverySurface) {
    const auto draw = [](DeviceContext& dc) {
        fill_rect(dc, {0, 0, 200, 100}, Brush{false, kWhite});
        set_bk_mode(dc, kTransparent);
        for (int i = 0; i < 6; ++i) {
            select_font(dc, japanese_font(-12 - 4 * (i % 3), 300 * i));
            set_text_color(dc, rgb(40 * i, 0, 200));
            set_text_align(dc, i % 2 ? kTaCenter | kTaBaseline : kTaLeft | kTaTop);
            text_out(dc, 30 + 25 * i, 40 + 10 * (i % 3),
                     "\x93\xfa\x96\x7b"
                     "Ag");
        }
    };
    DibCanvas c(200, 100);
    draw(*c.dc);
    auto first = Bitmap::create_compatible(200, 100), second = Bitmap::create_compatible(200, 100);
    auto mem = DeviceContext::create_memory();
    for (Bitmap* bitmap : {first.get(), second.get()}) {
        mem->select_bitmap(bitmap);
        draw(*mem);
        EXPECT_TRUE(c.matches([&](int x, int y) { return get_pixel(*mem, x, y); }));
    }
    mem->select_bitmap(nullptr);
}

TEST(Gdi, EscapementTurnsTextAboutItsReferencePoint) {
    const std::string text = "\x93\xfa\x96\x7b";  // 日本
    DibCanvas c(60, 80);
    select_font(*c.dc, japanese_font(-20, 900));  // 90 degrees: the text runs upward
    set_bk_mode(*c.dc, kTransparent);
    text_out(*c.dc, 10, 70, text);
    const int dark = c.ink(9, 28, 32, 72);
    EXPECT_EQ(c.ink(0, 0, 60, 80), dark) << "ink outside x 9..31, y 28..71";
    EXPECT_GT(dark, 80);
}

TEST(Gdi, OpaqueTextFillsItsCellWithTheBackground) {
    DibCanvas c(60, 30);
    select_font(*c.dc, japanese_font(20));  // positive: cell height
    set_bk_mode(*c.dc, kOpaque);
    set_bk_color(*c.dc, rgb(0, 0, 255));
    const GdiSize extent = text_extent(*c.dc, "AB");
    EXPECT_NEAR(extent.cy, 20, 1);
    text_out(*c.dc, 5, 4, "AB");
    EXPECT_EQ(std::tuple(c.at(5, 4), c.at(5 + extent.cx - 1, 4 + extent.cy - 1), c.at(4, 4), c.at(5, 3)),
              std::tuple(rgb(0, 0, 255), rgb(0, 0, 255), kWhite, kWhite));
}

TEST(Gdi, ClipRectangleBoundsDrawing) {
    DibCanvas c(20, 20);
    const GdiRect clip{5, 5, 10, 10};
    set_clip_rect(*c.dc, &clip);
    select_brush(*c.dc, Brush{false, 0});
    rectangle(*c.dc, 0, 0, 20, 20);
    set_clip_rect(*c.dc, nullptr);
    EXPECT_TRUE(c.matches([](int x, int y) { return (x >= 5 && x < 10 && y >= 5 && y < 10) ? 0u : kWhite; }));
}

TEST(Gdi, FloodFillSpreadsOverFourNeighboursOnly) {
    // A box whose inside is cut by a diagonal of pixels (x + y = 11): four-connected fills cannot cross it.
    DibCanvas c(16, 12);
    select_brush(*c.dc, stock_null_brush());
    rectangle(*c.dc, 2, 2, 12, 10);
    for (int x = 3; x <= 8; ++x) set_pixel(*c.dc, x, 11 - x, 0);
    const ColorRef red = rgb(255, 0, 0), blue = rgb(0, 0, 255);
    select_brush(*c.dc, Brush{false, red});
    EXPECT_TRUE(ext_flood_fill(*c.dc, 9, 7, kWhite, kFloodSurface));
    select_brush(*c.dc, Brush{false, blue});
    EXPECT_TRUE(ext_flood_fill(*c.dc, 4, 4, 0, kFloodBorder));
    EXPECT_TRUE(c.matches([&](int x, int y) {
        const bool inside = x >= 3 && x <= 10 && y >= 3 && y <= 8;
        const bool border = !inside && x >= 2 && x <= 11 && y >= 2 && y <= 9;
        return border || (inside && x + y == 11) ? 0 : !inside ? kWhite : x + y > 11 ? red : blue;
    }));
    // Refusals: a start without the colour, on the border colour, outside the clip; a hollow brush.
    EXPECT_FALSE(ext_flood_fill(*c.dc, 9, 7, kWhite, kFloodSurface));
    EXPECT_FALSE(ext_flood_fill(*c.dc, 2, 2, 0, kFloodBorder));
    const GdiRect top_row{0, 0, 16, 1};
    set_clip_rect(*c.dc, &top_row);
    EXPECT_FALSE(ext_flood_fill(*c.dc, 0, 1, kWhite, kFloodSurface));
    select_brush(*c.dc, stock_null_brush());
    EXPECT_FALSE(ext_flood_fill(*c.dc, 0, 0, kWhite, kFloodSurface));
    // Inside the clip only, and a brush of the surface's own colour ends.
    select_brush(*c.dc, Brush{false, kWhite});
    EXPECT_TRUE(ext_flood_fill(*c.dc, 0, 0, kWhite, kFloodSurface));
    select_brush(*c.dc, Brush{false, blue});
    EXPECT_TRUE(ext_flood_fill(*c.dc, 0, 0, kWhite, kFloodSurface));
    EXPECT_EQ(std::tuple(c.at(15, 0), c.at(0, 1)), std::tuple(blue, kWhite));
}

TEST(Gdi, BadInputDrawsNothingAndDoesNotCrash) {
    DibCanvas c(8, 8);
    polygon(*c.dc, nullptr, 5);
    polyline(*c.dc, nullptr, 3);
    const GdiPoint one[] = {{1, 1}};
    polygon(*c.dc, one, 1);
    move_to(*c.dc, -100000, -100000);
    line_to(*c.dc, 100000, 100000);  // far outside: clipped, not walked off the buffer
    rectangle(*c.dc, 100, 100, 200, 200);
    ellipse(*c.dc, 5, 5, 5, 5);
    arc(*c.dc, 3, 3, 3, 3, 0, 0, 0, 0);
    text_out(*c.dc, 50, 50, "x");
    EXPECT_EQ(get_pixel(*c.dc, 8, 0), -1);
    auto empty = DeviceContext::create_memory();
    line_to(*empty, 5, 5);
    text_out(*empty, 0, 0, "abc");
    EXPECT_EQ(get_pixel(*empty, 0, 0), -1);
}

}  // namespace
}  // namespace kz::platform
