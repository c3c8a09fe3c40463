// "set" lines: keys matched whole and in any case, empty values that keep or reset, and the written lines read
// back to the printed precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/foundation/estring.h"
#include "document_fixture.h"

namespace kz::view::test {
namespace {

using SettingsLines = DocumentTest;

TEST_F(SettingsLines, KeysAndEmptyValues) {
    SceneSettings& s = view->settings;
    view->ApplySetting("HAIKEI,255,128,0");
    EXPECT_EQ(view->settings.background_color, 0x000080FFu);
    view->ApplySetting("bgcolor,300.4,0,0");  // rounded, low byte kept
    EXPECT_EQ(view->settings.background_color, 44u);
    view->ApplySetting("haikei");
    EXPECT_EQ(view->settings.background_color, 0u);

    s.sun[0] = 0.25;
    view->ApplySetting("sun amb,");
    EXPECT_DOUBLE_EQ(s.sun[0], 0.25);
    view->ApplySetting("sun  amb,0.9");  // another length: not the key
    EXPECT_DOUBLE_EQ(s.sun[0], 0.25);
    view->ApplySetting("head gen,5");
    EXPECT_DOUBLE_EQ(s.head[3], 0.0);

    view->settings.settings_lens = 50.0;
    view->ApplySetting("eye point,1,2,3");
    EXPECT_DOUBLE_EQ(view->settings.settings_eye[2], 3.0);
    EXPECT_DOUBLE_EQ(view->settings.settings_target[0], 0.0);
    EXPECT_DOUBLE_EQ(view->settings.settings_lens, 50.0);
    EXPECT_EQ(s.eye_point_given, 1);

    view->ApplySetting("mesh world");
    EXPECT_EQ(s.mesh_world, 1);
    view->ApplySetting("mesh world,0");
    EXPECT_EQ(s.mesh_world, 0);

    SystemTime now{};
    view->GetClockTime(&now);
    view->ApplySetting("shadow_month,13,1");  // month wrapped, hour and minute from the clock
    EXPECT_DOUBLE_EQ(view->settings.shadow_date, 0.0);
    EXPECT_DOUBLE_EQ(view->settings.shadow_time, now.hour + now.minute / 60.0);

    s.last_light_path = "C:\\kept";
    view->ApplySetting("last_light_path");
    EXPECT_EQ(s.last_light_path, "C:\\kept");
    view->ApplySetting("last_light_path,  ");
    EXPECT_EQ(s.last_light_path, "");
    const std::string too_long = "last_light_path," + std::string(1100, 'x');
    view->ApplySetting(too_long.c_str());
    EXPECT_EQ(s.last_light_path, "");
    s.north_angle = 7.0;
    view->ApplySetting("north_angle,  ");
    EXPECT_DOUBLE_EQ(s.north_angle, 7.0);
}

// Every value a save writes, each different, in the written text and read back to the printed precision.
TEST_F(SettingsLines, WrittenLinesReadBack) {
    SceneSettings& s = view->settings;
    view->settings.background_color = 0x00302010;
    const double sun[3] = {0.125, 0.6543, 0.875}, head[4] = {0.1, 0.2, 0.3, 4.0};
    std::copy(sun, sun + 3, s.sun);
    std::copy(head, head + 4, s.head);
    s.mesh_world = 1;
    s.menu_screen_height = 768;
    s.shadow_display = 1;
    s.shadow_precision = 3;
    s.shadow_transparency = 0.456;
    s.latitude = 35.12346;
    s.longitude = 139.5;
    s.north_angle = -12.25;
    s.last_light_path = "D:\\light";
    const double eye[3] = {1234.5, -20, 30.25}, target[3] = {1, 2, 3};
    std::copy(eye, eye + 3, view->camera.eye->eye);
    std::copy(target, target + 3, view->camera.eye->target);
    view->camera.eye->lens = 28;
    view->settings.shadow_date = 40;  // February 10th
    view->settings.shadow_time = 13.75;
    kz::foundation::EString text;
    EXPECT_EQ(view->WriteSettings(&text, "\t"), 0);
    const std::string written = text.text();
    EXPECT_EQ(written,
              "set\thaikei\t16\t32\t48\r\nset\tsun amb\t0.125\r\nset\tsun dif\t0.654\r\nset\tsun spe\t0.875\r\n"
              "set\thead amb\t0.100\r\nset\thead dif\t0.200\r\nset\thead spe\t0.300\r\n"
              "set\teye point\t1234.5\t-20\t30.25\t1\t2\t3\t28\r\nset\tmesh world\t1\r\n"
              "set\tmenu_screen_height\t  768.0\r\nset\tshadow_disp_sw\t1\r\nset\tshadow_seisai\t3\r\n"
              "set\tshadow_trans\t0.46\r\nset\tshadow_hokui\t  35.1235\t 139.5000\r\n"
              "set\tshadow_month\t2\t10\t13\t45\r\nset\tnorth_angle\t -12.2500\r\nset\tlast_light_path\tD:\\light\r\n");
    // The writers' buffer starts over when cut back to its start.
    EXPECT_EQ(text.Append("set", 0), 3);

    s = SceneSettings{};
    std::string line;
    for (std::size_t start = 0, end; (end = written.find("\r\n", start)) != std::string::npos; start = end + 2) {
        line = written.substr(start, end - start);
        ASSERT_EQ(line.rfind("set\t", 0), 0u) << line;
        view->ApplySetting(line.c_str() + 4);
    }
    EXPECT_EQ(s.background_color, 0x00302010u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(s.sun[i], i == 1 ? 0.654 : sun[i]) << i;
        EXPECT_DOUBLE_EQ(s.head[i], head[i]) << i;
        EXPECT_DOUBLE_EQ(s.settings_eye[i], eye[i]) << i;
        EXPECT_DOUBLE_EQ(s.settings_target[i], target[i]) << i;
    }
    EXPECT_DOUBLE_EQ(s.head[3], 0.0);
    EXPECT_DOUBLE_EQ(s.settings_lens, 28.0);
    EXPECT_EQ(s.mesh_world, 1);
    EXPECT_DOUBLE_EQ(s.menu_screen_height, 768.0);
    EXPECT_EQ(s.shadow_display, 1);
    EXPECT_EQ(s.shadow_precision, 3);
    EXPECT_DOUBLE_EQ(s.shadow_transparency, 0.46);
    EXPECT_DOUBLE_EQ(s.latitude, 35.1235);
    EXPECT_DOUBLE_EQ(s.longitude, 139.5);
    EXPECT_DOUBLE_EQ(s.north_angle, -12.25);
    EXPECT_EQ(s.last_light_path, "D:\\light");
    EXPECT_DOUBLE_EQ(s.shadow_date, 40.0);
    EXPECT_DOUBLE_EQ(s.shadow_time, 13.75);
}

TEST_F(SettingsLines, ExtremeValuesWriteWhatReadsBack) {
    auto written = [&] {
        kz::foundation::EString text;
        view->WriteSettings(&text, "\t");
        return std::string(text.text());
    };
    auto apply_written = [&](const std::string& text) {
        for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            view->ApplySetting(text.substr(start + 4, end - start - 4).c_str());
    };
    view->settings.shadow_transparency = 0.5;
    // 1e200 would be written as 203 digits and read back (110 bytes of them) as about 1e109; such a value is
    // refused as it is read, like an empty one. The month of INT_MIN must wrap without overflowing. A light path
    // may hold the separators, inside quotes of its own or of the line's.
    for (const char* line :
         {"shadow_trans,1e200", "shadow_month,-2147483648,1", "north_angle,nan", "sun amb,-inf",
          "menu_screen_height,-1e150", "shadow_month,5,5,2147483647,2147483647",
          "last_light_path,\"C:\\lights\\a,b.txt\"", "last_light_path,a\"b,c\"d", "last_light_path, \"a,b\"c\""}) {
        view->ApplySetting(line);
        const std::string first = written();
        apply_written(first);
        EXPECT_EQ(written(), first) << line;
    }
    EXPECT_DOUBLE_EQ(view->settings.shadow_transparency, 0.5);
}

}  // namespace
}  // namespace kz::view::test
