// Packed DIBs, anaglyphs, text through GDI and GDI+, line and polygon helpers, and clipboard text.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/dib_text.h"
#include "platform/clipboard.h"

namespace kz::foundation {
namespace {

struct Block {
    crt::GlobalHandle h;
    explicit Block(crt::GlobalHandle handle) : h(handle) {}
    ~Block() {
        if (h) crt::global_free(h);
    }
    std::uint8_t* bytes() {
        auto* p = static_cast<std::uint8_t*>(crt::global_lock(h));
        crt::global_unlock(h);
        return p;
    }
    // (b, g, r) of picture pixel (x, y), y from the top, in a 24-bit DIB without palette.
    std::uint8_t* px(int x, int y) {
        const int w = dib_width(bytes()), hgt = dib_height(bytes());
        return bytes() + 40 + (hgt - 1 - y) * dib_row_stride(w, 3) + x * 3;
    }
};

TEST(DibText, StridesPalettesAndHeaders) {
    struct S {
        int width, bpp, stride;
    };
    for (S s : {S{1, 3, 4}, S{4, 3, 12}, S{5, 3, 16}, S{3, 4, 12}, S{7, 1, 8}, S{8, 1, 8}})
        EXPECT_EQ(dib_row_stride(s.width, s.bpp), s.stride) << s.width << "x" << s.bpp;
    std::uint8_t info[40] = {40};
    auto set16 = [&](int at, int v) { std::memcpy(info + at, &v, 2); };
    struct P {
        int bits, used, size;
    };
    for (P p : {P{1, 0, 8}, P{4, 0, 64}, P{8, 0, 1024}, P{24, 0, 0}, P{8, 16, 64}, P{24, 0x10002, 8}}) {
        set16(14, p.bits);
        std::memcpy(info + 32, &p.used, 4);
        EXPECT_EQ(dib_palette_size(info), p.size) << p.bits << " bits, used " << p.used;
    }
    std::uint8_t core[12] = {12, 0, 0, 0, 0x34, 0x01, 0x20, 0x00, 1, 0, 8, 0};  // 308 x 32, 8 bits
    EXPECT_EQ((std::array{dib_width(core), dib_height(core), dib_palette_size(core)}), (std::array{308, 32, 768}));
}

TEST(DibText, CreateDib24IsWhite) {
    Block dib(create_dib24(3, 2));
    ASSERT_TRUE(dib.h);
    platform::DibInfoHeader header;
    std::memcpy(&header, dib.bytes(), 40);
    EXPECT_EQ(std::tuple(header.size, header.planes, header.bit_count, header.size_image), std::tuple(40u, 1, 24, 24u));
    EXPECT_EQ(crt::global_size(dib.h), 64u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(dib.bytes()[40 + i], 255);
    EXPECT_TRUE(crt::global_is_moveable(dib.h));
    EXPECT_EQ(create_dib24(0, 5), nullptr);
}

TEST(DibText, MemoryDcIntoDib) {
    std::unique_ptr<DeviceContext> dc;
    std::unique_ptr<platform::Bitmap> bitmap;
    platform::Bitmap* previous = nullptr;
    ASSERT_EQ(create_memory_dc(5, 3, &dc, &bitmap, &previous), 0);
    platform::fill_rect(*dc, {0, 0, 5, 3}, platform::Brush{false, platform::rgb(1, 2, 3)});
    platform::set_pixel(*dc, 4, 0, platform::rgb(200, 100, 50));  // top right
    Block dib(create_dib24(5, 3));
    dib_from_memory_dc(dib.h, 5, 3, dc, bitmap, previous);
    EXPECT_FALSE(dc);
    EXPECT_FALSE(bitmap);
    EXPECT_EQ((std::array{dib.px(4, 0)[2], dib.px(4, 0)[0], dib.px(0, 2)[2]}),
              (std::array<std::uint8_t, 3>{200, 50, 1}));
    // A block too small for the rows gets none of them past its end.
    ASSERT_EQ(create_memory_dc(64, 64, &dc, &bitmap, &previous), 0);
    Block small(create_dib24(64, 2));
    dib_from_memory_dc(small.h, 64, 64, dc, bitmap, previous);
}

TEST(DibText, DrawDibOneToOneAndStretched) {
    Block dib(create_dib24(4, 2));
    for (int x = 0; x < 4; ++x) {
        dib.px(x, 0)[2] = static_cast<std::uint8_t>(10 * x);   // top row: red ramp
        dib.px(x, 1)[1] = static_cast<std::uint8_t>(100 + x);  // bottom row: green ramp
    }
    auto bitmap = platform::Bitmap::create_compatible(10, 10);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    EXPECT_EQ(draw_dib(dc.get(), {1, 1, 5, 3}, dib.h, {0, 0, 4, 2}), 2);
    EXPECT_EQ(platform::get_pixel(*dc, 1 + 3, 1), platform::rgb(30, 255, 255));
    EXPECT_EQ(platform::get_pixel(*dc, 1 + 2, 2), platform::rgb(255, 102, 255));
    EXPECT_EQ(draw_dib(dc.get(), {0, 4, 8, 8}, dib.h, {0, 0, 4, 2}), 4);  // doubled both ways
    EXPECT_EQ(platform::get_pixel(*dc, 7, 4), platform::rgb(30, 255, 255));
    EXPECT_EQ(platform::get_pixel(*dc, 7, 7), platform::rgb(255, 103, 255));
    EXPECT_EQ(draw_dib(dc.get(), {0, 0, 4, 2}, nullptr, {0, 0, 4, 2}), 0);
    dc->select_bitmap(nullptr);
}

TEST(DibText, AnaglyphModes) {
    Block l(create_dib24(2, 1)), r(create_dib24(2, 1));
    std::uint8_t* pl = l.px(0, 0);
    std::uint8_t* pr = r.px(0, 0);
    pl[0] = 10, pl[1] = 21, pl[2] = 200;  // b g r
    pr[0] = 40, pr[1] = 50, pr[2] = 60;
    Block colour(make_anaglyph_dib(l.h, r.h, 0));
    ASSERT_TRUE(colour.h);
    const auto bgr = [](Block& b) { return std::vector<int>(b.px(0, 0), b.px(0, 0) + 3); };
    EXPECT_EQ(bgr(colour), (std::vector<int>{40, 50, 16}));  // red (21 + 10) / 2 = 15.5, half up
    Block grey(make_anaglyph_dib(l.h, r.h, 1));
    // 0.6*50 + 0.1*40 + 0.3*60 = 52 and 0.6*21 + 0.1*10 + 0.3*200 = 73.6.
    EXPECT_EQ(bgr(grey), (std::vector<int>{52, 52, 73}));
    Block other(create_dib24(3, 1));
    EXPECT_EQ(make_anaglyph_dib(l.h, other.h, 0), nullptr);  // sizes differ: refused, not read out of bounds
}

TEST(DibText, MultilineMeasureOnly) {
    int longest = -1, lines = -1;
    draw_multiline_text(nullptr, "A__BB__C", 0, 0, 10, 0, nullptr, -1, 0, &longest, &lines, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(std::pair(longest, lines), std::pair(2, 3));
    draw_multiline_text(nullptr, "\x83\x5f__\x81\x5f_x", 0, 0, 10, 0, nullptr, -1, 0, &longest, &lines, 0, 0, 0,
                        nullptr, 0);  // "ダ", "＿" end in 0x5F: not separators
    EXPECT_EQ(std::pair(longest, lines), std::pair(4, 2));
}

// Bounding box of dark pixels in a DC.
platform::GdiRect ink(const DeviceContext& dc, int w, int h) {
    platform::GdiRect r{w, h, -1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((platform::get_pixel(dc, x, y) & 0xFF) < 100)
                r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x), std::max(r.bottom, y)};
    return r;
}

TEST(DibText, MultilineLayoutThroughGdi) {
    auto bitmap = platform::Bitmap::create_compatible(200, 120);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    platform::fill_rect(*dc, {0, 0, 200, 120}, platform::Brush{false, 0xFFFFFF});
    int longest = 0, lines = 0;
    // Vertical bits 8: the first line's top at y; pitch 20 + 4; the default face (mincho) for an empty name.
    draw_multiline_text(dc.get(), "AB__\x93\xfa\x96\x7b\x8c\xea", 10, 30, 20, 0, "", -1, 4, &longest, &lines, 8, 0, 0,
                        nullptr, 0);
    EXPECT_EQ(lines, 2);
    const platform::GdiRect r = ink(*dc, 200, 120);
    EXPECT_GE(r.left, 10);
    EXPECT_GE(r.top, 30);
    EXPECT_LE(r.bottom, 30 + 24 + 20);
    EXPECT_GE(r.bottom, 30 + 24 + 10);  // the second line is really one pitch lower
    EXPECT_GE(r.right, 10 + 50);        // three full-width characters
    // Vertical bits 0 and a negative spacing: the block grows upward from the point.
    platform::fill_rect(*dc, {0, 0, 200, 120}, platform::Brush{false, 0xFFFFFF});
    draw_multiline_text(dc.get(), "A__B", 10, 100, 20, 0, nullptr, -1, -4, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    const platform::GdiRect up = ink(*dc, 200, 120);
    EXPECT_GE(up.top, 100 - 24 - 20);
    EXPECT_LE(up.bottom, 100);
    dc->select_bitmap(nullptr);
}

TEST(DibText, GdiPlusTextFlippedAndVertical) {
    auto bitmap = platform::Bitmap::create_dib_section(80, 80, 32);
    {
        Graphics g(*bitmap);
        g.clear(0xFFFFFFFF);
        // The surface's y axis points up: a line drawn at y = -60 lands near row 60 upside down.
        draw_text(nullptr, "\x93\xfa", 10, -60, 20, 0, nullptr, -1, nullptr, 0, nullptr, 0, &g, 0);
    }
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    const platform::GdiRect r = ink(*dc, 80, 80);
    EXPECT_GE(r.left, 9);
    EXPECT_LE(r.right, 32);
    EXPECT_GE(r.top, 38);
    EXPECT_LE(r.bottom, 61);
    dc->select_bitmap(nullptr);
    auto tall = platform::Bitmap::create_dib_section(60, 120, 32);
    {
        Graphics g(*tall);
        g.clear(0xFFFFFFFF);
        // "@" face: characters stacked downward, and x moved left by 1.1 x height.
        draw_text(nullptr, "\x93\xfa\x96\x7b\x8c\xea", 42, -110, 20, 0,
                  "@\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e", -1, nullptr, 0, nullptr, 0, &g, 0);
    }
    dc->select_bitmap(tall.get());
    const platform::GdiRect v = ink(*dc, 60, 120);
    EXPECT_LE(v.right - v.left, 24);  // one character wide
    EXPECT_GE(v.bottom - v.top, 50);  // three characters tall
    EXPECT_GE(v.left, 42 - 22 - 1);
    EXPECT_LE(v.right, 42 - 1);  // moved left by 1.1 x height: ends before the given x
    dc->select_bitmap(nullptr);
}

TEST(DibText, LogfontFromTemplateOrDefaults) {
    LogFont f;
    make_logfont(&f, 0.4, nullptr, nullptr, 1);
    EXPECT_EQ(std::tuple(f.height, f.weight, std::string(f.face_name)),
              std::tuple(1, 700, std::string(kDefaultFaceName)));
    LogFont t;
    t.weight = 300;
    t.escapement = 450;
    make_logfont(&f, 17.9, "Face", &t, 1);
    EXPECT_EQ(std::tuple(f.height, f.weight, f.escapement, std::string(f.face_name)), std::tuple(17, 300, 450, "Face"));
}

TEST(DibText, LinesRectsPolygonsAndPoints) {
    auto bitmap = platform::Bitmap::create_compatible(20, 20);
    auto dc = DeviceContext::create_memory();
    dc->select_bitmap(bitmap.get());
    platform::fill_rect(*dc, {0, 0, 20, 20}, platform::Brush{false, 0xFFFFFF});
    draw_line_or_rect(dc.get(), 2, 2, 8, 8, 0x0000FF, 2, 0);  // filled rectangle, brush red
    EXPECT_EQ(platform::get_pixel(*dc, 7, 7), 0x0000FF);
    EXPECT_EQ(platform::get_pixel(*dc, 8, 8), 0xFFFFFF);
    draw_line_or_rect(dc.get(), 0, 10, 10, 10, -1, 0, platform::kR2Not);  // inverted line, no end point
    EXPECT_EQ(platform::get_pixel(*dc, 9, 10), 0x000000);
    EXPECT_EQ(platform::get_pixel(*dc, 10, 10), 0xFFFFFF);
    EXPECT_EQ(platform::gdi_state(*dc).rop2, platform::kR2CopyPen);  // restored
    const GdiPoint tri[] = {{12, 12}, {19, 12}, {12, 19}};
    EXPECT_EQ(fill_polygon(dc.get(), tri, 3, 0x00FF00, platform::stock_null_pen()), 1);
    EXPECT_EQ(platform::get_pixel(*dc, 13, 13), 0x00FF00);
    dc->select_bitmap(nullptr);
    GdiPoint p;
    lparam_to_point(static_cast<std::intptr_t>(0xFFFE0010), &p);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(16, -2));
    GdiRect work;
    get_monitor_work_area({10, 10}, &work);
    EXPECT_GT(work.right - work.left, 0);
}

TEST(DibText, ClipboardText) {
    ASSERT_TRUE(platform::set_clipboard_data(platform::kClipboardText, "before"));
    EXPECT_EQ(copy_text_to_clipboard("", 0), 0);
    EXPECT_EQ(copy_text_to_clipboard(nullptr, 0), 0);
    EXPECT_EQ(platform::get_clipboard_data(platform::kClipboardText).value_or(""), "before");  // untouched
    EXPECT_EQ(copy_text_to_clipboard("box\t1\t\x94\xa0", 0), 1);
    EXPECT_EQ(platform::get_clipboard_data(platform::kClipboardText).value_or(""), "box\t1\t\x94\xa0");
}

}  // namespace
}  // namespace kz::foundation
