// The shell verbs over QDesktopServices and a detached start of our own, and the name mapping at this boundary. A
// started program is detached: the program never waits for it or learns its exit code, as with the shell's own
// "open"; it learns only whether the start itself failed.
#include "platform/shell.h"

#include <QByteArray>
#include <QDesktopServices>
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
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/descriptor.h"
#include "platform/detached_start.h"
#include "platform/file_system.h"
#include "platform/folder_walk.h"
#include "platform/report.h"
#include "platform/text_codec.h"

namespace kz::platform {

namespace {

std::mutex g_test_mutex;
bool g_test_mode = false;
bool g_test_start_programs = false;
std::vector<std::string> g_test_log;

std::function<void(const std::string&)>& judgement_observer() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

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

// The arguments as they are handed over: the parameters split as a command line, each name among them native.
std::vector<std::string> native_arguments(std::string_view parameters_sjis) {
    std::vector<std::string> arguments;
    for (const QString& word : QProcess::splitCommand(QString::fromStdString(cp932_name_to_utf8(parameters_sjis)))) {
        const std::string native = local_path(utf8_name_to_cp932(word.toStdString()));
        arguments.push_back(native.empty() ? word.toStdString() : native);
    }
    return arguments;
}

// Opens what the native name reaches into `judged`: the name with its links resolved, a descriptor of the file
// there and its identity; `kind` adds O_DIRECTORY where only a folder will do. Nothing is filled when the name
// reaches nothing; the refusal is filled when it reaches something that cannot be judged.
void reach(const std::string& given, ProgramJudgement* judged, int kind = 0) {
    struct stat st;
    if (::lstat(given.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) judged->refusal = with_error("it cannot be looked at");
        return;
    }
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(given.c_str(), nullptr), &std::free);
    if (!real) {
        judged->refusal = with_error("it cannot be resolved");
        return;
    }
    if (judgement_observer()) judgement_observer()(real.get());
    // First only a path is opened, which reads nothing and opens no device or pipe (whose open alone may act on
    // something), and follows no link that appeared at the end since; the kind and the identity come from what is
    // held. A folder on the way swapped for a link since the resolution would make it another file than the one
    // the question names: what is held is named back and must be the resolved name itself.
    Descriptor fd(::open(real.get(), O_PATH | O_NOFOLLOW | O_CLOEXEC | kind));
    if (!fd) {
        judged->refusal = with_error("it cannot be opened");
        return;
    }
    if (::fstat(fd.get(), &st) != 0) {
        judged->refusal = with_error("it cannot be looked at");
        return;
    }
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        judged->refusal = "it is neither a file nor a folder";
        return;
    }
    const std::string held = name_now(fd.get());
    if (held.empty()) {
        judged->refusal = with_descriptor_error("what was opened cannot be named");
        return;
    }
    if (st.st_nlink == 0 || held != real.get()) {
        judged->refusal = st.st_nlink == 0 ? std::string("it was removed while it was opened")
                                           : "the file opened is " + held + ", not the one its name resolved to";
        return;
    }
    // A file is read through the one held, never by its name again (the open does not wait on a lease). One the
    // user may run but not read stays held by its path and is judged by its mode alone.
    if (S_ISREG(st.st_mode)) {
        Descriptor readable(::open(proc_fd_path(fd.get()).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!readable && errno != EACCES) {
            judged->refusal = with_descriptor_error("it cannot be opened");
            return;
        }
        if (readable) fd = std::move(readable);
    }
    judged->resolved = real.get();
    judged->file = std::move(fd);
    judged->folder = S_ISDIR(st.st_mode);
    judged->executable = S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
    judged->device = static_cast<std::uint64_t>(st.st_dev);
    judged->inode = static_cast<std::uint64_t>(st.st_ino);
    judged->change_time = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

// The desktop's handler for the address (recorded instead in test mode).
bool open_url(const char* verb, const QUrl& url) {
    if (record(std::string(verb) + " " + url.toString(QUrl::FullyEncoded).toStdString())) return true;
    return QDesktopServices::openUrl(url);
}

// The desktop gets the resolved name only while it still reaches the file judged and no one but the user and
// root could change that name or that file: otherwise whatever another user put there or wrote into it meanwhile
// would be read in its place, as a desktop entry that runs, say.
bool hand_to_desktop(const char* verb, const ProgramJudgement& judged) {
    const std::string why = others_could_change(judged.resolved, judged.device, judged.inode);
    if (!why.empty()) {
        report_line(judged.shown_name + ": not handed to the desktop: " + why);
        return false;
    }
    return open_url(verb, QUrl::fromLocalFile(QString::fromStdString(judged.resolved)));
}

bool start_judged(const ProgramJudgement& judged) {
    std::string entry = "start " + judged.resolved;
    for (const std::string& a : judged.argument_list) entry += ' ' + a;
    if (record(entry) && !test_mode_starts_programs()) return true;
    // A script run by its name sees its own name, as scripts expect; that is safe only where no one else could
    // have put another file there since it was judged.
    const bool by_name = judged.script && others_could_change(judged.resolved, judged.device, judged.inode).empty();
    std::vector<std::string> words{judged.resolved};
    words.insert(words.end(), judged.argument_list.begin(), judged.argument_list.end());
    const int error = start_detached(judged.file.get(), by_name ? judged.resolved : std::string(), std::move(words),
                                     judged.script && !by_name);
    if (error != 0) report_line(judged.shown_name + ": not started: " + std::strerror(error));
    return error == 0;
}

// The one line for a name that reaches something that cannot be judged.
bool refuse(const ProgramJudgement& judged) {
    report_line(judged.shown_name + ": not opened: " + judged.refusal);
    return false;
}

}  // namespace

ProgramJudgement judge_program(std::string_view target_sjis, std::string_view parameters_sjis) {
    ProgramJudgement judged;
    if (target_sjis.empty()) return judged;
    if (is_web_address(target_sjis)) {
        judged.address = cp932_name_to_utf8(target_sjis);
        return judged;
    }
    const std::string given = native_target(target_sjis);
    if (given.empty()) return judged;
    judged.shown_name = display_name(target_sjis);
    reach(given, &judged);
    if (!judged.file || judged.folder) return judged;
    const QByteArray head = read_head(judged.file.get());
    judged.script = head.startsWith("#!");
    judged.program = judged.executable || judged.script || has_program_extension(judged.resolved) ||
                     has_program_extension(given) || has_program_type(judged.resolved, head);
    judged.argument_list = native_arguments(parameters_sjis);
    std::string arguments;
    for (const std::string& a : judged.argument_list)
        arguments += a.find(' ') != std::string::npos ? " \"" + a + '"' : ' ' + a;
    judged.command_text = utf8_to_cp932(judged.resolved + arguments);
    judged.arguments = utf8_to_cp932(arguments.empty() ? arguments : arguments.substr(1));
    if (given != judged.resolved) judged.given_name = utf8_to_cp932(given);
    return judged;
}

bool shell_open(const ProgramJudgement& judged) {
    if (!judged.address.empty()) return open_url("open", QUrl(QString::fromStdString(judged.address)));
    if (!judged.refusal.empty()) return refuse(judged);
    if (!judged.file) return false;
    if (judged.executable) return start_judged(judged);
    return hand_to_desktop("open", judged);
}

bool shell_open(std::string_view target_sjis, std::string_view parameters_sjis) {
    return shell_open(judge_program(target_sjis, parameters_sjis));
}

bool shell_explore(std::string_view folder_sjis) {
    if (folder_sjis.empty()) return false;
    const std::string given = native_target(folder_sjis);
    if (given.empty()) return false;
    ProgramJudgement judged;
    judged.shown_name = display_name(folder_sjis);
    reach(given, &judged);
    if (judged.file && !judged.folder) {
        // A file's folder, judged in its turn as a folder: the one that holds the file's resolved name.
        std::string folder, name;
        split_last_name(judged.resolved, &folder, &name);
        ProgramJudgement holder;
        holder.shown_name = std::move(judged.shown_name);
        reach(folder, &holder, O_DIRECTORY);
        judged = std::move(holder);
    }
    if (!judged.refusal.empty()) return refuse(judged);
    if (!judged.file) return false;
    return hand_to_desktop("explore", judged);
}

bool start_program(std::string_view program_sjis, std::string_view parameters_sjis) {
    if (program_sjis.empty()) return false;
    const ProgramJudgement judged = judge_program(program_sjis, parameters_sjis);
    if (!judged.refusal.empty()) return refuse(judged);
    return judged.executable && start_judged(judged);
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

void set_judgement_observer_for_tests(std::function<void(const std::string&)> observer) {
    judgement_observer() = std::move(observer);
}

}  // namespace kz::platform
