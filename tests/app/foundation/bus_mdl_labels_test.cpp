// Captions and text textures, rendered headless and read back from their shapes and bitmaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/foundation/stroke_font.h"
#include "bridge_fixture.h"
#include "support/all_near.h"

namespace kz::foundation::test {
namespace {

using kz::test::Frame;
using kz::test::Rgb;

class LabelView : public FakeView, public TextLabelView {
public:
    explicit LabelView(int size) : FakeView(size) {}
    double MenuScreenHeight() override { return menu_height; }
    int MovieRecording(int* w, int* h) override {
        *w = movie_width;
        *h = movie_height;
        return movie_width > 0;
    }
    double menu_height = 1000.0;
    int movie_width = 0, movie_height = 0;
};

struct LabelScene {
    explicit LabelScene(int size) : view(size) {
        load_font_resource(nullptr);
        bridge = std::make_unique<CBusMDL>(&view);
        bridge->InitTextLabels();
    }
    void frame(_O3duViewport* viewport) {
        for (int slot = 0; slot < 16; ++slot) results[slot] = bridge->RebuildTextLabel(slot, viewport);
    }
    CO3duPrimitive shape_of(int slot) {
        CO3duPrimitive p;
        bridge->modeller->GetPrimitive(bridge->labels[slot].shape, p, O3DU_PRIM_ALL);
        return p;
    }
    LabelView view;
    std::unique_ptr<CBusMDL> bridge;
    int results[16] = {};
};

TEST(BridgeLabels, CaptionRendersAtItsPlaceWithPanelAndTextInTheirColours) {
    constexpr int kN = 128;
    LabelScene s(kN);
    CBusMDL& b = *s.bridge;
    // Top left, moved by (4, 6); size 250 of 1000 on a 128-pixel view: font 32, gap 6, block 80 x 64.
    EXPECT_EQ(b.TextLabelCommand("8:H:4:6:250:#C86432::#373758:8:8:1"), 1);
    Frame frame(kN, kN);
    b.DrawModel(nullptr);
    b.RenderToPixels(frame.bytes.data(), static_cast<int>(frame.bytes.size()));
    auto at = [&](int x, int y) { return frame.at(x, kN - 1 - y); };  // y downward, as the caption is placed
    // The panel is 0.3 transparent, drawn over the background and then over itself once.
    auto panel = [](int c, int bg) { return 0.91 * c + 0.09 * bg; };
    const Rgb inside = at(10, 12);
    EXPECT_TRUE(
        kz::test::all_near({inside.r, inside.g, inside.b}, {panel(0x37, 0), panel(0x37, 0), panel(0x58, 178)}, 3));
    for (auto [x, y] : {std::pair{2, 30}, {90, 30}, {40, 75}, {40, 3}}) {
        const Rgb outside = at(x, y);
        EXPECT_TRUE(outside.r == 0 && outside.g == 0 && outside.b == 178) << x << "," << y;
    }
    int text = 0, left = kN, right = 0, top = kN, bottom = 0;
    for (int y = 0; y < kN; ++y)
        for (int x = 0; x < kN; ++x) {
            const Rgb p = at(x, y);
            if (p.r != 200 || p.g != 100 || p.b != 50) continue;
            ++text;
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (text == 0) frame.save("caption");
    ASSERT_GT(text, 40);
    // The glyph's cell starts one font height in from the block's left and half of one down from its top.
    EXPECT_GE(left, 4 + 32 - 2);
    EXPECT_LE(right, 4 + 32 + 32);
    EXPECT_GE(top, 6 + 16 - 2);
    EXPECT_LE(bottom, 6 + 16 + 32 + 2);
    EXPECT_GE(right - left, 6);  // an H, not a dot
    EXPECT_GE(bottom - top, 12);
}

TEST(BridgeLabels, BlockSizeAndPlaceOnAThousandPixelView) {
    LabelScene s(64);
    CBusMDL& b = *s.bridge;
    _O3duViewport screen{0, 0, 1000, 1000};
    // Slot 1 sits bottom centre; font 35, gap 7: a block of 158 x 112 at (421, 888), corners cut by 5.
    b.TextLabelCommand("1:Hello__Hello:::::::::1");
    s.frame(&screen);
    const CO3duPrimitive p = s.shape_of(1);
    ASSERT_EQ(p.sets.GetSize(), 2);
    EXPECT_EQ(p.kind, 1);
    const double want[8][2] = {{5, 0}, {0, 5}, {0, 107}, {5, 112}, {153, 112}, {158, 107}, {158, 5}, {153, 0}};
    ASSERT_EQ(p.sets[0].vertices.GetSize(), 8);
    for (int k = 0; k < 8; ++k)
        EXPECT_TRUE(kz::test::all_double_eq({p.sets[0].vertices[k].position.x, p.sets[0].vertices[k].position.y},
                                            {421 + want[k][0], 888 + want[k][1]}))
            << k;
    // The second line is the first one 42 pixels lower.
    const CO3duTrianglePolys& text = p.sets[1];
    const int n = text.vertices.GetSize();
    ASSERT_GT(n, 0);
    ASSERT_EQ(n % 2, 0);
    for (int k = 0; k < n / 2; ++k) {
        EXPECT_DOUBLE_EQ(text.vertices[k + n / 2].position.y - text.vertices[k].position.y, 42.0) << k;
        EXPECT_DOUBLE_EQ(text.vertices[k + n / 2].position.x, text.vertices[k].position.x) << k;
    }
    // Sized against the view's "menu_screen_height", and the movie's frame while one is recorded.
    s.view.menu_height = 500.0;
    s.view.movie_width = 2000, s.view.movie_height = 500;
    b.TextLabelCommand("1:Hello__Hello:1::::::::1");  // one pixel to the right
    s.frame(nullptr);
    const CO3duPrimitive q = s.shape_of(1);
    ASSERT_EQ(q.sets.GetSize(), 2);
    EXPECT_TRUE(kz::test::all_double_eq({q.sets[0].vertices[4].position.x, q.sets[0].vertices[4].position.y},
                                        {1000 - 79 + 153 + 1, 500}));
}

TEST(BridgeLabels, SlotLifeCycle) {
    LabelScene s(64);
    CBusMDL& b = *s.bridge;
    _O3duViewport screen{0, 0, 400, 300};
    s.frame(&screen);  // the first frame after the reset
    s.frame(&screen);
    EXPECT_TRUE(std::all_of(s.results, s.results + 16, [](int r) { return r == 0; }));
    // Slots outside 0..15 change nothing.
    b.TextLabelCommand("16:x");
    b.TextLabelCommand("-1:x");
    s.frame(&screen);
    for (const TextLabel& l : b.labels) EXPECT_EQ(l.shape, nullptr);

    // With and without a panel.
    b.TextLabelCommand("3:A");
    b.TextLabelCommand("5:B:::::::::1");
    s.frame(&screen);
    EXPECT_EQ(std::tuple(s.shape_of(3).sets.GetSize(), s.shape_of(5).sets.GetSize()), std::tuple(1, 2));

    // Two commands between frames: the frame shows the last one, not the shape built before them.
    b.TextLabelCommand("7:W");  // slot 7 shares slot 3's corner: the reference layout of "W"
    b.TextLabelCommand("3:W");
    b.TextLabelCommand("3:W");
    s.frame(&screen);
    const CO3duPrimitive three = s.shape_of(3), seven = s.shape_of(7);
    ASSERT_EQ(three.sets[0].vertices.GetSize(), seven.sets[0].vertices.GetSize());
    for (int k = 0; k < three.sets[0].vertices.GetSize(); ++k)
        EXPECT_EQ(three.sets[0].vertices[k].position.x, seven.sets[0].vertices[k].position.x) << k;
    // Absurd sizes and places, and a text cut inside a character, build without overflowing anything.
    for (const char* c : {"2:X:0:0:1e300", "2:X:0:0:-1e300", "2:X:1e308:-1e308", "2:\x82"}) {
        b.TextLabelCommand(c);
        s.frame(&screen);
    }

    // "clear": the next frame removes every shape, the one after does nothing.
    b.TextLabelCommand("Clear");
    s.frame(&screen);
    for (const TextLabel& l : b.labels) EXPECT_EQ(l.shape, nullptr);
    EXPECT_EQ(s.results[3], 1);
    s.frame(&screen);
    EXPECT_TRUE(std::all_of(s.results, s.results + 16, [](int r) { return r == 0; }));
}

// The box of the text colour's ink in rows [from, to) of a texture (rows counted from the top).
struct Ink {
    int count = 0, left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
};
Ink red_ink(const _OfuBitmap& image, int from, int to) {
    Ink ink;
    const int bytes = image.info_header.biBitCount / 8, w = image.info_header.biWidth, h = image.info_header.biHeight;
    for (int y = std::max(from, 0); y < std::min(to, h); ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = image.pixels.GetData() + (h - 1 - y) * ((w * bytes + 3) / 4 * 4) + x * bytes;
            if (p[2] < 160 || p[1] > 90 || p[0] > 90) continue;
            ++ink.count;
            ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y), ink.bottom = std::max(ink.bottom, y);
        }
    return ink;
}

TEST(BridgeTextTextures, TextTextureShowsItsTextUprightOpaqueOrTranslucent) {
    struct Case {
        const char* spec;
        int bits, background_alpha;
    };
    // A red "T" of 40 pixels at the top left of a white 64 x 64 bitmap; the second one half transparent.
    for (const Case& c : {Case{"[text=8:T:0:0:40:#FF0000::#FFFFFF:8:8:0:64:64", 24, 255},
                          Case{"[text=8:T:0:0:40:#FF0000::#FFFFFF:8:8:0:64:64:8:0.5", 32, 128}}) {
        SCOPED_TRACE(c.spec);
        BridgeScene s(32);
        CBusMDL& b = *s.bridge;
        EXPECT_EQ(b.FindTextTexture(c.spec), -1);
        const int id = b.CreateTextTexture(c.spec);
        ASSERT_GE(id, 1);
        EXPECT_EQ(std::tuple(b.FindTextTexture(c.spec), b.device_dirty), std::tuple(id, 1));
        _OfuBitmap image;
        ASSERT_EQ(b.modeller->GetTexture(static_cast<unsigned>(id - 1), image), 1);
        EXPECT_EQ(std::tuple(image.info_header.biWidth, image.info_header.biHeight), std::tuple(64, 64));
        ASSERT_EQ(image.info_header.biBitCount, c.bits);
        const Ink all = red_ink(image, 0, 64);
        ASSERT_GT(all.count, 30);
        EXPECT_LE(all.right, 34);
        EXPECT_LE(all.bottom, 44);
        // A "T" the right way up: its bar is at the top.
        const int quarter = (all.bottom - all.top + 1) / 4;
        const Ink top = red_ink(image, all.top, all.top + quarter);
        const Ink foot = red_ink(image, all.bottom - quarter + 1, all.bottom + 1);
        EXPECT_GT(top.right - top.left, 2 * (foot.right - foot.left + 1));
        const int bytes = c.bits / 8;
        const std::uint8_t* corner = image.pixels.GetData() + 0 * 64 * bytes + 60 * bytes;  // bottom right
        EXPECT_EQ(corner[0] + corner[1] + corner[2], 3 * 255);
        if (c.bits == 32) {
            EXPECT_EQ(corner[3], c.background_alpha);
        }
    }
}

TEST(BridgeTextTextures, BitmapSizesFitTheTextAndAreBounded) {
    BridgeScene s(32);
    CBusMDL& b = *s.bridge;
    TextLabel r;
    // Size 20: margin 4; the text is 2 bytes wide, one line.
    EXPECT_EQ(b.ParseTextTextureSpec("[text=0:AB:0:0:20", r), 0);
    EXPECT_EQ(std::tuple(r.bitmap_width, r.bitmap_height), std::tuple(28, 20));
    const int id = b.CreateTextTexture("[text=0:AB:0:0:20");
    _OfuBitmap image;
    ASSERT_EQ(b.modeller->GetTexture(static_cast<unsigned>(id - 1), image), 1);
    EXPECT_EQ(std::tuple(image.info_header.biWidth, image.info_header.biHeight), std::tuple(32, 32));
    EXPECT_EQ(b.ParseTextTextureSpec("[text=0:AB:0:0:20:0::0:0:0:0:1e12:-5", r), 0);
    EXPECT_EQ(std::tuple(r.bitmap_width, r.bitmap_height), std::tuple(4096, 20));
    EXPECT_EQ(b.ParseTextTextureSpec("[text=0:AB:0:0:1e300", r), 0);
    EXPECT_EQ(std::tuple(r.bitmap_width, r.bitmap_height), std::tuple(4096, 4096));
    EXPECT_EQ(b.ParseTextTextureSpec("[text=0::0:0:20", r), 1);
}

}  // namespace
}  // namespace kz::foundation::test
