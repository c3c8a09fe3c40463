// How items look without touching their records: unit colours down the part tree, item colour and transparency
// overrides, the action-part display, visibility inversions, nearness to the view target; the scene counts and
// the pick status text.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/matrix_ops.h"
#include "app/scene/figure_record.h"
#include "app/scene/subtree_walk.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"

namespace kz::view {

using namespace kz::foundation;
using kz::scene::record_color_block;

namespace {

constexpr double kNearDistance = 4000.0;

double distance_between(const double* a, const double* b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// The target near the segment between the box's world corners: within the distance of its line, and not beyond
// either end by more than the distance.
bool near_box_segment(const XLeaves& part, const double* target) {
    double lo[3], hi[3];
    transform_point(lo, part.model_bounds, part.L);
    transform_point(hi, part.model_bounds + 3, part.L);
    const double d[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (length < 1e-9 || std::fabs(d[2] / length) < 0.001) return false;
    const double u[3] = {d[0] / length, d[1] / length, d[2] / length};
    const double t[3] = {target[0] - lo[0], target[1] - lo[1], target[2] - lo[2]};
    const double c[3] = {t[1] * u[2] - t[2] * u[1], t[2] * u[0] - t[0] * u[2], t[0] * u[1] - t[1] * u[0]};
    if (std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) > kNearDistance) return false;
    const double along = t[0] * u[0] + t[1] * u[1] + t[2] * u[2];
    return along >= -kNearDistance && along <= length + kNearDistance;
}

}  // namespace

void XView::PropagateUnitColors(XTrunk* top, std::int64_t inherited) {
    XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
    // Over the whole tree without recursion: each item takes the colour its parent hands down.
    std::vector<std::int64_t> handed{inherited};
    kz::scene::walk_subtree(
        top,
        [&](XTrunk* t) {
            const std::int64_t from_parent = handed.back();
            const bool unit = t != root && t->HasFrefer();
            const kz::scene::COBJECTA* record = t->base_record();
            const std::int64_t own = record ? static_cast<std::int32_t>(record->packed_color) : 0;
            std::int64_t for_children = from_parent;
            if (t != root && !unit) {
                const std::uint32_t before = t->highlight_color;
                bool push = true;
                if (display.unit_depth <= 0) {
                    t->highlight_color =
                        static_cast<std::uint32_t>(own > 0 ? own : std::max<std::int64_t>(from_parent, 0));
                } else if (from_parent == 0) {
                    t->highlight_color = 0;
                    push = false;
                } else {
                    t->highlight_color = static_cast<std::uint32_t>(std::max<std::int64_t>(from_parent, 0));
                }
                if (push && t->highlight_color != before) ApplyTrunkAppearance(0, t);
            } else {
                for_children = own != 0 ? own : from_parent;
                ++display.unit_depth;
            }
            handed.push_back(for_children);
            return true;
        },
        [&](XTrunk* t) {
            handed.pop_back();
            if (t != root && t->HasFrefer()) --display.unit_depth;
        });
}

void XView::ApplyTrunkAppearance(int, XTrunk* t) {
    if (!t || !output.bridge) return;
    const std::uint32_t color = t->GetDrawColor();
    const double transparency = t->GetTransparency();
    for (int i = 1; i < t->part_count(); ++i) {
        XLeaves* part = t->parts[i];
        if (!part) continue;
        if (color == 0 && transparency == 0.0) {
            output.bridge->ApplyObjectColors(part, nullptr, kPartAll);
            continue;
        }
        MaterialRecord m = record_color_block(*part->record);
        if (m.transparency > 0.99) continue;
        if (color != 0) {
            m.color = color;
            m.red = color & 0xFF, m.green = (color >> 8) & 0xFF, m.blue = (color >> 16) & 0xFF;
        }
        if (transparency != 0.0) m.transparency = transparency;
        output.bridge->ApplyObjectColors(part, &m, kPartAll);
    }
}

void XView::ApplyTrunkColor(int index) {
    XTrunk* t = TrunkAt(index);
    if (!t || !output.bridge || !t->base()) return;
    const std::uint32_t color = t->GetDrawColor();
    MaterialRecord m = record_color_block(*t->base()->record);
    m.color = color;
    m.red = color & 0xFF, m.green = (color >> 8) & 0xFF, m.blue = (color >> 16) & 0xFF;
    for (int i = 1; i < t->part_count(); ++i)
        if (t->parts[i]) output.bridge->ApplyObjectColors(t->parts[i], color ? &m : nullptr, kPartAll - kPartAlpha);
}

void XView::ApplyTrunkTransparency(int index) {
    XTrunk* t = TrunkAt(index);
    if (!t || !output.bridge || !t->base()) return;
    const double transparency = t->GetTransparency();
    MaterialRecord m = record_color_block(*t->base()->record);
    m.transparency = transparency;
    for (int i = 1; i < t->part_count(); ++i) {
        XLeaves* part = t->parts[i];
        if (!part) continue;
        if (transparency == 0.0) {
            part->CopyTransparencyToMaterials();
            output.bridge->ApplyObjectColors(part, nullptr, kPartAll);
        } else {
            output.bridge->ApplyObjectColors(part, &m, kPartAlpha);
        }
    }
}

void XView::ShowActionParts(int mode) {
    if (mode != 0 && mode != 1) return;
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (!t || !t->base()) continue;
        t->base()->record->dispmode = 0;
        for (int i = 1; i < t->part_count(); ++i) {
            XLeaves* part = t->parts[i];
            if (!part || !output.bridge) continue;
            const kz::scene::COBJECTA& r = *part->record;
            if (mode == 0) {
                output.bridge->SetFaceDrawMode(part->model, r.draw_style, r.line_width_digit);
                output.bridge->ApplyObjectColors(part, nullptr, kPartAll);
                continue;
            }
            const bool acts = r.action && *r.action;
            MaterialRecord m = record_color_block(r);
            m.transparency = acts ? 0.0 : 0.9;
            output.bridge->SetFaceDrawMode(part->model, acts ? 1 : 2, r.line_width_digit);
            output.bridge->ApplyObjectColors(part, &m, kPartAll);
        }
    }
}

void XView::InvertVisibility() {
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (!t) continue;
        t->shown = t->shown ? 0 : 1;
        t->shown_too = t->shown;
        for (int i = 1; i < t->part_count(); ++i) t->ShowPart(t->shown, i);
    }
    Redraw(0);
}

void XView::ApplyVisibility() {
    for (int k = 1; k < trunk_count(); ++k)
        if (XTrunk* t = document.trunks[k])
            for (int i = 1; i < t->part_count(); ++i) t->ShowPart(t->shown, i);
}

void XView::RestoreNearHidden() {
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (t && t->shown == 1 && t->shown_too == 0)
            for (int i = 1; i < t->part_count(); ++i) t->ShowPart(1, i);
    }
}

void XView::ResetShownFlags() {
    for (int k = 1; k < trunk_count(); ++k)
        if (XTrunk* t = document.trunks[k]) t->shown_too = t->shown;
}

void XView::ApplyProximityDisplay() {
    if (!display.near_target_display || trunk_count() <= 1 || !camera.eye) return;
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (!t) continue;
        if (!t->shown) {
            t->shown_too = 0;
            continue;
        }
        const int before = t->shown_too;
        bool near = false;
        for (int i = 1; i < t->part_count() && !near; ++i) {
            const XLeaves* part = t->parts[i];
            if (!part) continue;
            const double origin[3] = {part->L[12], part->L[13], part->L[14]};
            near = distance_between(origin, camera.eye->target) <= kNearDistance ||
                   near_box_segment(*part, camera.eye->target);
        }
        t->shown_too = near ? 1 : 0;
        if (t->shown_too != before)
            for (int i = 1; i < t->part_count(); ++i) t->ShowPart(t->shown_too, i);
    }
}

void XView::CountScene() {
    std::memset(display.scene_stats, 0, sizeof display.scene_stats);
    for (int k = 1; k < trunk_count(); ++k) {
        XTrunk* t = document.trunks[k];
        if (!t) continue;
        int amounts[4] = {1, 0, 0, 0};
        for (int i = 1; i < t->part_count(); ++i) {
            if (!t->parts[i]) continue;
            ++amounts[1];
            // The counts the build kept: counting must not make every shape's faces.
            amounts[2] += t->parts[i]->face_count();
            amounts[3] += t->parts[i]->triangle_count();
        }
        const int column = t->shown ? 1 : 0;
        for (int q = 0; q < 4; ++q) {
            display.scene_stats[q][column] += amounts[q];
            if (t->shown && t->shown_too == 1) display.scene_stats[q][2] += amounts[q];
        }
    }
    if (!display.near_target_display)
        for (auto& quantity : display.scene_stats) quantity[2] = quantity[1];
}

std::string XView::FormatPickStatus(char* out) {
    std::string text;
    char buffer[160];
    if (input.selected_line >= 0) {
        std::snprintf(buffer, sizeof buffer, " [\x8d\x73=%d]", input.selected_line);  // 行
        text += buffer;
    }
    XTrunk* t = input.selected_trunk >= 1 && input.selected_trunk < trunk_count()
                    ? document.trunks[input.selected_trunk]
                    : nullptr;
    if (t && input.selected_part > 0 && input.selected_part < t->part_count() && t->parts[input.selected_part] &&
        input.selected_face > 0 && input.selected_face < t->parts[input.selected_part]->face_count()) {
        std::snprintf(buffer, sizeof buffer, " [\x96\xca=%d]", input.selected_face);  // 面
        text += buffer;
    }
    if (camera.eye) {
        // レンズ[..]目間(..)
        kz::crt::c_snprintf(buffer, sizeof buffer, " \x83\x8c\x83\x93\x83\x59[%5.1f]\x96\xda\x8a\xd4(%5.3f)",
                            camera.eye->lens, camera.stereo_eye_distance);
        text += buffer;
        kz::crt::c_snprintf(buffer, sizeof buffer, " eye(%.0f %.0f %.0f)", camera.eye->eye[0], camera.eye->eye[1],
                            camera.eye->eye[2]);
        text += buffer;
        kz::crt::c_snprintf(buffer, sizeof buffer, "\x81\xa8\x92\x8d\x8e\x8b(%.0f %.0f %.0f)",
                            camera.eye->target[0],  // →注視
                            camera.eye->target[1], camera.eye->target[2]);
        text += buffer;
    }
    if (output.bridge) {
        std::snprintf(buffer, sizeof buffer, " img=%d", output.bridge->texture_count);
        text += buffer;
    }
    if (out) {
        std::strncpy(out, text.c_str(), 511);
        out[511] = '\0';
    }
    return text;
}

}  // namespace kz::view
