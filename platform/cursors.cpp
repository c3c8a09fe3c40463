// Cursors and icons from the images built into the program, decoded once on first use and kept for the run (the
// program loads them on every pointer move, as the system's resource loader is cheap). The set cursor is shown
// on the window under the pointer; Qt keeps one cursor per widget, so that is where it is stored.
#include "platform/cursors.h"

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace kz::platform {

struct Cursor {
    std::string name;
    QImage image;
    int hotspot_x = 0;
    int hotspot_y = 0;
    std::optional<Qt::CursorShape> shape;  // the system cursors
    QCursor cursor() const {
        if (shape) return QCursor(*shape);
        return QCursor(QPixmap::fromImage(image), hotspot_x, hotspot_y);
    }
};

namespace {

std::map<std::string, std::unique_ptr<Cursor>, std::less<>>& loaded() {
    static std::map<std::string, std::unique_ptr<Cursor>, std::less<>> cursors;
    return cursors;
}
// The cursor shown over a widget is kept on the widget itself, so it goes when the window goes.
constexpr const char* kShownProperty = "kz_cursor";

const EmbeddedImage* find_embedded(std::string_view name) {
    int count = 0;
    const EmbeddedImage* images = embedded_images(&count);
    for (int i = 0; i < count; ++i)
        if (name == images[i].name) return &images[i];
    return nullptr;
}

CursorHandle system_cursor(std::string_view name, Qt::CursorShape shape) {
    auto& cursors = loaded();
    auto found = cursors.find(name);
    if (found != cursors.end()) return found->second.get();
    auto cursor = std::make_unique<Cursor>();
    cursor->name = std::string(name);
    cursor->shape = shape;
    return cursors.emplace(cursor->name, std::move(cursor)).first->second.get();
}

}  // namespace

CursorHandle load_cursor(std::string_view name) {
    auto& cursors = loaded();
    auto found = cursors.find(name);
    if (found != cursors.end()) return found->second.get();
    const EmbeddedImage* embedded = find_embedded(name);
    if (!embedded) return nullptr;
    auto cursor = std::make_unique<Cursor>();
    cursor->name = embedded->name;
    cursor->image =
        QImage::fromData(embedded->png, static_cast<int>(embedded->size), "PNG").convertToFormat(QImage::Format_ARGB32);
    if (cursor->image.isNull()) return nullptr;
    cursor->hotspot_x = embedded->hotspot_x;
    cursor->hotspot_y = embedded->hotspot_y;
    return cursors.emplace(cursor->name, std::move(cursor)).first->second.get();
}

CursorHandle arrow_cursor() { return system_cursor("IDC_ARROW", Qt::ArrowCursor); }
CursorHandle wait_cursor() {
    // The program's own hourglass when it is built in, so the wait looks the same everywhere.
    if (CursorHandle drawn = load_cursor("CURSOR_WAIT")) return drawn;
    return system_cursor("IDC_WAIT", Qt::WaitCursor);
}

CursorHandle set_cursor(CursorHandle cursor) {
    WindowHandle window = pointer_window();
    auto* widget = static_cast<QWidget*>(native_widget(window));
    if (!widget) return nullptr;
    auto previous = reinterpret_cast<CursorHandle>(widget->property(kShownProperty).value<quintptr>());
    if (cursor) {
        widget->setProperty(kShownProperty, QVariant::fromValue(reinterpret_cast<quintptr>(cursor)));
        widget->setCursor(cursor->cursor());
    }
    return previous;
}

CursorHandle window_cursor(WindowHandle window) {
    auto* widget = static_cast<QWidget*>(native_widget(window));
    if (!widget) return nullptr;
    return reinterpret_cast<CursorHandle>(widget->property(kShownProperty).value<quintptr>());
}

CursorImage cursor_image(CursorHandle cursor) {
    if (!cursor || cursor->image.isNull()) return {};
    return {cursor->image.width(), cursor->image.height(), cursor->hotspot_x, cursor->hotspot_y};
}

std::uint32_t cursor_pixel(CursorHandle cursor, int x, int y) {
    if (!cursor || !cursor->image.valid(x, y)) return 0;
    return cursor->image.pixel(x, y);
}

bool set_window_icon(WindowHandle window, std::string_view icon_name) {
    auto* widget = static_cast<QWidget*>(native_widget(window));
    const EmbeddedImage* embedded = find_embedded(icon_name);
    if (!widget || !embedded) return false;
    QPixmap pixmap;
    if (!pixmap.loadFromData(embedded->png, static_cast<unsigned>(embedded->size), "PNG")) return false;
    widget->setWindowIcon(QIcon(pixmap));
    return true;
}

}  // namespace kz::platform
