// Action commands: the short statements of "excom;" lines, command blocks and excom tags that show and hide
// items, set parameters, colours and attributes, move the eye, queue hits and camera entries, show captions and
// play poses and stages. A statement's time result chains into the next one of the same text.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/action_words.h"
#include "app/document/target_condition.h"
#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/number_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr int kTextField = 2399;           // argument texts of 2398 bytes; a longer one reads as empty
constexpr int kNoMatrixColumn = 676;       // "ZA": turns the matrix update back on
constexpr std::uint32_t kColorParts = 14;  // diffuse, ambient and specular

// The argument fields of one statement, separated by TAB, "," or ":" (quotes protect them).
class Arguments {
public:
    explicit Arguments(const std::string& text) : text_(text) {}
    std::string text(int limit = kTextField - 1) {
        std::string out;
        if (pos_ < 0) return out;
        int start = pos_, length = 0;
        pos_ = fnd::get_field(text_.c_str(), start, length, separators());
        if (length > 0 && length <= limit)
            out.assign(text_, static_cast<std::size_t>(start), static_cast<std::size_t>(length));
        return out;
    }
    double number(double fallback) {
        const std::string field = text();
        return field.empty() ? fallback : kz::crt::c_atof(field.c_str());
    }
    int integer(int fallback) {
        const std::string field = text();
        return field.empty() ? fallback : kz::crt::c_atoi(field.c_str());
    }
    // What follows the fields read so far.
    std::string rest() const { return pos_ < 0 ? std::string() : text_.substr(static_cast<std::size_t>(pos_)); }
    bool done() const { return pos_ < 0; }

private:
    static const fnd::FieldSeparators& separators() {
        static const fnd::FieldSeparators s("\t", ",", ":");
        return s;
    }
    std::string text_;
    int pos_ = 0;
};

// The parts a condition selects in an item: one part, or parts 1..count-1 for "*".
template <typename F>
void for_selected_parts(XTrunk* item, int selected, F&& f) {
    if (selected >= 0 && selected < item->part_count())
        f(item->parts[static_cast<std::size_t>(selected)]);
    else if (selected < -1)
        for (int p = 1; p < item->part_count(); ++p) f(item->parts[static_cast<std::size_t>(p)]);
}

bool is_column_letters(const std::string& field) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return (field.size() == 1 && letter(field[0])) || (field.size() == 2 && letter(field[0]) && letter(field[1]));
}

double snap(double v) { return std::fabs(v) < 1e-11 ? 0.0 : v; }

}  // namespace

double XView::ExecActionCommand(const char* text, double time, int item, int part, int downloaded) {
    struct Command {
        const char* word;
        bool prefix;  // matched over its own length, so longer words that begin with it match too
        double (XView::*handler)(const std::string& arguments, const ExcomContext& context);
    };
    static const Command kCommands[] = {
        {"chdisp", false, &XView::ExcomChangeDisplay},
        {"popview", false, &XView::ExcomPopView},
        {"mkitem", false, &XView::ExcomSetAttribute},
        {"chpara", true, &XView::ExcomChangeParameters},
        {"chcol", true, &XView::ExcomChangeColour},
        {"chcpos", false, &XView::ExcomChangeCameraPos},
        {"hit", false, &XView::ExcomHit},
        {"eye", false, &XView::ExcomEye},
        {"jimaku", false, &XView::ExcomCaption},
        {"eyepos", false, &XView::ExcomEyePos},
        {"window", false, &XView::ExcomWindow},
        {"pose", false, &XView::ExcomPlayPose},
        {"stage", false, &XView::ExcomPlayStage},
    };
    ExcomContext context{time, item, part, downloaded};
    for (const ActionStatement& statement : split_action_statements(text)) {
        if (statement.word.empty()) continue;
        for (const Command& c : kCommands) {
            const int n = static_cast<int>(std::strlen(c.word));
            const bool match = c.prefix ? fnd::compare_prefix_nocase(statement.word.c_str(), c.word, n) == 0
                                        : fnd::compare_nocase(statement.word.c_str(), c.word) == 0;
            if (!match) continue;
            context.time = (this->*c.handler)(statement.arguments, context);
            break;
        }
    }
    return context.time;
}

double XView::ExcomChangeDisplay(const std::string& arguments, const ExcomContext& context) {
    Arguments a(arguments);
    const TargetCondition target(a.text(), nullptr, -1, -1);
    const int show = a.integer(0), recursive = a.integer(0);
    for (int i = 1; i < trunk_count(); ++i) {
        XTrunk* t = document.trunks[static_cast<std::size_t>(i)];
        if (t && t->shown != show && target.SelectedPart(t) != -1) t->SetVisible(show, recursive);
    }
    Redraw(0);
    return context.time;
}

double XView::ExcomPopView(const std::string& arguments, const ExcomContext& context) {
    Arguments a(arguments);
    const double seconds = a.number(0.0);
    double lens = a.number(camera.eye ? camera.eye->lens : 0.0);
    const double easing = a.number(0.0);
    // Where the last eye move started; the move about to start overwrites it.
    const CameraMove last = camera.camera_motion;
    if (lens < 0.0) lens = last.start_lens;
    AnimateEyeTo(last.start_target, 0, last.start_eye, seconds < 0.0 ? camera.fit_time : seconds, lens, easing, 0.0);
    return context.time + seconds;
}

double XView::ExcomSetAttribute(const std::string& arguments, const ExcomContext& context) {
    Arguments a(arguments);
    const std::string target_text = a.text(), key = a.text(), value = a.text(), third = a.text();
    const int mode = a.integer(0);
    const TargetCondition item_condition(a.rest(), nullptr, -1, -1);
    XTrunk* item = nullptr;
    for (int i = 0; i < trunk_count() && !item; ++i)
        if (XTrunk* t = document.trunks[static_cast<std::size_t>(i)]; t && t->MatchTarget(&item_condition.list))
            item = t;
    // Without a match the command belongs to its own item; a command with no item of its own changes nothing.
    if (!item) item = TrunkAt(context.item);
    if (!item) return context.time;
    const TargetCondition target(target_text, TrunkAt(context.item), context.item, context.part);
    ApplyAttributeSetTree(item, &target.list, key.c_str(), value.c_str(), third.c_str(), mode);
    Redraw(0);
    return context.time;
}

double XView::ExcomChangeParameters(const std::string& arguments, const ExcomContext& context) {
    struct Change {
        int column;
        std::string expected, value;
    };
    Arguments a(arguments);
    const TargetCondition target(a.text(), TrunkAt(context.item), context.item, context.part);
    std::vector<Change> changes;
    bool matrices = true, redraw = true;
    while (!a.done()) {
        const std::string field = a.text();
        if (fnd::compare_prefix_nocase(field.c_str(), "no m", 4) == 0) {
            matrices = false;
            continue;
        }
        if (fnd::compare_prefix_nocase(field.c_str(), "no d", 4) == 0) {
            redraw = false;
            continue;
        }
        const int column =
            is_column_letters(field) ? fnd::column_letters_to_index(field.c_str()) : kz::crt::c_atoi(field.c_str());
        if (column == kNoMatrixColumn) {
            matrices = true;
            continue;
        }
        Change change{column, a.text(), a.text()};
        changes.push_back(std::move(change));
    }
    for (int i = 1; i < trunk_count(); ++i) {
        XTrunk* t = document.trunks[static_cast<std::size_t>(i)];
        if (!t || !t->shown) continue;
        for_selected_parts(t, target.SelectedPart(t), [&](XLeaves* part) {
            for (const Change& c : changes) {
                if (!c.expected.empty()) {
                    char* now = nullptr;
                    PartPropertyTable(part, nullptr, nullptr, c.column, nullptr, 2, &now);
                    const bool same = now && c.expected == now;
                    fnd::free_and_null(now);
                    if (!same) continue;
                }
                PartPropertyTable(part, nullptr, nullptr, c.column, c.value.c_str(), 0, nullptr);
            }
        });
    }
    if (matrices)
        if (XTrunk* root = TrunkAt(0)) root->RecalcMatrices(1);
    if (redraw) Redraw(1);
    return context.time;
}

double XView::ExcomChangeColour(const std::string& arguments, const ExcomContext& context) {
    Arguments a(arguments);
    const TargetCondition target(a.text(), TrunkAt(context.item), context.item, context.part);
    const std::string colour = a.text();
    const int redraw = a.integer(-1);
    // "r.g.b": each channel held to a byte.
    double rgb[3] = {};
    for (int k = 0, p = 0; k < 3; ++k) {
        rgb[k] = std::clamp(kz::crt::c_atoi(colour.c_str() + p), 0, 255);
        const std::size_t dot = colour.find('.', static_cast<std::size_t>(p));
        if (dot == std::string::npos) break;
        p = static_cast<int>(dot) + 1;
    }
    for (int i = 1; i < trunk_count(); ++i) {
        XTrunk* t = document.trunks[static_cast<std::size_t>(i)];
        if (!t || !t->shown) continue;
        for_selected_parts(t, target.SelectedPart(t), [&](XLeaves* part) {
            kz::scene::COBJECTA& r = *part->record;
            if (r.red == rgb[0] && r.green == rgb[1] && r.blue == rgb[2]) return;
            r.red = rgb[0], r.green = rgb[1], r.blue = rgb[2];
            r.UpdatePackedColor();
            MarkTrunkChanged(t);
            if (part->index > 0) {
                part->RefreshMaterials();
                if (output.bridge) output.bridge->ApplyObjectColors(part, nullptr, kColorParts);
            } else {
                ApplyTrunkColor(t->index);
            }
        });
    }
    if (redraw >= 0) Redraw(redraw);
    return context.time;
}

double XView::ExcomChangeCameraPos(const std::string& arguments, const ExcomContext& context) {
    if (!camera.eye) return context.time;
    Arguments a(arguments);
    double eye[3], target[3];
    for (int k = 0; k < 3; ++k) eye[k] = a.number(camera.eye->eye[k]);
    for (int k = 0; k < 3; ++k) target[k] = a.number(camera.eye->target[k]);
    const double seconds = a.number(0.0), lens = a.number(camera.eye->lens), easing = a.number(0.0);
    AnimateEyeTo(target, 0, eye, seconds < 0.0 ? camera.fit_time : seconds, lens, easing, 0.0);
    return context.time;
}

double XView::ExcomHit(const std::string& arguments, const ExcomContext& context) {
    if (timeline.actions_off) return context.time;
    Arguments a(arguments);
    const std::string target = a.text();
    char offset[fnd::kNumberTextSize];
    fnd::double_to_text(a.number(0.0), 1, offset, sizeof offset);
    const std::string line = "H;0;0;" + target + ";" + offset + ";";
    SystemTime stamp;
    GetClockTime(&stamp);
    const int index = QueueAction(line.c_str(), stamp, 0);
    if (index >= 0 && index < static_cast<int>(timeline.timed_list[0].size()))
        timeline.timed_list[0][static_cast<std::size_t>(index)].downloaded =
            context.downloaded || CameFromDownload(context.item);
    StartViewTimer();
    return context.time;
}

double XView::ExcomEye(const std::string& arguments, const ExcomContext& context) {
    if (timeline.actions_off) return context.time;
    Arguments a(arguments);
    const std::string target = a.text();
    const int mode_switch = a.integer(0);
    const double seconds = a.number(0.0);
    const double camera_mode = a.number(-1.0);
    if (mode_switch == -1) {
        LookFromCameraPart(nullptr, nullptr);
        return context.time;
    }
    int item = 0;
    if (!FirstMatchingItem(target.c_str(), context.item, context.part, &item, nullptr)) return context.time;
    char line[160];
    kz::crt::c_snprintf(line, sizeof line, "C;%d;%d;;0;%f;%f", item, 0, seconds, camera_mode);
    SystemTime stamp;
    GetClockTime(&stamp);
    QueueAction(line, stamp, 0);
    StartViewTimer();
    return context.time;
}

double XView::ExcomCaption(const std::string& arguments, const ExcomContext& context) {
    if (output.bridge) output.bridge->TextLabelCommand(arguments.c_str());
    return context.time;
}

double XView::ExcomEyePos(const std::string& arguments, const ExcomContext& context) {
    Arguments a(arguments);
    const std::string target = a.text();
    double eye_offset[3], target_offset[3];
    for (double& v : eye_offset) v = a.number(0.0);
    const double seconds = a.number(camera.fit_time);
    for (double& v : target_offset) v = a.number(0.0);
    const double easing = a.number(0.0);
    const double gap[3] = {eye_offset[0] - target_offset[0], eye_offset[1] - target_offset[1],
                           eye_offset[2] - target_offset[2]};
    // Eye and target on one point would look nowhere: the target drops below the eye.
    if (std::sqrt(gap[0] * gap[0] + gap[1] * gap[1] + gap[2] * gap[2]) < 0.001) target_offset[2] -= 1000.0;
    int item = 0, part = 0;
    if (!FirstMatchingItem(target.c_str(), context.item, context.part, &item, &part)) return context.time;
    XTrunk* t = TrunkAt(item);
    if (!t || part < 0 || part >= t->part_count()) return context.time;
    const double zero[3] = {0.0, 0.0, 0.0};
    double origin[3];
    fnd::transform_point(origin, zero, t->parts[static_cast<std::size_t>(part)]->L);
    double eye[3], look[3];
    for (int k = 0; k < 3; ++k) {
        eye[k] = origin[k] + snap(eye_offset[k]);
        look[k] = origin[k] + snap(target_offset[k]);
    }
    AnimateEyeTo(look, 0, eye, seconds, 0.0, easing, 0.0);
    return context.time;
}

double XView::ExcomWindow(const std::string& arguments, const ExcomContext& context) {
    // A window sub-command and its number are read and change nothing here.
    Arguments a(arguments);
    a.text();
    a.integer(0);
    return context.time;
}

double XView::ExcomPlayPose(const std::string& arguments, const ExcomContext& context) {
    return PlayPoseCommand(arguments, context, 0);
}

double XView::ExcomPlayStage(const std::string& arguments, const ExcomContext& context) {
    return PlayPoseCommand(arguments, context, 1);
}

double XView::PlayPoseCommand(const std::string& arguments, const ExcomContext& context, int kind) {
    Arguments a(arguments);
    const TargetCondition target(a.text(), TrunkAt(context.item), context.item, context.part);
    const std::string name = a.text(511), start_word = a.text(63);
    const double duration = a.number(0.0), easing = a.number(-1.0);
    double start = kz::crt::c_atof(start_word.c_str());
    if (start_word.empty())
        start = context.time;
    else if (start_word[0] == '+' || start_word[0] == '-')
        start += context.time;
    double result = 0.0;
    for (int i = 1; i < trunk_count(); ++i) {
        XTrunk* t = document.trunks[static_cast<std::size_t>(i)];
        if (t && t->MatchTarget(&target.list)) result = t->FindAndPlayPose(name.c_str(), start, duration, kind, easing);
    }
    StartViewTimer();
    return result;
}

}  // namespace kz::view
