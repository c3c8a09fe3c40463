// The two shapes the bridge makes from fixed geometry for the view: the ground grid with its lettered axes and
// the box marker with three axis lines. Neither can be picked, so clicks go through them to the model.
#include "app/foundation/bus_mdl.h"

#include <initializer_list>

namespace kz::foundation {

namespace {

// Diffuse and ambient k times the colour, specular k, both alphas as given.
void material_from_color(_OfuMaterial& m, std::uint32_t color, double k, float alpha) {
    const float r = static_cast<float>(k * (color & 0xFF) / 255.0);
    const float g = static_cast<float>(k * ((color >> 8) & 0xFF) / 255.0);
    const float b = static_cast<float>(k * ((color >> 16) & 0xFF) / 255.0);
    m.diffuse = {r, g, b, alpha};
    m.ambient = {r, g, b, alpha};
    m.specular.r = m.specular.g = m.specular.b = static_cast<float>(k);
}

// Line list of `total` vertices: the given segment ends first, the rest left at the origin.
class LineSet {
public:
    LineSet(CO3duTrianglePolys& set, int total, std::int32_t type = O3DU_SET_LINE_LIST) : set_(set) {
        set_.type = type;
        set_.vertices.SetSize(total);
    }
    void add(double x, double y, double z) {
        if (next_ < set_.vertices.GetSize()) set_.vertices[next_++].position = OfuVector3(x, y, z);
    }
    void segment(double x0, double y0, double z0, double x1, double y1, double z1) {
        add(x0, y0, z0);
        add(x1, y1, z1);
    }

private:
    CO3duTrianglePolys& set_;
    int next_ = 0;
};

std::uint32_t rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r & 0xFF) | (static_cast<std::uint32_t>(g & 0xFF) << 8) |
           (static_cast<std::uint32_t>(b & 0xFF) << 16);
}

// The four lines x = +-d and y = +-d, each running from -half to half.
void grid_square(LineSet& lines, double d, double half) {
    lines.segment(d, -half, 0, d, half, 0);
    lines.segment(-d, -half, 0, -d, half, 0);
    lines.segment(-half, d, 0, half, d, 0);
    lines.segment(-half, -d, 0, half, -d, 0);
}

}  // namespace

_OfuPosition* CBusMDL::AddGroundGrid(std::uint32_t color, int axis_level) {
    if (!modeller) return nullptr;
    const int level = axis_level & 0xFF;
    CO3duPrimitive primitive;
    primitive.sets.SetSize(4);

    LineSet grid(primitive.sets[0], 496);
    for (int i = 1; i <= 50; ++i) grid_square(grid, 1000.0 * i, 50000.0);
    for (int i = 1; i <= 9; ++i) grid_square(grid, 100.0 * i, 1000.0);
    grid.segment(-50000, 0, 0, 0, 0, 0);
    grid.segment(0, -50000, 0, 0, 0, 0);
    material_from_color(primitive.sets[0].material, color, 1.0, 1.0f);

    LineSet x_axis(primitive.sets[1], 16);
    x_axis.segment(0, 0, 0, 50000, 0, 0);
    for (auto [centre, half] : {std::pair{1150.0, 100.0}, std::pair{150.0, 30.0}}) {
        x_axis.segment(centre - half, -half, 0, centre + half, half, 0);
        x_axis.segment(centre - half, half, 0, centre + half, -half, 0);
    }
    material_from_color(primitive.sets[1].material, rgb(level, level, 255), 2.0, 1.0f);

    LineSet y_axis(primitive.sets[2], 16);
    y_axis.segment(0, 0, 0, 0, 50000, 0);
    y_axis.segment(-100, 1050, 0, 100, 1250, 0);
    y_axis.segment(-100, 1250, 0, 0, 1150, 0);
    material_from_color(primitive.sets[2].material, rgb(255, level, level), 2.0, 1.0f);

    LineSet z_axis(primitive.sets[3], 16);
    z_axis.segment(0, 0, 0, 0, 0, 50000);
    material_from_color(primitive.sets[3].material, rgb(level, 255, level), 2.0, 1.0f);

    // Unpickable from the start, not only once the view first changes its visibility.
    primitive.draw_mode &= ~O3DU_DRAW_PICKABLE;
    _OfuPosition* shape = modeller->AddPrimitive(primitive);
    if (shape) set_unpickable(shape);
    return shape;
}

_OfuPosition* CBusMDL::AddAxisMarker(double side, double height, std::uint32_t color, double transparency,
                                     double axis_length, std::uint32_t x_color, std::uint32_t y_color,
                                     std::uint32_t z_color, double line_width) {
    if (!modeller) return nullptr;
    const double h = side / 2, top = height / 2;
    const double corners[8][3] = {{-h, -h, 0},   {h, -h, 0},   {h, h, 0},   {-h, h, 0},
                                  {-h, -h, top}, {h, -h, top}, {h, h, top}, {-h, h, top}};
    CO3duPrimitive primitive;
    primitive.sets.SetSize(5);
    const int outlines[2][5] = {{3, 2, 1, 0, 3}, {4, 5, 6, 7, 4}};
    for (int s = 0; s < 2; ++s) {
        LineSet strip(primitive.sets[s], 5, O3DU_SET_LINE_STRIP);
        for (int c : outlines[s]) strip.add(corners[c][0], corners[c][1], corners[c][2]);
    }
    const double l = axis_length;
    LineSet(primitive.sets[2], 2).segment(0, 0, 0, l, 0, 0);
    LineSet(primitive.sets[3], 2).segment(0, 0, 0, 0, l, 0);
    LineSet(primitive.sets[4], 2).segment(0, 0, 0, 0, 0, l);
    const std::uint32_t colors[5] = {color, color, x_color, y_color, z_color};
    const float alpha = opacity_of(transparency);
    for (int s = 0; s < 5; ++s) {
        material_from_color(primitive.sets[s].material, colors[s], 2.0, alpha);
        primitive.sets[s].line_width = static_cast<float>(line_width);
    }
    primitive.draw_mode &= ~O3DU_DRAW_PICKABLE;
    _OfuPosition* shape = modeller->AddPrimitive(primitive);
    if (shape) set_unpickable(shape);
    return shape;
}

}  // namespace kz::foundation
