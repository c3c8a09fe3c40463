// The per-shape drawing hooks a derived modeller overrides, the interface's picking helpers driven by a stand-in
// pick, and the ways a frame leaves the modeller: read back into a caller's buffer, or drawn into a memory bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "modeller/gl_modelar.h"
#include "tests/modeller/render_support.h"

namespace kz::test {
namespace {

constexpr int kN = HeadlessScene::kSize;

const _OfuMaterial kGrey = make_material({0.8f, 0.8f, 0.8f, 1}, {0, 0, 0, 1});

// Draws every shape three times, shifted sideways in the later passes, and skips shapes on layer 9.
class CopyingModelar : public CO3duGLModelar {
public:
    int DrawStart(_OfuPosition*& pos) override {
        ++starts;
        return GetLayer(pos) != 9;
    }
    int PreDraw(_OfuPosition*&, OfuMatrix4x4& m, int pass) override {
        ++predraws;
        m[3][0] = pass == 0 ? 0.0 : pass == 1 ? 15.0 : -15.0;
        return pass < 2;
    }
    int DrawEnd(_OfuPosition*&, int passes) override {
        ends.push_back(passes);
        return 1;
    }
    int starts = 0, predraws = 0;
    std::vector<int> ends;
};

TEST(DrawHooks, ExtraPassesDrawCopiesAndLeaveTheMatrixAsItWas) {
    HeadlessScene s;
    s.replace_modeller(std::make_unique<CopyingModelar>());
    white_light_along_y(*s.modeller);
    auto& m = static_cast<CopyingModelar&>(*s.modeller);
    CO3duPrimitive box = make_box({-4, -4, -4}, {4, 4, 4}, kGrey);
    _OfuPosition* pos = m.AddPrimitive(box);
    CO3duPrimitive skipped = make_box({-4, -4, 12}, {4, 4, 20}, kGrey);
    skipped.layer = 9;
    m.AddPrimitive(skipped);
    m.structure().entity_of(pos)->shadow_rebuild = 0;
    const Frame f = s.render();
    const int step = int(15 / (100 * std::tan(15 * M_PI / 180)) * kN / 2);  // 15 units at distance 96..100
    for (int dx : {0, step, -step}) EXPECT_TRUE(pixel_near(f, kN / 2 + dx, kN / 2, {204, 204, 204}, 2, "hook_copies"));
    EXPECT_TRUE(pixel_near(f, kN / 2, kN / 2 + 12, {0, 0, 0}, 0, "hook_skipped"));
    EXPECT_EQ(m.starts, 2);
    EXPECT_EQ(m.predraws, 3);
    EXPECT_EQ(m.ends, std::vector<int>{3});
    OfuMatrix4x4 after;
    m.GetMatrix(pos, after);
    EXPECT_EQ(after[3][0], 0.0);
    EXPECT_EQ(m.GetShadowRebuild(pos), 1);
}

// Counts the passes and moves the shape in each, which must not outlive the frame.
class CountingModelar : public CO3duGLModelar {
public:
    int PreDraw(_OfuPosition*&, OfuMatrix4x4& m, int) override {
        m[3][2] += 3.0;
        return 0;
    }
    int DrawEnd(_OfuPosition*&, int passes) override {
        ends.push_back(passes);
        return 1;
    }
    std::vector<int> ends;
};

// Whichever of its sets is the translucent one, and in sight or not (out of sight it waits as a drawn one would).
TEST(DrawHooks, AShapeWithATranslucentSetIsDrawnOnceOpaqueAndTwiceMore) {
    for (const bool glass_first : {false, true})
        for (const double x : {0.0, 500.0}) {
            SCOPED_TRACE(testing::Message() << "glass first " << glass_first << ", at x " << x);
            HeadlessScene s;
            s.modeller = std::make_unique<CountingModelar>();
            HDC hdc = s.dc.get();
            ASSERT_EQ(s.modeller->Initialize(hdc), 1);
            CO3duPrimitive p = make_quad_facing_minus_y(x - 10, -10, x + 10, 10, 0, kGrey);
            CO3duPrimitive glass =
                make_quad_facing_minus_y(x - 10, -10, x + 10, 10, -5, make_material({0, 0, 1, 0.5f}, {}));
            (glass_first ? glass : p).sets.Add((glass_first ? p : glass).sets[0]);
            _OfuPosition* pos = s.modeller->AddPrimitive(glass_first ? glass : p);
            s.render();
            EXPECT_EQ(static_cast<CountingModelar&>(*s.modeller).ends, (std::vector<int>{1, 1, 1}));
            OfuMatrix4x4 after;
            s.modeller->GetMatrix(pos, after);
            EXPECT_EQ(after[3][2], 0.0);
        }
}

// A pick that answers from a script, and a depth probe that records the camera it was asked under.
class ScriptedPick : public CO3duGLModelar {
public:
    int HitTest(HDC, int, int, _O3duSelect* results, int max) override {
        ++hit_tests;
        if (!hit || max < 1) return 0;
        results[0] = answer;
        return 1;
    }
    void GetDepthToPoint3(HDC, int, int, double& depth, OfuVector3& point) override {
        _O3duCamera c;
        GetCamera(c);
        _O3duAxoCamera a;
        GetAxoCamera(a);
        probes.push_back(GetCameraMode() == 0 ? std::pair{c.near_distance, c.far_distance}
                                              : std::pair{a.near_distance, a.far_distance});
        depth = probe_depth;
        point = probe_point;
    }
    bool hit = false;
    _O3duSelect answer;
    double probe_depth = 0.0;
    OfuVector3 probe_point;
    int hit_tests = 0;
    std::vector<std::pair<double, double>> probes;
};

TEST(PickHelpers, HitTestSCopiesAHitAndLeavesTheRecordOnAMiss) {
    ScriptedPick m;
    HDC none = nullptr;
    _O3duSelect sel{reinterpret_cast<_OfuPosition*>(0x10), 0.75, 4};
    EXPECT_EQ(m.HitTestS(none, 1, 2, sel), nullptr);
    EXPECT_EQ(sel.depth, 0.75);
    EXPECT_EQ(sel.pass, 4);
    m.hit = true;
    m.answer = {reinterpret_cast<_OfuPosition*>(0x20), 0.5, 2};
    EXPECT_EQ(m.HitTestS(none, 1, 2, sel), m.answer.position);
    EXPECT_EQ(sel.depth, 0.5);
    EXPECT_EQ(sel.pass, 2);
}

TEST(PickHelpers, DepthProbeNarrowsTheDepthRangeAroundThePointAndRestoresTheCamera) {
    const struct {
        int mode;
        double hit_depth;
        bool probes;
        double near_distance, far_distance;  // during the second probe
    } cases[] = {{0, 1.0, false, 0, 0}, {0, 0.0, false, 0, 0}, {0, 0.5, true, 45, 55}, {1, 0.5, true, 0, 1050}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.mode * 10 + tc.hit_depth);
        HeadlessScene s;
        s.modeller = std::make_unique<ScriptedPick>();
        HDC hdc = s.dc.get();
        ASSERT_EQ(s.modeller->Initialize(hdc), 1);
        auto& m = static_cast<ScriptedPick&>(*s.modeller);
        _O3duCamera c;
        m.GetCamera(c);
        c.eye = OfuVector3(0, -50, 0);
        c.near_distance = 10;
        c.far_distance = 5000;
        m.SetCamera(c);
        _O3duAxoCamera a;
        m.GetAxoCamera(a);
        a.eye = OfuVector3(0, -50, 0);
        a.near_distance = 0;
        a.far_distance = 1050;
        if (tc.mode == 1) m.SetAxoCamera(a);
        m.hit = true;
        m.answer = {reinterpret_cast<_OfuPosition*>(0x30), tc.hit_depth, 0};
        m.probe_depth = 0.25;
        m.probe_point = OfuVector3(0, 0, 0);  // 50 from the eye
        OfuVector3 point(7, 7, 7);
        _O3duSelect sel;
        m.GetDepthToPoint3_Hi(hdc, sel, 3, 4, point);
        if (!tc.probes) {
            EXPECT_EQ(point.x, 7.0);
            EXPECT_TRUE(m.probes.empty());
        } else {
            ASSERT_EQ(m.probes.size(), 2u);
            EXPECT_NEAR(m.probes[1].first, tc.near_distance, 1e-9);
            EXPECT_NEAR(m.probes[1].second, tc.far_distance, 1e-9);
            EXPECT_EQ(point.x, 0.0);
            EXPECT_EQ(sel.depth, 0.25);
        }
        _O3duCamera c2;
        m.GetCamera(c2);
        EXPECT_EQ(c2.near_distance, 10.0);
        EXPECT_EQ(c2.far_distance, 5000.0);
        _O3duAxoCamera a2;
        m.GetAxoCamera(a2);
        EXPECT_EQ(a2.far_distance, tc.mode == 1 ? 1050.0 : 0.0);  // never set in mode 0
        EXPECT_EQ(m.GetCameraMode(), tc.mode);
    }
    // The second form starts from the caller's depth and writes the refined one back.
    ScriptedPick m;
    double depth = 0.9;
    OfuVector3 point;
    m.GetDepthToPoint3_Hi(nullptr, reinterpret_cast<_OfuPosition*>(0x40), 0, 0, depth, point);
    EXPECT_EQ(depth, 0.9);
}

TEST(FrameOutputs, ReadBackNeedsRoomForPaddedRows) {
    HeadlessScene s;
    s.modeller->SetBkColor({0, 1, 0, 1});
    HDC hdc = s.dc.get();
    _OFURECT rect{0, 0, 5, 3};  // rows of 15 bytes padded to 16
    for (int size : {47, 48}) {
        std::vector<std::uint8_t> buffer(64, 0xAB);
        s.modeller->DrawTo24DIBPixel(hdc, buffer.data(), size, rect);
        if (size == 47) {
            EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](std::uint8_t b) { return b == 0xAB; }));
        } else {
            EXPECT_EQ(buffer[1], 255);      // green, first pixel
            EXPECT_EQ(buffer[32 + 12], 0);  // blue of the last pixel of the third row
            EXPECT_EQ(buffer[32 + 13], 255);
            EXPECT_EQ(buffer[48], 0xAB);  // nothing past the image
        }
    }
}

TEST(FrameOutputs, MemoryBitmapMatchesTheWindowFrameAndTheWindowStillDraws) {
    HeadlessScene s;
    white_light_along_y(*s.modeller);
    s.modeller->SetBkColor({0.1f, 0.2f, 0.3f, 1});
    s.modeller->AddPrimitive(*std::make_unique<CO3duPrimitive>(make_box({-10, -10, -10}, {10, 10, 10}, kGrey)));
    const Frame window = s.render();
    Frame bitmap = window;
    bitmap.bytes.assign(window.bytes.size() + 100, 0xAB);  // more room than the bitmap has
    _OFURECT rect{0, 0, kN, kN};
    s.modeller->MemDCToBitmap(bitmap.bytes.data(), int(bitmap.bytes.size()), rect, s.dc.get());
    EXPECT_EQ(bitmap.bytes[window.bytes.size()], 0xAB);
    bitmap.bytes.resize(window.bytes.size());
    int worst = 0;
    for (std::size_t i = 0; i < window.bytes.size(); ++i)
        worst = std::max(worst, std::abs(int(window.bytes[i]) - int(bitmap.bytes[i])));
    if (worst > 1) bitmap.save("memory_bitmap");
    EXPECT_LE(worst, 1);
    EXPECT_TRUE(pixel_near(bitmap, kN / 2, kN / 2, {204, 204, 204}, 2, "memory_bitmap"));
    // A buffer smaller than the bitmap takes only what it has room for.
    std::vector<std::uint8_t> small(100, 0xAB);
    s.modeller->MemDCToBitmap(small.data(), int(small.size()), rect, s.dc.get());
    EXPECT_EQ(std::memcmp(small.data(), window.bytes.data(), small.size()), 0);
    const Frame again = s.render();
    EXPECT_EQ(again.bytes, window.bytes);
    _O3duViewport v;
    s.modeller->GetViewport(v);
    EXPECT_EQ(v.width, kN);
}

}  // namespace
}  // namespace kz::test
