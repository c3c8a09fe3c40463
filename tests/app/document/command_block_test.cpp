// The command block other programs hand the view: its command lines, the figure text after an "ExelData"
// header, and the exchange over the clipboard with the sender's answers, also when there is no block.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/document/view_messages.h"
#include "app/foundation/bus_mdl.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"
#include "platform/clipboard.h"

namespace kz::view::test {
namespace {

namespace plat = kz::platform;

class CommandBlock : public DocumentTest {
public:
    // Items 1 "a", 2 "b", 3 "c" (part door) with its child 4 "d".
    void load() {
        load_text(view, trunk_line("a") + "\n" + trunk_line("b") + "\n" + trunk_line("c") + "\n" + shape_line("door") +
                            "\n{\n" + trunk_line("d") + "\n}\n");
    }
    kz::scene::COBJECTA* base(int i) { return view->document.trunks.at(static_cast<std::size_t>(i))->base_record(); }
};

TEST_F(CommandBlock, CommandLines) {
    const struct {
        const char* block;
        const char* tree;  // the items after it
    } cases[] = {
        {"Delete,3\r\nDelete,0\r\nDelete,9\r\nDisp\r\n", "a() b()"},
        {"Move,2,100,0,0,0,0,90,|hit,x|sa,door;rz;45;\nMove,99,5\nMove,4,7,|sa,door;rz;1;", "a() b() c(door){d()}"},
        {"Atr,4,|kind,chair,\nAtr,-1,|kind,x,", "a() b() c(door){d()}"},
        {"Jimaku,1:hello\nMakeMatrix\nUnknown,1\n", "a() b() c(door){d()}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        load();
        int a = 5, b = 6;
        view->ExecExelData(c.block, &a, &b);
        EXPECT_EQ(tree(), c.tree);
        EXPECT_EQ(a, 5);  // without a header the outputs stay
        EXPECT_EQ(b, 6);
    }
    // What the Move and Atr lines set, and the caption.
    load();
    view->ExecExelData("Move,2,100,0,0,0,0,90,|sa,door;rz;45;\nAtr,4,|kind,chair,\nJimaku,1:hello", nullptr, nullptr);
    EXPECT_EQ(base(2)->dx, 100.0);
    EXPECT_EQ(base(2)->rz, 90.0);
    EXPECT_EQ(view->document.trunks[3]->parts.at(1)->record->rz, 45.0);
    char kind[64] = {};
    view->document.trunks[4]->GetAttribute("kind", kind, sizeof kind);
    EXPECT_STREQ(kind, "chair");
    EXPECT_STREQ(view->output.bridge->labels[1].text, "hello");
}

TEST_F(CommandBlock, FigureTextAfterTheHeaderAndTheSendersAnswers) {
    load();
    const unsigned format = plat::register_clipboard_format("exeldata-3");
    const struct {
        std::optional<std::string> block;  // none: the clipboard holds no block of that number
        long long first, second;           // the answers the sender gets, in order
    } cases[] = {
        // The lines after the header are figure text, the delete among them too.
        {"ExelData,7\r\n" + trunk_line("new") + "\r\n" + shape_line("lid") + "\r\nDelete,1\r\nDisp\r\n", 7, 5},
        {"Move,1,50\r\n", -1, -1},
        {std::nullopt, -2, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block.value_or("(no block)"));
        parent_log().clear();
        if (c.block)
            ASSERT_TRUE(plat::set_clipboard_data(format, *c.block));
        else
            plat::empty_clipboard();
        testing::internal::CaptureStderr();
        plat::send_message(view->output.view_window[0], UM_EXELDATA, plat::handle_to_wparam(parent_window), 3);
        const std::string said = testing::internal::GetCapturedStderr();
        const auto answers = received(UM_EXELDATA);
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(static_cast<long long>(answers[0].wparam), c.first);
        EXPECT_EQ(answers[0].lparam, c.second);
        // A missing block is said once, by its name; a block that is there runs without a word.
        EXPECT_EQ(said, c.block ? "" : "kzview: command block exeldata-3: not on the clipboard, nothing run\n");
    }
    EXPECT_EQ(tree(), "a() b() c(door){d()} new(lid)");
    EXPECT_EQ(base(1)->dx, 50.0);
    view->ExecExelData("ClipClear", nullptr, nullptr);
    EXPECT_FALSE(plat::clipboard_has_format(format));
}

}  // namespace
}  // namespace kz::view::test
