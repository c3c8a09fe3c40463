// The local channel: a client on another thread sends messages that the listening side gets inside its message
// loop and answers; one live listener per name; a frame that claims more than the limit ends only its connection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/local_channel.h"
#include "platform/message_loop.h"

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

TEST(LocalChannel, ANameLeftByADeadProgramIsTakenOverAndAClosedOneRefuses) {
    ASSERT_TRUE(ensure_application());
    const std::string name = channel_name("busy");
    const char* tmp = std::getenv("TMPDIR");
    const std::string left = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
    std::ofstream(left) << "left behind";
    ASSERT_TRUE(channel_listen(name, nullptr));
    // A second program reaches the listener.
    std::atomic<bool> taken = false, done = false;
    std::thread other([&] {
        ChannelClient c;
        taken = c.connect(name, 2000);
        done = true;
    });
    serve_until(other, done);
    EXPECT_TRUE(taken);
    channel_close();
    ChannelClient late;
    EXPECT_FALSE(late.connect(name, 200));
    EXPECT_FALSE(late.send(ChannelMessage{1, 0, 0, {}}));
    EXPECT_FALSE(late.receive(10).has_value());
}

}  // namespace
}  // namespace kz::platform
