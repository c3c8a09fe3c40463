// The record interpreter on figure texts: record kinds, letter case and length gates, comment lines, levels and
// named blocks, line numbers, command blocks, templates and "notreal"; and the data-path cache names.
#include <gtest/gtest.h>

#include <string>

#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "document_fixture.h"

namespace kz::view::test {
namespace {

using FigureRecords = DocumentTest;
using kz::scene::PoseRecord;

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

TEST_F(FigureRecords, AttributesPosesAndCommandBlocksOfAnItem) {
    feed(view,
         "pose3,1,0,0,p\natr,x,1,2[a]\n}\n" + trunk_line("a") + "\natr\tcolor\tred\t=f\t[a]\twidth\t3\t\t[a]\n" +
             shape_line("part") +
             ",,,,,,,4\npose3,1,0,0,open\tpart\t1\t2\t3\t0\t0\t0[p]\n"
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
    // The pose belongs to the item; the command outside any block ran at once, the one inside was kept.
    ASSERT_EQ(a->poses.size(), 1u);
    EXPECT_EQ(a->poses[0].name, "open");
    EXPECT_EQ(a->poses[0].entries.at(0).position[2], 3.0);
    ASSERT_EQ(view->document.command_blocks.size(), 1u);
    ASSERT_EQ(view->document.command_blocks[0]->lines.size(), 1u);
    EXPECT_STREQ(view->document.command_blocks[0]->lines[0], "\tstored");
    EXPECT_EQ(view->document.current_command_block, -1);
}

TEST_F(FigureRecords, EveryFormOfAPoseOrStageLineGivesTheSamePose) {
    const std::string parts = shape_line("p") + ",,,,,,,4\n" + shape_line("q") + ",,,,,,,4\n";
    const char* poses[] = {"pose2,1,2.5,open,p,1,2,3,0,0,90[p]q,0,0,7,0,0,0\n",
                           "pose3\t1\t2.5\t0\topen\tp\t1\t2\t3\t0\t0\t90\t[p]\tq\t0\t0\t7\t0\t0\t0\t[p]\n",
                           "pose3,1,2.5,0,open,p,1,2,3,0,0,90\npose3,1,2.5,0,open,q,0,0,7,0,0,0\n"};
    const char* stages[] = {"stage2,0,1.5,up,0,0,50,0,0,0[p]\n", "stage3\t1.5\t0\tup\t0\t0\t50\t0\t0\t0\t[p]\t\n"};
    std::string text;
    for (const char* pose : poses) text += trunk_line("item") + "\n" + parts + pose;
    for (const char* stage : stages) text += trunk_line("item") + ",,,,,4\n" + stage;
    feed(view, text);
    ASSERT_EQ(view->trunk_count(), 6);
    auto same = [](const PoseRecord& x, const PoseRecord& y) {
        bool equal = x.name == y.name && x.kind == y.kind && x.duration == y.duration &&
                     x.second_time == y.second_time && x.entries.size() == y.entries.size();
        for (std::size_t i = 0; equal && i < x.entries.size(); ++i)
            for (int k = 0; k < 3; ++k)
                equal = equal && x.entries[i].position[k] == y.entries[i].position[k] &&
                        x.entries[i].rotation[k] == y.entries[i].rotation[k] &&
                        x.entries[i].unset == y.entries[i].unset;
        return equal;
    };
    const PoseRecord& pose = view->document.trunks[1]->poses.at(0);
    EXPECT_EQ(pose.duration, 2.5);
    EXPECT_EQ(pose.entries.at(0).rotation[2], 90.0);
    EXPECT_EQ(pose.entries.at(1).position[2], 7.0);
    for (int i : {2, 3}) EXPECT_TRUE(same(view->document.trunks[i]->poses.at(0), pose)) << i;
    const PoseRecord& stage = view->document.trunks[4]->poses.at(0);
    EXPECT_EQ(stage.kind, 1);
    EXPECT_EQ(stage.duration, 1.5);
    EXPECT_EQ(stage.entries.at(0).position[2], 50.0);
    EXPECT_TRUE(same(view->document.trunks[5]->poses.at(0), stage));
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
