// Bringing things into the model: items copied to the clipboard and pasted back, a pasted path, bang records, a
// file added as a referenced unit, items replaced by a file or the clipboard, and a host program's drop; each
// seen in the item tree and in a frame rendered off screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "app/document/view_messages.h"
#include "app/foundation/eye_record.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "app/view/command_channel.h"
#include "document_fixture.h"
#include "platform/clipboard.h"
#include "platform/crt/global_memory.h"
#include "platform/local_channel.h"
#include "platform/message_loop.h"
#include "platform/window.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

// A box 200 on each side centred on x, 0 in plan, in one plain colour.
std::string colored_box(const std::string& name, int red, int green, int blue, int x = 0) {
    return "box," + std::to_string(x) + ",0,0" + std::string(10, ',') + "200,200,200,,,110,,,1," + std::to_string(red) +
           "," + std::to_string(green) + "," + std::to_string(blue) + ",,,,," + name;
}

std::string clipboard_text() { return plat::get_clipboard_data(plat::kClipboardText).value_or(""); }
void set_clipboard(const std::string& text) { plat::set_clipboard_data(plat::kClipboardText, text); }

class ClipboardPaste : public DocumentTest {
public:
    static constexpr int kW = 160, kH = 120;
    void SetUp() override {
        DocumentTest::SetUp();
        view->LayoutWindows(kW, kH);
        plat::set_forced_key_state(-1, -1);
    }
    void TearDown() override {
        plat::set_forced_key_state(-1, -1);
        DocumentTest::TearDown();
    }
    // Pixels of exactly that colour in a frame rendered off screen, the eye well away from the origin.
    // Opening a model brings its own light; the frame is lit plainly again first.
    int pixels_of(int red, int green, int blue) {
        view->settings.background_color = 0;
        // The sun's ambient alone, on top of the modeller's own 0.2: every face shows exactly its colour.
        view->settings.sun[0] = 0.8, view->settings.sun[1] = view->settings.sun[2] = 0.0;
        for (double& level : view->settings.head) level = 0.0;
        view->settings.shadow_display = 0;
        const double eye[3] = {1500, -2000, 1250}, target[3] = {0, 0, 0};
        // At once, which also ends the eye move an opened model started: it would carry the eye off later.
        view->AnimateEyeTo(target, 0, eye, 0.0, 0.0, 0.0, 0.0);
        view->camera.scene_radius = 0.0;
        if (XTrunk* root = view->document.trunks[0]) root->RecalcMatrices(1);
        return pixels_near(view, kW, kH, red, green, blue, 2);
    }
    // Opens model.fig with that text; the other files are written beside it first.
    std::string open_model(const std::string& text, const std::map<std::string, std::string>& others = {}) {
        const std::string dir = fresh_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        for (const auto& [name, bytes] : others) write_file(dir + "/" + name, bytes);
        write_file(dir + "/model.fig", text);
        view->camera.immediate_eye_move = 1;
        EXPECT_EQ(view->OpenModel(windows_form(dir + "/model.fig").c_str()), 1);
        return dir;
    }
};

TEST_F(ClipboardPaste, CopiedItemsPasteBackWithTheirSubtree) {
    open_model(lines({trunk_line("table"), colored_box("top", 255, 0, 0), "{", trunk_line("vase"),
                      colored_box("glass", 0, 0, 255, 400), "}", trunk_line("shelf")}));
    XTrunk* table = find_item(view, "table");
    table->base_record()->dx = 5000;  // far out of sight: only the copy, placed at the origin, shows
    table->RecalcMatrices(1);
    EXPECT_EQ(pixels_of(255, 0, 0), 0);
    view->CopyItemToClipboard(table->index, 1);
    const std::string text = clipboard_text();
    EXPECT_EQ(text.rfind("trunk\t0\t0\t0\t", 0), 0u) << text;  // the copy is at the origin
    EXPECT_NE(text.find("{\r\ntrunk\t"), std::string::npos) << text;
    EXPECT_EQ(table->base_record()->dx, 5000.0);

    view->PasteAsTrunk(find_item(view, "shelf")->index);
    EXPECT_EQ(tree(), "table(top){vase(glass)} shelf(){table(top){vase(glass)}}");
    EXPECT_GT(pixels_of(255, 0, 0), 50);
    EXPECT_GT(pixels_of(0, 0, 255), 50);

    // Shift keeps the item's own place in the copy.
    plat::set_forced_key_state(plat::VK_SHIFT, 1);
    view->CopyItemToClipboard(table->index, 0);
    EXPECT_EQ(clipboard_text().rfind("trunk\t5000\t", 0), 0u);
}

// A drive path and a POSIX path (as the desktop's programs copy one) each paste a reference to the file.
TEST_F(ClipboardPaste, APathOnTheClipboardPastesAReference) {
    for (const bool posix : {false, true}) {
        SCOPED_TRACE(posix);
        const std::string dir = open_model(lines({trunk_line("first")}));
        write_file(dir + "/lamp.fig", lines({trunk_line("lamp"), colored_box("shade", 0, 255, 0)}));
        set_clipboard("\r\n" + (posix ? dir + "/lamp.fig" : windows_form(dir + "/lamp.fig")) + "\r\n");
        view->OnViewMessage(nullptr, UM_VIEW_PASTE, 0, 0);
        ASSERT_EQ(tree(), "first() ReferF clip(){lamp(shade)}");
        EXPECT_TRUE(find_item(view, "ReferF clip")->HasFrefer());
        EXPECT_GT(pixels_of(0, 255, 0), 50);
        // Text that is neither figure text nor a path pastes nothing; nor does a name under one backslash.
        for (const char* text : {"just words", "\\lamp.fig"}) {
            set_clipboard(text);
            view->PasteFromClipboard();
            EXPECT_EQ(tree(), "first() ReferF clip(){lamp(shade)}");
        }
    }
}

TEST_F(ClipboardPaste, BangRecordsBecomeSmoothFlatPolygons) {
    open_model("");
    // Two faces meeting at 30 degrees along x = 0, one at 90 degrees along y = 0 (kept sharp), two degenerate
    // ones (all points on a line; too few points) and one far beyond the range of any grid of points.
    set_clipboard(lines({"!trunk", "!color,255,0,255", "!poly,4,-500,0,0,0,0,0,0,500,0,-500,500,0",
                         "!poly,4,0,0,0,433,0,250,433,500,250,0,500,0", "!poly,3,-500,0,0,0,0,0,0,0,500",
                         "!poly,3,0,0,0,1,1,1,2,2,2", "!poly,2,0,0,0,1,0,0", "!poly,3,1e30,0,0,1e30,9,0,1e30,0,9",
                         "!atr,material,plaster,,[a]kind,wall,,[a]"}));
    view->PasteFromClipboard();
    EXPECT_EQ(tree(), "3Dtop(){3Dsub(?;?;?;?)}");
    XTrunk* sub = view->document.trunks[view->document.trunks.size() - 1];
    char value[64];
    EXPECT_GE(sub->GetAttribute("material", value, sizeof value), 0);
    EXPECT_STREQ(value, "plaster");
    // The shared points of the first two faces carry the same world normal, halfway between theirs.
    auto normal_at = [&](int part, double x, double y, double z, double* n) {
        for (kz::scene::XLeaf* f : sub->parts[part]->faces())
            for (int i = 0; f->GetWorldPlane(nullptr, nullptr) && i < f->point_count(); ++i) {
                const auto p = f->world_point(i);
                if (std::fabs(p[0] - x) + std::fabs(p[1] - y) + std::fabs(p[2] - z) < 1e-6) {
                    const auto w = f->world_normal(i);
                    const double l = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
                    for (int k = 0; k < 3; ++k) n[k] = w[k] / l;
                    return true;
                }
            }
        return false;
    };
    double a[3], b[3], c[3];
    ASSERT_TRUE(normal_at(1, 0, 500, 0, a));
    ASSERT_TRUE(normal_at(2, 0, 500, 0, b));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-6);
    EXPECT_NEAR(a[2], std::cos(15 * M_PI / 180), 1e-5);  // through the text of the polygon column
    ASSERT_TRUE(normal_at(3, 0, 0, 0, c));               // the sharp corner keeps the face's own normal
    EXPECT_NEAR(std::fabs(c[1]), 1.0, 1e-6);
    EXPECT_NE(std::string(sub->parts[1]->record->poldat).find('|'), std::string::npos);
    EXPECT_GT(pixels_of(255, 0, 255), 50);
}

TEST_F(ClipboardPaste, AddedFilesAndReplacedItems) {
    const std::string dir =
        open_model(lines({trunk_line("room", "#frefer=room.fig"), trunk_line("loose"),
                          colored_box("crate", 255, 0, 0, 600), "{", trunk_line("label"), "}"}),
                   {{"room.fig", lines({trunk_line("chair"), colored_box("seat", 0, 0, 255, -600)})},
                    {"sofa.fig", lines({trunk_line("sofa"), colored_box("cushion", 0, 255, 0)})}});
    EXPECT_EQ(tree(), "room(){chair(seat)} loose(crate){label()}");

    const int added = view->AddReferFile(windows_form(dir + "/sofa.fig").c_str());
    EXPECT_EQ(view->document.trunks[added], find_item(view, "ReferF sofa"));
    EXPECT_EQ(tree(), "room(){chair(seat)} loose(crate){label()} ReferF sofa(){sofa(cushion)}");
    EXPECT_GT(pixels_of(0, 255, 0), 50);
    view->DeleteTrunkTree(view->document.trunks[added], 1);

    // A file in place of an item: the item's name, place, attributes and children go to the replacement.
    XTrunk* loose = find_item(view, "loose");
    loose->base_record()->dx = 300;
    loose->SetAttribute("owner", "kim", "");
    const int sofa = view->ReplaceItemWithFile(loose->index, windows_form(dir + "/sofa.fig").c_str());
    EXPECT_EQ(tree(), "room(){chair(seat)} loose(cushion){label()}");
    XTrunk* replacement = view->document.trunks[sofa];
    ASSERT_EQ(replacement, find_item(view, "loose"));
    EXPECT_EQ(replacement->base_record()->dx, 300.0);
    char value[64];
    EXPECT_GE(replacement->GetAttribute("owner", value, sizeof value), 0);
    EXPECT_EQ(pixels_of(255, 0, 0), 0);
    EXPECT_GT(pixels_of(0, 255, 0), 50);

    // The clipboard in place of an item inside a unit: the unit keeps its other content.
    set_clipboard(lines({trunk_line("stool"), colored_box("stool top", 255, 255, 0)}));
    view->ReplaceItemWithFile(find_item(view, "chair")->index, nullptr);
    EXPECT_EQ(tree(), "room(){chair(stool top)} loose(cushion){label()}");
    EXPECT_GT(pixels_of(255, 255, 0), 50);
    // A file in place of an item inside a unit reads the unit again from that file.
    view->ReplaceItemWithFile(find_item(view, "chair")->index, windows_form(dir + "/sofa.fig").c_str());
    EXPECT_EQ(tree(), "room(){sofa(cushion)} loose(cushion){label()}");
}

// A host program drops a file on an item over the local socket: without keys it is added on the item, with Ctrl it
// replaces the item.
TEST_F(ClipboardPaste, DroppedFilesAddAndReplace) {
    const std::string dir = open_model(lines({trunk_line("floor"), "box,-2000,-2000,-10" + std::string(10, ',') +
                                                                       "4000,4000,10,,,,,,1,255,255,255,,,,,slab"}),
                                       {{"lamp.fig", lines({trunk_line("lamp"), colored_box("shade", 0, 255, 0)})},
                                        {"crate.fig", lines({trunk_line("crate"), colored_box("wood", 255, 0, 0)})}});
    pixels_of(0, 0, 0);  // places the eye
    const plat::Point centre = plat::client_to_screen(view->output.view_window[0], {kW / 2, kH / 2});
    // Each drop travels over the local socket from a program on another thread, as a host program sends it.
    const std::string channel = "kzdrop-" + std::to_string(getpid());
    ASSERT_TRUE(listen_for_programs(view, channel.c_str()));
    auto drop = [&](const std::string& file) {
        std::atomic<bool> done = false;
        std::thread host([&] {
            plat::ChannelClient client;
            if (client.connect(channel, 2000))
                client.send(plat::ChannelMessage{UM_VIEW_DROP, 0, plat::make_point_lparam(centre.x, centre.y),
                                                 windows_form(dir + "/" + file)});
            done = true;
        });
        const std::string before = tree();
        for (int i = 0; i < 2000 && (!done || tree() == before); ++i) {
            plat::pump_messages();
            plat::sleep_milliseconds(2);
        }
        host.join();
    };
    drop("lamp.fig");
    EXPECT_EQ(tree(), "floor(slab){lamp(shade)}");
    EXPECT_GT(pixels_of(0, 255, 0), 50);
    plat::set_forced_key_state(plat::VK_CONTROL, 1);
    drop("crate.fig");
    plat::set_forced_key_state(plat::VK_CONTROL, 0);
    EXPECT_EQ(tree(), "floor(slab){lamp(wood)}");  // the lamp was under the point; its name goes over
    EXPECT_GT(pixels_of(255, 0, 0), 50);
    EXPECT_EQ(pixels_of(0, 255, 0), 0);
    stop_listening_for_programs();
}

}  // namespace
}  // namespace kz::view::test
