// Downloads from a loopback HTTP server started by the test: success, an HTTP error, a transfer cut short and a
// stalled one. No failure may leave a file behind or touch the previous target.
#include "platform/download.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>

#include "platform/file_system.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

namespace fs = std::filesystem;

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is missing";
        ASSERT_GT(server_.port(), 0);
        folder_ = fs::path(kz::test::output_dir()) / ("download_" + std::to_string(getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    // Names of everything in the folder.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string target_name(const std::string& leaf) const { return from_native_path((folder_ / leaf).string()); }

    kz::test::LoopbackServer server_;
    fs::path folder_;
};

// Whether the body's file has a name before it is whole or not, the whole body ends up under the target's name alone.
TEST_F(Download, SuccessWritesTheWholeBody) {
    for (const bool unnamed : {false, true}) {
        SCOPED_TRACE(unnamed ? "unnamed temporary file" : "named temporary file");
        set_unnamed_temp_files_for_tests(unnamed);
        const DownloadResult r = download_to_file(server_.url("/ok"), target_name("unit.fig"));
        set_unnamed_temp_files_for_tests(true);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.http_status, 200);
        const std::string body = kz::test::read_all(folder_ / "unit.fig");
        ASSERT_EQ(body.size(), 2000u);
        for (std::size_t i = 0; i < body.size(); ++i) ASSERT_EQ(static_cast<unsigned char>(body[i]), (i * 7) % 256);
        EXPECT_EQ(listing(), (std::vector<std::string>{"unit.fig"}));
    }
    // A cap of 0 still takes an empty body.
    DownloadOptions nothing;
    nothing.max_bytes = 0;
    const DownloadResult empty = download_to_file(server_.url("/empty"), target_name("empty.fig"), nothing);
    ASSERT_TRUE(empty.ok) << empty.error;
    EXPECT_EQ(kz::test::read_all(folder_ / "empty.fig"), "");
    EXPECT_EQ(listing(), (std::vector<std::string>{"empty.fig", "unit.fig"}));
}

// Every failed transfer ends, says why, leaves no file behind and keeps the previous target.
TEST_F(Download, FailuresEndSayWhyLeaveNoFileAndKeepThePreviousOne) {
    const struct {
        const char* path;
        const char* reason;  // part of the error text
        long status;         // HTTP status of the answer
        long deadline_ms;
        std::optional<std::uint64_t> cap = {};  // none: the default
    } cases[] = {
        {"/missing", "404", 404, 120000},
        {"/cut", "transfer closed", 200, 120000},
        {"/stall", "no data for 1 s", 200, 120000},
        {"/drip", "not finished after 2 s", 200, 2000},
        {"/stall", "no data for 1 s (stalled)", 200, 0},
        {"/cut", "cut short after 1000 bytes", 200, 0},
        {"/big", "larger than", 200, 0, 10000},
        {"/bigstream", "larger than", 200, 0, 10000},
        // A cap of 0 takes no byte at all, announced or not.
        {"/ok", "larger than 0 bytes", 200, 0, 0},
        {"/bigstream", "larger than 0 bytes", 200, 0, 0},
        {"/tofile", "redirect refused (HTTP status 302)", 302, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::ofstream(folder_ / "old.fig") << "previous";
        DownloadOptions options;
        options.stall_timeout_ms = 1000;
        options.total_timeout_ms = c.deadline_ms;
        if (c.cap) options.max_bytes = *c.cap;
        const DownloadResult fresh = download_to_file(server_.url(c.path), target_name("new.fig"), options);
        EXPECT_EQ(std::tuple(fresh.ok, fresh.http_status), std::tuple(false, c.status));
        EXPECT_NE(fresh.error.find(c.reason), std::string::npos) << fresh.error;
        const DownloadResult over = download_to_file(server_.url(c.path), target_name("old.fig"), options);
        EXPECT_FALSE(over.ok);
        EXPECT_EQ(kz::test::read_all(folder_ / "old.fig"), "previous");
        EXPECT_EQ(listing(), (std::vector<std::string>{"old.fig"}));  // no partial or temporary file
    }
}

TEST_F(Download, ConnectionRefusedAndOtherSchemesFail) {
    // A port nobody listens on: bind one, note it, close it.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
    close(s);
    const std::string dead = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ok";
    DownloadOptions options;
    options.connect_timeout_ms = 2000;
    EXPECT_FALSE(download_to_file(dead, target_name("x.fig"), options).ok);
    EXPECT_FALSE(download_to_file("file:///etc/hostname", target_name("y.fig")).ok);
    EXPECT_FALSE(download_to_file("ftp://127.0.0.1/x", target_name("z.fig")).ok);
    EXPECT_TRUE(listing().empty());
}

TEST_F(Download, TheWaitingSideCanEndATransfer) {
    int calls = 0;
    DownloadOptions options;
    options.keep_waiting = [&] { return ++calls < 5; };
    const DownloadResult r = download_to_file(server_.url("/drip"), target_name("x.fig"), options);
    EXPECT_EQ(std::tuple(r.ok, r.cancelled), std::tuple(false, true));
    EXPECT_EQ(calls, 5);
    EXPECT_NE(r.error.find("cancelled"), std::string::npos) << r.error;
    EXPECT_TRUE(listing().empty());
}

// A confined file lands only below its folder, through folders of the user's alone; a folder on the way that others
// may enter is not written through (nor one that is another user's, which could swap itself for a link meanwhile).
TEST_F(Download, AConfinedFileStaysInItsFolder) {
    fs::create_directories(folder_ / "cache" / "open");
    fs::permissions(folder_ / "cache", fs::perms::owner_all);
    DownloadOptions options;
    options.confine_to = from_native_path((folder_ / "cache").string());
    EXPECT_TRUE(download_to_file(server_.url("/ok"), options.confine_to + "\\new\\in.fig", options).ok);
    EXPECT_EQ(kz::test::read_all(folder_ / "cache" / "new" / "in.fig").size(), 2000u);
    const DownloadResult out = download_to_file(server_.url("/ok"), options.confine_to + "\\..\\out.fig", options);
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.error.find("outside"), std::string::npos) << out.error;
    fs::permissions(folder_ / "cache" / "open", fs::perms(0777));
    const DownloadResult open = download_to_file(server_.url("/ok"), options.confine_to + "\\open\\x.fig", options);
    EXPECT_FALSE(open.ok);
    EXPECT_NE(open.error.find("not the user's alone"), std::string::npos) << open.error;
    EXPECT_FALSE(fs::exists(folder_ / "cache" / "open" / "x.fig"));
    EXPECT_EQ(listing(), (std::vector<std::string>{"cache"}));
}

// A download killed midway leaves nothing in the target's folder: its file has no name until it is whole. Where the
// file system has no unnamed files, the next download of the name removes the named one the killed one left.
TEST_F(Download, AKilledDownloadLeavesNothingBehind) {
    const fs::path log = folder_.string() + "-requests.log";
    fs::remove(log);
    kz::test::LoopbackServer logged({folder_.string(), log.string()});
    ASSERT_GT(logged.port(), 0);
    for (const bool unnamed : {true, false}) {
        const std::size_t asked = kz::test::read_all(log).size();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            set_unnamed_temp_files_for_tests(unnamed);
            download_to_file(logged.url("/drip"), target_name("unit.fig"));
            ::_exit(0);
        }
        // The server has the request once the transfer's file is open.
        int status = 0;
        while (kz::test::read_all(log).find("/drip", asked) == std::string::npos &&
               ::waitpid(child, &status, WNOHANG) == 0)
            ::usleep(10000);
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_TRUE(unnamed || download_to_file(logged.url("/ok"), target_name("unit.fig")).ok);
        EXPECT_EQ(listing(), unnamed ? std::vector<std::string>{} : std::vector<std::string>{"unit.fig"});
    }
    fs::remove(log);
}

}  // namespace
}  // namespace kz::platform
