// Windows and messages over Qt widgets: each window is a QWidget whose events become the messages its procedure
// expects, in Windows' order and packing. Not here: non-client messages, keyboard focus moves between children,
// system keys, and any message the program does not handle.
#include "platform/window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/cursors.h"
#include "platform/device_context_impl.h"
#include "platform/file_system.h"
#include "platform/report.h"
#include "platform/text_codec.h"

namespace kz::platform {

class WindowWidget;

// What the layer keeps per window. Callers never see its address: their handle is an id that is never given out
// twice, so a message still queued for a destroyed window cannot reach a new one made at the same address.
struct WindowState {
    WindowHandle handle = nullptr;
    std::string class_name;
    WindowProcedure procedure = nullptr;
    std::uint32_t class_style = 0;
    std::uint32_t style = 0;
    std::uint32_t background = 0xFFFFFF;
    bool arrow_cursor = false;
    WindowState* parent = nullptr;  // the parent of a child, the owner of others (null for none)
    WindowWidget* widget = nullptr;
    DeviceContext* dc = nullptr;  // the owner's, not owned
    bool alive = true;
    bool needs_paint = true;
    bool in_paint = false;
    std::shared_ptr<std::vector<std::uint8_t>> shared_pixels;  // a window DC's frame that `backing` shows in place
    QImage backing;                                            // after the pixels it may lie over, so it goes first
    int reported_width = -1;
    int reported_height = -1;
    int wheel_remainder = 0;
};

namespace {

WindowState g_desktop_window;
std::mutex g_live_mutex;  // guards g_live and g_last_id: posting threads ask whether a window is still there
std::map<WindowHandle, WindowState*> g_live;
std::uintptr_t g_last_id = 0x10000;
std::map<std::string, WindowClass> g_classes;
std::vector<std::unique_ptr<WindowState>> g_owned;  // every window ever created and not yet released
std::vector<QPointer<QWidget>> g_widget_graveyard;
int g_event_depth = 0;  // widget events on the stack; destroyed widgets are deleted only when it is 0
std::uint64_t g_close_requests = 0;
WindowHandle g_capture = nullptr;
WindowHandle g_pointer_window = nullptr;
std::optional<Qt::KeyboardModifiers> g_event_modifiers;  // of the input event being dispatched
std::set<int> g_keys_down;
std::map<int, bool> g_forced_keys;  // test hook: keys held down or up whatever the platform says
QPointer<QObject> g_dispatcher;
std::atomic<QObject*> g_dispatcher_raw{nullptr};

struct DropList {
    std::vector<std::string> names;
};
std::map<WParam, DropList> g_drops;
WParam g_next_drop = 1;

// The state behind a handle; null once the window is destroyed.
WindowState* find_window(WindowHandle handle) {
    if (!handle) return nullptr;
    std::lock_guard lock(g_live_mutex);
    auto found = g_live.find(handle);
    return found == g_live.end() ? nullptr : found->second;
}
bool alive(WindowHandle handle) { return find_window(handle) != nullptr; }

WindowHandle add_live_window(WindowState* w) {
    std::lock_guard lock(g_live_mutex);
    w->handle = reinterpret_cast<WindowHandle>(++g_last_id);
    g_live[w->handle] = w;
    return w->handle;
}

// A title as the desktop and every tool that prints titles get it: no control or format character of a name in it
// reaches them, and the rest shows as it is.
QString title_qstring(std::string_view sjis) { return QString::fromStdString(escape_line(cp932_to_utf8(sjis))); }

// The modifiers of the event being delivered stay readable for the key-state query while its message runs.
class ModifierScope {
public:
    explicit ModifierScope(Qt::KeyboardModifiers modifiers) : saved_(g_event_modifiers) {
        g_event_modifiers = modifiers;
    }
    ~ModifierScope() { g_event_modifiers = saved_; }
    ModifierScope(const ModifierScope&) = delete;
    ModifierScope& operator=(const ModifierScope&) = delete;

private:
    std::optional<Qt::KeyboardModifiers> saved_;
};

LResult call_procedure(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    WindowState* w = find_window(window);
    if (!w || !w->procedure) return 0;
    if (message == WM_CLOSE) ++g_close_requests;
    return w->procedure(window, message, wparam, lparam);
}

WParam mouse_key_state(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WParam state = 0;
    if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
    if (buttons & Qt::RightButton) state |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) state |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
    return state;
}

// Qt key codes to virtual keys. The keypad's + and - are VK_ADD and VK_SUBTRACT only with the keypad modifier;
// elsewhere they are the main keyboard's keys. 0 for keys the program has no code for.
int virtual_key_for(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Slash: return VK_DIVIDE;
        case Qt::Key_Period:
        case Qt::Key_Comma: return VK_DECIMAL;
        default: break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Minus: return VK_OEM_MINUS;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_Period: return VK_OEM_PERIOD;
    default: return 0;
    }
}

// The keys of the letter and digit rows by where they lie (X keycodes, the same on every keyboard layout), for
// keys whose character has no virtual key: a letter of another script, a shifted digit. The system names those
// keys by position too, so the commands stay on their keys whatever the layout. 0 for other keys.
int virtual_key_at(quint32 keycode) {
    static const char kRows[][11] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const quint32 kFirst[] = {10, 24, 38, 52};
    for (int row = 0; row < 4; ++row) {
        const quint32 n = static_cast<quint32>(std::strlen(kRows[row]));
        if (keycode >= kFirst[row] && keycode < kFirst[row] + n) return kRows[row][keycode - kFirst[row]];
    }
    return 0;
}

int virtual_key_of(const QKeyEvent* e) {
    const int vk = virtual_key_for(e->key(), (e->modifiers() & Qt::KeypadModifier) != 0);
    return vk != 0 ? vk : virtual_key_at(e->nativeScanCode());
}

// Coordinates the program sees are device pixels, as a Windows program that is aware of the display's scale
// sees them: sizes, positions, points and images. Qt speaks logical pixels; at a device pixel ratio r one logical
// pixel is r device pixels. Screen coordinates use the primary screen's ratio.
double widget_ratio(const QWidget* widget) { return widget ? std::max(widget->devicePixelRatioF(), 1.0) : 1.0; }
double screen_ratio() {
    const QScreen* screen = qApp ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? std::max(screen->devicePixelRatio(), 1.0) : 1.0;
}
int to_device(double logical, double ratio) { return static_cast<int>(std::lround(logical * ratio)); }
int to_logical(int device, double ratio) { return static_cast<int>(std::lround(device / ratio)); }
int device_width(const QWidget* widget) { return to_device(widget->width(), widget_ratio(widget)); }
int device_height(const QWidget* widget) { return to_device(widget->height(), widget_ratio(widget)); }
// A child's position is in its parent's pixels, any other window's on the screen.
double position_ratio(const QWidget* widget) {
    return widget && widget->parentWidget() && !widget->isWindow() ? widget_ratio(widget->parentWidget())
                                                                   : screen_ratio();
}

// Qt hands the mouse in logical coordinates; the view picks and navigates in the pixels of the size its window
// was told in WM_SIZE (its GL viewport).
LParam point_lparam(const QWidget* widget, int reported_width, int reported_height, const QPointF& p) {
    double sx = 1.0, sy = 1.0;
    if (widget && widget->width() > 0 && widget->height() > 0 && reported_width > 0 && reported_height > 0) {
        sx = static_cast<double>(reported_width) / widget->width();
        sy = static_cast<double>(reported_height) / widget->height();
    }
    return make_point_lparam(static_cast<int>(std::floor(p.x() * sx)), static_cast<int>(std::floor(p.y() * sy)));
}

class MessageEvent : public QEvent {
public:
    static QEvent::Type message_type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    MessageEvent(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam, int modifiers = -1)
        : QEvent(message_type()),
          window(window),
          message(message),
          wparam(wparam),
          lparam(lparam),
          modifiers(modifiers) {}
    WindowHandle window;
    std::uint32_t message;
    WParam wparam;
    LParam lparam;
    int modifiers;  // input held during a wait: the keys that were down with it; -1: a posted message
};

// Input goes to the procedure now with the keys of its event, or is held with them while a wait runs.
LResult deliver_input(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam,
                      Qt::KeyboardModifiers modifiers) {
    if (detail::waiting()) {
        detail::hold_input(window, message, wparam, lparam, modifiers.toInt());
        return 0;
    }
    ModifierScope scope(modifiers);
    return call_procedure(window, message, wparam, lparam);
}

// Receives posted messages on the user-interface thread and hands them to their procedures.
class MessageDispatcher : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != MessageEvent::message_type()) return QObject::event(event);
        auto* m = static_cast<MessageEvent*>(event);
        if (m->modifiers >= 0)
            deliver_input(m->window, m->message, m->wparam, m->lparam, Qt::KeyboardModifiers::fromInt(m->modifiers));
        else if (detail::waiting())
            detail::hold_message(m->window, m->message, m->wparam, m->lparam);
        else
            call_procedure(m->window, m->message, m->wparam, m->lparam);
        return true;
    }
};

}  // namespace

class WindowWidget : public QWidget {
public:
    WindowWidget(WindowState* window, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), window_(window->handle) {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy((window->style & WS_CHILD) ? Qt::NoFocus : Qt::StrongFocus);
    }
    void detach() { window_ = nullptr; }

protected:
    bool event(QEvent* e) override {
        // A modal dialog cancels the capture, as Windows does when one shows: a grab kept by a window the dialog
        // blocks would leave the dialog deaf to the mouse.
        if (e->type() == QEvent::WindowBlocked) {
            const WindowState* captured = find_window(g_capture);
            if (captured && captured->widget && (captured->widget == this || isAncestorOf(captured->widget)))
                release_capture();
        }
        ++g_event_depth;
        const bool handled = QWidget::event(e);
        --g_event_depth;
        return handled;
    }

    void paintEvent(QPaintEvent*) override {
        WindowState* w = find_window(window_);
        if (!w) return;
        if (w->needs_paint && !detail::waiting()) {
            w->needs_paint = false;
            w->in_paint = true;
            call_procedure(window_, WM_ERASEBKGND, 0, 0);
            if (alive(window_)) call_procedure(window_, WM_PAINT, 0, 0);
            if (!alive(window_)) return;
            w->in_paint = false;
        }
        QPainter painter(this);
        const std::uint32_t bg = w->background;
        painter.fillRect(rect(), QColor(bg & 0xFF, (bg >> 8) & 0xFF, (bg >> 16) & 0xFF));
        if (!w->backing.isNull()) painter.drawImage(0, 0, w->backing);
    }

    void resizeEvent(QResizeEvent*) override { report_size(); }
    void showEvent(QShowEvent*) override {
        if (WindowState* w = find_window(window_)) w->needs_paint = true;
    }

    void closeEvent(QCloseEvent* e) override {
        // The procedure decides; its default destroys the window, as the close box does on the system.
        e->ignore();
        if (alive(window_) && detail::waiting())
            detail::note_close_request(window_);
        else if (alive(window_))
            call_procedure(window_, WM_CLOSE, 0, 0);
    }

    void keyPressEvent(QKeyEvent* e) override {
        // Alt combinations are system keys there; the program never sees them as key-down messages.
        if (!alive(window_) || (e->modifiers() & Qt::AltModifier) || e->key() == Qt::Key_Alt) return;
        const int vk = virtual_key_of(e);
        if (vk == 0) return;
        const bool repeat = e->isAutoRepeat() || g_keys_down.count(vk) != 0;
        g_keys_down.insert(vk);
        LParam lparam = 1 | (static_cast<LParam>(e->nativeScanCode() & 0xFF) << 16);
        if (repeat) lparam |= LParam{1} << 30;
        deliver_input(window_, WM_KEYDOWN, static_cast<WParam>(vk), lparam, e->modifiers());
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        if (e->isAutoRepeat()) return;
        g_keys_down.erase(virtual_key_of(e));
    }

    void mousePressEvent(QMouseEvent* e) override { button_message(e, 0); }
    void mouseReleaseEvent(QMouseEvent* e) override { button_message(e, 1); }
    // Qt's default turns a double click into a second press; the system sends its own message instead, and only
    // to classes that ask for double clicks.
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        const WindowState* w = find_window(window_);
        button_message(e, (w && (w->class_style & CS_DBLCLKS)) ? 2 : 0);
    }

    void mouseMoveEvent(QMouseEvent* e) override {
        WindowState* w = target_for_mouse();
        if (!w) return;
        const WindowHandle h = w->handle;
        g_pointer_window = h;
        const QPointF p = h == window_ ? e->position() : QPointF(w->widget->mapFromGlobal(e->globalPosition()));
        if (!detail::waiting()) {  // the wait's cursor stays while the program is busy
            ModifierScope scope(e->modifiers());
            call_procedure(h, WM_SETCURSOR, handle_to_wparam(h), static_cast<LParam>(HTCLIENT | (WM_MOUSEMOVE << 16)));
        }
        w = find_window(h);
        if (w && w->widget)
            deliver_input(h, WM_MOUSEMOVE, mouse_key_state(e->buttons(), e->modifiers()),
                          point_lparam(w->widget, w->reported_width, w->reported_height, p), e->modifiers());
    }

    void wheelEvent(QWheelEvent* e) override {
        WindowState* w = find_window(window_);
        if (!w) return;
        // Fine-grained wheels report fractions of a notch; the program counts whole notches of 120.
        w->wheel_remainder += e->angleDelta().y();
        const double ratio = screen_ratio();
        const QPoint screen(to_device(e->globalPosition().x(), ratio), to_device(e->globalPosition().y(), ratio));
        while ((w = find_window(window_)) && std::abs(w->wheel_remainder) >= WHEEL_DELTA) {
            const int delta = w->wheel_remainder > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
            w->wheel_remainder -= delta;
            const WParam wparam = (static_cast<WParam>(static_cast<std::uint16_t>(delta)) << 16) |
                                  mouse_key_state(e->buttons(), e->modifiers());
            deliver_input(window_, WM_MOUSEWHEEL, wparam, make_point_lparam(screen.x(), screen.y()), e->modifiers());
        }
        e->accept();
    }

    void dragEnterEvent(QDragEnterEvent* e) override {
        if (e->mimeData()->hasUrls()) e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override { e->acceptProposedAction(); }
    void dropEvent(QDropEvent* e) override {
        if (!alive(window_) || detail::waiting()) return;
        DropList list;
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) list.names.push_back(from_native_path(url.toLocalFile().toStdString()));
        if (list.names.empty()) return;
        e->acceptProposedAction();
        const WParam drop = g_next_drop++;
        g_drops[drop] = std::move(list);
        ModifierScope scope(e->modifiers());
        call_procedure(window_, WM_DROPFILES, drop, 0);
    }

private:
    void report_size() {
        WindowState* w = find_window(window_);
        if (!w) return;
        w->needs_paint = true;
        const int width = device_width(this), height = device_height(this);
        if (width == w->reported_width && height == w->reported_height) return;
        w->reported_width = width;
        w->reported_height = height;
        // A layout now would draw the model while it is half read: the size comes once the wait is over.
        if (detail::waiting())
            detail::hold_message(window_, WM_SIZE, SIZE_RESTORED, make_point_lparam(width, height));
        else
            call_procedure(window_, WM_SIZE, SIZE_RESTORED, make_point_lparam(width, height));
    }

    WindowState* target_for_mouse() {
        if (WindowState* captured = find_window(g_capture)) return captured;
        return find_window(window_);
    }

    // kind: 0 down, 1 up, 2 double click
    void button_message(QMouseEvent* e, int kind) {
        WindowState* w = target_for_mouse();
        if (!w) return;
        std::uint32_t base = 0;
        switch (e->button()) {
        case Qt::LeftButton: base = WM_LBUTTONDOWN; break;
        case Qt::RightButton: base = WM_RBUTTONDOWN; break;
        case Qt::MiddleButton: base = WM_MBUTTONDOWN; break;
        default: return;
        }
        g_pointer_window = w->handle;
        const QPointF p = w->handle == window_ ? e->position() : QPointF(w->widget->mapFromGlobal(e->globalPosition()));
        deliver_input(w->handle, base + static_cast<std::uint32_t>(kind), mouse_key_state(e->buttons(), e->modifiers()),
                      point_lparam(w->widget, w->reported_width, w->reported_height, p), e->modifiers());
    }

    WindowHandle window_;
};

namespace {

QWidget* widget_of(WindowHandle handle) {
    WindowState* w = find_window(handle);
    return w ? w->widget : nullptr;
}

void collect_subtree(WindowState* root, std::vector<WindowState*>& out) {
    out.push_back(root);
    for (const auto& owned : g_owned)
        if (owned->alive && owned->parent == root && owned.get() != root) collect_subtree(owned.get(), out);
}

}  // namespace

namespace detail {

void start_window_layer() {
    if (!g_dispatcher) {
        g_dispatcher = new MessageDispatcher;
        QObject::connect(qApp, &QObject::destroyed, [] { g_dispatcher_raw = nullptr; });
        g_dispatcher->setParent(qApp);
        g_dispatcher_raw = g_dispatcher.data();
        add_live_window(&g_desktop_window);
    }
}

std::uint64_t close_request_count() { return g_close_requests; }

void release_destroyed_windows() {
    if (g_event_depth != 0) return;
    for (auto& widget : g_widget_graveyard) delete widget.data();
    g_widget_graveyard.clear();
    std::erase_if(g_owned, [](const std::unique_ptr<WindowState>& w) { return !w->alive; });
}

}  // namespace detail

bool register_window_class(const WindowClass& window_class) {
    if (!window_class.procedure || window_class.name.empty() || g_classes.count(window_class.name)) return false;
    g_classes[window_class.name] = window_class;
    return true;
}

WindowHandle desktop_window() { return g_desktop_window.handle; }

WindowHandle create_window(std::string_view class_name, std::string_view title, std::uint32_t style, int x, int y,
                           int width, int height, WindowHandle parent) {
    if (!qApp || !g_dispatcher) return nullptr;
    auto found = g_classes.find(std::string(class_name));
    if (found == g_classes.end()) return nullptr;
    WindowState* parent_window = find_window(parent);
    if (parent_window == &g_desktop_window) parent_window = nullptr;
    if ((style & WS_CHILD) && !parent_window) return nullptr;

    auto owned = std::make_unique<WindowState>();
    WindowState* w = owned.get();
    w->class_name = found->second.name;
    w->procedure = found->second.procedure;
    w->class_style = found->second.style;
    w->background = found->second.background;
    w->arrow_cursor = found->second.arrow_cursor;
    w->style = style;
    w->parent = parent_window;

    Qt::WindowFlags flags = Qt::Widget;
    if (!(style & WS_CHILD)) flags = (style & WS_POPUP) ? (Qt::Window | Qt::FramelessWindowHint) : Qt::Window;
    const WindowHandle handle = add_live_window(w);
    w->widget = new WindowWidget(w, parent_window ? parent_window->widget : nullptr, flags);
    w->widget->setWindowTitle(title_qstring(title));
    const double ratio = widget_ratio(w->widget), at = position_ratio(w->widget);
    w->widget->setGeometry(to_logical(x, at), to_logical(y, at), std::max(to_logical(width, ratio), 1),
                           std::max(to_logical(height, ratio), 1));
    g_owned.push_back(std::move(owned));
    if (!found->second.icon.empty()) set_window_icon(handle, found->second.icon);

    if (call_procedure(handle, WM_CREATE, 0, 0) == -1) {
        destroy_window(handle);
        return nullptr;
    }
    if (!alive(handle)) return nullptr;
    w->reported_width = device_width(w->widget);
    w->reported_height = device_height(w->widget);
    call_procedure(handle, WM_SIZE, SIZE_RESTORED, make_point_lparam(w->reported_width, w->reported_height));
    if (alive(handle) && (style & WS_VISIBLE)) w->widget->show();
    return alive(handle) ? handle : nullptr;
}

bool destroy_window(WindowHandle handle) {
    WindowState* root = find_window(handle);
    if (!root || root == &g_desktop_window) return false;
    // The window hears WM_DESTROY first, then its children and owned windows, as the system orders it.
    std::vector<WindowState*> subtree;
    collect_subtree(root, subtree);
    for (WindowState* w : subtree) call_procedure(w->handle, WM_DESTROY, 0, 0);
    for (WindowState* w : subtree) {
        if (g_capture == w->handle) release_capture();
        if (g_pointer_window == w->handle) g_pointer_window = nullptr;
        std::lock_guard lock(g_live_mutex);
        g_live.erase(w->handle);
    }
    for (WindowState* w : subtree) {
        w->alive = false;
        if (w->widget) w->widget->detach();
    }
    // Child widgets go with their parent's widget; only the subtree's own widget is deleted here.
    QWidget* widget = root->widget;
    for (WindowState* w : subtree) w->widget = nullptr;
    if (widget) {
        widget->hide();
        g_widget_graveyard.emplace_back(widget);
    }
    detail::release_destroyed_windows();
    return true;
}

bool is_window(WindowHandle window) { return find_window(window) != nullptr; }

LResult send_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    if (QThread::currentThread() != (qApp ? qApp->thread() : nullptr)) {
        // Off the user-interface thread a send waits for that thread to run the procedure.
        QObject* dispatcher = g_dispatcher_raw.load();
        if (!dispatcher) return 0;
        LResult result = 0;
        QMetaObject::invokeMethod(
            dispatcher, [&] { result = call_procedure(window, message, wparam, lparam); },
            Qt::BlockingQueuedConnection);
        return result;
    }
    return call_procedure(window, message, wparam, lparam);
}

bool post_message(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    QObject* dispatcher = g_dispatcher_raw.load();
    if (!dispatcher || !alive(window)) return false;
    QCoreApplication::postEvent(dispatcher, new MessageEvent(window, message, wparam, lparam));
    return true;
}

void detail::post_input(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam, int modifiers) {
    QObject* dispatcher = g_dispatcher_raw.load();
    if (dispatcher && alive(window))
        QCoreApplication::postEvent(dispatcher, new MessageEvent(window, message, wparam, lparam, modifiers));
}

LResult default_window_procedure(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam) {
    WindowState* w = find_window(window);
    if (!w) return 0;
    switch (message) {
    case WM_CLOSE: destroy_window(window); return 0;
    case WM_MOUSEWHEEL:
        if (w->parent && (w->style & WS_CHILD)) return send_message(w->parent->handle, message, wparam, lparam);
        return 0;
    case WM_SETCURSOR:
        if (w->parent && (w->style & WS_CHILD) && send_message(w->parent->handle, message, wparam, lparam)) return 1;
        if ((lparam & 0xFFFF) == static_cast<LParam>(HTCLIENT)) {
            const WindowState* pointed = find_window(handle_from_wparam(wparam));
            if (pointed && pointed->arrow_cursor && pointed == w) set_cursor(arrow_cursor());
        }
        return 0;
    case WM_ERASEBKGND: return 1;
    default: return 0;
    }
}

WindowHandle parent_window(WindowHandle window) {
    const WindowState* w = find_window(window);
    return w && w->parent ? w->parent->handle : nullptr;
}

bool move_window(WindowHandle window, int x, int y, int width, int height, bool repaint) {
    QWidget* widget = widget_of(window);
    if (!widget) return false;
    const double ratio = widget_ratio(widget), at = position_ratio(widget);
    widget->setGeometry(to_logical(x, at), to_logical(y, at), std::max(to_logical(width, ratio), 0),
                        std::max(to_logical(height, ratio), 0));
    // The system reports the new size at once, shown or not; Qt holds it back for hidden widgets.
    WindowState* w = find_window(window);
    if (w && (w->reported_width != device_width(widget) || w->reported_height != device_height(widget))) {
        w->reported_width = device_width(widget);
        w->reported_height = device_height(widget);
        call_procedure(window, WM_SIZE, SIZE_RESTORED, make_point_lparam(w->reported_width, w->reported_height));
    }
    if (repaint) invalidate_window(window);
    return true;
}

bool set_window_position(WindowHandle window, int x, int y) {
    QWidget* widget = widget_of(window);
    if (!widget) return false;
    const double at = position_ratio(widget);
    widget->move(to_logical(x, at), to_logical(y, at));
    return true;
}

bool show_window(WindowHandle window, bool visible) {
    QWidget* widget = widget_of(window);
    if (!widget) return false;
    const bool was = widget->isVisible();
    widget->setVisible(visible);
    return was;
}

bool is_window_visible(WindowHandle window) {
    QWidget* widget = widget_of(window);
    return widget && widget->isVisible();
}

Rect client_rect(WindowHandle window) {
    if (window == g_desktop_window.handle) return window_rect(window);
    QWidget* widget = widget_of(window);
    if (!widget) return {};
    return {0, 0, device_width(widget), device_height(widget)};
}

Rect window_rect(WindowHandle window) {
    if (window == g_desktop_window.handle) {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return {};
        const QRect r = screen->geometry();
        const double ratio = screen_ratio();
        return {to_device(r.left(), ratio), to_device(r.top(), ratio), to_device(r.left() + r.width(), ratio),
                to_device(r.top() + r.height(), ratio)};
    }
    QWidget* widget = widget_of(window);
    if (!widget) return {};
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const double ratio = screen_ratio();
    const int left = to_device(origin.x(), ratio), top = to_device(origin.y(), ratio);
    return {left, top, left + device_width(widget), top + device_height(widget)};
}

Point client_to_screen(WindowHandle window, Point point) {
    QWidget* widget = widget_of(window);
    if (!widget) return point;
    const double ratio = widget_ratio(widget), screen = screen_ratio();
    const QPointF p = widget->mapToGlobal(QPointF(point.x / ratio, point.y / ratio));
    return {to_device(p.x(), screen), to_device(p.y(), screen)};
}

Point screen_to_client(WindowHandle window, Point point) {
    QWidget* widget = widget_of(window);
    if (!widget) return point;
    const double ratio = widget_ratio(widget), screen = screen_ratio();
    const QPointF p = widget->mapFromGlobal(QPointF(point.x / screen, point.y / screen));
    return {to_device(p.x(), ratio), to_device(p.y(), ratio)};
}

Point cursor_position() {
    const QPoint p = QCursor::pos();
    const double ratio = qApp ? screen_ratio() : 1.0;
    return {to_device(p.x(), ratio), to_device(p.y(), ratio)};
}

bool set_window_text(WindowHandle window, std::string_view title_sjis) {
    QWidget* widget = widget_of(window);
    if (!widget) return false;
    widget->setWindowTitle(title_qstring(title_sjis));
    return true;
}

std::string window_text(WindowHandle window) {
    QWidget* widget = widget_of(window);
    return widget ? utf8_to_cp932(widget->windowTitle().toStdString()) : std::string();
}

void set_focus(WindowHandle window) {
    if (QWidget* widget = widget_of(window)) widget->setFocus(Qt::OtherFocusReason);
}

void set_capture(WindowHandle window) {
    WindowState* w = find_window(window);
    if (!w || !w->widget) return;
    g_capture = window;
    g_pointer_window = window;
    if (w->widget->isVisible()) w->widget->grabMouse();
}

void release_capture() {
    const WindowState* captured = find_window(g_capture);
    if (captured && captured->widget && QWidget::mouseGrabber() == captured->widget) captured->widget->releaseMouse();
    g_capture = nullptr;
}

WindowHandle capture_window() { return alive(g_capture) ? g_capture : nullptr; }

void accept_dropped_files(WindowHandle window, bool accept) {
    if (QWidget* widget = widget_of(window)) widget->setAcceptDrops(accept);
}

void invalidate_window(WindowHandle window) {
    WindowState* w = find_window(window);
    if (!w || !w->widget) return;
    w->needs_paint = true;
    w->widget->update();
}

WindowHandle pointer_window() {
    if (alive(g_capture)) return g_capture;
    return alive(g_pointer_window) ? g_pointer_window : nullptr;
}

namespace {

void (*g_present_hook)() = nullptr;

}  // namespace

void set_present_hook_for_testing(void (*hook)()) { g_present_hook = hook; }

namespace {

void shown(WindowState* w) {
    // Shown at the window's ratio: an image of its device pixels fills it pixel for pixel.
    w->backing.setDevicePixelRatio(widget_ratio(w->widget));
    if (!w->in_paint) w->widget->update();
    if (g_present_hook) g_present_hook();
}

}  // namespace

bool present_window_image(WindowHandle window, const std::uint8_t* bgra, int width, int height, int stride) {
    WindowState* w = find_window(window);
    if (!w || !w->widget || !bgra || width < 1 || height < 1 || std::abs(stride) < width * 4) return false;
    // Copied: the caller's frame buffer is reused for the next frame while Qt paints this one later. The last
    // frame's image is written over when it has the same size, is the window's own and nothing else holds it: a
    // fresh 8 MB image per full-HD frame costs its page faults on every redraw.
    if (w->backing.width() != width || w->backing.height() != height || w->backing.format() != QImage::Format_RGB32 ||
        w->shared_pixels || !w->backing.isDetached()) {
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull()) return false;
        w->backing = std::move(image);
        w->shared_pixels.reset();
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(w->backing.scanLine(y), bgra + static_cast<std::ptrdiff_t>(y) * stride,
                    static_cast<std::size_t>(width) * 4);
    shown(w);
    return true;
}

bool present_window_frame(WindowHandle window, DeviceContext& dc) {
    WindowState* w = find_window(window);
    const DeviceContext::Impl& impl = *dc.impl();
    if (!w || !w->widget || !impl.window) return false;
    const int width = impl.window_width, height = impl.window_height;
    if (impl.backing->size() < static_cast<std::size_t>(width) * height * 4) return false;
    // Not copied: the image is laid over the DC's pixels, which it keeps alive, so a frame read back into them is
    // on the window as it stands. A resized DC brings new pixels, and with them a new image.
    if (w->shared_pixels != impl.backing || w->backing.width() != width || w->backing.height() != height) {
        w->backing = QImage(impl.backing->data(), width, height, width * 4, QImage::Format_RGB32);
        w->shared_pixels = impl.backing;
    }
    shown(w);
    return true;
}

bool window_image(WindowHandle window, std::vector<std::uint8_t>* bgra, int* width, int* height) {
    const WindowState* w = find_window(window);
    if (!w || w->backing.isNull() || !bgra || !width || !height) return false;
    *width = w->backing.width();
    *height = w->backing.height();
    bgra->resize(static_cast<std::size_t>(*width) * *height * 4);
    for (int y = 0; y < *height; ++y)
        std::memcpy(bgra->data() + static_cast<std::size_t>(y) * *width * 4, w->backing.constScanLine(y),
                    static_cast<std::size_t>(*width) * 4);
    return true;
}

unsigned drop_query_file(DropHandle drop, unsigned index, std::string* out) {
    auto found = g_drops.find(drop);
    if (found == g_drops.end()) return 0;
    const auto& names = found->second.names;
    if (index == 0xFFFFFFFFu) return static_cast<unsigned>(names.size());
    if (index >= names.size()) return 0;
    if (out) *out = names[index];
    return static_cast<unsigned>(names[index].size());
}

void drop_finish(DropHandle drop) { g_drops.erase(drop); }

void set_forced_key_state(int virtual_key, int down) {
    if (down < 0) {
        if (virtual_key < 0)
            g_forced_keys.clear();
        else
            g_forced_keys.erase(virtual_key);
        return;
    }
    g_forced_keys[virtual_key] = down != 0;
}

short async_key_state(int virtual_key) {
    constexpr short down = static_cast<short>(0x8000);
    if (auto forced = g_forced_keys.find(virtual_key); forced != g_forced_keys.end()) return forced->second ? down : 0;
    auto modifier_down = [](Qt::KeyboardModifier m) {
        const Qt::KeyboardModifiers mods = g_event_modifiers
                                               ? *g_event_modifiers
                                               : (qApp ? QGuiApplication::queryKeyboardModifiers() : Qt::NoModifier);
        return (mods & m) != 0;
    };
    switch (virtual_key) {
    case VK_SHIFT: return modifier_down(Qt::ShiftModifier) ? down : 0;
    case VK_CONTROL: return modifier_down(Qt::ControlModifier) ? down : 0;
    case VK_MENU: return modifier_down(Qt::AltModifier) ? down : 0;
    case VK_LBUTTON: return (qApp && (QGuiApplication::mouseButtons() & Qt::LeftButton)) ? down : 0;
    case VK_RBUTTON: return (qApp && (QGuiApplication::mouseButtons() & Qt::RightButton)) ? down : 0;
    case VK_MBUTTON: return (qApp && (QGuiApplication::mouseButtons() & Qt::MiddleButton)) ? down : 0;
    default: return g_keys_down.count(virtual_key) ? down : 0;
    }
}

void* native_widget(WindowHandle window) { return widget_of(window); }

void set_window_dc(WindowHandle window, DeviceContext* dc) {
    if (WindowState* w = find_window(window)) w->dc = dc;
}

DeviceContext* window_dc(WindowHandle window) {
    const WindowState* w = find_window(window);
    return w ? w->dc : nullptr;
}

double window_pixel_ratio(WindowHandle window) {
    const WindowState* w = find_window(window);
    return w && w->widget ? widget_ratio(w->widget) : (qApp ? screen_ratio() : 1.0);
}

double screen_pixel_ratio() { return qApp ? screen_ratio() : 1.0; }

}  // namespace kz::platform
