// The local channel over QLocalServer and QLocalSocket. A frame is a 32-bit length of what follows, the message
// number (32 bits), wParam and lParam (64 bits each), then the text; all little-endian. A frame longer than the
// text limit ends the connection rather than the program's memory.
#include "platform/local_channel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <map>

#include "platform/message_loop.h"

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

bool name_is_alive(const QString& name) {
    QLocalSocket probe;
    probe.connectToServer(name);
    const bool alive = probe.waitForConnected(200);
    probe.abort();
    return alive;
}

}  // namespace

bool channel_listen(std::string_view name, ChannelHandler handler) {
    if (name.empty() || !ensure_application()) return false;
    channel_close();
    const QString qname = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (name_is_alive(qname)) return false;
    QLocalServer::removeServer(qname);  // what a program that died left behind
    Server& s = server_state();
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(qname)) return false;
    QObject::connect(server.get(), &QLocalServer::newConnection, [] { accept_peers(); });
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
    impl_->socket.connectToServer(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
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
