// Lock files: who may release which lock, the view's own locks removed when it goes, and stamp names.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/xtrunk.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

using LockFiles = ViewTest;

TEST_F(LockFiles, ReleaseAnswersByHolderAndNumber) {
    ScratchFolder dir("view_locks_release");
    const struct {
        const char* content;
        const char* user;
        int number;
        int result;
        bool deleted;
    } table[] = {
        {"tanaka\n0\n", "tanaka", 5, 0, true},      // number 0: any lock number of the user
        {"TANAKA,x\n7\n", "tanaka", 7, 0, true},    // holder compared without case, first field only
        {"tanaka\n7\n", "tanaka", 5, 2, false},     // another number of the same user
        {"suzuki\t1\n0\n", "tanaka", 0, 2, false},  // another user
        {"tanaka\n0\n", nullptr, 0, 2, false},      // no user given
        {"", "", 0, 0, true},                       // an empty lock names nobody: the empty user's
    };
    for (const auto& row : table) {
        dir.write("item.fig", "x");
        dir.write("item.fig.loc", row.content);
        EXPECT_EQ(view->ReleaseLockFile(dir.path("item.fig").c_str(), row.user, row.number), row.result) << row.content;
        EXPECT_EQ(!dir.exists("item.fig.loc"), row.deleted) << row.content;
        // The lock file may be named directly.
        dir.write("item.fig.loc", row.content);
        EXPECT_EQ(view->ReleaseLockFile(dir.path("item.fig.LOC").c_str(), row.user, row.number), row.result);
    }
    // Nothing to release: a missing file, or a file without a lock.
    EXPECT_EQ(view->ReleaseLockFile(dir.path("missing.fig").c_str(), "tanaka", 0), 0);
    dir.write("free.fig", "x");
    EXPECT_EQ(view->ReleaseLockFile(dir.path("free.fig").c_str(), "tanaka", 0), 0);
    EXPECT_EQ(view->ReleaseLockFile(nullptr, "tanaka", 0), 0);
}

// Closing the view removes the locks of its user (by number 0 or the user's own number) and no other; without a
// user it leaves every lock.
TEST_F(LockFiles, ClosingTheViewRemovesOnlyItsOwnLocks) {
    const struct {
        const char* user;
        int number;
        std::vector<std::tuple<const char*, const char*, bool>> files;  // name, content, kept
    } cases[] = {{"Tanaka",
                  3,
                  {{"a.fig.loc", "tanaka\n0\n", false},
                   {"b.fig.Loc", "tanaka\n3\n", false},
                   {"c.fig.loc", "tanaka\n4\n", true},
                   {"d.fig.loc", "suzuki\n0\n", true},
                   {"e.fig", "not a lock", true}}},
                 {"", 0, {{"a.fig.loc", "\n0\n", true}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        restart_view();
        ScratchFolder dir("view_locks_close");
        for (const auto& [name, content, kept] : c.files) dir.write(name, content);
        view->document.data_folder =
            kz::foundation::set_heap_string(view->document.data_folder, dir.windows.c_str(), nullptr, -1);
        view->document.user_name = kz::foundation::set_heap_string(nullptr, c.user, nullptr, -1);
        view->document.user_lock_number = c.number;
        delete view;
        view = nullptr;
        watched_view() = nullptr;
        EXPECT_EQ(view_window_table_count(), 0);  // both view windows left the table
        for (const auto& [name, content, kept] : c.files) EXPECT_EQ(dir.exists(name), kept) << name;
    }
}

TEST_F(LockFiles, StampNamesCountUpWithinOneMillisecond) {
    char first[32], second[32], third[32];
    view->MakeStampName(first);
    // The clock stands at 23:59:59.500 on its start day.
    EXPECT_EQ(std::string(first).substr(0, 2), "z-");
    EXPECT_EQ(std::string(first).substr(11), "235959-500-00");
    const int a = add_item(0, first);
    view->MakeStampName(second);
    EXPECT_EQ(std::string(second).substr(0, 24), std::string(first).substr(0, 22) + "01");
    add_item(0, second);
    clock->advance(1);
    view->MakeStampName(third);
    EXPECT_EQ(std::string(third).substr(11), "235959-501-00");
    // Names are compared without case.
    std::string upper = third;
    upper[0] = 'Z';
    view->document.trunks[a]->base_record()->name =
        kz::foundation::set_heap_string(view->document.trunks[a]->base_record()->name, upper.c_str(), nullptr, -1);
    view->MakeStampName(second);
    EXPECT_EQ(std::string(second).substr(11), "235959-501-01");
    // An item read since then under a name of this millisecond is seen too.
    upper[upper.size() - 1] = '2';
    add_item(0, upper.c_str());
    view->MakeStampName(second);
    EXPECT_EQ(std::string(second).substr(11), "235959-501-03");
}

}  // namespace
}  // namespace kz::view::test
