// The foundation operations that reach the platform: the colour dialog and file ages.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/foundation/color_text.h"
#include "app/foundation/date_time.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "tests/support/test_paths.h"

using namespace kz::foundation;

TEST(ChooseColor, OkGivesTheChoiceAndCancelGivesNothing) {
    kz::platform::DialogTestAnswers answers;
    answers.color = 0x123456;
    kz::platform::set_dialog_test_mode(true, answers);
    int chosen = -1;
    EXPECT_EQ(choose_color(0x0000FF, nullptr, &chosen), 1);
    EXPECT_EQ(chosen, 0x123456);

    answers.color_accepted = false;
    kz::platform::set_dialog_test_mode(true, answers);
    chosen = -1;
    EXPECT_EQ(choose_color(0x0000FF, nullptr, &chosen), 0);
    EXPECT_EQ(chosen, -1);
    kz::platform::set_dialog_test_mode(false);
}

TEST(FileAge, CountsFromTheLastWriteAndIsZeroForAMissingFile) {
    namespace fs = std::filesystem;
    const fs::path file = fs::path(kz::test::output_dir()) / "file_age.txt";
    { std::ofstream(file) << "x"; }
    const std::string inside = kz::platform::from_native_path(file.string());
    // Set the stamp an hour and a half back; the age must show it, within the test's own running time.
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(90));
    const std::int64_t age = file_age_ms(inside.c_str());
    EXPECT_GE(age, 90 * 60 * 1000 - 2000);
    EXPECT_LE(age, 90 * 60 * 1000 + 60 * 1000);

    fs::remove(file);
    EXPECT_EQ(file_age_ms(inside.c_str()), 0);
}
