// Common dialogs over Qt's standard dialogs, modal to their owner. While a dialog runs, posted messages keep
// arriving at their procedures, as they do under the system's own modal loops.
#include "platform/dialogs.h"

#include <QColor>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/text_codec.h"

namespace kz::platform {

namespace {

bool g_test_mode = false;
DialogTestAnswers g_answers;
std::vector<std::string> g_log;

QString qt_text(std::string_view sjis) { return QString::fromStdString(cp932_to_utf8(sjis)); }
QWidget* owner_widget(WindowHandle owner) { return static_cast<QWidget*>(native_widget(owner)); }

QColor to_qcolor(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
std::uint32_t to_colorref(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

// "Figure (*.fig)|*.fig|All|*.*" to Qt's "Figure (*.fig);;All (*.*)".
QString qt_filter(std::string_view filter) {
    const QStringList parts = QString::fromStdString(cp932_to_utf8(filter)).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out.join(QStringLiteral(";;"));
}

std::string file_dialog(bool save, WindowHandle owner, std::string_view title, std::string_view filter,
                        std::string_view initial) {
    if (g_test_mode) {
        log_dialog_request(std::string(save ? "save_file " : "open_file ") + cp932_to_utf8(title));
        return g_answers.file_name;
    }
    if (!ensure_application()) return {};
    const QString start = QString::fromStdString(to_native_path(initial));
    const QString chosen =
        save ? QFileDialog::getSaveFileName(owner_widget(owner), qt_text(title), start, qt_filter(filter))
             : QFileDialog::getOpenFileName(owner_widget(owner), qt_text(title), start, qt_filter(filter));
    return chosen.isEmpty() ? std::string() : from_native_path(chosen.toStdString());
}

}  // namespace

int message_box(WindowHandle owner, std::string_view text_sjis, std::string_view caption_sjis, unsigned type) {
    const unsigned buttons = type & 0xF;
    if (g_test_mode) {
        log_dialog_request("message_box " + cp932_to_utf8(caption_sjis) + "|" + cp932_to_utf8(text_sjis));
        if (g_answers.while_asking) g_answers.while_asking();
        return g_answers.message_box;
    }
    if (!ensure_application()) return IDCANCEL;
    QMessageBox box(owner_widget(owner));
    box.setWindowTitle(qt_text(caption_sjis));
    box.setText(qt_text(text_sjis));
    switch (type & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    int escape_answer = IDOK;
    switch (buttons) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        escape_answer = IDCANCEL;
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        escape_answer = IDCANCEL;
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        escape_answer = IDNO;
        break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return escape_answer;
    }
}

bool choose_color(WindowHandle owner, std::uint32_t initial, std::uint32_t custom_colors[16], std::uint32_t* chosen) {
    if (g_test_mode) {
        log_dialog_request("choose_color");
        if (g_answers.color_accepted && chosen) *chosen = g_answers.color;
        return g_answers.color_accepted;
    }
    if (!ensure_application()) return false;
    const int count = std::min(16, QColorDialog::customCount());
    if (custom_colors)
        for (int i = 0; i < count; ++i) QColorDialog::setCustomColor(i, to_qcolor(custom_colors[i]));
    const QColor picked = QColorDialog::getColor(to_qcolor(initial), owner_widget(owner));
    if (custom_colors)
        for (int i = 0; i < count; ++i) custom_colors[i] = to_colorref(QColorDialog::customColor(i));
    if (!picked.isValid()) return false;
    if (chosen) *chosen = to_colorref(picked);
    return true;
}

std::string open_file_dialog(WindowHandle owner, std::string_view title_sjis, std::string_view filter,
                             std::string_view initial_name_sjis) {
    return file_dialog(false, owner, title_sjis, filter, initial_name_sjis);
}

std::string save_file_dialog(WindowHandle owner, std::string_view title_sjis, std::string_view filter,
                             std::string_view initial_name_sjis) {
    return file_dialog(true, owner, title_sjis, filter, initial_name_sjis);
}

void set_dialog_test_mode(bool enabled, const DialogTestAnswers& answers) {
    g_test_mode = enabled;
    g_answers = answers;
    g_log.clear();
}

bool dialog_test_mode() { return g_test_mode; }
const DialogTestAnswers& dialog_test_answers() { return g_answers; }
void log_dialog_request(std::string entry) { g_log.push_back(std::move(entry)); }
std::vector<std::string> take_dialog_test_log() { return std::exchange(g_log, {}); }

}  // namespace kz::platform
