// Models made by an attacker or a careless author: opens that would expand without end stop at their budgets
// and keep what they read, nesting is cut at its limit, numbers at the edges of their range read safely, pipes,
// devices and huge files are refused, the download cache never writes outside itself, and a slow download ends
// when the window is closed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/document/document_state.h"
#include "app/document/load_guard.h"
#include "app/scene/xtrunk.h"
#include "app/view/program_entry.h"
#include "document_fixture.h"
#include "platform/download.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/message_loop.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {
namespace {

namespace fs = std::filesystem;

// Every file and folder below `root` (relative names), except below `skip`.
std::set<std::string> listing(const fs::path& root, const fs::path& skip) {
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        out.insert(fs::relative(it->path(), root).string());
    }
    return out;
}

// Runs the budget row again alone in a new process of this program (KZ_BUDGET_ROW names it), its output going to
// `log`; the process's exit status.
int run_budget_row_alone(std::size_t row, const std::string& log) {
    kz::test::ScopedEnvironment environment;
    environment.set("KZ_BUDGET_ROW", std::to_string(row));
    environment.set("KZ_TEST_OUTPUT", kz::test::output_dir() + "/budget-row");
    // With AddressSanitizer, freed blocks are taken again at once, as the C library's allocator takes them.
    environment.set("ASAN_OPTIONS", std::string(std::getenv("ASAN_OPTIONS") ?: "") + ":quarantine_size_mb=0");
    return std::system((kz::test::self_path() + " --gtest_filter=HostileModels.Budgets* >" + log + " 2>&1").c_str());
}

class HostileModels : public DocumentTest {
protected:
    // The key the user saves with, as the main window hands it to the view.
    void press_ctrl_s() {
        XView* const kept = g_view;
        g_view = view;
        kz::platform::set_forced_key_state(kz::platform::VK_CONTROL, 1);
        MainWindowProc(parent_window, kz::platform::WM_KEYDOWN, 'S', 0);
        kz::platform::set_forced_key_state(kz::platform::VK_CONTROL, -1);
        g_view = kept;
    }
};

TEST_F(HostileModels, BudgetsStopAnOpenAndKeepWhatItRead) {
    const std::string dir = fresh_folder("budgets");
    const std::string self = windows_form(dir + "/self.fig");
    std::string fan[5];
    for (int level = 0; level < 5; ++level) {
        for (int i = 0; i < 10; ++i)
            fan[level] +=
                trunk_line("f" + std::to_string(i), "#frefer=fan" + std::to_string(level + 1) + ".fig") + "\r\n";
        write_file(dir + "/fan" + std::to_string(level) + ".fig", fan[level]);
    }
    write_file(dir + "/fan5.fig", lines({shape_line("leaf")}));
    // One unit naming itself in eight spellings: as written, the self-reference guard saw eight units.
    std::string spellings;
    int n = 0;
    for (const std::string& s :
         {std::string("self.fig"), std::string("SELF.FIG"), std::string(".\\self.fig"), std::string("sub\\..\\self"),
          "file:ab" + self, "file:__" + self, "file:.." + self, "file://" + self})
        spellings += trunk_line("s" + std::to_string(n++), "#frefer=" + s) + "\r\n";
    write_file(dir + "/self.fig", spellings);
    // Two grid copies of 10,000 cells, the second copying the first's whole tree: 10^8 items asked for.
    const std::string dup = "dup,1,1,0,0,0,0,100,100,1,0,0,0,0,0,0,0,0,1";
    write_file(dir + "/grid.fig", lines({trunk_line("a"), "{", trunk_line("b"), dup, "}", dup}));
    write_file(dir + "/shapes.fig", lines({trunk_line("a"), shape_line("1"), shape_line("2"), shape_line("3"), dup}));
    // Fewer shapes than the budget allows, in two units, but more memory.
    std::string boxes;
    for (int i = 0; i < 900; ++i) boxes += shape_line("b" + std::to_string(i)) + "\r\n";
    write_file(dir + "/boxes.fig", boxes);
    write_file(dir + "/memory.fig", lines({trunk_line("first", "#frefer=boxes.fig"),
                                           trunk_line("second", "#frefer=boxes.fig"), shape_line("last")}));
    // Four unit files (the opened one and three below it), three items and three shapes.
    write_file(dir + "/one.fig", lines({shape_line("leaf")}));
    write_file(dir + "/three.fig", lines({trunk_line("a", "#frefer=one.fig"), trunk_line("b", "#frefer=one.fig"),
                                          trunk_line("c", "#frefer=one.fig")}));
    // A line of exactly the longest length a figure line may have, and one a byte longer.
    const auto padded = [](const std::string& line, std::size_t length) {
        return line + std::string(length - line.size(), ',');
    };
    const std::size_t longest = kMaxFigureLineBytes;
    write_file(dir + "/long.fig", lines({padded(trunk_line("at"), longest), padded(trunk_line("over"), longest + 1),
                                         trunk_line("after")}));
    // Units over "http:" for a download budget of 100,000 bytes: one shape and blank lines up to the size; a large
    // one arrives in many pieces. "/stream/" sends a unit without announcing its length.
    const std::string served = fresh_folder("budgets-served");
    UnitServer server(served, served + "/requests.log");
    ASSERT_GT(server.port(), 0);
    const std::pair<const char*, std::size_t> units[] = {
        {"small", 2000}, {"large", 200000}, {"twice", 60000}, {"unit", 60000}};
    const auto serve = [&](const char* name, const std::string& line, std::size_t size) {
        write_file(served + "/" + name + ".fig", line + "\r\n" + std::string(size - line.size() - 2, '\n'));
    };
    for (const auto& [unit, size] : units) serve(unit, shape_line(unit), size);
    const auto remote = [&](const std::string& path) { return server.url(path).insert(0, "#frefer="); };
    // A model read over "http:" whose download and its unit's pass the budget together, neither alone.
    serve("remote", trunk_line("a", remote("/unit.fig")), 60000);
    // One unit announced a byte over what one transfer takes (a sparse file: no disk, no memory).
    {
        std::ofstream(served + "/huge.fig").close();
        fs::resize_file(served + "/huge.fig", kz::platform::kMaxDownloadBytes + 1);
    }
    for (const auto& [model, a, b] : {std::tuple("announced", "/small.fig", "/large.fig"),
                                      {"streamed", "/stream/small.fig", "/stream/large.fig"},
                                      {"cached", "/twice.fig", "/twice.fig"},
                                      {"huge", "/huge.fig", "/small.fig"}})
        write_file(dir + "/" + model + ".fig", lines({trunk_line("a", remote(a)), trunk_line("b", remote(b))}));
    const LoadGuard::Budget downloads = {300, 3000, 2000, std::uint64_t(1) << 40, 100000};
    const LoadGuard::Budget unit_ends = {300, 3000, 2000, 1 << 20, kMaxOpenDownloadBytes, std::chrono::hours(1)};
    // A picture whose header asks for 4096 x 4096 pixels (128 MiB decoded) and a drawing of 2 MiB of lines: the
    // budget is weighed before they are made, and the stop names them.
    std::string big = "BM" + std::string(8, '\0') + std::string("\x36\0\0\0\x28\0\0\0", 8);
    for (int side = 0; side < 2; ++side) big += std::string("\0\x10\0\0", 4);
    write_file(dir + "/big.bmp", big + std::string("\x01\0\x18\0", 4) + std::string(24, '\0'));
    // The same rows top-down (a negative height), and an icon (read by its content, whatever its name) whose
    // directory says 16 x 16 while it holds a PNG of 6000 x 6000 pixels: what they hold is weighed, and the stop
    // names them.
    std::string top_down = big;
    top_down[23] = '\xF0', top_down[24] = top_down[25] = '\xFF';  // -4096
    write_file(dir + "/topdown.bmp", top_down + std::string("\x01\0\x18\0", 4) + std::string(24, '\0'));
    const std::string icon = fresh_folder("budgets-icon") + "/icon.py";
    write_file(icon,
               "import io, struct, sys\nfrom PIL import Image\nf = io.BytesIO()\n"
               "Image.new('RGB', (6000, 6000)).save(f, 'PNG')\npng = f.getvalue()\n"
               "open(sys.argv[1], 'wb').write(struct.pack('<HHHBBBBHHII', 0, 1, 1, 16, 16, 0, 0, 1, 32, "
               "len(png), 22) + png)\n");
    ASSERT_EQ(std::system(("/usr/bin/python3 " + icon + " " + dir + "/icon.png").c_str()), 0);
    std::string dxf = "0\nSECTION\n2\nENTITIES\n";
    while (dxf.size() < (std::size_t(2) << 20)) dxf += "0\nLINE\n8\n1\n10\n0\n20\n0\n11\n50\n21\n50\n";
    write_file(dir + "/lines.dxf", dxf + "0\nENDSEC\n0\nEOF\n");
    const std::string pasted = "box,0,0,0,,,,,,,,,,100,100,100,,,,,,,,,,,,,,";
    for (const char* picture : {"big", "topdown", "icon"})
        write_file(dir + "/" + picture + ".fig",
                   lines({trunk_line("a"), pasted + "p,,A;1;" + picture + (picture[0] == 'i' ? ".png|" : ".bmp|")}));
    write_file(dir + "/drawing.fig", lines({trunk_line("a"), pasted + "d,,A;1;lines.dxf|"}));
    // Memory the program held before the open is not the open's: twice the budget of the row that may not stop.
    const std::uint64_t memory_budget = std::uint64_t(64) << 20;
    const std::vector<char> held_before(2 * memory_budget, 1);
    const struct {
        const char* file;
        const char* stop;  // the budget named in the one line (null: none is reached)
        int items;         // items kept (-1: not checked)
        // The budgets of an open, smaller than a viewer's so that the test runs quickly.
        LoadGuard::Budget budget = {300, 3000, 2000, std::uint64_t(1) << 40};
        long long downloaded = 0;  // bytes the open's transfers brought (-1: not checked)
        // Run alone in a new process of this program, where memory is the resident size (the road of the program
        // users run) and no memory freed before is there to be taken again.
        bool fresh = false;
        const char* said = nullptr;  // a line the open gives besides (null: not checked)
    } cases[] = {{"fan0.fig", "unit files", -1},
                 {"self.fig", nullptr, 8 + 8 * 8},
                 {"grid.fig", "items", 3001},  // the item that passed the budget stays with the rest
                 {"shapes.fig", "shapes", -1},
                 {"memory.fig", "MiB of memory", -1, {300, 3000, 2000, std::uint64_t(1) << 20}, 0, true},
                 // The same looking at the memory only where a unit ends, however quickly it was read.
                 {"memory.fig", "MiB of memory", -1, unit_ends, 0, true},
                 {"big.fig", "big.bmp: open stopped: more than 64 MiB", -1, {300, 3000, 2000, memory_budget}},
                 {"topdown.fig", "topdown.bmp: open stopped: more than 64 MiB", -1, {300, 3000, 2000, memory_budget}},
                 {"icon.fig", "icon.png: open stopped: more than 64 MiB", -1, {300, 3000, 2000, memory_budget}},
                 {"drawing.fig", "lines.dxf: open stopped: more than 1 MiB", -1, {300, 3000, 2000, 1 << 20}},
                 {"memory.fig", nullptr, 2, {300, 3000, 2000, memory_budget}},
                 // Each count at exactly its budget, and one over it.
                 {"three.fig", nullptr, 3, {4, 3, 3, std::uint64_t(1) << 40}},
                 {"three.fig", "unit files", -1, {3, 3, 3, std::uint64_t(1) << 40}},
                 {"three.fig", "items", -1, {4, 2, 3, std::uint64_t(1) << 40}},
                 {"three.fig", "shapes", -1, {4, 3, 2, std::uint64_t(1) << 40}},
                 {"long.fig", nullptr, 2},
                 // An announced length past what is left is refused before any of its body lands; a length
                 // learnt only on the way stops at the budget; a cached copy costs nothing.
                 {"announced.fig", "100000 bytes downloaded", 2, downloads, 2000},
                 {"streamed.fig", "100000 bytes downloaded", 2, downloads, -1},
                 {"cached.fig", nullptr, 2, downloads, 60000},
                 // The model's own download counts as its units' do ("/": a file the server serves).
                 {"/remote.fig", "100000 bytes downloaded", 1, downloads, 60000},
                 // Under the viewer's own budgets, a unit too large for one transfer is refused by name alone.
                 {"huge.fig", nullptr, 2, {}, 0, false, "huge.fig: download failed (larger than 256 MiB, refused)"}};
    const std::string cache = kz::platform::to_native_path(view->document.work_folder);
    const char* const only_row = std::getenv("KZ_BUDGET_ROW");
    if (only_row) {
        kz::platform::set_memory_by_resident_size_for_testing(true);
        // What the process's first open sets up once (the modeller, its fonts) is not the row's.
        view->OpenModelFile(windows_form(dir + "/one.fig").c_str(), 1);
    }
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& c = cases[row];
        if (only_row && std::to_string(row) != only_row) continue;
        SCOPED_TRACE(c.file);
        if (c.fresh && !only_row) {
            const std::string log = fresh_folder("budget-row") + "/output.txt";
            EXPECT_EQ(run_budget_row_alone(row, log), 0) << read_all(log).substr(0, 4000);
            continue;
        }
        view->document.guard.budget = c.budget;
        testing::internal::CaptureStderr();
        const std::string opened = c.file[0] == '/' ? server.url(c.file) : windows_form(dir + "/" + c.file);
        EXPECT_EQ(view->OpenModelFile(opened.c_str(), 1), 1);
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(count_of(errors, "open stopped"), c.stop ? 1 : 0) << errors.substr(0, 2000);
        EXPECT_EQ(count_of(errors, "open \"{\" block"), 0) << "the blocks a stop leaves open are no fault of the file";
        if (c.said) {
            EXPECT_EQ(count_of(errors, c.said), 1) << errors.substr(0, 2000);
        }
        if (c.stop) {
            EXPECT_NE(errors.find("more than "), std::string::npos);
            EXPECT_NE(errors.find(c.stop), std::string::npos) << errors.substr(0, 2000);
        }
        ASSERT_GT(view->trunk_count(), 1) << "what was read stays";
        if (c.items >= 0) {
            EXPECT_EQ(view->trunk_count() - 1, c.items);
        }
        if (c.downloaded >= 0) {
            EXPECT_EQ(view->document.guard.downloaded(), std::uint64_t(c.downloaded));
        }
        // A dropped transfer leaves nothing in the cache.
        for (const auto& [path, bytes] : files_below(cache)) EXPECT_EQ(path.find(".part-"), std::string::npos) << path;
        if (!c.stop) continue;
        // A file the stop cut short is never written back: one edit of the first item and Ctrl+S leave every
        // file as it was.
        const std::map<std::string, std::string> before = files_below(dir);
        const double to[3] = {125.5, 0, 0};
        view->TrunkAt(1)->SetPlacement(to, nullptr);
        press_ctrl_s();
        std::vector<std::string> changed;
        for (const auto& [path, bytes] : files_below(dir))
            if (!before.count(path) || before.at(path) != bytes) changed.push_back(path);
        EXPECT_TRUE(changed.empty()) << changed.front();
    }
    // After its open the model keeps its budget (a sound or a picture it asks for later): a fetch past what is left
    // is refused with its line and stops nothing, a file merged into the model joins its budget, and the next model
    // starts afresh.
    view->document.guard.budget = downloads;
    const std::string later = server.url("/later.fig");
    write_file(served + "/later.fig", std::string(40000, '\n'));
    view->document.force_download = 1;
    char local[2048] = {};
    testing::internal::CaptureStderr();
    view->OpenModelFile(windows_form(dir + "/one.fig").c_str(), 1);
    const int fetched[] = {view->ResolveDataPath(server.url("/large.fig").c_str(), local),
                           view->ResolveDataPath(later.c_str(), local), view->ResolveDataPath(later.c_str(), local),
                           view->ResolveDataPath(later.c_str(), local)};
    view->OpenModelFile(windows_form(dir + "/one.fig").c_str(), 0);
    const int merged = view->ResolveDataPath(later.c_str(), local);
    view->OpenModelFile(windows_form(dir + "/one.fig").c_str(), 1);
    const int afresh = view->ResolveDataPath(later.c_str(), local);
    const std::string errors = testing::internal::GetCapturedStderr();
    view->document.force_download = 0;
    EXPECT_EQ(std::vector<int>(std::begin(fetched), std::end(fetched)), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(merged, 0) << errors;
    EXPECT_EQ(afresh, 1) << errors;
    EXPECT_EQ(count_of(errors, "large.fig: download refused: the model's downloads since its open would pass 100000"),
              1)
        << errors;
    EXPECT_EQ(count_of(errors, "later.fig: download refused"), 2) << errors;
    EXPECT_EQ(count_of(errors, "open stopped"), 0) << errors;
}

TEST_F(HostileModels, DeepBlocksAreCutAtTheirLimit) {
    const std::string dir = fresh_folder("deep");
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "trunk\r\n{\r\n";
    write_file(dir + "/deep.fig", text + shape_line("bottom") + "\r\n");
    testing::internal::CaptureStderr();
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/deep.fig").c_str()), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(errors, "nested deeper than 256"), 1) << errors;
    EXPECT_EQ(view->trunk_count(), 10001) << "every item is read, the deeper ones at the limit";
    int depth = 0;
    for (const XTrunk* t = view->document.trunks.back(); t->parent; t = t->parent) ++depth;
    EXPECT_LE(depth, kMaxBlockNesting);
    view->Redraw(1);  // the frame's walks over the whole tree
}

TEST_F(HostileModels, NumbersAtTheEdgesOfTheirRangeReadSafely) {
    const std::string dir = fresh_folder("numbers");
    std::string text = "set,shadow_month,-2147483648,1\r\nset,shadow_trans,1e200\r\n";
    for (const char* v : {"nan", "inf", "1e308", "-1e308"})
        text += "trunk" + std::string(19, ',') + v + "," + v + std::string(9, ',') + "n" + v + "\r\n";
    write_file(dir + "/numbers.fig", text);
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/numbers.fig").c_str()), 1);
    EXPECT_EQ(tree(), "nnan() ninf() n1e308() n-1e308()");
    EXPECT_EQ(view->settings.shadow_date, 90) << "month INT_MIN wraps to April";
}

TEST_F(HostileModels, PipesDevicesAndHugeFilesAreRefused) {
    const std::string dir = fresh_folder("special");
    ASSERT_EQ(::mkfifo((dir + "/pipe.fig").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir + "/pipe.png").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir + "/zero.fig");
    for (const char* huge : {"/huge.fig", "/huge.mpw"})
        fs::resize_file((std::ofstream(dir + huge), dir + huge), (std::uintmax_t(256) << 20) + 1);
    // A picture whose header asks for 9000 x 9000 pixels: a BMP file header and an info header, 24 bits a pixel.
    std::string wide = "BM" + std::string(8, '\0') + std::string("\x36\0\0\0\x28\0\0\0", 8);
    for (int side = 0; side < 2; ++side) wide += std::string("\x28\x23\0\0", 4);
    write_file(dir + "/wide.bmp", wide + std::string("\x01\0\x18\0", 4) + std::string(24, '\0'));
    const std::string pasted = "box,0,0,0,,,,,,,,,,100,100,100,,,,,,,,,,,,,,";
    write_file(dir + "/model.fig",
               lines({trunk_line("pipe", "#frefer=pipe.fig"), trunk_line("zero", "#frefer=zero.fig"),
                      trunk_line("huge", "#frefer=huge.fig"), trunk_line("pictured"), pasted + "b,,A;1;pipe.png|",
                      pasted + "w,,A;1;wide.bmp|", pasted + "d,,A;1;huge.mpw|"}));
    testing::internal::CaptureStderr();
    ASSERT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(tree(), "pipe() zero() huge() pictured(b;w;d)");
    EXPECT_EQ(count_of(errors, "not a regular file"), 3) << errors;
    EXPECT_EQ(count_of(errors, "pipe.png: picture not read: not a regular file"), 1) << errors;
    EXPECT_EQ(count_of(errors, "huge.fig: unit file cannot be read: larger than 256 MiB"), 1) << errors;
    // Each refusal names its file and why, once.
    EXPECT_EQ(count_of(errors, "huge.mpw: drawing larger than 256 MiB, not pasted"), 1) << errors;
    EXPECT_EQ(count_of(errors, "wide.bmp: image of 9000 x 9000 pixels, more than the 67108864 (8192 x 8192)"), 1)
        << errors;
}

TEST_F(HostileModels, TheCacheNeverWritesOutsideItself) {
    // The cache sits seven folders below the test's own, so that names climbing out land inside the test.
    const fs::path top = fresh_folder("cache-walk");
    const fs::path work = top / "a/b/c/d/e/f/work";
    const std::string served = fresh_folder("cache-walk-served");
    UnitServer server(served, served + "/requests.log");
    ASSERT_GT(server.port(), 0);
    for (const char* file : {"PWNED.fig", "evil/x.fig", "victim.fig", "sub/x.fig", "x.fig"})
        write_file(served + "/" + file, "box\r\n");
    view->document.work_folder = windows_form(work.string());
    const fs::path host = work / "http" / ("127.0.0.1_" + std::to_string(server.port()));
    fs::create_directories(host);
    fs::create_directory_symlink(top / "a", host / "evil");
    fs::create_symlink(top / "a" / "victim.fig", host / "victim.fig");
    const std::set<std::string> before = listing(top, work / "http");
    // The escape of names CP932 cannot hold, for ".", "/" and "\": once they decoded to real separators.
    auto escaped = [](char32_t c) {
        std::u16string pair{static_cast<char16_t>(0xE000 + c / 940), static_cast<char16_t>(0xE000 + 940 + c % 940)};
        return kz::platform::utf16_to_cp932(pair);
    };
    std::string six_dots;
    for (int i = 0; i < 6; ++i) six_dots += escaped('.') + escaped('.') + "/";
    const std::string names[] = {
        "/" + six_dots + "PWNED.fig",
        "/" + escaped('.') + escaped('.') + escaped('/') + escaped('.') + escaped('.') + escaped('\\') + "PWNED.fig",
        "/../../../../../../PWNED.fig",
        "\\..\\..\\..\\..\\..\\..\\PWNED.fig",
        "/sub\\..\\..\\..\\..\\..\\..\\..\\PWNED.fig",
        "/%2e%2e/%2e%2e/%2e%2e/PWNED.fig",
        "/evil/x.fig",
        "/EVIL/x.fig",
        "/victim.fig",
        "/sub/./x.fig",
        "//x.fig",
        "/x.fig?a=/../../PWNED.fig",
    };
    for (const std::string& name : names) {
        std::string url = server.url("") + name;
        char local[2048] = {};
        view->ResolveDataPath(url.data(), local);
        EXPECT_EQ(listing(top, work / "http"), before) << name;
        if (*local) {
            const std::string native = kz::platform::to_native_path(local);
            EXPECT_EQ(native.rfind((work / "http").string(), 0), 0u) << name << " -> " << native;
        }
    }
    EXPECT_FALSE(fs::exists(top / "a" / "x.fig"));
    EXPECT_FALSE(fs::exists(top / "a" / "victim.fig"));
}

TEST_F(HostileModels, ClosingTheWindowEndsASlowDownload) {
    const std::string dir = fresh_folder("slow");
    const std::string log = dir + "/requests.log";
    UnitServer server(dir, log);
    ASSERT_GT(server.port(), 0);
    write_file(dir + "/model.fig", lines({trunk_line("slow", "#frefer=" + server.url("/slow/unit.fig")),
                                          trunk_line("after", "#frefer=" + server.url("/slow/second.fig"))}));
    // The user closes the window while the first unit trickles in, a byte every half second.
    std::atomic<bool> done{false};
    std::thread closer([&] {
        while (!done && std::ifstream(log).peek() == std::ifstream::traits_type::eof())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kz::platform::post_message(parent_window, kz::platform::WM_CLOSE, 0, 0);
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    done = true;
    closer.join();
    EXPECT_EQ(count_of(errors, "open stopped: the window was closed during a download"), 1) << errors;
    EXPECT_EQ(count_of(errors, "kzview: "), 1) << errors;
    // The close was held while the transfer waited and goes on to the window now.
    EXPECT_TRUE(received(kz::platform::WM_CLOSE).empty());
    for (int i = 0; i < 20 && received(kz::platform::WM_CLOSE).empty(); ++i) kz::platform::pump_messages();
    EXPECT_EQ(received(kz::platform::WM_CLOSE).size(), 1u);
    // The server saw the transfer end, and the second unit was never asked for.
    std::string requests;
    for (int i = 0; i < 100 && requests.find("ended") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        requests = read_all(log);
    }
    EXPECT_NE(requests.find("/slow/unit.fig ended"), std::string::npos) << requests;
    EXPECT_EQ(requests.find("second.fig"), std::string::npos) << requests;
}

}  // namespace
}  // namespace kz::view::test
