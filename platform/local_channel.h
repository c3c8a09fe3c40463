// Stands in for the window messages other programs exchange with the viewer's windows: a named local socket over
// which a message number, two numbers and a text travel by value, and answers go back to the sender. Not here:
// window handles across programs, shared memory, broadcast, anything beyond one machine.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kz::platform {

// One message: its number, two numbers and a text (Shift_JIS bytes, any length up to kChannelTextLimit).
struct ChannelMessage {
    std::uint32_t message = 0;
    std::int64_t wparam = 0;
    std::int64_t lparam = 0;
    std::string text;
};
inline constexpr std::size_t kChannelTextLimit = 16u << 20;

// The connection a message came over, for the answer; 0 is none.
using ChannelPeer = std::uint64_t;
using ChannelHandler = std::function<void(ChannelPeer from, const ChannelMessage& message)>;

// Listens under the name; each message that arrives is handed to the handler on the user-interface thread while
// the message loop runs. False when another live program holds the name (a name left by a program that died is
// taken over). Listening again replaces the earlier name and handler.
bool channel_listen(std::string_view name, ChannelHandler handler);
void channel_close();
// Sends an answer to the peer a message came from; false when that peer is gone.
bool channel_reply(ChannelPeer peer, const ChannelMessage& message);

// The other program's side: connects to a listening program, sends messages and waits for answers. Blocking
// calls with time limits; they need no running message loop.
class ChannelClient {
public:
    ChannelClient();
    ~ChannelClient();
    ChannelClient(const ChannelClient&) = delete;
    ChannelClient& operator=(const ChannelClient&) = delete;

    bool connect(std::string_view name, int timeout_ms);
    bool send(const ChannelMessage& message);
    // The next answer, or nothing when none came in time or the connection ended.
    std::optional<ChannelMessage> receive(int timeout_ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kz::platform
