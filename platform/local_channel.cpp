// The local channel over QLocalServer and QLocalSocket. A frame is a 32-bit length of what follows, the message
// number (32 bits), wParam and lParam (64 bits each), then the text; all little-endian. A frame longer than the
// text limit ends the connection rather than the program's memory.
#include "platform/local_channel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/file_system.h"
#include "platform/folder_walk.h"
#include "platform/message_loop.h"
#include "platform/private_folder.h"
#include "platform/report.h"

namespace kz::platform {

namespace {

constexpr qsizetype kHeaderBytes = 4 + 4 + 8 + 8;

void put(QByteArray& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint64_t get(const QByteArray& in, qsizetype at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

QByteArray encode(const ChannelMessage& m) {
    QByteArray out;
    const std::size_t text = std::min(m.text.size(), kChannelTextLimit);
    put(out, static_cast<std::uint64_t>(kHeaderBytes - 4 + static_cast<qsizetype>(text)), 4);
    put(out, m.message, 4);
    put(out, static_cast<std::uint64_t>(m.wparam), 8);
    put(out, static_cast<std::uint64_t>(m.lparam), 8);
    out.append(m.text.data(), static_cast<qsizetype>(text));
    return out;
}

enum class Decoded { message, incomplete, broken };

// Takes one whole frame off the front of the buffer.
Decoded decode(QByteArray& buffer, ChannelMessage* out) {
    if (buffer.size() < 4) return Decoded::incomplete;
    const std::uint64_t length = get(buffer, 0, 4);
    if (length < static_cast<std::uint64_t>(kHeaderBytes - 4) || length > kHeaderBytes - 4 + kChannelTextLimit)
        return Decoded::broken;
    if (static_cast<std::uint64_t>(buffer.size()) < 4 + length) return Decoded::incomplete;
    out->message = static_cast<std::uint32_t>(get(buffer, 4, 4));
    out->wparam = static_cast<std::int64_t>(get(buffer, 8, 8));
    out->lparam = static_cast<std::int64_t>(get(buffer, 16, 8));
    out->text.assign(buffer.constData() + kHeaderBytes, static_cast<std::size_t>(length - (kHeaderBytes - 4)));
    buffer.remove(0, static_cast<qsizetype>(4 + length));
    return Decoded::message;
}

struct Peer {
    QLocalSocket* socket = nullptr;  // owned by the server, deleted later
    QByteArray buffer;
};

struct Server {
    // The folder the socket was judged in and bound through; held while the server listens, as the server's own
    // name for the socket (which it removes by when it closes) goes through this descriptor.
    Descriptor folder;
    std::unique_ptr<QLocalServer> server;
    ChannelHandler handler;
    std::map<ChannelPeer, Peer> peers;
    ChannelPeer next_peer = 1;
};

Server& server_state() {
    static Server s;
    return s;
}

void drop_peer(ChannelPeer id) {
    Server& s = server_state();
    const auto it = s.peers.find(id);
    if (it == s.peers.end()) return;
    QLocalSocket* socket = it->second.socket;
    s.peers.erase(it);
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

void read_peer(ChannelPeer id) {
    Server& s = server_state();
    for (;;) {
        auto it = s.peers.find(id);
        if (it == s.peers.end()) return;
        it->second.buffer.append(it->second.socket->readAll());
        ChannelMessage message;
        const Decoded d = decode(it->second.buffer, &message);
        if (d == Decoded::broken) return drop_peer(id);
        if (d == Decoded::incomplete) return;
        // The handler may run nested loops, close the channel or drop this peer: look it up again afterwards.
        if (ChannelHandler handler = s.handler) handler(id, message);
    }
}

void accept_peers() {
    Server& s = server_state();
    while (s.server && s.server->hasPendingConnections()) {
        QLocalSocket* socket = s.server->nextPendingConnection();
        const ChannelPeer id = s.next_peer++;
        s.peers[id] = Peer{socket, {}};
        QObject::connect(socket, &QLocalSocket::readyRead, [id] { read_peer(id); });
        QObject::connect(socket, &QLocalSocket::disconnected, [id] { drop_peer(id); });
        if (socket->bytesAvailable() > 0) read_peer(id);
    }
}

constexpr std::size_t kSocketPathMax = sizeof(sockaddr_un::sun_path) - 1;

// The folder for the sockets, with its path: $XDG_RUNTIME_DIR when it is the user's alone and reached through
// folders no one else can change (the private folder's walk), else the private folder itself. Judged through
// descriptors, so what is judged is what the socket goes into. `why` says why $XDG_RUNTIME_DIR, when set, is not
// taken.
Descriptor socket_folder(std::string* folder, std::string* why) {
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) {
        std::string reason;
        Descriptor fd;
        if (dir[0] != '/')
            reason = std::string(dir) + " is not an absolute path";
        else
            fd = open_users_folder(dir, folder, &reason);
        if (fd) return fd;
        *why = "XDG_RUNTIME_DIR is not used: " + reason;
    }
    return open_private_folder(folder);
}

// The path of the socket `name` in the socket folder, open at `folder`; empty with the reason in `why` when there is
// none (and `why` beside the path when $XDG_RUNTIME_DIR is set but not used).
std::string socket_path(std::string_view name, Descriptor* folder, std::string* why) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
        why->assign(1, '"').append(name).append("\" is not a socket name");
        return {};
    }
    std::string path;
    *folder = socket_folder(&path, why);
    if (!*folder) {
        *why += std::string(why->empty() ? "" : ", and ") + "the user's private folder cannot be used";
        return {};
    }
    path.append(1, '/').append(name);
    if (path.size() > kSocketPathMax) {
        *why = path + " is longer than a socket's name may be (" + kz::crt::int_text(kSocketPathMax) + " bytes)";
        return {};
    }
    return path;
}

// Whether a program listens on the socket; a full backlog still counts as one. Never waits.
bool socket_is_alive(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), kSocketPathMax));
    const bool alive = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                       errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return alive;
}

// The name `leaf` in the folder open at `folder`, reached through that descriptor (short enough for a socket's
// name however deep the folder lies).
std::string through_folder(const Descriptor& folder, const std::string& leaf) {
    return join_path(proc_fd_path(folder.get()), leaf);
}

bool refuse(const std::string& why) {
    report_line("other programs cannot reach this viewer: " + why);
    return false;
}

}  // namespace

std::string channel_path(std::string_view name, std::string* why) {
    std::string reason;
    Descriptor folder;
    const std::string path = socket_path(name, &folder, &reason);
    if (why) *why = reason;
    return path;
}

bool channel_listen(std::string_view name, ChannelHandler handler) {
    if (!ensure_application()) return false;
    channel_close();
    std::string why;
    Descriptor folder;
    const std::string path = socket_path(name, &folder, &why);
    if (path.empty()) return refuse(why);
    if (!why.empty()) report_line(why + "; the socket goes to " + path);
    // Everything at the name is looked at, replaced and bound through the folder judged above: the path only names
    // it in what is said.
    const std::string leaf(name);
    struct stat st;
    if (::fstatat(folder.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISSOCK(st.st_mode) && socket_is_alive(through_folder(folder, leaf)))
            return refuse("another program of this user (a viewer started earlier) listens at " + path +
                          ", and other programs reach that one");
        if (S_ISDIR(st.st_mode)) return refuse(path + " is a folder");
        // A file, a link or a socket nobody listens on: in this folder only the user can have left it.
        if (::unlinkat(folder.get(), leaf.c_str(), 0) != 0)
            return refuse(path + " cannot be replaced: " + std::strerror(errno));
    }
    Server& s = server_state();
    auto server = std::make_unique<QLocalServer>();
    // Bound through the folder held, whatever its path names by now.
    if (!server->listen(QString::fromStdString(through_folder(folder, leaf))))
        return refuse(path + ": " + server->errorString().toStdString());
    // The user's alone, as everything in these folders, whatever the umask.
    ::fchmodat(folder.get(), leaf.c_str(), 0600, 0);
    QObject::connect(server.get(), &QLocalServer::newConnection, [] { accept_peers(); });
    s.folder = std::move(folder);
    s.server = std::move(server);
    s.handler = std::move(handler);
    return true;
}

void channel_close() {
    Server& s = server_state();
    while (!s.peers.empty()) drop_peer(s.peers.begin()->first);
    if (s.server) {
        s.server->close();
        s.server.reset();
    }
    s.folder = Descriptor();
    s.handler = nullptr;
}

bool channel_reply(ChannelPeer peer, const ChannelMessage& message) {
    Server& s = server_state();
    const auto it = s.peers.find(peer);
    if (it == s.peers.end()) return false;
    QLocalSocket* socket = it->second.socket;
    if (socket->write(encode(message)) < 0) return false;
    socket->flush();
    return true;
}

struct ChannelClient::Impl {
    QLocalSocket socket;
    QByteArray buffer;
};

ChannelClient::ChannelClient() : impl_(std::make_unique<Impl>()) {}
ChannelClient::~ChannelClient() { impl_->socket.abort(); }

bool ChannelClient::connect(std::string_view name, int timeout_ms) {
    impl_->socket.abort();
    impl_->buffer.clear();
    std::string why;
    Descriptor folder;
    const std::string path = socket_path(name, &folder, &why);
    struct stat st;
    if (path.empty() || ::fstatat(folder.get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISSOCK(st.st_mode))
        return false;
    // The socket looked at is the one connected to: named through the folder held.
    impl_->socket.connectToServer(QString::fromStdString(through_folder(folder, std::string(name))));
    return impl_->socket.waitForConnected(timeout_ms);
}

bool ChannelClient::send(const ChannelMessage& message) {
    if (impl_->socket.state() != QLocalSocket::ConnectedState) return false;
    const QByteArray frame = encode(message);
    if (impl_->socket.write(frame) != frame.size()) return false;
    return impl_->socket.waitForBytesWritten(5000) || impl_->socket.bytesToWrite() == 0;
}

std::optional<ChannelMessage> ChannelClient::receive(int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (impl_->socket.isOpen()) impl_->buffer.append(impl_->socket.readAll());
        ChannelMessage message;
        const Decoded d = decode(impl_->buffer, &message);
        if (d == Decoded::message) return message;
        if (d == Decoded::broken) {
            impl_->socket.abort();
            return std::nullopt;
        }
        const qint64 left = timeout_ms - timer.elapsed();
        if (left <= 0 || impl_->socket.state() != QLocalSocket::ConnectedState) return std::nullopt;
        impl_->socket.waitForReadyRead(static_cast<int>(left));
    }
}

}  // namespace kz::platform
