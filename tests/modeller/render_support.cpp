// Helpers of the modeller tests: box and quad primitives, headless frames read back through the modeller, and
// the CPU oracle for fixed-function lighting and perspective projection.
#include "tests/modeller/render_support.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/crt/c_numbers.h"
#include "platform/gl_context.h"
#include "support/test_paths.h"

namespace kz::test {

Rgb Frame::at(int x, int y) const {
    const std::uint8_t* p = &bytes[std::size_t(y) * stride() + std::size_t(x) * 3];
    return {p[2], p[1], p[0]};
}

void Frame::save(const std::string& name) const {
    const std::string path = output_file(name + ".bmp");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    auto u16 = [&](unsigned v) { std::fputc(v & 0xFF, f), std::fputc((v >> 8) & 0xFF, f); };
    auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
    const unsigned image = unsigned(stride()) * unsigned(height);
    u16(0x4D42), u32(54 + image), u32(0), u32(54);
    u32(40), u32(unsigned(width)), u32(unsigned(height)), u16(1), u16(24), u32(0), u32(image), u32(0), u32(0), u32(0),
        u32(0);
    std::fwrite(bytes.data(), 1, image, f);
    std::fclose(f);
}

::testing::AssertionResult pixel_near(const Frame& frame, int x, int y, Rgb want, int tolerance,
                                      const std::string& name) {
    const Rgb got = frame.at(x, y);
    if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
        std::abs(got.b - want.b) <= tolerance)
        return ::testing::AssertionSuccess();
    frame.save(name);
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is (" << got.r << ", " << got.g << ", "
                                         << got.b << "), want (" << want.r << ", " << want.g << ", " << want.b << ") +-"
                                         << tolerance << "; frame written as " << name << ".bmp";
}

_OfuMaterial make_material(OfuColorValue diffuse, OfuColorValue ambient, OfuColorValue specular, float power) {
    _OfuMaterial m;
    m.diffuse = diffuse;
    m.ambient = ambient;
    m.specular = specular;
    m.emission = {0, 0, 0, 1};
    m.power = power;
    return m;
}

namespace {

void add_face(CO3duPrimitive& p, const OfuVector3& c, const OfuVector3& u, const OfuVector3& v, const OfuVector3& n,
              const _OfuMaterial& material) {
    CO3duTrianglePolys set;
    set.type = O3DU_SET_TRIANGLE_STRIP;
    set.material = material;
    set.vertices.SetSize(4);
    const double su[4] = {-1, 1, -1, 1}, sv[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        set.vertices[i].position = OfuVector3(c.x + su[i] * u.x + sv[i] * v.x, c.y + su[i] * u.y + sv[i] * v.y,
                                              c.z + su[i] * u.z + sv[i] * v.z);
        set.vertices[i].normal = n;
        set.vertices[i].tex = OfuVector2((su[i] + 1) / 2, (sv[i] + 1) / 2);
    }
    p.sets.Add(set);
}

}  // namespace

CO3duPrimitive make_box(const OfuVector3& lo, const OfuVector3& hi, const _OfuMaterial& material) {
    CO3duPrimitive p;
    const OfuVector3 c((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2);
    const double hx = (hi.x - lo.x) / 2, hy = (hi.y - lo.y) / 2, hz = (hi.z - lo.z) / 2;
    // For each face u x v is the outward normal, so every strip is counter-clockwise seen from outside.
    add_face(p, {c.x - hx, c.y, c.z}, {0, 0, hz}, {0, hy, 0}, {-1, 0, 0}, material);
    add_face(p, {c.x + hx, c.y, c.z}, {0, hy, 0}, {0, 0, hz}, {1, 0, 0}, material);
    add_face(p, {c.x, c.y - hy, c.z}, {hx, 0, 0}, {0, 0, hz}, {0, -1, 0}, material);
    add_face(p, {c.x, c.y + hy, c.z}, {0, 0, hz}, {hx, 0, 0}, {0, 1, 0}, material);
    add_face(p, {c.x, c.y, c.z - hz}, {0, hy, 0}, {hx, 0, 0}, {0, 0, -1}, material);
    add_face(p, {c.x, c.y, c.z + hz}, {hx, 0, 0}, {0, hy, 0}, {0, 0, 1}, material);
    return p;
}

CO3duPrimitive make_quad_facing_minus_y(double x0, double z0, double x1, double z1, double y0,
                                        const _OfuMaterial& material) {
    CO3duPrimitive p;
    add_face(p, {(x0 + x1) / 2, y0, (z0 + z1) / 2}, {(x1 - x0) / 2, 0, 0}, {0, 0, (z1 - z0) / 2}, {0, -1, 0}, material);
    return p;
}

_OfuBitmap blank_image(int width, int height, int bits) {
    _OfuBitmap image;
    image.info_header.biWidth = width;
    image.info_header.biHeight = height;
    image.info_header.biBitCount = std::uint16_t(bits);
    PrepareDibBuffers(image.pixels, image.palette, image.file_header, image.info_header);
    return image;
}

HeadlessScene::HeadlessScene(int width, int height)
    : dc(kz::platform::DeviceContext::create_window(width, height)), modeller(std::make_unique<CO3duGLModelar>()) {
    HDC hdc = dc.get();
    EXPECT_EQ(modeller->Initialize(hdc), 1);
    _O3duCamera camera;
    camera.eye = OfuVector3(0, -100, 0);
    camera.target = OfuVector3(0, 0, 0);
    camera.fov = 30;
    camera.near_distance = 10;
    camera.far_distance = 1000;
    camera.aspect = double(width) / height;
    modeller->SetCamera(camera);
}

void HeadlessScene::replace_modeller(std::unique_ptr<CO3duGLModelar> other) {
    _O3duCamera camera;
    modeller->GetCamera(camera);
    modeller = std::move(other);
    HDC hdc = dc.get();
    EXPECT_EQ(modeller->Initialize(hdc), 1);
    modeller->SetCamera(camera);
}

Frame HeadlessScene::render() {
    Frame frame(dc->width(), dc->height(), 0xCD);
    HDC hdc = dc.get();
    _OFURECT rect{0, 0, frame.width, frame.height};
    modeller->DrawTo24DIBPixel(hdc, frame.bytes.data(), static_cast<int>(frame.bytes.size()), rect);
    return frame;
}

std::vector<std::uint8_t> HeadlessScene::stencil() {
    std::vector<std::uint8_t> counts(std::size_t(dc->width()) * dc->height());
    if (!kz::platform::make_current(dc.get(), modeller->renderer().context())) return {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, dc->width(), dc->height(), GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, counts.data());
    kz::platform::make_current(nullptr, nullptr);
    return counts;
}

OfuLight make_light(int type, OfuColorValue diffuse, OfuColorValue ambient, OfuColorValue specular,
                    const OfuVector3& direction) {
    OfuLight light;
    light.type = type;
    light.diffuse = diffuse;
    light.ambient = ambient;
    light.specular = specular;
    light.direction = direction;
    light.on = 1;
    return light;
}

void white_light_along_y(CO3duGLModelar& m) {
    m.SetLight(1, make_light(OFU_LIGHT_DIRECTIONAL, {1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 1, 0}));
}

_O3duCamera camera_looking(CO3duGLModelar& m, const OfuVector3& eye, const OfuVector3& target, double fov,
                           double near_distance, double far_distance) {
    _O3duCamera c;
    m.GetCamera(c);
    c.eye = eye;
    c.target = target;
    c.fov = fov;
    c.near_distance = near_distance;
    c.far_distance = far_distance;
    return c;
}

namespace {

double dot3(const OfuVector3& a, const OfuVector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

OfuVector3 unit(const OfuVector3& v) {
    const double l = std::sqrt(dot3(v, v));
    return {v.x / l, v.y / l, v.z / l};
}

int to_byte(double c) { return static_cast<int>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0)); }

}  // namespace

Rgb lit_vertex(const OfuVector3& p, const OfuVector3& normal, const _OfuMaterial& m,
               const std::vector<OracleLight>& lights, const OfuVector3& view_dir) {
    const OfuVector3 n = unit(normal);
    const OfuVector3 to_viewer = unit({-view_dir.x, -view_dir.y, -view_dir.z});
    double c[3];
    const float ma[3] = {m.ambient.r, m.ambient.g, m.ambient.b};
    const float md[3] = {m.diffuse.r, m.diffuse.g, m.diffuse.b};
    const float ms[3] = {m.specular.r, m.specular.g, m.specular.b};
    for (int k = 0; k < 3; ++k) c[k] = 0.2 * ma[k];
    for (const OracleLight& light : lights) {
        OfuVector3 l = light.toward_light;
        double attenuation = 1.0;
        if (light.positional) {
            const OfuVector3 d(light.position.x - p.x, light.position.y - p.y, light.position.z - p.z);
            const double distance = std::sqrt(dot3(d, d));
            l = unit(d);
            attenuation = 1.0 / (1.0 + light.linear_attenuation * distance);
        }
        const double nl = std::max(0.0, dot3(n, l));
        const OfuVector3 h = unit({l.x + to_viewer.x, l.y + to_viewer.y, l.z + to_viewer.z});
        const double spec = nl > 0 ? std::pow(std::max(0.0, dot3(n, h)), m.power) : 0.0;
        const float la[3] = {light.ambient.r, light.ambient.g, light.ambient.b};
        const float ld[3] = {light.diffuse.r, light.diffuse.g, light.diffuse.b};
        const float ls[3] = {light.specular.r, light.specular.g, light.specular.b};
        for (int k = 0; k < 3; ++k) c[k] += attenuation * (la[k] * ma[k] + nl * ld[k] * md[k] + spec * ls[k] * ms[k]);
    }
    return {to_byte(c[0]), to_byte(c[1]), to_byte(c[2])};
}

void project(const _O3duCamera& camera, int width, int height, const OfuVector3& p, double& x, double& y) {
    const OfuVector3 f =
        unit({camera.target.x - camera.eye.x, camera.target.y - camera.eye.y, camera.target.z - camera.eye.z});
    const OfuVector3 up(0, 0, 1);
    const OfuVector3 s = unit({f.y * up.z - f.z * up.y, f.z * up.x - f.x * up.z, f.x * up.y - f.y * up.x});
    const OfuVector3 u(s.y * f.z - s.z * f.y, s.z * f.x - s.x * f.z, s.x * f.y - s.y * f.x);
    const OfuVector3 d(p.x - camera.eye.x, p.y - camera.eye.y, p.z - camera.eye.z);
    const double xe = dot3(s, d), ye = dot3(u, d), depth = dot3(f, d);
    const double focal = 1.0 / std::tan(camera.fov * M_PI / 360.0);
    x = (focal / camera.aspect * xe / depth + 1.0) * width / 2.0;
    y = (focal * ye / depth + 1.0) * height / 2.0;
}

void pixel_of(const _O3duCamera& camera, const OfuVector3& p, int& x, int& y) {
    double fx = 0, fy = 0;
    project(camera, HeadlessScene::kSize, HeadlessScene::kSize, p, fx, fy);
    x = static_cast<int>(std::floor(fx));
    y = static_cast<int>(std::floor(fy));
}

std::vector<double> numbers_in(const std::string& text, std::size_t from, char until) {
    std::vector<double> out;
    for (std::size_t at = from; at < text.size() && text[at] != until;) {
        char* end = nullptr;
        const double v = kz::crt::c_strtod(text.c_str() + at, &end);
        if (end == text.c_str() + at) {
            ++at;
            continue;
        }
        out.push_back(v);
        at = static_cast<std::size_t>(end - text.c_str());
    }
    return out;
}

void expect_near_all(const std::vector<double>& got, const std::vector<double>& want, double tolerance,
                     const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tolerance) << what << " " << i;
}

}  // namespace kz::test
