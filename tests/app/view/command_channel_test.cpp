// Another program drives the view on a real X display: it puts a command block on the clipboard and sends the
// block's number over the local socket; the view moves the item and answers. The parent test starts this program
// again inside `xvfb-run -a` as the view's side, which starts it a third time as the other program.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "app/document/view_messages.h"
#include "app/foundation/heap_text.h"
#include "app/scene/xtrunk.h"
#include "app/view/command_channel.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/local_channel.h"
#include "platform/message_loop.h"
#include "tests/support/test_paths.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

const char* role() { return std::getenv("KZ_CHANNEL_ROLE"); }

// The other program: once the view has answered its first message and holds still, the block goes on the
// clipboard and its number over the socket; the clipboard is served until the view has answered the number.
TEST(CommandChannelPeer, SendsABlock) {
    if (!role() || std::string(role()) != "sender") GTEST_SKIP() << "the other program of CommandChannel.*";
    ASSERT_TRUE(plat::ensure_application());
    plat::ChannelClient client;
    ASSERT_TRUE(client.connect(std::getenv("KZ_CHANNEL_NAME"), 10000));
    std::optional<plat::ChannelMessage> answers[2];
    const auto await_answer = [&client](std::optional<plat::ChannelMessage>& answer) {
        for (int i = 0; i < 2000 && !answer; ++i) {
            plat::pump_messages();
            answer = client.receive(10);
        }
    };
    ASSERT_TRUE(client.send(plat::ChannelMessage{UM_QUERY_VIEW, 0, 0, {}}));
    await_answer(answers[0]);
    ASSERT_TRUE(answers[0]);
    std::printf("kz-connected\n");
    std::fflush(stdout);
    std::string go;
    std::ifstream(std::getenv("KZ_CHANNEL_GO")) >> go;  // the view opens the other end once it holds still
    ASSERT_EQ(go, "go");
    const unsigned format = plat::register_clipboard_format("exeldata-5");
    ASSERT_TRUE(plat::set_clipboard_data(format, "Move,1,100,200,0,0,0,90\r\n"));
    ASSERT_TRUE(client.send(plat::ChannelMessage{UM_EXELDATA, 0, 5, {}}));
    std::printf("kz-sent\n");
    std::fflush(stdout);
    await_answer(answers[1]);
    ASSERT_TRUE(answers[1]);
    EXPECT_EQ(answers[0]->message, UM_QUERY_VIEW);
    EXPECT_EQ(answers[0]->wparam, 1);
    EXPECT_EQ(answers[1]->message, UM_EXELDATA);
    EXPECT_EQ(answers[1]->wparam, -1);  // a command block is answered before it runs
}

// Reads what the other program prints until it has printed `mark`, serving the view's messages meanwhile when
// `serve` (else the view holds still); false at the end of its output.
bool read_until(int fd, std::string& output, const std::string& mark, bool serve) {
    while (output.find(mark) == std::string::npos) {
        if (serve) plat::pump_messages();
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, serve ? 5 : -1) <= 0) continue;
        char buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

class CommandChannel : public ViewTest {};

TEST_F(CommandChannel, ViewSide) {
    if (!role() || std::string(role()) != "view") GTEST_SKIP() << "runs inside the Xvfb child";
    add_item(0, "moved");
    const std::string name = "kzview-test-" + std::to_string(getpid());
    ASSERT_TRUE(listen_for_programs(view, name.c_str()));
    // The number arrives while the view holds still, so it is heard before the X server's word that the other
    // program took the clipboard.
    ScratchFolder dir("channel_go_" + std::to_string(getpid()));
    const std::string go = dir.native + "/go";
    ASSERT_EQ(mkfifo(go.c_str(), 0600), 0);
    const std::string command = "env KZ_CHANNEL_ROLE=sender KZ_CHANNEL_NAME=" + name + " KZ_CHANNEL_GO='" + go + "' '" +
                                kz::test::self_path() + "' --gtest_filter=CommandChannelPeer.SendsABlock 2>&1";
    std::FILE* other = popen(command.c_str(), "r");
    ASSERT_NE(other, nullptr);
    std::string output;
    const bool connected = read_until(fileno(other), output, "kz-connected", true);
    if (connected) {
        std::ofstream(go) << "go\n";
        read_until(fileno(other), output, "kz-sent", false);
    }
    const kz::scene::COBJECTA* base = view->document.trunks[1]->base_record();
    for (int i = 0; i < 3000 && base->dx != 100.0; ++i) {
        plat::pump_messages();
        plat::sleep_milliseconds(5);
    }
    // Its answers still have to go out while the rest of its output is read, to its end.
    read_until(fileno(other), output, std::string(1, '\0'), true);
    const int status = pclose(other);
    stop_listening_for_programs();
    EXPECT_EQ(base->dx, 100.0);
    EXPECT_EQ(base->dy, 200.0);
    EXPECT_EQ(base->rz, 90.0);
    EXPECT_TRUE(connected) << output;
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

// A host program drops a file on the view through the socket. Dropped on no item by a named user, the view
// says where to drop it; named by its POSIX path, the file's items join the model.
TEST_F(CommandChannel, ADroppedFileArrivesOverTheSocket) {
    if (role()) GTEST_SKIP() << "the children run the sides themselves";
    ScratchFolder dir("channel_drop");
    dir.write("crate.fig",
              "trunk" + std::string(29, ',') + "crate\r\nbox,0,0,0" + std::string(10, ',') + "100,100,100\r\n");
    const struct {
        const char* user;
        std::string text;
        const char* said;  // in the one message box, or null: none, and the item "crate" is there
    } cases[] = {
        {"tester", example_model_path("door-demo/door.fig"), "tester"},
        {nullptr, dir.native + "/crate.fig", nullptr},
    };
    plat::set_dialog_test_mode(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        plat::take_dialog_test_log();
        view->document.user_name = c.user
                                       ? kz::foundation::set_heap_string(view->document.user_name, c.user, nullptr, -1)
                                       : kz::foundation::free_and_null(view->document.user_name);
        const std::string name = "kzview-drop-" + std::to_string(getpid());
        ASSERT_TRUE(listen_for_programs(view, name.c_str()));
        std::atomic<bool> done = false;
        std::thread other([&] {
            plat::ChannelClient client;
            if (client.connect(name, 5000)) client.send(plat::ChannelMessage{UM_VIEW_DROP, 0, 0, c.text});
            while (!done) plat::sleep_milliseconds(5);
        });
        std::vector<std::string> said;
        for (int i = 0; i < 2000 && said.empty() && item_named("crate") < 0; ++i) {
            plat::pump_messages();
            plat::sleep_milliseconds(2);
            said = plat::take_dialog_test_log();
        }
        done = true;
        other.join();
        stop_listening_for_programs();
        if (c.said) {
            ASSERT_EQ(said.size(), 1u);
            EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
        } else {
            EXPECT_TRUE(said.empty());
            EXPECT_GE(item_named("crate"), 1);
        }
    }
}

// A block number with no block on the clipboard is answered at once with -2 and -2, so the other program does not
// wait for its timeout.
TEST_F(CommandChannel, AMissingBlockIsAnsweredAtOnce) {
    if (role()) GTEST_SKIP() << "the children run the sides themselves";
    plat::empty_clipboard();
    const std::string name = "kzview-missing-" + std::to_string(getpid());
    ASSERT_TRUE(listen_for_programs(view, name.c_str()));
    plat::ChannelClient client;
    ASSERT_TRUE(client.connect(name, 5000));
    ASSERT_TRUE(client.send(plat::ChannelMessage{UM_EXELDATA, 0, 77, {}}));
    testing::internal::CaptureStderr();
    std::optional<plat::ChannelMessage> answer;
    for (int i = 0; i < 2000 && !answer; ++i) {
        plat::pump_messages();
        answer = client.receive(5);
    }
    const std::string said = testing::internal::GetCapturedStderr();
    stop_listening_for_programs();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->message, UM_EXELDATA);
    EXPECT_EQ(answer->wparam, -2);
    EXPECT_EQ(answer->lparam, -2);
    EXPECT_NE(said.find("exeldata-77: not on the clipboard"), std::string::npos) << said;
}

TEST(CommandChannelUnderXvfb, AnotherProgramMovesAnItem) {
    if (role()) GTEST_SKIP() << "the children run the sides themselves";
    if (access("/usr/bin/xvfb-run", X_OK) != 0) GTEST_SKIP() << "xvfb-run (package xvfb) is missing";
    const std::string command =
        "/usr/bin/xvfb-run -a -s '-screen 0 640x480x24' env QT_QPA_PLATFORM=xcb "
        "KZ_CHANNEL_ROLE=view '" +
        kz::test::self_path() + "' --gtest_filter=CommandChannel.ViewSide 2>&1";
    int status = -1;
    const std::string output = kz::test::command_output(command, &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    EXPECT_EQ(output.find("SKIPPED"), std::string::npos) << output;
}

}  // namespace
}  // namespace kz::view::test
