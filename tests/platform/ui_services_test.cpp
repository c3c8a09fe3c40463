// Dialogs in test mode, printing into a PDF file checked with pdftoppm, the shell verbs and sounds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <utility>

#include "platform/descriptor.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/printer.h"
#include "platform/report.h"
#include "platform/shell.h"
#include "platform/sound.h"
#include "platform/text_codec.h"
#include "tests/support/other_user.h"
#include "tests/support/test_paths.h"

namespace kz::platform {
namespace {

namespace fs = std::filesystem;

class DialogsInTestMode : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ensure_application()); }
    void TearDown() override { set_dialog_test_mode(false); }
};

TEST_F(DialogsInTestMode, AnswerAtOnceAndRecordTheQuestionInUtf8) {
    DialogTestAnswers answers;
    answers.message_box = IDCANCEL;
    answers.color = 0x00336699;
    answers.file_name = "Z:\\data\\room.fig";
    set_dialog_test_mode(true, answers);
    // "移動できません" / "読み取り専用です。" in Shift_JIS, as the view passes them.
    const std::string caption = utf8_to_cp932("移動できません");
    const std::string text = utf8_to_cp932("読み取り専用です。");
    EXPECT_EQ(message_box(nullptr, text, caption, MB_OKCANCEL), IDCANCEL);
    std::uint32_t custom[16] = {};
    std::uint32_t chosen = 0;
    EXPECT_TRUE(choose_color(nullptr, 0xFFFFFF, custom, &chosen));
    EXPECT_EQ(chosen, 0x00336699u);
    EXPECT_EQ(open_file_dialog(nullptr, "open", "Figure|*.fig", ""), "Z:\\data\\room.fig");
    EXPECT_EQ(save_file_dialog(nullptr, "save", "Figure|*.fig", ""), "Z:\\data\\room.fig");
    EXPECT_EQ(take_dialog_test_log(), (std::vector<std::string>{"message_box 移動できません|読み取り専用です。",
                                                                "choose_color", "open_file open", "save_file save"}));
    answers.color_accepted = false;
    answers.file_name.clear();
    set_dialog_test_mode(true, answers);
    chosen = 7;
    EXPECT_FALSE(choose_color(nullptr, 0, custom, &chosen));
    EXPECT_EQ(chosen, 7u);  // untouched on cancel
    EXPECT_EQ(open_file_dialog(nullptr, "open", "", ""), "");
}

bool have_program(const char* path) { return access(path, X_OK) == 0; }

// The view prints a 4:3 image across the page width: here a red left half and a blue right half.
TEST_F(DialogsInTestMode, PrintingIntoPdfProducesThePageWithTheImage) {
    if (!have_program("/usr/bin/pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is missing";
    const std::string pdf = kz::test::output_file("print_test.pdf");
    std::remove(pdf.c_str());
    DialogTestAnswers answers;
    answers.print_pdf_file = pdf;
    set_dialog_test_mode(true, answers);

    auto job = PrintJob::choose_printer(nullptr);
    ASSERT_NE(job, nullptr);
    const int page_width = job->page_width();
    ASSERT_GT(page_width, 100);
    const int image_height = static_cast<int>(page_width * 3 * 0.25 + 0.5);
    // A 24-bit bottom-up DIB of 8 x 6: left half red, right half blue; the bottom row green to check the flip.
    const int w = 8, h = 6, stride = 24;
    std::vector<std::uint8_t> dib(static_cast<std::size_t>(stride) * h);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &dib[static_cast<std::size_t>(row) * stride + x * 3];
            const bool bottom = row == 0;  // first stored row is the bottom one
            p[0] = bottom ? 0 : (x < 4 ? 0 : 255);
            p[1] = bottom ? 255 : 0;
            p[2] = bottom ? 0 : (x < 4 ? 255 : 0);
        }
    EXPECT_FALSE(job->draw_image({dib.data(), w, h, stride, 24, true}, 0, 0, page_width, image_height));  // no page
    ASSERT_TRUE(job->start_document("KZ3D Image"));
    ASSERT_TRUE(job->start_page());
    ASSERT_TRUE(job->draw_image({dib.data(), w, h, stride, 24, true}, 0, 0, page_width, image_height));
    ASSERT_TRUE(job->end_page());
    ASSERT_TRUE(job->end_document());
    job.reset();
    EXPECT_EQ(take_dialog_test_log(), std::vector<std::string>{"print"});

    const std::string prefix = kz::test::output_file("print_test_page");
    const std::string command = "/usr/bin/pdftoppm -r 30 -png -singlefile '" + pdf + "' '" + prefix + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    QImage page(QString::fromStdString(prefix + ".png"));
    ASSERT_FALSE(page.isNull());
    // The image fills the page width from the top of the printable area; sample inside each half.
    const int top = page.height() / 20, band = page.width() * 3 / 4 * 5 / 6;
    auto near = [](QColor c, int r, int g, int b) {
        return std::abs(c.red() - r) < 40 && std::abs(c.green() - g) < 40 && std::abs(c.blue() - b) < 40;
    };
    const QColor left = page.pixelColor(page.width() / 4, top + band / 3);
    const QColor right = page.pixelColor(page.width() * 3 / 4, top + band / 3);
    EXPECT_TRUE(near(left, 255, 0, 0)) << left.name().toStdString();
    EXPECT_TRUE(near(right, 0, 0, 255)) << right.name().toStdString();
    // The DIB's first stored row (green) is the bottom of the picture, not the top.
    EXPECT_GT(page.pixelColor(page.width() / 8, top + band * 23 / 24).green(), 120);
    EXPECT_LT(page.pixelColor(page.width() / 8, top + band / 12).green(), 40);
    const QColor below = page.pixelColor(page.width() / 2, page.height() * 9 / 10);
    EXPECT_TRUE(near(below, 255, 255, 255)) << below.name().toStdString();  // nothing printed below the image
}

TEST_F(DialogsInTestMode, CancelledPrinterDialogGivesNoJob) {
    DialogTestAnswers answers;
    answers.print_accepted = false;
    answers.print_pdf_file = kz::test::output_file("never.pdf");
    set_dialog_test_mode(true, answers);
    EXPECT_EQ(PrintJob::choose_printer(nullptr), nullptr);
    EXPECT_FALSE(fs::exists(answers.print_pdf_file));
}

TEST(Shell, OpenAndExploreGoToTheDesktopWithRealNames) {
    ASSERT_TRUE(ensure_application());
    set_shell_test_mode(true);
    const fs::path folder = fs::path(kz::test::output_dir()) / "shell";
    fs::create_directories(folder);
    const fs::path cafe = folder / "café.fig";
    std::ofstream(cafe) << "x";
    EXPECT_TRUE(shell_open("http://example.com/a b.html"));
    EXPECT_TRUE(shell_open(from_native_path(cafe.string())));
    EXPECT_TRUE(shell_explore(from_native_path(cafe.string())));
    EXPECT_TRUE(shell_open("file://localhost" + from_native_path(cafe.string()).substr(2)));
    EXPECT_FALSE(shell_open(""));
    EXPECT_FALSE(shell_open("file://elsewhere/x.fig"));  // another machine, as a network name: nothing
    EXPECT_FALSE(shell_open("\\\\server\\share\\x.fig"));
    // What the desktop could run is a program: an execute bit (anyone's), "#!", a script's or launcher's
    // extension, a "file:" name of one of them; never a folder, a document or a web address.
    const auto make = [&](const char* name, const char* text, fs::perms perms) {
        std::ofstream(folder / name) << text;
        fs::permissions(folder / name, perms);
        return from_native_path((folder / name).string());
    };
    const fs::perms plain = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    fs::create_directories(folder / "dir.sh");
    for (const auto& [name, program] : {std::pair{from_native_path("/bin/sh"), true},
                                        {make("others-run", "x", plain | fs::perms::others_exec), true},
                                        {make("script", "#!/bin/sh\n", plain), true},
                                        {make("launch.Desktop", "[Desktop Entry]\n", plain), true},
                                        {make("tool.APPIMAGE", "", plain), true},
                                        {"file://" + (folder / "script").string(), true},
                                        {"file:" + (folder / "launch.Desktop").string(), true},
                                        {make("hash.txt", "# not #!\n", plain), false},
                                        {from_native_path((folder / "dir.sh").string()), false},
                                        {from_native_path(cafe.string()), false},
                                        {"file:" + from_native_path(cafe.string()).substr(2), false},
                                        {std::string("http://example.com/sh"), false}})
        EXPECT_EQ(judge_program(name).program, program) << name;
    const auto log = take_shell_test_log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(std::tuple(log[0], log[1], log[2], log[3]),
              std::tuple("open http://example.com/a%20b.html", "open file://" + folder.string() + "/caf%C3%A9.fig",
                         "explore file://" + folder.string(), log[1]));
    set_shell_test_mode(false);
}

// The lines the shell says while a test runs.
std::vector<std::string>& said() {
    static std::vector<std::string> lines;
    return lines;
}
void keep_line(std::string_view line) { said().emplace_back(line); }

TEST(Shell, StartsProgramsWithTheirParameters) {
    ASSERT_TRUE(ensure_application());
    set_shell_test_mode(true, true);
    const fs::path out = fs::path(kz::test::output_dir()) / "shell" / "started.txt";
    fs::create_directories(out.parent_path());
    fs::remove(out);
    const std::string sh = fs::canonical("/bin/sh").string();
    const std::string parameters = "-c \"echo started > '" + out.string() + "'\"";
    ASSERT_TRUE(start_program(from_native_path("/bin/sh"), parameters));
    EXPECT_EQ(take_shell_test_log().at(0), "start " + sh + " -c echo started > '" + out.string() + "'");
    EXPECT_EQ(kz::test::read_written_line(out.string()), "started\n");
    EXPECT_FALSE(start_program(from_native_path("/no/such/program"), ""));
    // A file with an execute bit that the system cannot run is a failed start, said in one line.
    const fs::path junk = out.parent_path() / "junk";
    std::ofstream(junk) << "not a program";
    fs::permissions(junk, fs::perms(0755));
    said().clear();
    const ReportFunction before = set_report_function(keep_line);
    EXPECT_FALSE(start_program(from_native_path(junk.string()), ""));
    set_report_function(before);
    EXPECT_EQ(said(), std::vector<std::string>{junk.string() + ": not started: " + std::strerror(ENOEXEC)});
    // Names among the arguments leave in native form; what names nothing here goes as written.
    set_shell_test_mode(true);
    const std::string arguments = "Z:\\tmp\\x.fig \"Z:\\a b\\c\" -v C:\\y";
    ASSERT_TRUE(start_program(from_native_path("/bin/sh"), arguments));
    EXPECT_EQ(take_shell_test_log().at(0), "start " + sh + " /tmp/x.fig /a b/c -v C:\\y");
    EXPECT_EQ(judge_program(from_native_path("/bin/sh"), arguments).command_text,
              sh + " /tmp/x.fig \"/a b/c\" -v C:\\y");
    set_shell_test_mode(false);
}

// The desktop gets the file that was judged, by its resolved name, and only while no one but the user and root
// could have put another there or written into it: a name changed after the judgement changes nothing, a folder
// others may write keeps its files from the desktop and does not go there itself, sticky or not, so does a file (or
// folder) others may write or own in a sticky folder, and a name that cannot be judged (a pipe, which is never opened)
// is refused; each refusal is one line.
TEST(Shell, TheDesktopGetsWhatWasJudged) {
    ASSERT_TRUE(ensure_application());
    const fs::path folder = fs::path(kz::test::output_dir()) / "shell-judged";
    fs::remove_all(folder);
    fs::create_directories(folder / "shared" / "inner");
    fs::permissions(folder / "shared", fs::perms::all);  // others may rename what it holds
    fs::create_directories(folder / "sticky");
    fs::permissions(folder / "sticky", fs::perms::all | fs::perms::sticky_bit);
    const auto put = [&](const char* name, const char* text, fs::perms perms) {
        std::ofstream(folder / name) << text;
        fs::permissions(folder / name, perms);
    };
    const fs::perms plain = fs::perms::owner_read | fs::perms::owner_write;
    put("notes.txt", "notes", plain);
    put("other.txt", "other", plain);
    put("evil.sh", ("#!/bin/sh\necho evil > '" + (folder / "evil.out").string() + "'\n").c_str(), fs::perms::owner_all);
    put("app.desktop", "[Desktop Entry]\nExec=true\n", plain);
    put("shared/notes.txt", "notes", plain);
    put("sticky/mine.txt", "mine", plain);
    put("open.txt", "notes", fs::perms(0666));
    put("loose.desktop", "[Desktop Entry]\n", fs::perms(0666));
    const bool root = ::geteuid() == 0;  // only root can become another user to make their file
    if (root) {
        EXPECT_TRUE(kz::test::run_as_other_user("their file", [&] { put("sticky/theirs.txt", "x", plain); }));
    }
    fs::create_symlink(folder / "notes.txt", folder / "doc");
    fs::create_symlink(folder / "nowhere", folder / "dangling");
    ::mkfifo((folder / "fifo").c_str(), 0600);
    // The pipe held open both ways, so that no open of it can wait; any open after this one is seen.
    const Descriptor held_pipe(::open((folder / "fifo").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    const Descriptor pipe_watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(held_pipe && pipe_watch);
    ASSERT_GE(::inotify_add_watch(pipe_watch.get(), (folder / "fifo").c_str(), IN_OPEN), 0);
    const std::string url = "file://" + folder.string();
    const std::string no_desktop = ": not handed to the desktop: ";
    const auto refused = [&](const char* name, const std::string& why) {
        return (folder / name).string() + no_desktop + (folder / name).string() + why;
    };
    const std::string all = " lets every user write in it", theirs = " belongs to another user (uid 65534)";
    const struct {
        const char* name;
        std::string verb, target;            // "open" or "explore" of the name below the folder
        std::function<void()> after_judged;  // open only: what changes between the judgement and the act
        std::vector<std::string> handed;
        std::string line;  // the one line said; empty: none
    } rows[] = {
        {"a link re-pointed at a script",
         "open",
         "doc",
         [&] {
             fs::remove(folder / "doc");
             fs::create_symlink(folder / "evil.sh", folder / "doc");
         },
         {"open " + url + "/notes.txt"},
         ""},
        {"a document replaced",
         "open",
         "notes.txt",
         [&] { fs::rename(folder / "other.txt", folder / "notes.txt"); },
         {},
         (folder / "notes.txt").string() + no_desktop + (folder / "notes.txt").string() +
             " is no longer the file it was"},
        {"a program without an execute bit", "open", "app.desktop", {}, {"open " + url + "/app.desktop"}, ""},
        {"a desktop entry others may write", "open", "loose.desktop", {}, {}, refused("loose.desktop", all)},
        {"a document others may write", "open", "open.txt", {}, {}, refused("open.txt", all)},
        {"the user's file in a sticky folder", "open", "sticky/mine.txt", {}, {"open " + url + "/sticky/mine.txt"}, ""},
        {"another user's file there", "open", "sticky/theirs.txt", {}, {}, refused("sticky/theirs.txt", theirs)},
        {"a folder others may write", "open", "shared", {}, {}, refused("shared", all)},
        // The sticky bit keeps others off the names in a folder, not off the folder: they may still write in it.
        {"the user's sticky folder every user may write", "open", "sticky", {}, {}, refused("sticky", all)},
        {"the same folder explored", "explore", "sticky", {}, {}, refused("sticky", all)},
        {"a document where others may write",
         "open",
         "shared/notes.txt",
         {},
         {},
         (folder / "shared/notes.txt").string() + no_desktop + (folder / "shared").string() +
             " lets every user write in it"},
        {"a folder where others may write",
         "explore",
         "shared/inner",
         {},
         {},
         (folder / "shared/inner").string() + no_desktop + (folder / "shared").string() +
             " lets every user write in it"},
        {"a file's folder", "explore", "doc", {}, {"explore " + url}, ""},
        {"a link to nothing",
         "open",
         "dangling",
         {},
         {},
         (folder / "dangling").string() + ": not opened: it cannot be resolved (" + std::strerror(ENOENT) + ")"},
        {"a pipe",
         "open",
         "fifo",
         {},
         {},
         (folder / "fifo").string() + ": not opened: it is neither a file nor a folder"},
        {"nothing at all", "open", "missing.txt", {}, {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!root && row.target == "sticky/theirs.txt") continue;
        set_shell_test_mode(true, true);
        said().clear();
        const ReportFunction before = set_report_function(keep_line);
        const std::string target = from_native_path((folder / row.target).string());
        if (row.verb == "explore") {
            EXPECT_EQ(shell_explore(target), !row.handed.empty());
        } else {
            const ProgramJudgement judged = judge_program(target);
            EXPECT_FALSE(judged.program && judged.executable);
            if (row.after_judged) row.after_judged();
            EXPECT_EQ(shell_open(judged), !row.handed.empty());
        }
        set_report_function(before);
        EXPECT_EQ(take_shell_test_log(), row.handed);
        EXPECT_EQ(said(), row.line.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.line});
    }
    set_shell_test_mode(false);
    alignas(inotify_event) char event[4096];
    EXPECT_LT(::read(pipe_watch.get(), event, sizeof event), 0) << "the pipe was opened";
    if (!root) GTEST_SKIP() << "not run here: another user's file in a sticky folder (only root can become them)";
}

// A 0.1 s silent PCM wave.
void write_wave(const fs::path& p) {
    std::ofstream f(p, std::ios::binary);
    const std::uint32_t rate = 8000, samples = 800, data_bytes = samples * 2;
    auto put = [&](std::uint32_t v, int bytes) { f.write(reinterpret_cast<const char*>(&v), bytes); };
    f.write("RIFF", 4);
    put(36 + data_bytes, 4);
    f.write("WAVEfmt ", 8);
    // Format block of 16 bytes: PCM, one channel, the rate, bytes a second, 2 bytes a sample of 16 bits.
    for (auto [v, bytes] : {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {rate, 4}, {rate * 2, 4}, {2u, 2}, {16u, 2}})
        put(v, bytes);
    f.write("data", 4);
    put(data_bytes, 4);
    const std::vector<char> silence(data_bytes, 0);
    f.write(silence.data(), silence.size());
}

TEST(Sound, PlaysOrStaysSilentWithoutErrorAndRefusesMissingFiles) {
    const fs::path folder = fs::path(kz::test::output_dir()) / "sound";
    fs::create_directories(folder);
    const fs::path wave = folder / "chime.wav";
    write_wave(wave);
    const fs::path not_wave = folder / "text.wav";
    std::ofstream(not_wave) << "not a wave file at all";
    EXPECT_TRUE(play_wave_file(from_native_path(wave.string())));
    EXPECT_TRUE(play_media_file(from_native_path(wave.string())));
    EXPECT_FALSE(play_wave_file(from_native_path(not_wave.string())));
    EXPECT_FALSE(play_wave_file(from_native_path((folder / "missing.wav").string())));
    EXPECT_FALSE(play_media_file(from_native_path((folder / "missing.mp3").string())));
    for (int i = 0; i < 20; ++i) pump_messages();
    stop_sounds();
}

}  // namespace
}  // namespace kz::platform
