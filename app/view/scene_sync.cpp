// The per-frame push of the view's lights, background, sun shadows, section plane, camera part and handle markers
// into the modeller, with the view matrices, the scene bounds and the two ways of drawing the model off-screen.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/date_time.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/matrix_ops.h"
#include "app/foundation/small_vector_math.h"
#include "app/foundation/solar_position.h"
#include "app/foundation/vector_geometry.h"
#include "app/scene/figure_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"

namespace kz::view {

using namespace kz::foundation;

namespace {

constexpr double kPi = 3.14159265358979323846;

CO3duGLModelar* modeller_of(CBusMDL* bridge) { return bridge ? bridge->modeller.get() : nullptr; }

OfuColorValue grey(double level, float alpha) {
    const float v = static_cast<float>(level);
    return {v, v, v, alpha};
}

OfuMatrix4x4 to_matrix(const double* m) {
    OfuMatrix4x4 out;
    std::memcpy(&out, m, sizeof(double) * 16);
    return out;
}

struct MarkerLook {
    double side, height;
    std::uint32_t color, x, y, z;
};
constexpr MarkerLook kMarkers[5] = {
    {160.0, 80.0, 0xff0000, 0xff0000, 0xff, 0xff00},  {80.0, 40.0, 0xff4242, 0xff0000, 0xff, 0xff00},
    {70.0, 40.0, 0x4242ff, 0xff0000, 0xff, 0xff00},   {30.0, 15.0, 0xff0000, 0xff9b9b, 0x9b9bff, 0x9bff9b},
    {20.0, 15.0, 0xff, 0xff9b9b, 0x9b9bff, 0x9bff9b},
};

}  // namespace

void XView::SetShadowDefaults() {
    SceneSettings& st = settings;
    st.shadow_color = 0x212121;
    st.shadow_transparency = 0.7;
    st.latitude = 35.6894;
    st.longitude = 139.6917;
    st.north_angle = 0.0;
    SystemTime now{};
    GetClockTime(&now);
    settings.shadow_date = month_day_to_day_of_year(now.month, now.day);
    settings.shadow_time = now.hour + now.minute / 60.0;
    st.sun[0] = 0.2, st.sun[1] = 0.7, st.sun[2] = 0.0;
    st.head[0] = 0.0, st.head[1] = 0.7, st.head[2] = 1.0, st.head[3] = 0.0;
    settings.light_value = 1.0;
}

void XView::SetProjectionWindow() {
    // A window not yet laid out has no size; its projection waits for the first layout.
    if (!camera.eye || camera.eye->screen_width < 1 || camera.eye->screen_height < 1) return;
    const double z = camera.eye->zoom_ratio;
    const double width = camera.eye->screen_width * z / camera.eye->screen_height;
    SetZoom(z);
    camera.eye->window_width_factor = width;
    camera.eye->window_left_factor = -width * 0.5;
    camera.eye->window_bottom_factor = -z * 0.5;
    camera.eye->pixels_per_unit = camera.eye->screen_width / width;
    // The GDI drawing's frustum and screen mapping follow the same window.
    camera.eye->frustum_left = camera.eye->screen_offset_x = camera.eye->window_left_factor;
    camera.eye->frustum_bottom = camera.eye->screen_offset_y = camera.eye->window_bottom_factor;
    camera.eye->frustum_width = width;
    camera.eye->frustum_height = z;
    camera.eye->screen_scale = camera.eye->pixels_per_unit;
    camera.eye->window_left = camera.eye->screen_origin_x;
    camera.eye->window_top = camera.eye->screen_origin_y;
    camera.eye->window_pixel_height = camera.eye->screen_height;
}

int XView::SyncScene(int refresh) {
    if (!camera.eye) return 0;
    SetProjectionWindow();
    PushSectionPlane(display.section_switch == 1 ? 1 : 0);
    if (refresh == 1) {
        RefreshMarks();
        RefreshSelectionStyles();
    }
    const SceneSettings& st = settings;
    if (CO3duGLModelar* m = modeller_of(output.bridge)) {
        const double level = settings.light_value;
        OfuLight head;
        m->GetLight(0, head);
        head.diffuse = grey(level * st.head[1], head.diffuse.a);
        head.ambient = grey(level * st.head[0], head.ambient.a);
        head.specular = grey(level * st.head[2], head.specular.a);
        head.attenuation = static_cast<float>(level * st.head[3]);
        m->SetLight(0, head);

        OfuLight sun;
        m->GetLight(1, sun);
        sun.diffuse = grey(level * st.sun[1], sun.diffuse.a);
        sun.ambient = grey(level * st.sun[0], sun.ambient.a);
        sun.specular = grey(level * st.sun[2], sun.specular.a);
        sun.direction = OfuVector3(0, 0, -1);
        m->SetLight(1, sun);

        if (settings.shadow_display == 1) {
            int month = 1, day = 1, hour = 0, minute = 0;
            day_of_year_to_month_day(static_cast<int>(settings.shadow_date), &month, &day);
            hours_to_hour_minute(settings.shadow_time, &hour, &minute);
            double s[3];
            solar_position(st.latitude, st.longitude, month, day, hour, minute, s);
            const double a = st.north_angle / 180.0 * kPi;
            const double x = s[0] * std::cos(a) - s[1] * std::sin(a);
            const double y = s[0] * std::sin(a) + s[1] * std::cos(a);
            sun.direction = OfuVector3(-x, -y, -s[2]);
            // A sun below the horizon would cast from under the ground: at night everything lies in shadow.
            m->set_night(s[2] <= 0.0);
            m->SetShadowAccuracy(st.shadow_precision);
            m->SetShadowLight(sun);
            PushShadowColor();
        } else {
            sun.on = 0;
            m->SetShadowLight(sun);
        }
        if (output.bridge->mesh_shape) output.bridge->SetShapeVisible(output.bridge->mesh_shape, st.mesh_world);
        const std::uint32_t bg = settings.background_color;
        m->SetBkColor({static_cast<float>(level * (bg & 0xFF) / 255.0),
                       static_cast<float>(level * ((bg >> 8) & 0xFF) / 255.0),
                       static_cast<float>(level * ((bg >> 16) & 0xFF) / 255.0), 1.0f});
    }
    if (camera.current_camera_part) LookFromCameraPart(nullptr, static_cast<XLeaves*>(camera.current_camera_part));
    if (output.bridge && camera.scene_radius == 0.0)
        camera.scene_radius = ComputeSceneBounds(nullptr, camera.scene_centre);
    if (camera.camera_link_item) FollowEye();
    if (modeller_of(output.bridge)) SyncHandleMarkers();
    UpdateViewMatrices();
    if (!document.trunks.empty() && document.trunks[0]) document.trunks[0]->UpdateMatricesForFrame(1);
    return 1;
}

void XView::SyncHandleMarkers() {
    for (int i = 0; i < 5; ++i) {
        if (display.handle_markers[i]) continue;
        const MarkerLook& k = kMarkers[i];
        display.handle_markers[i] =
            output.bridge->AddAxisMarker(k.side, k.height, k.color, 0.0, 20000.0, k.x, k.y, k.z, 2.0);
    }
    for (_OfuPosition* marker : display.handle_markers) output.bridge->SetShapeVisible(marker, 0);
    XTrunk* item = input.selected_trunk >= 1 && input.selected_trunk < trunk_count()
                       ? document.trunks[input.selected_trunk]
                       : nullptr;
    if (display.axis_display != 1 || !item || input.selected_part < 0) return;
    UpdateViewMatrices();
    const bool rotating = (input.tool_bits & (8 | 16 | 32)) != 0;
    bool show[5] = {};
    if (input.target == 1 || input.target == 2) {
        if (input.second_set == 0)
            show[0] = show[1] = true;
        else
            show[2] = true, show[1] = rotating;
    } else if (input.target == 3) {
        if (input.second_set == 0)
            show[2] = show[3] = true;
        else
            show[4] = true, show[3] = rotating;
    } else {
        for (bool& s : show) s = true;
    }
    for (int i = 0; i < 5; ++i)
        if (show[i]) output.bridge->SetShapeVisible(display.handle_markers[i], 1);
    XLeaves* base = item->base();
    XLeaves* part = input.selected_part < item->part_count() ? item->parts[input.selected_part] : nullptr;
    XTrunk* parent_item = item->parent;
    const int hang = item->GetParentPartIndex();
    if (parent_item && hang >= 0 && hang < parent_item->part_count() && parent_item->parts[hang])
        output.bridge->SetShapeMatrix(display.handle_markers[0], to_matrix(parent_item->parts[hang]->L));
    if (base) output.bridge->SetShapeMatrix(display.handle_markers[1], to_matrix(base->L));
    if (part) {
        XLeaves* anchor = part->anchor;
        if (anchor && anchor != base)
            output.bridge->SetShapeMatrix(display.handle_markers[2], to_matrix(anchor->P().data()));
        else if (base)
            output.bridge->SetShapeMatrix(display.handle_markers[2], to_matrix(base->Q().data()));
        output.bridge->SetShapeMatrix(display.handle_markers[3], to_matrix(part->L));
        output.bridge->SetShapeMatrix(display.handle_markers[4], to_matrix(part->Q().data()));
    }
}

int XView::PushSectionPlane(int on) {
    CO3duGLModelar* m = modeller_of(output.bridge);
    if (!on) {
        if (m) m->SetCliping(0, OfuPlane{}, {1.0f, 1.0f, 1.0f, 1.0f});
        return 0;
    }
    const int k = display.section_axis >= 0 && display.section_axis < 3 ? display.section_axis : 0;
    double a[3] = {display.section_axes[k][0], display.section_axes[k][1], display.section_axes[k][2]};
    if (display.section_side > 0)
        for (double& v : a) v = -v;
    const double len = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    double n[3] = {a[0], a[1], a[2]};
    if (len >= 1e-5)
        for (double& v : n) v /= len;
    OfuPlane plane;
    plane.a = n[0], plane.b = n[1], plane.c = n[2];
    plane.d = -(n[0] * (display.section_point[0] + a[0]) + n[1] * (display.section_point[1] + a[1]) +
                n[2] * (display.section_point[2] + a[2]));
    const OfuColorValue cap{static_cast<float>(display.section_cap_color[0] / 255.0),
                            static_cast<float>(display.section_cap_color[1] / 255.0),
                            static_cast<float>(display.section_cap_color[2] / 255.0), 1.0f};
    if (m) m->SetCliping(1, plane, cap);
    return 1;
}

int XView::SetSectionAtPart(int trunk_index, int part_index) {
    XTrunk* t = trunk_index >= 1 && trunk_index < trunk_count() ? document.trunks[trunk_index] : nullptr;
    XLeaves* part = t && part_index >= 0 && part_index < t->part_count() ? t->parts[part_index] : nullptr;
    if (!part) {
        if (CO3duGLModelar* m = modeller_of(output.bridge)) m->SetCliping(0, OfuPlane{}, {1.0f, 1.0f, 1.0f, 1.0f});
        return 0;
    }
    const double local[4][3] = {{0, 0, 0}, {0, 0, -1000}, {-1000, 0, 0}, {0, -1000, 0}};
    double world[4][3];
    for (int i = 0; i < 4; ++i) transform_point(world[i], local[i], part->L);
    std::memcpy(display.section_point, world[0], sizeof display.section_point);
    for (int i = 0; i < 3; ++i) distance_with_direction(world[0], world[i + 1], display.section_axes[i]);
    display.section_defined = 1;
    display.section_axis = 0;
    display.section_side = 0;
    PushSectionPlane(1);
    return 1;
}

void XView::PushShadowColor() {
    CO3duGLModelar* m = modeller_of(output.bridge);
    if (!m) return;
    const std::uint32_t c = settings.shadow_color;
    m->SetShadowColor({static_cast<float>((c & 0xFF) / 255.0), static_cast<float>(((c >> 8) & 0xFF) / 255.0),
                       static_cast<float>(((c >> 16) & 0xFF) / 255.0),
                       static_cast<float>(1.0 - settings.shadow_transparency)});
}

void XView::FollowEye() {
    if (!camera.eye || !camera.camera_link_item || !camera.camera_link_item->base()) return;
    kz::scene::COBJECTA& r = *camera.camera_link_item->base()->record;
    const double* n = camera.camera_link_numbers;
    double* placed[3] = {&r.dx, &r.dy, &r.dz};
    for (int k = 0; k < 3; ++k)
        if (n[6 + k] != 0.0) *placed[k] = (camera.eye->eye[k] - n[k]) / n[6 + k] + n[3 + k];
    double polar[3], direction[3];
    vector_to_polar(camera.eye->eye, camera.eye->target, polar, direction);
    if (n[10] != 0.0) r.rx = -(n[10] * polar[1]);
    if (n[11] != 0.0) r.rz = n[11] * polar[2] + 90.0;
    camera.camera_link_item->base()->placement_valid = 0;
    camera.camera_link_item->RecalcMatrices(1);
}

double XView::ComputeSceneBounds(double* box_out, double* centre_out) {
    double box[6];
    reset_bounds(box);
    bool any = false;
    for (XTrunk* t : document.trunks) {
        if (!t) continue;
        for (int i = 1; i < t->part_count(); ++i) {
            XLeaves* part = t->parts[i];
            if (!part) continue;
            const double* lo = part->model_bounds;
            const double* hi = part->model_bounds + 3;
            for (int c = 0; c < 8; ++c) {
                const double corner[3] = {(c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1], (c & 4) ? hi[2] : lo[2]};
                double w[3];
                transform_point(w, corner, part->L);
                add_point_to_bounds(box, w);
                any = true;
            }
        }
    }
    // A mesh file's shape, when shown, is part of the scene: its vertices stand in scene coordinates.
    if (output.bridge && output.bridge->mesh_shape && settings.mesh_world && output.bridge->modeller) {
        CO3duPrimitive mesh;
        output.bridge->modeller->GetPrimitive(output.bridge->mesh_shape, mesh, O3DU_PRIM_GEOMETRY);
        for (int s = 0; s < mesh.sets.GetSize(); ++s)
            for (int i = 0; i < mesh.sets[s].vertices.GetSize(); ++i) {
                const OfuVector3& p = mesh.sets[s].vertices[i].position;
                const double point[3] = {p.x, p.y, p.z};
                add_point_to_bounds(box, point);
                any = true;
            }
    }
    // With no shape beyond the base ones the box stays empty: a zero box at the origin rather than an overflow.
    if (!any) std::memset(box, 0, sizeof box);
    const double centre[3] = {(box[0] + box[3]) * 0.5, (box[1] + box[4]) * 0.5, (box[2] + box[5]) * 0.5};
    if (box_out) std::memcpy(box_out, box, sizeof box);
    if (centre_out) std::memcpy(centre_out, centre, sizeof centre);
    return distance_3d(centre, box);
}

int XView::UpdateViewMatrices() {
    if (!camera.eye) return 0;
    const double d[3] = {camera.eye->target[0] - camera.eye->eye[0], camera.eye->target[1] - camera.eye->eye[1],
                         camera.eye->target[2] - camera.eye->eye[2]};
    const double azimuth = std::atan2(d[1], d[0]) * 180.0 / kPi;
    const double elevation = std::atan2(-d[2], std::sqrt(d[0] * d[0] + d[1] * d[1])) * 180.0 / kPi;
    const double angles[3] = {camera.eye->twist * 180.0 / kPi, elevation, azimuth};
    compose_matrix_ops(0, camera.eye->view_matrix, camera.eye->eye, angles, 0, op_code("M-"), op_code("z-"),
                       op_code("y-"), op_code("x-"));
    compose_matrix_ops(0, camera.eye->inverse_view_matrix, camera.eye->eye, angles, 0, op_code("x"), op_code("y"),
                       op_code("z"), op_code("M"));
    return 0;
}

void XView::LookFromCameraPart(XTrunk* trunk, XLeaves* part) {
    if (!trunk && !part) {
        camera.current_camera_part = nullptr;
        camera.camera_part_owner = nullptr;
        return;
    }
    if (!trunk) trunk = part->owner;
    if (!trunk) return;
    if (!part) {
        for (int i = 1; i < trunk->part_count() && !part; ++i)
            if (trunk->HasPartFlag(i, 3)) part = trunk->parts[i];
        if (!part) return;
    }
    camera.current_camera_part = part;
    camera.camera_part_owner = trunk;
    if (!camera.eye) return;
    const double origin[3] = {0, 0, 0}, ahead[3] = {0, 0, 1000};
    double at[3], toward[3];
    transform_point(at, origin, part->L);
    transform_point(toward, ahead, part->L);
    SetEye(at, toward, 0.0, camera.collision_check);
}

void XView::ShowGroundGrid(const double* matrix) {
    if (!output.bridge) return;
    if (!display.ground_grid_shape) display.ground_grid_shape = output.bridge->AddGroundGrid(0xFFFF40, 0x00006F);
    if (!display.ground_grid_shape) return;
    if (matrix) output.bridge->SetShapeMatrix(display.ground_grid_shape, to_matrix(matrix));
    output.bridge->SetShapeVisible(display.ground_grid_shape, 1);
}

void XView::CopyViewToDib(kz::crt::GlobalHandle dib) {
    CO3duGLModelar* m = modeller_of(output.bridge);
    if (!m || !dib) return;
    auto* header = static_cast<std::uint8_t*>(kz::crt::global_lock(dib));
    if (!header) return;
    const int width = std::abs(dib_width(header)), height = std::abs(dib_height(header));
    std::uint32_t header_size = 0;
    std::memcpy(&header_size, header, 4);
    BYTE* pixels = header + header_size;
    const int size = dib_row_stride(width, 3) * height;
    _O3duViewport viewport;
    m->GetViewport(viewport);
    if (viewport.width == width && viewport.height == height) {
        output.bridge->RenderToPixels(pixels, size);
    } else {
        std::vector<BYTE> buffer(static_cast<std::size_t>(size));
        _OFURECT rect{0, 0, width, height};
        m->MemDCToBitmap(buffer.data(), size, rect, nullptr);
        std::memcpy(pixels, buffer.data(), buffer.size());
        output.bridge->InitDevice(nullptr);
    }
    kz::crt::global_unlock(dib);
}

void XView::DrawEyeShifted(kz::platform::DeviceContext* dc, double offset) {
    if (!dc || !camera.eye || !output.bridge) return;
    SetStereoEye(offset);
    output.bridge->DrawModel(dc);
    SetStereoEye(0);
}

}  // namespace kz::view
