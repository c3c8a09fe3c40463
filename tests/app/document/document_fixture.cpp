// The figure-file test fixture: the view, record line makers, the tree description and the loopback server.
#include "document_fixture.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/global_memory.h"
#include "platform/dialogs.h"
#include "platform/file_in_use.h"
#include "platform/file_system.h"
#include "tests/support/test_paths.h"

namespace kz::view::test {

namespace plat = kz::platform;
namespace fs = std::filesystem;

namespace {

std::string describe(const XTrunk* t) {
    const kz::scene::COBJECTA* r = t->base_record();
    std::string out = r && r->name ? r->name : "?";
    out += "(";
    for (int i = 1; i < t->part_count(); ++i) {
        const kz::scene::COBJECTA* p = t->parts[i]->record;
        out += std::string(i > 1 ? ";" : "") + (p && p->name ? p->name : "?");
    }
    out += ")";
    if (!t->children.empty()) {
        out += "{";
        for (std::size_t i = 0; i < t->children.size(); ++i) out += (i ? " " : "") + describe(t->children[i]);
        out += "}";
    }
    return out;
}
}  // namespace

void DocumentTest::SetUp() {
    ViewTest::SetUp();
    view->document.work_folder = windows_form(
        fresh_folder(std::string("work-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

void SaveTest::SetUp() {
    DocumentTest::SetUp();
    plat::set_dialog_test_mode(true);
    plat::take_dialog_test_log();
}

void SaveTest::TearDown() {
    plat::set_write_capacity_for_tests(-1);
    plat::set_in_use_wait_for_tests(std::chrono::milliseconds(-1));
    plat::set_dialog_test_mode(false);
    DocumentTest::TearDown();
}

int SaveTest::open(const std::string& posix_path) {
    view->camera.immediate_eye_move = 1;
    return view->OpenModel(windows_form(posix_path).c_str());
}

int pixels_near(XView* view, int w, int h, int red, int green, int blue, int tolerance) {
    view->Redraw(0);
    kz::crt::GlobalHandle dib = view->RenderToDib(w, h);
    if (!dib) return -1;
    const auto* bytes = static_cast<const std::uint8_t*>(kz::crt::global_lock(dib));
    const int stride = (w * 3 + 3) & ~3;
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = bytes + 40 + y * stride + 3 * x;
            n += std::abs(p[2] - red) <= tolerance && std::abs(p[1] - green) <= tolerance &&
                 std::abs(p[0] - blue) <= tolerance;
        }
    kz::crt::global_unlock(dib);
    kz::crt::global_free(dib);
    return n;
}

std::string DocumentTest::tree() const {
    std::string out;
    const XTrunk* root = view->document.trunks.empty() ? nullptr : view->document.trunks[0];
    if (!root) return out;
    for (std::size_t i = 0; i < root->children.size(); ++i) out += (i ? " " : "") + describe(root->children[i]);
    return out;
}

void load_text(XView* view, std::string text) {
    view->NewModel();
    view->PushReferenceLevel(view->document.trunks[0], "");
    view->ApplyFigureText(text.data());
}

void feed(XView* view, std::string text, bool without_item) {
    view->NewModel();
    view->TruncateReferenceStack(1);
    view->PushReferenceLevel(view->document.trunks[0], "");
    view->ApplyFigureLine("{", 0);
    if (without_item) view->document.current_trunk_index = -1;
    view->ApplyFigureText(text.data());
}

std::string trunk_line(const std::string& name, const std::string& attributes) {
    return "trunk" + std::string(29, ',') + name + ",," + attributes;
}

std::string shape_line(const std::string& name, const std::string& kind) {
    return kind + ",0,0,0" + std::string(10, ',') + "100,100,100" + std::string(14, ',') + name;
}

std::string fresh_folder(const std::string& name) {
    const fs::path p = fs::path(kz::test::output_dir()) / "document" / name;
    std::error_code ec;
    fs::remove_all(p, ec);
    fs::create_directories(p);
    return p.string();
}

void write_file(const std::string& posix_path, const std::string& bytes) {
    fs::create_directories(fs::path(posix_path).parent_path());
    std::ofstream out(posix_path, std::ios::binary);
    out << bytes;
}

std::string windows_form(const std::string& posix_path) { return plat::from_native_path(posix_path); }

std::map<std::string, std::string> files_below(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[e.path().string()] = read_all(e.path().string());
    return out;
}

XTrunk* find_item(const XView* view, const char* name) {
    for (XTrunk* t : view->document.trunks) {
        const kz::scene::COBJECTA* r = t ? t->base_record() : nullptr;
        if (r && r->name && std::string(r->name) == name) return t;
    }
    return nullptr;
}

std::string lines(std::initializer_list<std::string> list, const char* end) {
    std::string out;
    for (const std::string& l : list) out += l + end;
    return out;
}

void write_multi_unit_model(const std::string& dir, const std::string& elsewhere, const std::string& served,
                            const std::string& remote_url) {
    write_file(dir + "/model.fig",
               lines({"set,haikei,255,128,0", "set,sun amb,0.5", "set,eye point,100,200,300,1,2,3,40",
                      "// before the first item", trunk_line("house", "#frefer=parts\\house.fig"),
                      trunk_line("lamp A", "#frefer=parts\\lamp"), trunk_line("lamp B", "#frefer=parts/lamp.fig"),
                      trunk_line("remote", "#frefer=" + remote_url),
                      trunk_line("far", "#frefer=file://" + windows_form(elsewhere) + "\\far.fig"),
                      trunk_line("loop", "#frefer=parts\\loop.fig"), trunk_line("group"), "{", shape_line("inner box"),
                      "set,sun amb,0.9", "}"}));
    write_file(dir + "/parts/house.fig",
               lines({"set,haikei,9,9,9", shape_line("wall"), trunk_line("door", "#frefer=door.fig")}, "\n"));
    write_file(dir + "/parts/door.fig", shape_line("door leaf"));
    write_file(dir + "/parts/lamp.fig", lines({shape_line("bulb", "ball")}));
    write_file(dir + "/parts/loop.fig", lines({shape_line("loop box"), trunk_line("inner loop", "#frefer=LOOP.fig")}));
    write_file(served + "/units/remote.fig", lines({shape_line("remote box")}));
    write_file(elsewhere + "/far.fig", lines({shape_line("far box")}));
}

UnitServer::UnitServer(const std::string& root, const std::string& log) : LoopbackServer({root, log}) {}

}  // namespace kz::view::test
