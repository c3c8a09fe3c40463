// The local channel: a client on another thread sends messages that the listening side gets inside its message
// loop and answers; the socket lives in a folder only the user can make names in; one live listener per name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/folder_rule.h"
#include "platform/local_channel.h"
#include "platform/message_loop.h"
#include "support/scoped_environment.h"
#include "support/test_paths.h"
#include "tests/platform/others.h"

namespace kz::platform {
namespace {

std::string channel_name(const char* what) { return "kztest-" + std::to_string(getpid()) + "-" + what; }

// Pumps the loop until the client thread is done.
void serve_until(std::thread& client, const std::atomic<bool>& done) {
    for (int i = 0; i < 2000 && !done; ++i) {
        pump_messages();
        sleep_milliseconds(2);
    }
    client.join();
}

TEST(LocalChannel, MessagesArriveInTheLoopAndAnswersGoBackByValue) {
    ASSERT_TRUE(ensure_application());
    const std::string name = channel_name("echo");
    std::vector<ChannelMessage> got;
    ASSERT_TRUE(channel_listen(name, [&](ChannelPeer from, const ChannelMessage& m) {
        got.push_back(m);
        channel_reply(from, ChannelMessage{m.message, m.lparam, m.wparam, m.text + "!"});
    }));
    const std::string text("\x83\x68\x83\x41\0tail", 9);  // Shift_JIS and a NUL travel unchanged
    std::vector<ChannelMessage> answers;
    std::atomic<bool> done = false;
    std::thread client([&] {
        ChannelClient c;
        if (c.connect(name, 2000)) {
            for (int i = 0; i < 2; ++i) c.send(ChannelMessage{0x5621, -1, 7 + i, text});
            for (int i = 0; i < 2; ++i)
                if (auto a = c.receive(2000)) answers.push_back(*a);
        }
        done = true;
    });
    serve_until(client, done);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].message, 0x5621u);
    EXPECT_EQ(got[1].wparam, -1);
    EXPECT_EQ(got[1].lparam, 8);
    EXPECT_EQ(got[1].text, text);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].wparam, 7);
    EXPECT_EQ(answers[0].lparam, -1);
    EXPECT_EQ(answers[0].text, text + "!");
    channel_close();
}

// Another program asks the channel by name and waits briefly for the answer the listener gives.
bool answered_by_name(const std::string& name) {
    std::atomic<bool> answered = false, done = false;
    std::thread client([&] {
        ChannelClient c;
        if (c.connect(name, 2000) && c.send(ChannelMessage{0x5622, 0, 0, {}})) answered = c.receive(500).has_value();
        done = true;
    });
    serve_until(client, done);
    return answered;
}

// A socket only its owner may use.
bool is_private_socket(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && (st.st_mode & 07777) == 0600;
}

// A socket's name holds at most 107 bytes, fewer than a build tree's output folder may take: the folders lie in a
// short one of this program's own, removed at its end.
std::string folder_for(const std::string& what) {
    static const struct Short {
        std::string path;
        Short() {
            char name[] = "/tmp/kzch-XXXXXX";
            path = ::mkdtemp(name) ? name : kz::test::output_file("channel");
        }
        ~Short() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } base;
    const std::string folder = base.path + "/" + what;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// Where the socket goes: the user's runtime folder when it is the user's alone, else the private folder, never
// the shared temporary folder, where another user's live socket under the same name once kept the viewer silent.
TEST(LocalChannel, TheSocketLivesWhereOnlyTheUserCanMakeNames) {
    ASSERT_TRUE(ensure_application());
    enum Runtime { kOwn, kUnset, kOpen, kRelative, kLinked, kLong, kBelowOpen, kSwapped };
    enum Where { kInRuntime, kInPrivate, kNowhere, kInJudged };
    const struct {
        const char* name;
        Runtime runtime;
        bool someone_else;    // the program takes the user for another uid
        bool planted_shared;  // another user's live socket under the name in the shared temporary folder
        Where where;
        const char* said;      // on standard error
        unsigned mode = 0700;  // of the runtime folder
    } cases[] = {
        {"runtime folder of the user's", kOwn, false, false, kInRuntime, nullptr},
        {"no runtime folder", kUnset, false, false, kInPrivate, nullptr},
        {"runtime folder open to others", kOpen, false, false, kInPrivate, "is open to other users", 0777},
        {"runtime folder its group may enter", kOpen, false, false, kInPrivate, "is open to other users", 0750},
        {"runtime folder its group may write", kOpen, false, false, kInPrivate, "is open to other users", 0770},
        {"relative runtime folder", kRelative, false, false, kInPrivate, "not an absolute path"},
        {"runtime folder is a link", kLinked, false, false, kInPrivate, "symbolic link"},
        {"runtime folder below one every user may write", kBelowOpen, false, false, kInPrivate, "every user write"},
        {"both folders someone else's", kOwn, true, false, kNowhere, "private folder cannot be used"},
        {"a path longer than a socket's name", kLong, false, false, kNowhere, "longer than a socket's name"},
        {"planted in the shared temporary folder", kOwn, false, true, kInRuntime, nullptr},
        {"planted in the shared temporary folder, no runtime folder", kUnset, false, true, kInPrivate, nullptr},
        {"runtime folder swapped for a link once judged", kSwapped, false, false, kInJudged, nullptr},
    };
    int row = 0;
    for (const auto& c : cases) {
        // Short names: the socket's path must fit a socket's name below however deep the tests' output lies.
        const std::string top = folder_for("p" + std::to_string(row++));
        const std::string name = channel_name("p");
        const std::string shared = top + "/tmp", runtime = top + "/run", cache = top + "/cache";
        std::filesystem::create_directories(shared);
        std::filesystem::create_directories(top + "/real-run");
        ::chmod((top + "/real-run").c_str(), 0700);
        test::ScopedEnvironment env;
        env.set("TMPDIR", shared);
        env.set("XDG_CACHE_HOME", cache);
        std::string runtime_used = runtime;
        switch (c.runtime) {
        case kOwn:
        case kOpen: std::filesystem::create_directories(runtime); break;
        case kSwapped:  // once judged, the folder is moved aside and a link to another folder takes its name
            std::filesystem::create_directories(runtime);
            set_folder_owner_for_tests([&](const std::string& folder, std::uint32_t*, std::uint32_t*) {
                if (folder == runtime && ::rename(runtime.c_str(), (top + "/judged").c_str()) == 0)
                    std::filesystem::create_directory_symlink(top + "/real-run", runtime);
            });
            break;
        case kUnset: env.set("XDG_RUNTIME_DIR", nullptr); break;
        case kRelative: runtime_used = "relative/run"; break;
        case kLinked: std::filesystem::create_directory_symlink(top + "/real-run", runtime); break;
        case kLong:
            runtime_used = top + "/" + std::string(110, 'r');
            std::filesystem::create_directories(runtime_used);
            break;
        case kBelowOpen:
            // Others could move the runtime folder aside and put their own in its place.
            runtime_used = top + "/open/run";
            std::filesystem::create_directories(runtime_used);
            ::chmod((top + "/open").c_str(), 0777);
            break;
        }
        if (c.runtime != kUnset && c.runtime != kRelative && c.runtime != kLinked)
            ::chmod(runtime_used.c_str(), c.mode);
        if (c.runtime != kUnset) env.set("XDG_RUNTIME_DIR", runtime_used);
        std::optional<test::OtherProgram> planted;
        if (c.planted_shared) planted.emplace(shared + "/" + name);
        std::optional<test::PretendUser> someone_else;
        if (c.someone_else) {
            std::filesystem::create_directories(cache + "/kzview");
            ::chmod((cache + "/kzview").c_str(), 0700);
            someone_else.emplace(static_cast<std::int64_t>(::geteuid()) + 1);
        }

        testing::internal::CaptureStderr();
        const bool listening = channel_listen(name, [](ChannelPeer from, const ChannelMessage& m) {
            channel_reply(from, ChannelMessage{m.message, 1, 0, {}});
        });
        const std::string said = testing::internal::GetCapturedStderr();
        set_folder_owner_for_tests({});
        EXPECT_EQ(listening, c.where != kNowhere) << c.name << ": " << said;
        if (c.said) {
            EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
        }
        const std::string expected = c.where == kInRuntime   ? runtime + "/" + name
                                     : c.where == kInPrivate ? cache + "/kzview/" + name
                                     : c.where == kInJudged  ? top + "/judged/" + name
                                                             : std::string();
        EXPECT_TRUE(c.where == kInJudged || channel_path(name) == expected) << c.name << ": " << channel_path(name);
        if (listening) {
            EXPECT_TRUE(is_private_socket(expected)) << c.name;
            EXPECT_TRUE(c.where == kInJudged || answered_by_name(name)) << c.name;
        }
        if (planted) {
            EXPECT_FALSE(planted->was_reached()) << c.name;
        }
        channel_close();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(expected)) && listening) << c.name;
    }
}

// What the listener finds under its name in the user's runtime folder: what only the user can have left there is
// replaced; a live socket is the user's viewer started earlier, which keeps the name and the other programs.
TEST(LocalChannel, WhatIsAlreadyAtTheNameIsReplacedUnlessSomeoneListens) {
    ASSERT_TRUE(ensure_application());
    enum Found { kNothing, kFile, kDeadSocket, kLinkToListener, kListener, kFolder };
    const struct {
        const char* name;
        Found found;
        bool listens;
        const char* said;
    } cases[] = {
        {"nothing", kNothing, true, nullptr},
        {"a file", kFile, true, nullptr},
        {"the socket of a program that died", kDeadSocket, true, nullptr},
        {"a link to another program's socket", kLinkToListener, true, nullptr},
        {"another program listening", kListener, false, "listens at"},
        {"a folder", kFolder, false, "is a folder"},
    };
    int row = 0;
    for (const auto& c : cases) {
        const std::string top = folder_for("found" + std::to_string(row++));
        const std::string runtime = top + "/run", elsewhere = top + "/elsewhere";
        std::filesystem::create_directories(runtime);
        std::filesystem::create_directories(elsewhere);
        ::chmod(runtime.c_str(), 0700);
        test::ScopedEnvironment env;
        env.set("XDG_RUNTIME_DIR", runtime);
        const std::string name = channel_name("found");
        const std::string path = runtime + "/" + name;
        std::optional<test::OtherProgram> other;
        switch (c.found) {
        case kNothing: break;
        case kFile: std::ofstream(path) << "left behind"; break;
        case kDeadSocket: other.emplace(path, false); break;
        case kLinkToListener:
            other.emplace(elsewhere + "/socket");
            std::filesystem::create_symlink(elsewhere + "/socket", path);
            break;
        case kListener: other.emplace(path); break;
        case kFolder: std::filesystem::create_directories(path); break;
        }
        if (c.found == kLinkToListener) {
            // Clients never follow a link to a socket somewhere else.
            ChannelClient through_link;
            EXPECT_FALSE(through_link.connect(name, 200)) << c.name;
            EXPECT_FALSE(other->was_reached()) << c.name;
        }
        testing::internal::CaptureStderr();
        const bool listening = channel_listen(name, [](ChannelPeer from, const ChannelMessage& m) {
            channel_reply(from, ChannelMessage{m.message, 1, 0, {}});
        });
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(listening, c.listens) << c.name << ": " << said;
        if (c.said) {
            EXPECT_NE(said.find(c.said), std::string::npos) << c.name << ": " << said;
        }
        EXPECT_EQ(answered_by_name(name), c.listens) << c.name;
        // The program that was there first keeps the clients only when it listens at the name itself.
        if (other) {
            EXPECT_EQ(other->was_reached(), c.found == kListener) << c.name;
        }
        channel_close();
        if (c.listens) {
            ChannelClient late;
            EXPECT_FALSE(late.connect(name, 200)) << c.name;
            EXPECT_FALSE(late.send(ChannelMessage{1, 0, 0, {}})) << c.name;
            EXPECT_FALSE(late.receive(10).has_value()) << c.name;
        }
    }
}

}  // namespace
}  // namespace kz::platform
