// Value words, command names, command statements and jump targets of action texts.
#include "app/document/action_words.h"

#include <cstring>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/sjis_string.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr int kMaxCommandWord = 30;

struct CommandName {
    const char* name;
    const char* alias;
    int id;
};
constexpr CommandName kCommandNames[] = {
    {"PLAY_POSE", "pp", 0x5702},
    {"PLAY_RESTART", "pr", 0x5703},
    {"VIEW_AROUND", "va", 0x5704},
    {"VIEW_WALK", "vw", 0x5705},
    {"VIEW_HEAD", "vh", 0x5706},
    {"VIEW_CENTER", "vc", 0x5707},
    {"DISP_MAX", "dm", 0x5708},
    {"DISP_REDRAW", "dr", 0x5709},
    {"WIN_LAYOUT_A", "wla", 0x570A},
    {"WIN_LAYOUT_B", "wlb", 0x570B},
    {"PLAY_STOP", "ps", 0x570C},
    {"VIEW_SWALOW", "vswa", 0x570D},
    {"VIEW_SWALOW_OFF", "vswaoff", 0x570E},
    {"SELECT_OUT", "so", 0x570F},
    {"EYE_SET", "es", 0x5710},
    {"EYE_OUT", "eo", 0x5711},
    {"DISP_WIRE", "dw", 0x5712},
    {"DISP_TRANSPA", "dt", 0x5713},
    {"VIEW_SKY", "vsky", 0x5728},
    {"move_trunk_x", "mtx", 0x5741},
    {"move_trunk_y", "mty", 0x5742},
    {"move_trunk_z", "mtz", 0x5743},
    {"move_trunk_xy", "mtxy", 0x5744},
    {"rotate_trunk_x", "rtx", 0x5748},
    {"rotate_trunk_y", "rty", 0x5749},
    {"rotate_trunk_z", "rtz", 0x574A},
    {"rotate_trunk_xy", "rtxy", 0x574B},
    {"rotate_trunk_xz", "rtxz", 0x574C},
    {"rotate_trunk_yz", "rtyz", 0x574D},
    {"move_leaves_x", "mlx", 0x5751},
    {"move_leaves_y", "mly", 0x5752},
    {"move_leaves_z", "mlz", 0x5753},
    {"move_leaves_xy", "mlxy", 0x5754},
    {"rotate_leaves_x", "rlx", 0x5758},
    {"rotate_leaves_y", "rly", 0x5759},
    {"rotate_leaves_z", "rlz", 0x575A},
    {"rotate_leaves_xy", "rlxy", 0x575B},
    {"rotate_leaves_xz", "rlxz", 0x575C},
    {"rotate_leaves_yz", "rlyz", 0x575D},
    {"ACTION_LEAVES_DISP", "ald", 0x5A02},
};

bool word_is(const char* word, const char* name) { return fnd::compare_prefix_nocase(word, name, 3) == 0; }

bool word_ends(char c) { return c == '\t' || c == ',' || c == ':'; }

}  // namespace

double parse_range_value(const char* word, double min, double max, double current, int* now_flag) {
    if (!word) word = "";
    if (word_is(word, "min")) return min;
    if (word_is(word, "max")) return max;
    if (word_is(word, "now")) {
        if (now_flag) *now_flag = 1;
        return current;
    }
    return kz::crt::c_atof(word);
}

double parse_range_value_add(const char* word, double min, double max, double current, double base, int* now_flag) {
    if (word && word_is(word, "add")) return base + kz::crt::c_atof(word + 3);
    return parse_range_value(word, min, max, current, now_flag);
}

int command_id_from_name(const char* name) {
    if (!name) return 0;
    for (const CommandName& c : kCommandNames)
        if (fnd::compare_nocase(name, c.name) == 0 || fnd::compare_nocase(name, c.alias) == 0) return c.id;
    const int n = kz::crt::c_atoi(name);
    return n > 0 ? 0x5700 + n : n;
}

std::vector<ActionStatement> split_action_statements(const char* text) {
    std::vector<ActionStatement> out;
    if (!text) return out;
    for (int start = 0, length = 0; start >= 0 && text[start];) {
        const int next = fnd::next_line(text, start, length);
        std::string line(text + start, static_cast<std::size_t>(length));
        const int comment = fnd::find_substring(0, line.c_str(), "//");
        if (comment >= 0) line.resize(static_cast<std::size_t>(comment));
        for (int pos = 0; pos >= 0 && pos < static_cast<int>(line.size());) {
            int item = 0;
            const int after = fnd::next_semicolon_item(line.c_str(), pos, item);
            int s = pos, n = item;
            pos = after;
            if (!fnd::trim_span(line.c_str(), s, n)) continue;
            int w = 0;
            while (w < n && !word_ends(line[static_cast<std::size_t>(s + w)])) ++w;
            ActionStatement statement;
            if (w <= kMaxCommandWord)
                statement.word.assign(line, static_cast<std::size_t>(s), static_cast<std::size_t>(w));
            if (w < n)
                statement.arguments.assign(line, static_cast<std::size_t>(s + w + 1),
                                           static_cast<std::size_t>(n - w - 1));
            out.push_back(std::move(statement));
        }
        start = next;
    }
    return out;
}

void split_jump_target(const std::string& content, std::string* path, int* number) {
    std::size_t end = content.size();
    int value = 0;
    const std::size_t colon = content.rfind(':');
    if (colon != std::string::npos && colon + 1 < content.size() &&
        content.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        // A drive letter is one letter before the colon; its "digits" would be the start of the path.
        const bool drive = colon == 1;
        if (!drive) {
            value = kz::crt::c_atoi(content.c_str() + colon + 1);
            end = colon;
        }
    }
    if (path) path->assign(content, 0, end);
    if (number) *number = value;
}

}  // namespace kz::view
