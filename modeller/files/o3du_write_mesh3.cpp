// Writing OM3 mesh files. Every chunk is assembled in a local block and goes out in one write; the file layer's
// writer keeps the whole stream in a temporary file that replaces the target only once every byte is out.
#include "modeller/files/o3du_write_mesh3.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modeller/files/om3_chunks.h"
#include "platform/file_system.h"

namespace {

// One fixed-size chunk being assembled: the head is written first, fields follow in order.
template <int N>
class ChunkBlock {
public:
    explicit ChunkBlock(std::int32_t type) { at_ = om3_put(om3_put(bytes_.data(), type), std::int32_t(N)); }
    template <typename T>
    ChunkBlock& put(T value) {
        at_ = om3_put(at_, value);
        return *this;
    }
    ChunkBlock& put_color(const OfuColorValue& c) { return put(c.r).put(c.g).put(c.b).put(c.a); }
    ChunkBlock& put_vector(const OfuVector3& v) { return put(v.x).put(v.y).put(v.z); }
    ChunkBlock& put_matrix(const OfuMatrix4x4& m) {
        for (int i = 0; i < 16; ++i) put(m.m[i / 4][i % 4]);
        return *this;
    }
    int write(std::FILE* file) const {
        return at_ == bytes_.data() + N && std::fwrite(bytes_.data(), N, 1, file) == 1 ? 1 : 0;
    }

private:
    std::array<unsigned char, N> bytes_{};
    unsigned char* at_;
};

// A BMP file image (14-byte file header, 40-byte info header, palette, rows) in a chunk of the given type.
int write_bmp_chunk(std::FILE* file, std::int32_t type, const BITMAPINFOHEADER& info, const std::uint32_t* palette,
                    int palette_entries, const std::uint8_t* pixels, std::int64_t pixel_bytes) {
    const std::int64_t offset = 54 + std::int64_t(palette_entries) * 4;
    const std::int64_t size = kOm3ChunkHead + offset + pixel_bytes;
    if (size > INT32_MAX) return 0;
    std::vector<unsigned char> head(static_cast<std::size_t>(kOm3ChunkHead + offset));
    unsigned char* p = head.data();
    p = om3_put(p, type);
    p = om3_put(p, std::int32_t(size));
    p = om3_put(p, std::uint16_t(0x4D42));
    p = om3_put(p, std::uint32_t(offset + pixel_bytes));
    p = om3_put(p, std::uint32_t(0));  // both reserved words
    p = om3_put(p, std::uint32_t(offset));
    BITMAPINFOHEADER h = info;
    h.biSize = 40;
    h.biSizeImage = static_cast<std::uint32_t>(pixel_bytes);
    h.biClrUsed = static_cast<std::uint32_t>(palette_entries);
    p = om3_put(p, h.biSize);
    p = om3_put(p, h.biWidth);
    p = om3_put(p, h.biHeight);
    p = om3_put(p, h.biPlanes);
    p = om3_put(p, h.biBitCount);
    p = om3_put(p, h.biCompression);
    p = om3_put(p, h.biSizeImage);
    p = om3_put(p, h.biXPelsPerMeter);
    p = om3_put(p, h.biYPelsPerMeter);
    p = om3_put(p, h.biClrUsed);
    p = om3_put(p, h.biClrImportant);
    for (int i = 0; i < palette_entries; ++i) p = om3_put(p, palette ? palette[i] : std::uint32_t(0));
    if (std::fwrite(head.data(), head.size(), 1, file) != 1) return 0;
    return pixel_bytes == 0 || std::fwrite(pixels, static_cast<std::size_t>(pixel_bytes), 1, file) == 1 ? 1 : 0;
}

}  // namespace

int CO3duWriteMesh3::WriteHeader(std::FILE* file) {
    ChunkBlock<kOm3HeaderSize> c(kOm3Magic);
    return c.put(kOm3Version).write(file);
}

int CO3duWriteMesh3::WriteImageBmp(std::FILE* file, CO3duModelar& modeller) {
    constexpr int side = kOm3ThumbnailSide;
    std::vector<std::uint8_t> pixels(side * side * 3);
    _OFURECT rect{0, 0, side, side};
    modeller.MemDCToBitmap(pixels.data(), static_cast<int>(pixels.size()), rect, nullptr);
    BITMAPINFOHEADER info;
    info.biWidth = side;
    info.biHeight = side;
    info.biBitCount = 24;
    return write_bmp_chunk(file, OM3_THUMBNAIL, info, nullptr, 0, pixels.data(), std::int64_t(pixels.size()));
}

int CO3duWriteMesh3::WriteTexture(std::FILE* file, const _OfuBitmap& image) {
    const BITMAPINFOHEADER& info = image.info_header;
    const int bits = info.biBitCount;
    // What a texture's rows hold by its header; an image shorter than that is padded with zero bytes.
    const std::int64_t needed = bitmap_row_bytes(info.biWidth, bits) * std::llabs(std::int64_t(info.biHeight));
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(needed), 0);
    const std::int64_t held = std::min<std::int64_t>(needed, image.pixels.GetSize());
    if (held > 0) std::memcpy(rows.data(), image.pixels.GetData(), static_cast<std::size_t>(held));
    std::uint32_t palette[2] = {0, 0};
    const int entries = bits == 1 ? 2 : 0;
    for (int i = 0; i < entries && i < image.palette.GetSize(); ++i) palette[i] = image.palette[i];
    return write_bmp_chunk(file, OM3_TEXTURE, info, palette, entries, rows.data(), needed);
}

int CO3duWriteMesh3::WriteCamera(std::FILE* file, const _O3duCamera& camera) {
    ChunkBlock<kOm3CameraSize> c(OM3_CAMERA);
    c.put_vector(camera.eye).put_vector(camera.target);
    return c.put(camera.fov).put(camera.near_distance).put(camera.far_distance).put(camera.aspect).write(file);
}

int CO3duWriteMesh3::WriteAxoCamera(std::FILE* file, const _O3duAxoCamera& camera) {
    ChunkBlock<kOm3CameraSize> c(OM3_PARALLEL_CAMERA);
    c.put_vector(camera.eye).put_vector(camera.target).put(camera.window_width).put(camera.window_height);
    return c.put(camera.near_distance).put(camera.far_distance).write(file);
}

int CO3duWriteMesh3::WriteLight(std::FILE* file, const OfuLight& light, int number) {
    ChunkBlock<kOm3LightSize> c(OM3_LIGHT);
    c.put(std::int32_t(number)).put(light.type).put_color(light.diffuse).put_color(light.ambient);
    c.put_color(light.specular).put_vector(light.position).put_vector(light.direction);
    return c.put(light.on).put(light.attenuation).write(file);
}

int CO3duWriteMesh3::WriteShadowLight(std::FILE* file, const OfuLight& light) {
    ChunkBlock<kOm3ShadowLightSize> c(OM3_SHADOW_LIGHT);
    c.put(light.type).put_color(light.diffuse).put_color(light.ambient).put_color(light.specular);
    c.put_vector(light.position).put_vector(light.direction);
    return c.put(light.on).put(light.attenuation).write(file);
}

int CO3duWriteMesh3::WriteEnv(std::FILE* file, CO3duModelar& modeller) {
    OfuColorValue background{0, 0, 0, 1};
    modeller.GetBkColor(background);
    const _OFUDRECT window = modeller.GetPersWindow();
    ChunkBlock<kOm3ViewSettingsSize> c(OM3_VIEW_SETTINGS);
    c.put(background.r).put(background.g).put(background.b);
    c.put(std::int32_t(modeller.GetCullMode())).put(std::int32_t(modeller.GetPersMode()));
    c.put(window.left).put(window.right).put(window.top).put(window.bottom);
    c.put(std::int32_t(modeller.GetCameraMode())).put(std::int32_t(modeller.GetShadowAccuracy()));
    return c.put_color(modeller.GetShadowColor()).write(file);
}

int CO3duWriteMesh3::WriteVertex(std::FILE* file, const _O3duVertex& v) {
    ChunkBlock<kOm3VertexSize> c(OM3_VERTEX);
    c.put_vector(v.position).put_vector(v.normal);
    c.put(v.color[0]).put(v.color[1]).put(v.color[2]).put(v.color[3]);
    return c.put(v.tex.x).put(v.tex.y).write(file);
}

int CO3duWriteMesh3::WriteIndex(std::FILE* file, const _O3duVertexIndex& index) {
    ChunkBlock<kOm3IndexSize> c(OM3_INDEX);
    return c.put(index.a).put(index.b).put(index.c).write(file);
}

int CO3duWriteMesh3::WritePolygons(std::FILE* file, const CO3duTrianglePolys& set) {
    ChunkBlock<kOm3SetSize> c(OM3_TRIANGLE_SET);
    c.put(set.type).put_color(set.material.diffuse).put_color(set.material.ambient);
    c.put_color(set.material.specular).put(set.material.power).put(set.material_type);
    if (!c.put(set.line_width).put(set.texture_number).put(std::int32_t(0)).write(file)) return 0;
    for (int i = 0; i < set.vertices.GetSize(); ++i)
        if (!WriteVertex(file, set.vertices[i])) return 0;
    for (int i = 0; i < set.indices.GetSize(); ++i)
        if (!WriteIndex(file, set.indices[i])) return 0;
    return 1;
}

int CO3duWriteMesh3::WritePrimitive(std::FILE* file, CO3duModelar& modeller, _OfuPosition* pos) {
    CO3duPrimitive p;
    modeller.GetPrimitive(pos, p, O3DU_PRIM_ALL);
    ChunkBlock<kOm3PrimitiveSize> c(OM3_PRIMITIVE);
    c.put(p.draw_mode).put_matrix(p.model_matrix).put(p.kind).put(p.layer);
    if (!c.put_matrix(p.texture_matrix).put(p.polygon_mode).write(file)) return 0;
    for (int i = 0; i < p.sets.GetSize(); ++i)
        if (!WritePolygons(file, p.sets[i])) return 0;
    return 1;
}

int CO3duWriteMesh3::WriteModel(CO3duModelar& modeller, const char* path, int create) {
    if (!path || !*path) return 0;
    std::string earlier;
    if (!create && kz::platform::file_exists(path) && !kz::platform::read_whole_file(path, &earlier)) return 0;
    kz::platform::FileWriter out(path);
    if (!out.is_open()) return 0;
    std::FILE* file = out.stream();
    std::setvbuf(file, nullptr, _IOFBF, std::size_t(1) << 20);
    if (!earlier.empty() && !out.write(earlier.data(), earlier.size())) return 0;
    if (!WriteHeader(file) || !WriteImageBmp(file, modeller)) return 0;
    const int textures = modeller.GetTexCount();
    for (int i = 0; i < textures; ++i) {
        _OfuBitmap image;
        if (!modeller.GetTexture(static_cast<unsigned>(i), image) || !WriteTexture(file, image)) return 0;
    }
    _O3duCamera camera;
    modeller.GetCamera(camera);
    if (!WriteCamera(file, camera)) return 0;
    for (int i = 0; i < 8; ++i) {
        OfuLight light;
        modeller.GetLight(i, light);
        if (!WriteLight(file, light, i)) return 0;
    }
    CO3duPosList shapes;
    modeller.GetPosArray(shapes);
    for (int i = 0; i < shapes.GetSize(); ++i)
        if (!WritePrimitive(file, modeller, shapes[i])) return 0;
    _O3duAxoCamera parallel;
    modeller.GetAxoCamera(parallel);
    OfuLight shadow;
    modeller.GetShadowLight(shadow);
    if (!WriteEnv(file, modeller) || !WriteAxoCamera(file, parallel) || !WriteShadowLight(file, shadow)) return 0;
    return out.commit() ? 1 : 0;
}
