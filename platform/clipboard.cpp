// Clipboard over Qt's QClipboard. Registered formats become the MIME type "application/x-kzview-<name>" with
// the name percent-encoded, so two processes that register the same name exchange data.
#include "platform/clipboard.h"

#include <QByteArray>
#include <QClipboard>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>

#include <map>
#include <mutex>
#include <vector>

#include "platform/gdi.h"
#include "platform/message_loop.h"
#include "platform/text_codec.h"

namespace kz::platform {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> names;  // index + 0xC000 is the format number
};
Registry& registry() {
    static Registry r;
    return r;
}

std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<QString> mime_of(unsigned format) {
    if (format == kClipboardText) return QStringLiteral("text/plain");
    if (format == kClipboardPicture) return QStringLiteral("image/png");
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (format < 0xC000 || format - 0xC000 >= r.names.size()) return std::nullopt;
    const std::string& name = r.names[format - 0xC000];
    return QStringLiteral("application/x-kzview-") +
           QString::fromLatin1(QByteArray(name.data(), static_cast<qsizetype>(name.size())).toPercentEncoding());
}

QClipboard* clipboard() {
    ensure_gui_application();
    return QGuiApplication::clipboard();
}

}  // namespace

unsigned register_clipboard_format(std::string_view name) {
    if (name.empty()) return 0;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const std::string key = fold(name);
    for (std::size_t i = 0; i < r.names.size(); ++i)
        if (r.names[i] == key) return static_cast<unsigned>(0xC000 + i);
    if (r.names.size() >= 0x3FFF) return 0;
    r.names.push_back(key);
    return static_cast<unsigned>(0xC000 + r.names.size() - 1);
}

bool set_clipboard_data(unsigned format, std::string_view bytes, bool keep) {
    const std::optional<QString> mime = mime_of(format);
    QClipboard* board = clipboard();
    if (!mime || !board) return false;
    auto data = std::make_unique<QMimeData>();
    if (keep) {
        if (const QMimeData* old = board->mimeData())
            for (const QString& f : old->formats()) data->setData(f, old->data(f));
    }
    if (format == kClipboardText) {
        const std::string_view text = bytes.substr(0, bytes.find('\0'));
        data->setText(QString::fromStdString(cp932_to_utf8(text)));
    } else {
        data->setData(*mime, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    board->setMimeData(data.release());
    return true;
}

std::optional<std::string> get_clipboard_data(unsigned format) {
    const std::optional<QString> mime = mime_of(format);
    QClipboard* board = clipboard();
    if (!mime || !board) return std::nullopt;
    const QMimeData* data = board->mimeData();
    if (!data || !data->hasFormat(*mime)) return std::nullopt;
    if (format == kClipboardText) return utf8_to_cp932(data->text().toStdString());
    const QByteArray bytes = data->data(*mime);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> get_announced_clipboard_data(unsigned format) {
    if (std::optional<std::string> data = get_clipboard_data(format)) return data;
    QClipboard* board = clipboard();
    // Only X11 learns of another program's clipboard by an event; and an owner that answered with formats of its
    // own was asked in time.
    if (!board || board->ownsClipboard() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    if (const QMimeData* data = board->mimeData(); data && !data->formats().isEmpty()) return std::nullopt;
    // Qt asks the owner for its data with the time of the last window-system event handled here, and the owner
    // refuses a request older than its taking the clipboard: until the word of the new owner is handled, the
    // clipboard looks empty. That word left the X server before the other program's own announcement, so it is
    // already on its way here: window-system events only are served (no input, sockets or timers; posted messages
    // wait as in any wait) until the clipboard is seen to change. The bound only ends the wait for a clipboard
    // that truly holds nothing.
    constexpr int kOwnerWordMilliseconds = 1000;
    bool changed = false;
    const QMetaObject::Connection seen =
        QObject::connect(board, &QClipboard::changed, [&changed](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard) changed = true;
        });
    {
        WaitScope wait;
        const QDeadlineTimer deadline(kOwnerWordMilliseconds);
        while (!changed && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers |
                                            QEventLoop::X11ExcludeTimers);
            if (!changed) sleep_milliseconds(1);
        }
    }
    QObject::disconnect(seen);
    return changed ? get_clipboard_data(format) : std::nullopt;
}

bool clipboard_has_format(unsigned format) {
    const std::optional<QString> mime = mime_of(format);
    QClipboard* board = clipboard();
    const QMimeData* data = board ? board->mimeData() : nullptr;
    return mime && data && data->hasFormat(*mime);
}

bool empty_clipboard() {
    QClipboard* board = clipboard();
    if (!board) return false;
    board->clear();
    return true;
}

}  // namespace kz::platform
