// The document's readers against a hundred damaged copies of a good input each (the same copies on every run):
// a figure file opened, clipboard text pasted (figure text and bang records) and a command block from another
// program each leave an item tree whose indexes and parent links agree, and the good input afterwards gives the
// tree it gave first.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/clipboard.h"
#include "platform/file_system.h"
#include "tests/support/byte_mutations.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

// Each open or paste builds and places a model: a hundred copies per reader keep the run short; the fuzz
// harnesses go further.
constexpr int kMutations = 100;

// Every item sits at its index, under its parent's children, and its children point back to it.
bool tree_agrees(const XView* view) {
    const auto& trunks = view->document.trunks;
    for (std::size_t i = 0; i < trunks.size(); ++i) {
        const XTrunk* t = trunks[i];
        if (!t || t->index != static_cast<int>(i)) return false;
        if (i > 0 && (!t->parent || std::find(t->parent->children.begin(), t->parent->children.end(), t) ==
                                        t->parent->children.end()))
            return false;
        for (const XTrunk* c : t->children)
            if (c->parent != t) return false;
    }
    return true;
}

using ReaderMutations = DocumentTest;

TEST_F(ReaderMutations, DamagedInputsLeaveASoundTree) {
    const std::string dir = fresh_folder("mutations");
    const std::string model = dir + "/model.fig";
    std::string room;
    ASSERT_TRUE(plat::read_whole_file(sample_model_path(), &room));
    const std::string items = lines({trunk_line("a", "kind=chair"), "{", shape_line("seat"), shape_line("leg", "ball"),
                                     "}", trunk_line("b"), "{", trunk_line("c"), "}"});
    const unsigned block_format = plat::register_clipboard_format("exeldata-3");
    const std::string block =
        "Move,1,100,0,0,0,0,90,|sa,seat;rz;45;\r\nAtr,2,|kind,table,\r\nDelete,1\r\nDisp\r\nMakeMatrix\r\n"
        "ExelData,1\r\n" +
        items;
    auto paste = [&](const std::string& text) {
        view->NewModel();
        plat::set_clipboard_data(plat::kClipboardText, text);
        view->PasteFromClipboard();
    };
    const struct Family {
        const char* name;
        std::string good;
        std::function<void(const std::string&)> read;
    } families[] = {
        {"figure file", room,
         [&](const std::string& bytes) {
             write_file(model, bytes);
             view->OpenModelFile(windows_form(model).c_str(), 1);
         }},
        {"clipboard figure text", items, paste},
        {"clipboard bang records",
         "!trunk\r\n!color,255,0,0\r\n!poly,4,0,0,0,100,0,0,100,100,0,0,100,0\r\n!atr,kind,wall\r\n"
         "!poly,3,0,0,0,0,100,0,0,0,100\r\n!atr_layname,walls\r\n",
         paste},
        {"command block", block,
         [&](const std::string& bytes) {
             view->NewModel();
             view->PushReferenceLevel(view->document.trunks[0], "");
             std::string text = items;
             view->ApplyFigureText(text.data());
             plat::set_clipboard_data(block_format, bytes);
             view->ExchangeCommandBlock(3, [](std::int64_t, std::int64_t) {});
         }},
    };
    for (const Family& f : families) {
        SCOPED_TRACE(f.name);
        f.read(f.good);
        const std::string good_tree = tree();
        ASSERT_TRUE(tree_agrees(view));
        ASSERT_NE(good_tree, "");
        int i = 0;
        for (const std::string& bytes : kz::test::byte_mutations(f.good, kMutations, 20261207)) {
            SCOPED_TRACE(i++);
            f.read(bytes);
            ASSERT_TRUE(tree_agrees(view));
        }
        f.read(f.good);
        EXPECT_EQ(tree(), good_tree);
    }
}

}  // namespace
}  // namespace kz::view::test
