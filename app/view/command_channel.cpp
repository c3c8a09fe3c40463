// The viewer's end of the local channel: each message another program sends is handled as the window message of
// the same number would be, with its texts by value and its answers sent back to that program.
#include "app/view/command_channel.h"

#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "platform/local_channel.h"

namespace kz::view {

namespace plat = kz::platform;

namespace {

void on_message(XView* view, plat::ChannelPeer from, const plat::ChannelMessage& m) {
    switch (m.message) {
    case UM_EXELDATA:
        view->ExchangeCommandBlock(m.lparam, [from](std::int64_t a, std::int64_t b) {
            plat::channel_reply(from, plat::ChannelMessage{UM_EXELDATA, a, b, {}});
        });
        break;
    case UM_QUERY_VIEW:
        // A window handle means nothing to another program: the answer only says that a view is there.
        plat::channel_reply(from, plat::ChannelMessage{UM_QUERY_VIEW, view->output.view_window[0] ? 1 : 0, -1, {}});
        break;
    case UM_VIEW_DROP:
        plat::send_message(view->output.view_window[0], UM_VIEW_DROP, reinterpret_cast<std::uintptr_t>(m.text.c_str()),
                           m.lparam);
        break;
    default: break;
    }
}

}  // namespace

bool listen_for_programs(XView* view, const char* name) {
    if (!view || !name) return false;
    return plat::channel_listen(
        name, [view](plat::ChannelPeer from, const plat::ChannelMessage& m) { on_message(view, from, m); });
}

void stop_listening_for_programs() { plat::channel_close(); }

}  // namespace kz::view
