// Other programs reach the viewer over a local socket: command blocks (UM_EXELDATA), the query for the view
// (UM_QUERY_VIEW) and files dropped on an item (UM_VIEW_DROP), each answered over the same connection.
#pragma once

namespace kz::view {

class XView;

// The socket's name: a local socket of that name in the user's runtime folder, else in the user's private folder
// (platform::channel_path).
inline constexpr const char* kCommandChannelName = "kzview";

// Listens for other programs' messages to the view; false when another viewer already holds the name.
bool listen_for_programs(XView* view, const char* name = kCommandChannelName);
void stop_listening_for_programs();

}  // namespace kz::view
