// The shell verbs over QDesktopServices and QProcess, and the name mapping at this boundary. A started program
// is detached: the program never waits for it or learns its exit code, as with the shell's own "open".
#include "platform/shell.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QProcess>
#include <QStringList>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/descriptor.h"
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

bool is_web_address(std::string_view name) {
    return has_prefix_nocase(name, "http:") || has_prefix_nocase(name, "https:");
}

// A local name as the file layer finds it (case-insensitively when the exact one is missing); empty when the name
// has no place here.
std::string local_path(std::string_view name_sjis) {
    std::string found = resolve_existing(name_sjis);
    return found.empty() ? to_native_path(name_sjis) : found;
}

// The native path of a target that is not a web address ("file:" names as the file they name); empty when it
// names nothing here: another machine, another drive.
std::string native_target(std::string_view target_sjis) {
    const std::string local = file_url_local_name(target_sjis);
    return local.empty() ? std::string() : local_path(local);
}

QUrl url_for(std::string_view target_sjis) {
    if (is_web_address(target_sjis)) return QUrl(QString::fromStdString(cp932_name_to_utf8(target_sjis)));
    const std::string native = native_target(target_sjis);
    if (native.empty()) return {};
    return QUrl::fromLocalFile(QFileInfo(QString::fromStdString(native)).absoluteFilePath());
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

// Scripts, launchers and installers that the desktop runs when asked to open them, by the extension of the last
// name; the trailing dots that Windows drops from a name are ignored.
bool has_program_extension(std::string_view native) {
    static const char* const extensions[] = {"sh",      "bash",    "py",  "pyw",  "pl",       "rb",  "csh",
                                             "command", "desktop", "jar", "jnlp", "AppImage", "run", "exe",
                                             "com",     "bat",     "cmd", "vbs",  "ps1",      "msi"};
    std::string_view name = native.substr(native.rfind('/') + 1);
    while (!name.empty() && name.back() == '.') name.remove_suffix(1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const QString suffix = QString::fromUtf8(name.substr(dot + 1));
    for (const char* e : extensions)
        if (suffix.compare(QLatin1String(e), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Types the desktop runs or installs when asked to open a file of them; a type derived from one (a C shell
// script is a shell script) and an alias of one count as it.
bool has_program_type(const std::string& native, const QByteArray& head) {
    static const char* const types[] = {"application/x-executable",
                                        "application/x-sharedlib",
                                        "application/x-shellscript",
                                        "text/x-python",
                                        "text/x-python3",
                                        "application/x-perl",
                                        "application/x-ruby",
                                        "application/x-desktop",
                                        "application/x-ms-dos-executable",
                                        "application/vnd.microsoft.portable-executable",
                                        "application/x-msi",
                                        "application/x-java-archive",
                                        "application/java-archive",
                                        "application/x-java-jnlp-file",
                                        "application/vnd.appimage",
                                        "application/x-iso9660-appimage",
                                        "text/vbscript"};
    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(QString::fromStdString(native), head);
    for (const char* t : types)
        if (type.inherits(QLatin1String(t))) return true;
    return false;
}

// The first bytes of the file, as much as the MIME database looks at.
QByteArray read_head(int fd) {
    QByteArray head(16384, '\0');
    qsizetype filled = 0;
    while (filled < head.size()) {
        const ssize_t n = ::read(fd, head.data() + filled, static_cast<std::size_t>(head.size() - filled));
        if (n <= 0) break;
        filled += n;
    }
    head.truncate(filled);
    return head;
}

// What start_program hands over: the native program and its arguments, each name among them native.
std::pair<QString, QStringList> native_command(std::string_view program_sjis, std::string_view parameters_sjis) {
    const QString program = QString::fromStdString(native_target(program_sjis));
    QStringList arguments;
    for (const QString& word : QProcess::splitCommand(QString::fromStdString(cp932_name_to_utf8(parameters_sjis)))) {
        const std::string name = utf8_name_to_cp932(word.toStdString());
        const std::string native = local_path(name);
        arguments << (native.empty() ? word : QString::fromStdString(native));
    }
    return {program, arguments};
}

}  // namespace

ProgramJudgement judge_program(std::string_view target_sjis, std::string_view parameters_sjis) {
    ProgramJudgement judged;
    if (target_sjis.empty() || is_web_address(target_sjis)) return judged;
    const std::string given = native_target(target_sjis);
    if (given.empty()) return judged;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(given.c_str(), nullptr), &std::free);
    if (!real) return judged;
    const std::string resolved = real.get();
    // The open never waits (the name may have become a pipe since it was resolved) and follows no link that
    // appeared since; the kind, the identity and the first bytes all come from what was opened. A file the user
    // may run but not read is still judged, by its mode alone.
    Descriptor fd(::open(resolved.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0 && errno == EACCES) fd = Descriptor(::open(resolved.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return judged;
    const QByteArray head = read_head(fd.get());
    judged.program = (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 || head.startsWith("#!") ||
                     has_program_extension(resolved) || has_program_extension(given) ||
                     has_program_type(resolved, head);
    judged.device = static_cast<std::uint64_t>(st.st_dev);
    judged.inode = static_cast<std::uint64_t>(st.st_ino);
    QString arguments;
    for (const QString& a : native_command(target_sjis, parameters_sjis).second)
        arguments += a.contains(u' ') ? QStringLiteral(" \"") + a + u'"' : u' ' + a;
    judged.command_text = utf8_to_cp932(resolved + arguments.toStdString());
    judged.arguments = utf8_to_cp932(arguments.mid(1).toStdString());
    if (given != resolved) judged.given_name = utf8_to_cp932(given);
    return judged;
}

bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis) {
    if (target_sjis.empty()) return false;
    if (!is_web_address(target_sjis)) {
        const QFileInfo info(QString::fromStdString(native_target(target_sjis)));
        if (info.isFile() && info.isExecutable()) return start_program(target_sjis, parameters_sjis);
    }
    const QUrl url = url_for(target_sjis);
    if (url.isEmpty()) return false;
    if (record("open " + url.toString(QUrl::FullyEncoded).toStdString())) return true;
    return QDesktopServices::openUrl(url);
}

bool shell_explore(std::string_view folder_sjis) {
    if (folder_sjis.empty()) return false;
    QUrl url = url_for(folder_sjis);
    if (url.isEmpty()) return false;
    if (url.isLocalFile()) {
        const QFileInfo info(url.toLocalFile());
        if (info.isFile()) url = QUrl::fromLocalFile(info.absolutePath());
    }
    if (record("explore " + url.toString(QUrl::FullyEncoded).toStdString())) return true;
    return QDesktopServices::openUrl(url);
}

bool start_program(std::string_view program_sjis, std::string_view parameters_sjis) {
    if (program_sjis.empty()) return false;
    const auto [program, arguments] = native_command(program_sjis, parameters_sjis);
    if (program.isEmpty()) return false;
    std::string entry = "start ";
    entry += program.toStdString();
    for (const QString& a : arguments) {
        entry += ' ';
        entry += a.toStdString();
    }
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
