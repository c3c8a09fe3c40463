// Qt input events, delivered to the widget as Qt would, to the system's input messages; painting and cursors.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/cursors.h"
#include "platform/file_system.h"
#include "platform/text_codec.h"
#include "tests/platform/ui_test_support.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

using kz::test::seen;
using kz::test::seen_of;

class WindowInput : public ::testing::Test {
protected:
    void SetUp() override {
        kz::test::register_test_classes();
        window_ = create_window("KzTestWindow", "input", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, desktop_window());
        plain_ = create_window("KzTestPlain", "plain", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, desktop_window());
        ASSERT_NE(window_, nullptr);
        ASSERT_NE(plain_, nullptr);
        seen().clear();
    }
    void TearDown() override {
        destroy_window(window_);
        destroy_window(plain_);
    }
    static QWidget* widget(WindowHandle w) { return static_cast<QWidget*>(native_widget(w)); }
    static void deliver(WindowHandle w, QEvent* e) { QApplication::sendEvent(widget(w), e); }
    void key(QEvent::Type type, int key, Qt::KeyboardModifiers mods, quint32 scan_code = 0) {
        QKeyEvent e(type, key, mods, scan_code, 0, 0);
        deliver(window_, &e);
    }
    void wheel(WindowHandle w, int delta) {
        QWheelEvent e(QPointF(5, 5), widget(w)->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        deliver(w, &e);
    }
    static void mouse(WindowHandle w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPointF at,
                      Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QMouseEvent e(type, at, widget(w)->mapToGlobal(at), button, buttons, mods);
        deliver(w, &e);
    }
    std::vector<std::uint32_t> mouse_messages() {
        std::vector<std::uint32_t> out;
        for (const auto& s : seen())
            if (s.message >= WM_MOUSEMOVE && s.message <= WM_MBUTTONDBLCLK) out.push_back(s.message);
        return out;
    }
    WindowHandle window_ = nullptr;
    WindowHandle plain_ = nullptr;
};

// A key whose character has no virtual key (another script's letter, a shifted digit) is named by where it lies
// (its keycode; 0: none given), as the system's keyboard layouts name it; a Latin character wins over the position
// (a French layout's A).
TEST_F(WindowInput, KeysTranslateToVirtualKeys) {
    const struct {
        int qt_key;
        Qt::KeyboardModifiers modifiers;
        quint32 keycode;
        int virtual_key;  // 0: no key-down message at all
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, 0, 'A'},
        {Qt::Key_Z, Qt::ShiftModifier, 0, 'Z'},
        {Qt::Key_7, Qt::NoModifier, 0, '7'},
        {Qt::Key_Escape, Qt::NoModifier, 0, VK_ESCAPE},
        {Qt::Key_PageUp, Qt::NoModifier, 0, VK_PRIOR},
        {Qt::Key_PageDown, Qt::NoModifier, 0, VK_NEXT},
        {Qt::Key_Home, Qt::NoModifier, 0, VK_HOME},
        {Qt::Key_Delete, Qt::NoModifier, 0, VK_DELETE},
        {Qt::Key_Left, Qt::NoModifier, 0, VK_LEFT},
        {Qt::Key_Down, Qt::NoModifier, 0, VK_DOWN},
        {Qt::Key_F5, Qt::NoModifier, 0, 116},
        {Qt::Key_Shift, Qt::ShiftModifier, 0, VK_SHIFT},
        {Qt::Key_Control, Qt::ControlModifier, 0, VK_CONTROL},
        {Qt::Key_Plus, Qt::KeypadModifier, 0, VK_ADD},
        {Qt::Key_Minus, Qt::KeypadModifier, 0, VK_SUBTRACT},
        {Qt::Key_5, Qt::KeypadModifier, 0, VK_NUMPAD0 + 5},
        {Qt::Key_Plus, Qt::NoModifier, 0, VK_OEM_PLUS},  // the main keyboard's + is not the keypad's
        {Qt::Key_Minus, Qt::NoModifier, 0, VK_OEM_MINUS},
        {Qt::Key_A, Qt::AltModifier, 0, 0},  // system keys never arrive as key-down
        {Qt::Key_F5, Qt::AltModifier | Qt::ShiftModifier, 0, 0},
        {Qt::Key_Alt, Qt::AltModifier, 0, 0},
        // Qt names the letters of other scripts by their code point: Ф, С, Х of a Russian layout.
        {0x0424, Qt::NoModifier, 38, 'A'},
        {0x0421, Qt::ControlModifier, 54, 'C'},
        {Qt::Key_Exclam, Qt::ShiftModifier, 10, '1'},
        {Qt::Key_A, Qt::NoModifier, 24, 'A'},
        {0x0425, Qt::NoModifier, 34, 0},  // beside P: no command key
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.qt_key) + " at " + std::to_string(c.keycode));
        seen().clear();
        key(QEvent::KeyPress, c.qt_key, c.modifiers, c.keycode);
        key(QEvent::KeyRelease, c.qt_key, c.modifiers, c.keycode);
        const auto downs = seen_of(WM_KEYDOWN);
        ASSERT_EQ(downs.size(), c.virtual_key ? 1u : 0u);
        if (c.virtual_key) {  // one key-down with a repeat count of 1, and the key let go after its release
            EXPECT_EQ(std::tuple(downs[0].wparam, downs[0].lparam & 0xFFFF, async_key_state(c.virtual_key)),
                      std::tuple(static_cast<WParam>(c.virtual_key), 1, 0));
        }
    }
}

TEST_F(WindowInput, KeyStateFollowsTheEventBeingDispatched) {
    short during_shift = 0, during_control = 0;
    kz::test::message_hook() = [&](const kz::test::Seen& s) -> LResult {
        if (s.message == WM_KEYDOWN) {
            during_shift = async_key_state(VK_SHIFT);
            during_control = async_key_state(VK_CONTROL);
        }
        return 0;
    };
    key(QEvent::KeyPress, Qt::Key_D, Qt::ShiftModifier);
    EXPECT_NE(during_shift & 0x8000, 0);
    EXPECT_EQ(during_control & 0x8000, 0);
    EXPECT_NE(async_key_state('D') & 0x8000, 0);         // held until released
    key(QEvent::KeyRelease, Qt::Key_D, Qt::NoModifier);  // Shift let go first
    EXPECT_EQ(async_key_state('D') & 0x8000, 0);
    // The event's own modifiers win over whatever the platform remembers.
    key(QEvent::KeyPress, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(during_shift & 0x8000, 0);
    EXPECT_NE(during_control & 0x8000, 0);
    key(QEvent::KeyRelease, Qt::Key_E, Qt::NoModifier);
}

TEST_F(WindowInput, ButtonsFollowTheSystemOrderWithAndWithoutDoubleClicks) {
    const struct {
        Qt::MouseButton button;
        std::uint32_t down;
    } buttons[] = {
        {Qt::LeftButton, WM_LBUTTONDOWN}, {Qt::RightButton, WM_RBUTTONDOWN}, {Qt::MiddleButton, WM_MBUTTONDOWN}};
    for (const auto& b : buttons) {
        for (WindowHandle w : {window_, plain_}) {
            seen().clear();
            const QPointF at(12, 34);
            mouse(w, QEvent::MouseButtonPress, b.button, b.button, at);
            mouse(w, QEvent::MouseButtonRelease, b.button, Qt::NoButton, at);
            mouse(w, QEvent::MouseButtonDblClick, b.button, b.button, at);
            mouse(w, QEvent::MouseButtonRelease, b.button, Qt::NoButton, at);
            const std::uint32_t second = w == window_ ? b.down + 2 : b.down;  // double click only with CS_DBLCLKS
            EXPECT_EQ(mouse_messages(), (std::vector<std::uint32_t>{b.down, b.down + 1, second, b.down + 1}));
            for (const auto& s : seen())
                EXPECT_EQ(std::tuple(lparam_x(s.lparam), lparam_y(s.lparam)), std::tuple(12, 34));
        }
    }
}

TEST_F(WindowInput, MovesComeAfterSetCursorWithButtonStateAndSignedPoints) {
    mouse(window_, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPointF(-5, 7), Qt::ShiftModifier);
    ASSERT_EQ(seen().size(), 2u);
    EXPECT_EQ(seen()[0].message, WM_SETCURSOR);
    EXPECT_EQ(handle_from_wparam(seen()[0].wparam), window_);
    EXPECT_EQ(
        std::tuple(seen()[0].lparam & 0xFFFF, (seen()[0].lparam >> 16) & 0xFFFF, seen()[1].message, seen()[1].wparam),
        std::tuple(static_cast<LParam>(HTCLIENT), static_cast<LParam>(WM_MOUSEMOVE), WM_MOUSEMOVE,
                   MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(std::tuple(lparam_x(seen()[1].lparam), lparam_y(seen()[1].lparam)), std::tuple(-5, 7));
}

TEST_F(WindowInput, WheelAccumulatesWholeNotchesAndPacksTheDeltaUnsigned) {
    const struct {
        std::vector<int> deltas;
        std::vector<unsigned> words;  // high words of the messages
    } cases[] = {
        {{120}, {120}},    {{-120}, {65416}},   {{60}, {}},
        {{60, 60}, {120}}, {{240}, {120, 120}}, {{-40, -40, -40}, {65416}},
    };
    for (const auto& c : cases) {
        WindowHandle w = create_window("KzTestWindow", "wheel", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr);
        seen().clear();
        for (int d : c.deltas) wheel(w, d);
        std::vector<unsigned> words;
        for (const auto& s : seen_of(WM_MOUSEWHEEL)) words.push_back(static_cast<unsigned>((s.wparam >> 16) & 0xFFFF));
        EXPECT_EQ(words, c.words);
        destroy_window(w);
    }
}

// While long work waits, no key, button, move or wheel reaches a procedure, and a resize waits too; afterwards they
// come in their order, each with the keys that were down with it, the moves in between folded into the last.
TEST_F(WindowInput, InputDuringAWaitIsHeldAndComesAfterItWithItsKeys) {
    short control_with_s = 0;
    kz::test::message_hook() = [&](const kz::test::Seen& s) -> LResult {
        if (s.message == WM_KEYDOWN && s.wparam == 'S') control_with_s = async_key_state(VK_CONTROL);
        return 0;
    };
    std::vector<std::uint32_t> during;
    {
        WaitScope wait;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
        deliver(window_, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_S, Qt::NoModifier);
        deliver(window_, &release);
        for (int x : {3, 4, 5}) mouse(window_, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPointF(x, 9));
        mouse(window_, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPointF(6, 9));
        QWheelEvent wheel(QPointF(5, 5), widget(window_)->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        deliver(window_, &wheel);
        widget(window_)->resize(150, 90);
        QResizeEvent resized(QSize(150, 90), QSize(200, 100));
        deliver(window_, &resized);
        EXPECT_TRUE(serve_windows_while_waiting());
        for (const auto& s : seen()) during.push_back(s.message);
    }
    EXPECT_EQ(during, std::vector<std::uint32_t>{}) << "nothing reached the procedure while waiting";
    kz::test::pump_until([&] { return !seen_of(WM_SIZE).empty(); });
    std::vector<std::uint32_t> after;
    for (const auto& s : seen())
        if (s.message != WM_PAINT && s.message != WM_ERASEBKGND) after.push_back(s.message);
    EXPECT_EQ(after, (std::vector<std::uint32_t>{WM_KEYDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MOUSEWHEEL, WM_SIZE}));
    EXPECT_NE(control_with_s & 0x8000, 0) << "Ctrl+S stays Ctrl+S after the wait";
    ASSERT_EQ(seen_of(WM_MOUSEMOVE).size(), 1u);
    EXPECT_EQ(lparam_x(seen_of(WM_MOUSEMOVE)[0].lparam), 5);
    ASSERT_EQ(seen_of(WM_SIZE).size(), 1u);
    EXPECT_EQ(lparam_x(seen_of(WM_SIZE)[0].lparam), 150);
    kz::test::message_hook() = nullptr;
}

TEST_F(WindowInput, WheelOverAChildReachesTheTopLevelThroughTheDefaultProcedure) {
    WindowHandle child = create_window("KzTestPlain", "child", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, window_);
    seen().clear();
    wheel(child, 120);
    const auto wheels = seen_of(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_EQ(std::tuple(wheels[0].window, wheels[1].window), std::tuple(child, window_));
}

TEST_F(WindowInput, DroppedFilesArriveAsShiftJisNamesAndOpenThroughTheEscape) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(kz::test::output_dir()) / "drop";
    fs::create_directories(folder);
    const fs::path kanji = folder / fs::u8path("床.fig");
    const fs::path accented = folder / fs::u8path("café.fig");
    std::ofstream(kanji) << "kanji";
    std::ofstream(accented) << "accented";
    show_window(window_, true);
    accept_dropped_files(window_, true);
    std::vector<std::string> names;
    kz::test::message_hook() = [&](const kz::test::Seen& s) -> LResult {
        if (s.message == WM_DROPFILES) {
            const unsigned count = drop_query_file(s.wparam, 0xFFFFFFFFu, nullptr);
            for (unsigned i = 0; i < count; ++i) {
                std::string name;
                const unsigned length = drop_query_file(s.wparam, i, &name);
                EXPECT_EQ(length, name.size());
                names.push_back(name);
            }
            drop_finish(s.wparam);
        }
        return 0;
    };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(kanji.string())),
                  QUrl::fromLocalFile(QString::fromStdString(accented.string()))});
    // The sequence a drag from a file manager brings: enter, move, drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    deliver(window_, &enter);
    QDragMoveEvent move(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    deliver(window_, &move);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    deliver(window_, &drop);
    ASSERT_EQ(names.size(), 2u);
    // "Z:\...\drop\床.fig": Windows form, Shift_JIS bytes.
    const std::string expected_kanji = "Z:" + std::string(folder.string()) + "/\x8f\xb0.fig";
    std::string expected_windows = expected_kanji;
    for (char& c : expected_windows)
        if (c == '/') c = '\\';
    EXPECT_EQ(names[0], expected_windows);
    // é has no Shift_JIS code: the name carries the escape, and the file opens through it.
    EXPECT_EQ(names[1].find("\xc3\xa9"), std::string::npos);
    std::ifstream in(to_native_path(names[1]));
    std::string content;
    in >> content;
    EXPECT_EQ(content, "accented");
    EXPECT_EQ(cp932_to_utf8(names[0].substr(names[0].size() - 6)), "床.fig");
    EXPECT_EQ(drop_query_file(1234567, 0, nullptr), 0u);  // unknown handle
}

TEST_F(WindowInput, PaintSendsPaintOnceAndShowsThePresentedImage) {
    WindowHandle w = create_window("KzTestWindow", "paint", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 40, 30, nullptr);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(40) * 4 * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * 40 + x) * 4];
            p[0] = x < 20 ? 0xFF : 0x00;  // blue left, red right (BGRA)
            p[1] = 0x00;
            p[2] = x < 20 ? 0x00 : 0xFF;
            p[3] = 0xFF;
        }
    EXPECT_FALSE(present_window_image(w, pixels.data(), 40, 30, 10));  // stride too small
    seen().clear();
    ASSERT_TRUE(present_window_image(w, pixels.data(), 40, 30, 160));
    const QImage shot = widget(w)->grab().toImage();
    EXPECT_EQ(seen_of(WM_PAINT).size(), 1u);
    EXPECT_EQ(QColor(shot.pixel(5, 15)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(shot.pixel(35, 15)), QColor(255, 0, 0));
    seen().clear();
    widget(w)->grab();  // a repaint without a request shows the image again without asking the procedure
    EXPECT_TRUE(seen_of(WM_PAINT).empty());
    invalidate_window(w);
    widget(w)->grab();
    EXPECT_EQ(seen_of(WM_PAINT).size(), 1u);
    destroy_window(w);
}

TEST(Cursors, EveryNamedCursorLoadsWithItsHotspot) {
    // The pointing cursors point with their fingertips, the others at their centres; the icon has its corner.
    const struct {
        int hot_x, hot_y;
        std::vector<const char*> names;
    } groups[] = {{16,
                   16,
                   {"CURSOR_AROUND", "CURSOR_WALK", "CURSOR_HEAD", "CURSOR_CENTER", "CURSOR_MOVE_TRUNK",
                    "CURSOR_MOVE_LEAVES", "CURSOR_MOVE_UPDOWN_TRUNK", "CURSOR_MOVE_UPDOWN_LEAVES",
                    "CURSOR_ROTATE_X_TRUNK", "CURSOR_ROTATE_Y_TRUNK", "CURSOR_ROTATE_Z_TRUNK", "CURSOR_ROTATE_X_LEAVES",
                    "CURSOR_ROTATE_Y_LEAVES", "CURSOR_ROTATE_Z_LEAVES", "CURSOR_WAIT"}},
                  {7, 2, {"CURSOR_FINGER_ONE", "CURSOR_FINGER_DBL", "CURSOR_FINGER_ALT", "CURSOR_FINGER_MOVE"}},
                  {0, 0, {"IDI_KZVIEW"}}};
    ASSERT_TRUE(ensure_application());
    for (const auto& g : groups)
        for (const char* name : g.names) {
            SCOPED_TRACE(name);
            CursorHandle cursor = load_cursor(name);
            ASSERT_NE(cursor, nullptr);
            EXPECT_EQ(load_cursor(name), cursor);  // loaded once
            const CursorImage image = cursor_image(cursor);
            EXPECT_EQ(std::tuple(image.width, image.height, image.hotspot_x, image.hotspot_y),
                      std::tuple(32, 32, g.hot_x, g.hot_y));
            int opaque = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) opaque += (cursor_pixel(cursor, x, y) >> 24) == 0xFF;
            EXPECT_GT(opaque, 40);    // something is drawn
            EXPECT_LT(opaque, 1000);  // and it is not a filled square
        }
    EXPECT_EQ(load_cursor("CURSOR_NONE"), nullptr);
    // The pointing cursors point with their hotspot: the fingertip pixel is drawn.
    EXPECT_EQ(cursor_pixel(load_cursor("CURSOR_FINGER_ONE"), 7, 2) >> 24, 0xFFu);
}

TEST_F(WindowInput, SetCursorShowsOverThePointerWindowAndTheIconIsSet) {
    mouse(window_, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPointF(3, 3));
    CursorHandle walk = load_cursor("CURSOR_WALK");
    set_cursor(walk);
    EXPECT_EQ(window_cursor(window_), walk);
    EXPECT_EQ(set_cursor(nullptr), walk);  // null leaves it
    EXPECT_EQ(window_cursor(window_), walk);
    EXPECT_TRUE(set_window_icon(window_, "IDI_KZVIEW"));
    EXPECT_FALSE(widget(window_)->windowIcon().isNull());
    EXPECT_FALSE(set_window_icon(window_, "IDI_NONE"));
}

}  // namespace
}  // namespace kz::platform
