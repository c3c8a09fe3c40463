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

// Where the socket of `name` lives: in $XDG_RUNTIME_DIR when that is a folder of the user's alone (an absolute
// path, no link, the user's, closed to others) below folders that pass the private folder's rule, else in the
// user's private folder (temp_path()); no other user can put a name in either. Empty, with the reason in `why`,
// when neither can be used or the path is longer than a socket's name may be. When $XDG_RUNTIME_DIR is set but not
// used, `why` says why beside the path returned.
std::string channel_path(std::string_view name, std::string* why = nullptr);

// Listens under the name (at channel_path); each message that arrives is handed to the handler on the
// user-interface thread while the message loop runs. A live socket already at the path is another program of the
// user (only the user can make names there): it keeps the name and this returns false. Anything else there (a
// file, a link, a socket nobody listens on) is replaced. Every refusal is said on standard error. Listening again
// replaces the earlier name and handler.
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

    // Connects to the socket at channel_path(name): only to a socket itself, never through a link.
    bool connect(std::string_view name, int timeout_ms);
    bool send(const ChannelMessage& message);
    // The next answer, or nothing when none came in time or the connection ended.
    std::optional<ChannelMessage> receive(int timeout_ms);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kz::platform
