// The record interpreter on figure texts: record kinds, letter case and length gates, comment lines, levels and
// named blocks, line numbers, command blocks, templates and "notreal"; and the data-path cache names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"

namespace kz::view::test {
namespace {

using FigureRecords = DocumentTest;

// Feeds a text as a unit of the root, as a read of the opened file does; or with no current item.
void feed(XView* view, const std::string& text, bool without_item = false) {
    view->NewModel();
    view->TruncateReferenceStack(1);
    view->PushReferenceLevel(view->document.trunks[0], "");
    view->ApplyFigureLine("{", 0);
    if (without_item) view->document.current_trunk_index = -1;
    std::string copy = text;
    view->ApplyFigureText(copy.data());
}

TEST_F(FigureRecords, TextsBuildTheExpectedTree) {
    const struct {
        const char* name;
        std::string text;
        const char* expected;
    } cases[] = {
        {"kinds in any case, length gates",
         "TRUNK,,,,,,,,,,,,,,,,,,,,,,,,,,,,,a\nBox2,0,0,0,,,,,,,,,,1,1,1,,,,,,,,,,,,,,s\n"
         "trunks,1\nRefer,,,,,,,,,,,,,,,,,,,,,,,,,,,,,b\n",
         "a(s) b()"},
        {"nested blocks",
         trunk_line("a") + "\n{\n" + trunk_line("b") + "\n{\n" + trunk_line("c") + "\n}\n" + trunk_line("d") + "\n}\n" +
             trunk_line("e"),
         "a(){b(){c()} d()} e()"},
        {"named close ends every level above its open",
         trunk_line("a") + "\n{,outer\n" + trunk_line("b") + "\n{\n" + trunk_line("c") + "\n},outer\n" +
             trunk_line("d"),
         "a(){b(){c()}} d()"},
        {"close without a match stops at the text's own levels",
         trunk_line("a") + "\n{\n" + trunk_line("b") + "\n},nowhere\n}\n}\n" + trunk_line("c"), "a(){b()} c()"},
        {"blanks and commas only", " ,\t,, \n\n", ""},
        {"template copies",
         trunk_line("tmpl") + "\n" + shape_line("part") + "\npushref,T1\n" + "popref,5,0,0" + std::string(28, ',') +
             "A;0;T1\n",
         "tmpl(part) tmpl(part)"},
        {"notreal items go at the end of the open, their copies stay",
         "notreal\n" + trunk_line("ghost") + "\n" + shape_line("g") + "\npushref,G\nreal\n" + "popref,0,0,0" +
             std::string(28, ',') + "A;0;G\n",
         "ghost(g)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        feed(view, c.text);
        view->RemoveNotRealTrunks();
        std::string t = tree();
        // Generated names differ run to run; they all start "z-".
        for (std::size_t p; (p = t.find("z-")) != std::string::npos;) t.replace(p, t.find('(', p) - p, "z");
        EXPECT_EQ(t, c.expected);
    }
}

TEST_F(FigureRecords, CommentLinesAndLineNumbers) {
    // LF only and CR LF, blank lines counted alike.
    for (const char* end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(std::string(end) == "\n" ? "LF" : std::string(end) == "\r" ? "CR" : "CR LF");
        const std::string e = end;
        feed(view, "  // head" + e + trunk_line("a") + e + e + shape_line("s1") + e + "note" + e + e +
                       shape_line("s2") + e + "pose3,1,0,0,p" + e);
        const XTrunk* a = view->document.trunks[1];
        ASSERT_EQ(a->part_count(), 3);
        ASSERT_EQ(a->comment_lines.size(), 1u);
        EXPECT_STREQ(a->comment_lines[0], "  // head");  // kept as it came, leading blanks included
        EXPECT_EQ(a->parts[1]->line_number, 4);
        EXPECT_EQ(a->parts[2]->line_number, 7);
        ASSERT_EQ(a->parts[2]->comment_lines.size(), 1u);
        EXPECT_STREQ(a->parts[2]->comment_lines[0], "note");
        EXPECT_TRUE(view->document.pending_lines.empty());  // the pose went to the item
    }
}

TEST_F(FigureRecords, RecordsStoredForLaterMachinery) {
    feed(view,
         "pose3,1,0,0,p\natr,x,1,2[a]\n}\n" + trunk_line("a") +
             "\natr\tcolor\tred\t=f\t[a]\twidth\t3\t\t[a]\npose3,1,0,0,open\tpart\t1\t2\t3\t0\t0\t0[p]\n"
             "excom;,now\nexcoms,blk,1,2\nexcom;\tstored\nexcomsend\ndup,1,0,0\n",
         true);
    // Without an item the pose waits as a comment line, and the attribute and "}" lines are dropped.
    ASSERT_EQ(view->document.trunks[1]->comment_lines.size(), 1u);
    EXPECT_STREQ(view->document.trunks[1]->comment_lines[0], "pose3,1,0,0,p");
    // The item's attributes take effect at once; a "dup" whose counts are all 1 makes no copy.
    XTrunk* a = view->document.trunks[1];
    ASSERT_EQ(a->attributes.count(), 2);
    EXPECT_STREQ(a->attributes[0].name, "color");
    EXPECT_STREQ(a->attributes[0].value, "red");
    EXPECT_STREQ(a->attributes[0].expression, "=f");
    EXPECT_STREQ(a->attributes[1].name, "width");
    EXPECT_STREQ(a->attributes[1].value, "3");
    EXPECT_EQ(view->trunk_count(), 2);
    const std::vector<DeferredRecord>& d = view->document.deferred;
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].kind, DeferredKind::Pose3);
    EXPECT_EQ(d[0].trunk, view->document.trunks[1]);
    EXPECT_EQ(d[1].kind, DeferredKind::Command);
    EXPECT_EQ(d[1].fields[0], ",now");
    ASSERT_EQ(view->document.command_blocks.size(), 1u);
    ASSERT_EQ(view->document.command_blocks[0]->lines.size(), 1u);
    EXPECT_STREQ(view->document.command_blocks[0]->lines[0], "\tstored");
    EXPECT_EQ(view->document.current_command_block, -1);
}

TEST_F(FigureRecords, CacheNamesKeepHostsAndQueriesApartAndStayInside) {
    view->document.force_download = 0;
    const char* urls[] = {"http://127.0.0.1:9/a/u.fig", "http://localhost:9/a/u.fig", "http://127.0.0.1:9/a/u.fig?x=1",
                          "http://127.0.0.1:9/a/u.fig?x=2", "http://127.0.0.1:9/../../../etc/u.fig"};
    std::vector<std::string> names;
    const std::string work = view->document.work_folder + "\\http\\";
    for (const char* url : urls) {
        char local[2048] = {};
        // Port 9 refuses at once: only the cache name matters here.
        testing::internal::CaptureStderr();
        view->ResolveDataPath(url, local);
        testing::internal::GetCapturedStderr();
        names.emplace_back(local);
        EXPECT_EQ(names.back().rfind(work, 0), 0u) << local;
        EXPECT_EQ(names.back().find(".."), std::string::npos) << local;
        EXPECT_TRUE(names.back().ends_with(".fig")) << local;
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]) << urls[i] << " " << urls[j];
    char local[2048] = {};
    char file_name[] = "file://Z:\\models\\a.fig";
    EXPECT_EQ(view->MapDataName(file_name, local), 2);
    EXPECT_STREQ(local, "Z:\\models\\a.fig");
}

}  // namespace
}  // namespace kz::view::test
