// Words of action texts: motion value words, view command names, the statements of a command text and the path
// and number of a jump.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/document/action_words.h"

namespace kz::view {
namespace {

TEST(ActionWords, ValueWords) {
    const struct {
        const char* word;
        double value;
        int now;
    } cases[] = {{"min", -5, 0}, {"MAXIMUM", 5, 0}, {"now", 2, 1}, {"Now+3", 2, 1},   {"MIN", -5, 0},    {"max", 5, 0},
                 {"NOW", 2, 1},  {"12.5", 12.5, 0}, {"", 0, 0},    {"add90", 190, 0}, {"ADD -10", 90, 0}};
    for (const auto& c : cases) {
        int now = 0;
        EXPECT_EQ(parse_range_value_add(c.word, -5, 5, 2, 100, &now), c.value) << c.word;
        EXPECT_EQ(now, c.now) << c.word;
    }
    EXPECT_EQ(parse_range_value("add90", -5, 5, 2, nullptr), 0.0);  // only the end value adds
}

TEST(ActionWords, CommandNames) {
    const std::pair<const char*, int> cases[] = {{"vw", 0x5705},
                                                 {"5", 0x5705},
                                                 {"VIEW_WALK", 0x5705},
                                                 {"VW", 0x5705},
                                                 {"view_walk", 0x5705},
                                                 {"dt", 0x5713},
                                                 {"disp_transpa", 0x5713},
                                                 {"ald", 0x5A02},
                                                 {"rotate_trunk_yz", 0x574D},
                                                 {"nonsense", 0},
                                                 {"-3", -3}};
    for (const auto& [name, id] : cases) EXPECT_EQ(command_id_from_name(name), id) << name;
}

TEST(ActionWords, StatementsOfACommandText) {
    using S = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* text;
        S statements;
    } cases[] = {
        {"chdisp:lamp,0 // off", {{"chdisp", "lamp,0"}}},
        {"pose:door1,open,,2; pose:door2,open,+0,2", {{"pose", "door1,open,,2"}, {"pose", "door2,open,+0,2"}}},
        {"popview\r\n hit:\"a;b\",1 ;;", {{"popview", ""}, {"hit", "\"a;b\",1"}}},
        {"averyveryveryverylongcommandword1:x;eye:y", {{"", "x"}, {"eye", "y"}}},
        {"// only a comment", {}},
    };
    for (const auto& c : cases) {
        S got;
        for (const ActionStatement& s : split_action_statements(c.text)) got.emplace_back(s.word, s.arguments);
        EXPECT_EQ(got, c.statements) << c.text;
    }
}

TEST(ActionWords, JumpTargetsKeepSchemeAndDrive) {
    const struct {
        const char* content;
        const char* path;
        int number;
    } cases[] = {{"http://host/a.fig", "http://host/a.fig", 0},
                 {"http://host:8080/a.fig:2", "http://host:8080/a.fig", 2},
                 {"C:\\m\\a.fig", "C:\\m\\a.fig", 0},
                 {"C:\\m\\a.fig:12", "C:\\m\\a.fig", 12},
                 {"b.fig:x", "b.fig:x", 0},
                 {"b.fig:", "b.fig:", 0}};
    for (const auto& c : cases) {
        std::string path;
        int number = -1;
        split_jump_target(c.content, &path, &number);
        EXPECT_EQ(path, c.path) << c.content;
        EXPECT_EQ(number, c.number) << c.content;
    }
}

}  // namespace
}  // namespace kz::view
