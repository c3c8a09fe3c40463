// The shell verbs over QDesktopServices and QProcess, and the name mapping at this boundary. A started program
// is detached: the program never waits for it or learns its exit code, as with the shell's own "open".
#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <mutex>

#include "platform/file_system.h"
#include "platform/text_codec.h"

namespace kz::platform {

namespace {

std::mutex g_test_mutex;
bool g_test_mode = false;
bool g_test_start_programs = false;
std::vector<std::string> g_test_log;

bool has_prefix_nocase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool is_address(std::string_view name) {
    return has_prefix_nocase(name, "http:") || has_prefix_nocase(name, "https:") || has_prefix_nocase(name, "file:");
}

// A local name is looked up as the file layer finds it (case-insensitively when the exact one is missing).
std::string local_path(std::string_view name_sjis) {
    std::string found = resolve_existing(name_sjis);
    return found.empty() ? to_native_path(name_sjis) : found;
}

QUrl url_for(std::string_view target_sjis) {
    if (is_address(target_sjis)) return QUrl(QString::fromStdString(cp932_name_to_utf8(target_sjis)));
    return QUrl::fromLocalFile(QFileInfo(QString::fromStdString(local_path(target_sjis))).absoluteFilePath());
}

bool record(const std::string& entry) {
    std::lock_guard lock(g_test_mutex);
    if (!g_test_mode) return false;
    g_test_log.push_back(entry);
    return true;
}

bool test_mode_starts_programs() {
    std::lock_guard lock(g_test_mutex);
    return g_test_start_programs;
}

}  // namespace

bool is_program(std::string_view target_sjis) {
    if (target_sjis.empty() || is_address(target_sjis)) return false;
    const QFileInfo info(QString::fromStdString(local_path(target_sjis)));
    return info.isFile() && info.isExecutable();
}

bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis) {
    if (target_sjis.empty()) return false;
    if (is_program(target_sjis)) return start_program(target_sjis, parameters_sjis);
    const QUrl url = url_for(target_sjis);
    if (record("open " + url.toString(QUrl::FullyEncoded).toStdString())) return true;
    return QDesktopServices::openUrl(url);
}

bool shell_explore(std::string_view folder_sjis) {
    if (folder_sjis.empty()) return false;
    QUrl url = url_for(folder_sjis);
    if (url.isLocalFile()) {
        const QFileInfo info(url.toLocalFile());
        if (info.isFile()) url = QUrl::fromLocalFile(info.absolutePath());
    }
    if (record("explore " + url.toString(QUrl::FullyEncoded).toStdString())) return true;
    return QDesktopServices::openUrl(url);
}

bool start_program(std::string_view program_sjis, std::string_view parameters_sjis) {
    if (program_sjis.empty()) return false;
    const QString program = QString::fromStdString(local_path(program_sjis));
    const QStringList arguments = QProcess::splitCommand(QString::fromStdString(cp932_name_to_utf8(parameters_sjis)));
    std::string entry = "start " + program.toStdString();
    for (const QString& a : arguments) entry += " " + a.toStdString();
    if (record(entry) && !test_mode_starts_programs()) return true;
    return QProcess::startDetached(program, arguments);
}

void set_shell_test_mode(bool enabled, bool start_programs) {
    std::lock_guard lock(g_test_mutex);
    g_test_mode = enabled;
    g_test_start_programs = start_programs;
    g_test_log.clear();
}

std::vector<std::string> take_shell_test_log() {
    std::lock_guard lock(g_test_mutex);
    return std::exchange(g_test_log, {});
}

}  // namespace kz::platform
