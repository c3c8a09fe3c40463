// Action-column summary, link tags, motion target names and the eased value of a timed motion.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "app/scene/action_list.h"

namespace kz::scene {
namespace {

TEST(ActionList, LinkTags) {
    struct Case {
        const char* text;
        int position;
        int length;  // -1: to the end
        int code, content_start, after_close;
    };
    const Case cases[] = {
        {"[wav=a.wav]door", 0, -1, 16, 5, 11},
        {"[wavs=a.wav]door", 0, -1, 32, 6, 12},
        {"[excom=x]", 0, -1, 16384, 7, 9},
        {"[excoms=x]", 0, -1, 8192, 8, 10},
        {"<web=http://x/a>door", 0, -1, 4, 5, 16},
        {"<WEB=http://x/a]", 0, -1, 4, 5, 16},
        {"[web=abc", 0, -1, 4, 5, -1},
        {"[stop]door", 0, -1, 512, 6, 6},
        {"[jcom=VIEW_WALK:1]", 0, -1, 1024, 6, 18},
        {"[jcom=VIEW_WALK]", 0, -1, 2048, 6, 16},
        {"[jcom=VIEW_WALK:2]", 0, -1, 2048, 6, 18},
        {"[exec=a.exe]", 0, -1, 3, 6, 12},
        {"[viewrendou=1]", 0, -1, 5, 12, 14},
        {"[FILE=a.fig]", 0, -1, 1, 6, 12},
        {"[jump=a.fig]", 0, -1, 1, 6, 12},
        {"[open=a]", 0, -1, 2, 6, 8},
        {"[explore=c:\\]", 0, -1, 8, 9, 13},
        {"[pose=p]", 0, -1, 64, 6, 8},
        {"[stage=s]", 0, -1, 128, 7, 9},
        {"[jimaku=t]", 0, -1, 256, 8, 10},
        {"[tovb=t]", 0, -1, 32768, 6, 8},
        {"[atrtovb=t]", 0, -1, 65536, 9, 11},
        {"[unknown]x", 0, -1, 0, 1, 9},
        {"door", 0, -1, 0, -1, 0},
        {"ab[wav=x]cd", 2, 7, 16, 7, 9},
        {"ab[wav=x]cd", 2, 3, 0, 3, -1},
        {"ab[wav=x]cd]", 2, 8, 16, 7, 9},
        {"[file=\x83\x5D]x", 0, -1, 1, 6, 9},  // a trail byte 0x5D is no closing bracket
        {"", 0, -1, 0, -1, 0},
        {"[wav=x]", 9, 3, 0, -1, 9},
    };
    for (const Case& c : cases) {
        const int length = c.length < 0 ? static_cast<int>(std::strlen(c.text)) - c.position : c.length;
        int content = 99;
        int after = 99;
        EXPECT_EQ(parse_action_link(c.text, c.position, length, &content, &after), c.code) << c.text;
        EXPECT_EQ(std::tuple(content, after), std::tuple(c.content_start, c.after_close)) << c.text;
        EXPECT_EQ(parse_action_link(c.text, c.position, length, nullptr, nullptr), c.code) << c.text;
    }
}

TEST(ActionList, Summary) {
    struct Case {
        const char* text;
        int kind, bits, variant;
    };
    const Case cases[] = {
        {"H;[wav=a.wav]door;0|M2;x;dx;0;1", 1, 16, 2},
        {"", 0, 0, 1},
        {"M;door;rz;now;max;0;2;1", 1, 0, 1},
        {"m1;a", 1, 0, 1},
        {"H2;<web=http://x/>door;1", 2, 4, 2},
        {"M3;x|Hx;[wav=a]|C;cam;0;1", 0, 0, 1},
        {"H;[wav=a]|h1;[pose=p]x|", 2, 80, 1},
        {"M2;a|H;[wav=a]", 2, 16, 1},
        {"H;[file=\x83\x7C.fig]", 2, 1, 1},  // ポ ends in 0x7C, which does not split the item
        {"H", 2, 0, 1},
        {"|||", 0, 0, 1},
        {"\"M;a|H2;[wav=b]\"", 1, 0, 1},  // quotes keep the "|" inside one item
    };
    for (const Case& c : cases) {
        std::int32_t kind = -1, bits = -1, reserved = -1, variant = -1;
        EXPECT_EQ(parse_action_list(c.text, &kind, &bits, &reserved, &variant), 0);
        EXPECT_EQ(std::tuple(kind, bits, reserved, variant), std::tuple(c.kind, c.bits, 0, c.variant)) << c.text;
    }
    std::int32_t kind = -1, bits = -1, reserved = -1, variant = -1;
    parse_action_list(nullptr, &kind, &bits, &reserved, &variant);
    EXPECT_EQ(std::tuple(kind, variant), std::tuple(0, 1));
}

TEST(ActionList, MotionTargetNames) {
    // The placement columns 1 to 12 by name in any case.
    const char* placement[] = {"dx", "DY", "dz", "rx", "Ry", "rz", "odx", "ody", "odz", "orx", "ory", "ORZ"};
    for (int k = 0; k < 12; ++k) EXPECT_EQ(motion_target_index(placement[k]), k + 1) << placement[k];
    for (const char* none : {"dq", "rot", "o", "#x", "Dx2", "45", "-1", "0", "abc", "", "fwd"})
        EXPECT_EQ(motion_target_index(none), 0) << none;
    const struct {
        const char* name;
        int column;
    } others[] = {{"fw", 41}, {"LIGHT", 42}, {"#shadow_tukihi", 43}, {"#SHADOW_JIKOKU", 44}, {"12", 12}, {"44", 44},
                  {" 7", 7},  {"7x", 7}};
    for (const auto& c : others) EXPECT_EQ(motion_target_index(c.name), c.column) << c.name;
    EXPECT_EQ(motion_target_index(nullptr), 0);
}

TEST(ActionList, EasedInterpolation) {
    struct Case {
        double elapsed, duration;
        int easing, result;
        double value;
    };
    const Case cases[] = {
        {500, 1000, 0, 0, 7.5}, {500, 1000, 1, 0, 5},   {500, 1000, 2, 0, 2.5},   {500, 1000, 7, 0, 5},
        {500, 1000, -3, 0, 5},  {1000, 1000, 0, 1, 10}, {2000, 1000, 2, 1, 10},   {-1, 1000, 1, -1, -42},
        {0, 0, 1, 1, 10},       {0, 1000, 0, 0, 0},     {250, 1000, 0, 0, 4.375},
    };
    for (const Case& c : cases) {
        double value = -42;
        EXPECT_EQ(interpolate_elapsed(c.elapsed, 0, 10, c.duration, &value, c.easing), c.result)
            << c.elapsed << " easing " << c.easing;
        EXPECT_DOUBLE_EQ(value, c.value) << c.elapsed << " easing " << c.easing;
        EXPECT_EQ(interpolate_elapsed(c.elapsed, 0, 10, c.duration, nullptr, c.easing), c.result);
    }
}

}  // namespace
}  // namespace kz::scene
