// Reading OM3 mesh files. The file is read whole (within the file layer's limits) and parsed into shapes,
// textures and settings first; only a file that checks out entirely reaches the modeller. Texture numbers in the
// file count the texture chunks of its own stream (a stream starts at each header), so a texture that the
// modeller refuses leaves the numbers of later ones alone, and "no texture" stays 0.
#include "modeller/files/o3du_read_mesh3.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "geometry/vector_math.h"
#include "modeller/files/om3_chunks.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"
#include "platform/report.h"

namespace {

using Bytes = const unsigned char*;

bool header_ok(std::string_view bytes) {
    if (bytes.size() < kOm3HeaderSize) return false;
    const auto* p = reinterpret_cast<Bytes>(bytes.data());
    return om3_get<std::int32_t>(p) == kOm3Magic && om3_get<std::int32_t>(p + 8) <= kOm3Version;
}

// Numbers that the modeller narrows to floats must survive the narrowing (a NaN fails the comparison too).
bool fits_float(double v) { return std::fabs(v) <= FLT_MAX; }

bool finite_doubles(Bytes p, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(om3_get<double>(p + 8 * i))) return false;
    return true;
}

OfuVector3 get_vector(Bytes p) { return {om3_get<double>(p), om3_get<double>(p + 8), om3_get<double>(p + 16)}; }
OfuColorValue get_color(Bytes p) {
    return {om3_get<float>(p), om3_get<float>(p + 4), om3_get<float>(p + 8), om3_get<float>(p + 12)};
}
void get_matrix(Bytes p, OfuMatrix4x4& m) {
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = om3_get<double>(p + 8 * i);
}

// Sizes a list being filled to hold n elements. A block that runs out at least doubles (the step given to SetSize
// is the size so far), so a file of a million runs of one chunk each, or of a million sets, reads in linear time:
// the lists' own step, at most 1024 elements, would move the whole list again every thousand chunks. A run read
// into an empty list gets a block of exactly its length.
template <typename List>
void make_room(List& list, int n) {
    if (n > list.GetSize()) list.SetSize(n, std::max(list.GetSize(), 4));
}

// One pass over the chunks, building what the file holds; apply() hands it to the modeller.
class Om3Parse {
public:
    Om3Parse(bool single, const CO3duReadMesh3::KeepGoing& keep_going) : single_(single), keep_going_(keep_going) {
        streams_.emplace_back();
    }

    bool Run(std::string_view bytes, std::string& error);
    void Apply(CO3duModelar& modeller, CO3duPosList& added);

private:
    struct TextureRef {
        std::size_t shape;
        int set;
        std::size_t stream;
        std::int32_t number;
    };

    bool Fail(std::size_t offset, const char* what) {
        error_ = "byte " + kz::crt::int_text(offset) + ": " + what;
        return false;
    }
    bool Chunk(std::int32_t type, Bytes chunk, int size);
    // One vertex chunk into `out`; false when a number would not survive narrowing to float.
    bool ReadVertex(Bytes chunk, _O3duVertex& out) const;
    // The run of vertex chunks that starts at offset_; leaves offset_ on the run's last chunk.
    bool ReadVertices();
    bool ReadIndex(Bytes chunk, int size);
    bool ReadPolygons(Bytes chunk, int size);
    bool ReadPrimitive(Bytes chunk, int size);
    bool ReadTexture(Bytes chunk, int size);
    bool ReadCamera(Bytes chunk, int size, bool parallel);
    bool ReadLight(Bytes chunk, int size);
    bool ReadShadowLight(Bytes chunk, int size);
    bool ReadEnv(Bytes chunk, int size);

    bool Dropped() const { return single_ && (record_.draw_mode & O3DU_DRAW_HIDDEN); }
    // Chunks of the type, one after another, from the current one on.
    int RunLength(std::int32_t type) const;
    // The next free element of a list filled chunk by chunk. A full list makes room at once for the run of chunks
    // of its type that starts here (a set's vertices, then its indices, come one after another), so a set of a
    // million vertices is sized once; TrimSet gives the list its final size.
    template <typename List>
    auto& NextSlot(List& list, int& used, std::int32_t type) {
        if (used == list.GetSize()) make_room(list, used + std::max(RunLength(type), 1));
        return list[used++];
    }
    CO3duTrianglePolys& LastSet();
    // The current primitive's fields without its sets.
    CO3duPrimitive current_fields() const {
        CO3duPrimitive p;
        p.draw_mode = current_.draw_mode;
        p.model_matrix = current_.model_matrix;
        p.texture_matrix = current_.texture_matrix;
        p.kind = current_.kind;
        p.layer = current_.layer;
        p.polygon_mode = current_.polygon_mode;
        return p;
    }
    void TrimSet();

    // False once the caller asked to stop: the chunks from here on are left as a file's end would leave them.
    bool GoOn() {
        if (!stopped_ && keep_going_ && !keep_going_()) stopped_ = true;
        return !stopped_;
    }

    bool single_;
    const CO3duReadMesh3::KeepGoing& keep_going_;
    bool stopped_ = false;
    std::string_view bytes_;
    std::size_t offset_ = 0;
    std::string error_;
    CO3duPrimitive current_;  // collects the sets
    CO3duPrimitive record_;   // single mode: the fields of the last primitive chunk
    bool opened_ = false;     // a primitive chunk has been met
    int vertices_used_ = 0;   // in the last set of current_
    int indices_used_ = 0;
    std::vector<CO3duPrimitive> shapes_;
    std::vector<_OfuBitmap> textures_;
    std::vector<std::vector<int>> streams_;  // per stream, its texture chunks' places in textures_ (-1 skipped)
    std::vector<TextureRef> texture_refs_;
    std::vector<std::function<void(CO3duModelar&)>> settings_;  // in file order
};

int Om3Parse::RunLength(std::int32_t type) const {
    const auto* data = reinterpret_cast<Bytes>(bytes_.data());
    int run = 0;
    for (std::size_t at = offset_; bytes_.size() - at >= kOm3ChunkHead; ++run) {
        const std::int32_t size = om3_get<std::int32_t>(data + at + 4);
        if (om3_get<std::int32_t>(data + at) != type || size < kOm3ChunkHead || std::size_t(size) > bytes_.size() - at)
            break;
        at += std::size_t(size);
    }
    return run;
}

CO3duTrianglePolys& Om3Parse::LastSet() {
    if (current_.sets.GetSize() == 0) {
        CO3duTrianglePolys fresh;
        current_.sets.Add(fresh);
        vertices_used_ = indices_used_ = 0;
    }
    return current_.sets[current_.sets.GetSize() - 1];
}

void Om3Parse::TrimSet() {
    if (current_.sets.GetSize() == 0) return;
    CO3duTrianglePolys& set = current_.sets[current_.sets.GetSize() - 1];
    set.vertices.SetSize(vertices_used_);
    set.indices.SetSize(indices_used_);
}

bool Om3Parse::ReadVertex(Bytes chunk, _O3duVertex& out) const {
    const OfuVector3 normal = get_vector(chunk + 32);
    const double u = om3_get<double>(chunk + 72), v = om3_get<double>(chunk + 80);
    out.position = get_vector(chunk + 8);
    out.normal = normal;
    if (single_) {
        // Into scene coordinates: the position through the whole matrix, the normal through its turn alone.
        TransformPointByMatrix4x4(record_.model_matrix, out.position);
        const OfuMatrix4x4& m = record_.model_matrix;
        out.normal = {normal.x * m[0][0] + normal.y * m[1][0] + normal.z * m[2][0],
                      normal.x * m[0][1] + normal.y * m[1][1] + normal.z * m[2][1],
                      normal.x * m[0][2] + normal.y * m[1][2] + normal.z * m[2][2]};
    }
    for (int i = 0; i < 4; ++i) out.color[i] = om3_get<float>(chunk + 56 + 4 * i);
    out.tex = {u, v};
    return fits_float(out.position.x) && fits_float(out.position.y) && fits_float(out.position.z) &&
           fits_float(out.normal.x) && fits_float(out.normal.y) && fits_float(out.normal.z) && fits_float(u) &&
           fits_float(v);
}

bool Om3Parse::ReadVertices() {
    // A set's vertices come as one run of chunks: the list is sized for the whole run at once and filled in one
    // loop. RunLength has already checked every chunk of the run against the file's end.
    const auto* data = reinterpret_cast<Bytes>(bytes_.data());
    const int run = std::max(RunLength(OM3_VERTEX), 1);
    _O3duVertex* out = nullptr;
    if (!Dropped()) {
        CO3duTrianglePolys& set = LastSet();
        make_room(set.vertices, vertices_used_ + run);
        out = set.vertices.GetData() + vertices_used_;
    }
    for (int i = 0; i < run; ++i) {
        if (i > 0 && !GoOn()) break;
        if (i > 0) offset_ += std::size_t(om3_get<std::int32_t>(data + offset_ + 4));
        if (om3_get<std::int32_t>(data + offset_ + 4) < kOm3VertexSize) return Fail(offset_, "vertex chunk too short");
        if (!out) continue;
        if (!ReadVertex(data + offset_, out[i]))
            return Fail(offset_, "vertex outside the range of the drawing numbers");
        ++vertices_used_;
    }
    return true;
}

bool Om3Parse::ReadIndex(Bytes chunk, int size) {
    if (size < kOm3IndexSize) return Fail(offset_, "index chunk too short");
    if (Dropped()) return true;
    CO3duTrianglePolys& set = LastSet();
    const std::int32_t a = om3_get<std::int32_t>(chunk + 8), b = om3_get<std::int32_t>(chunk + 12),
                       c = om3_get<std::int32_t>(chunk + 16);
    for (std::int32_t i : {a, b, c})
        if (i < 0 || i >= vertices_used_) return Fail(offset_, "index outside its set's vertices");
    NextSlot(set.indices, indices_used_, OM3_INDEX) = {a, b, c};
    return true;
}

bool Om3Parse::ReadPolygons(Bytes chunk, int size) {
    if (size < kOm3SetSize) return Fail(offset_, "triangle-set chunk too short");
    CO3duTrianglePolys set;
    set.type = om3_get<std::int32_t>(chunk + 8);
    set.material_type = om3_get<std::int32_t>(chunk + 64);
    if (set.type < O3DU_SET_POINTS || set.type > O3DU_SET_INDEXED_LINES) return Fail(offset_, "unknown set type");
    if (set.material_type < O3DU_MATERIAL_SINGLE || set.material_type > O3DU_MATERIAL_SPHERE_MAP)
        return Fail(offset_, "unknown material type");
    if (Dropped()) return true;
    set.material.diffuse = get_color(chunk + 12);
    set.material.ambient = get_color(chunk + 28);
    set.material.specular = get_color(chunk + 44);
    set.material.emission = {0.0f, 0.0f, 0.0f, 0.0f};  // not stored
    set.material.power = om3_get<float>(chunk + 60);
    set.line_width = om3_get<float>(chunk + 68);
    const std::int32_t texture = om3_get<std::int32_t>(chunk + 72);
    TrimSet();
    const int index = current_.sets.GetSize();
    make_room(current_.sets, index + 1);
    current_.sets[index] = std::move(set);
    vertices_used_ = indices_used_ = 0;
    if (texture != 0) texture_refs_.push_back({shapes_.size(), index, streams_.size() - 1, texture});
    return true;
}

bool Om3Parse::ReadPrimitive(Bytes chunk, int size) {
    if (size < kOm3PrimitiveMinimum) return Fail(offset_, "primitive chunk too short");
    if (!finite_doubles(chunk + 12, 16) || (size >= kOm3PrimitiveSize && !finite_doubles(chunk + 148, 16)))
        return Fail(offset_, "primitive matrix not a number");
    if (size >= kOm3PrimitiveSize) {
        const std::int32_t mode = om3_get<std::int32_t>(chunk + 276);
        if (mode < 0 || mode > 2) return Fail(offset_, "unknown polygon mode");
    }
    CO3duPrimitive& target = single_ ? record_ : current_;
    if (!single_ && opened_) {
        // The finished shape takes the sets; the fields stay with the next one, as a shorter chunk keeps them.
        TrimSet();
        CO3duPrimitive& done = shapes_.emplace_back(current_fields());
        done.sets = std::move(current_.sets);
        vertices_used_ = indices_used_ = 0;
    }
    opened_ = true;
    // Fields a shorter (older) chunk does not hold keep the values the primitive had.
    target.draw_mode = om3_get<std::int32_t>(chunk + 8);
    get_matrix(chunk + 12, target.model_matrix);
    if (size >= 144) target.kind = om3_get<std::int32_t>(chunk + 140);
    if (size >= 148) target.layer = om3_get<std::uint32_t>(chunk + 144);
    if (size >= kOm3PrimitiveSize) {
        get_matrix(chunk + 148, target.texture_matrix);
        target.polygon_mode = om3_get<std::int32_t>(chunk + 276);
    }
    return true;
}

bool Om3Parse::ReadTexture(Bytes chunk, int size) {
    std::vector<int>& numbers = streams_.back();
    const Bytes bmp = chunk + 8;
    const std::int64_t length = size - 8;
    if (length < 54 || om3_get<std::uint16_t>(bmp) != 0x4D42) return Fail(offset_, "texture chunk holds no BMP image");
    const std::uint32_t bits_at = om3_get<std::uint32_t>(bmp + 10);
    BITMAPINFOHEADER info;
    const std::uint32_t info_size = om3_get<std::uint32_t>(bmp + 14);
    info.biWidth = om3_get<std::int32_t>(bmp + 18);
    info.biHeight = om3_get<std::int32_t>(bmp + 22);
    info.biBitCount = om3_get<std::uint16_t>(bmp + 28);
    info.biCompression = om3_get<std::uint32_t>(bmp + 30);
    if (info_size < 40 || std::int64_t(bits_at) < 14 + std::int64_t(info_size) || bits_at > length)
        return Fail(offset_, "texture headers overrun the chunk");
    // Only 24- and 32-bit images become textures; others keep their number, with nothing behind it.
    if ((info.biBitCount != 24 && info.biBitCount != 32) || info.biCompression != 0) {
        numbers.push_back(-1);
        return true;
    }
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN)
        return Fail(offset_, "texture of no size");
    const std::int64_t rows = std::llabs(std::int64_t(info.biHeight));
    const std::int64_t row_bytes = bitmap_row_bytes(info.biWidth, info.biBitCount);
    const std::int64_t room = length - bits_at;
    if (row_bytes > room || rows > room / row_bytes) return Fail(offset_, "texture rows overrun the chunk");
    _OfuBitmap image;
    image.info_header.biWidth = info.biWidth;
    image.info_header.biHeight = static_cast<std::int32_t>(rows);
    image.info_header.biBitCount = info.biBitCount;
    image.info_header.biSizeImage = static_cast<std::uint32_t>(row_bytes * rows);
    image.pixels.SetSize(static_cast<int>(row_bytes * rows));
    image.file_header.bfSize = static_cast<std::uint32_t>(54 + row_bytes * rows);
    // A top-down image (negative height) is turned into the bottom-up rows the table keeps.
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::int64_t from = info.biHeight > 0 ? r : rows - 1 - r;
        std::memcpy(image.pixels.GetData() + r * row_bytes, bmp + bits_at + from * row_bytes,
                    static_cast<std::size_t>(row_bytes));
    }
    numbers.push_back(static_cast<int>(textures_.size()));
    textures_.push_back(std::move(image));
    return true;
}

bool Om3Parse::ReadCamera(Bytes chunk, int size, bool parallel) {
    if (size < kOm3CameraSize) return Fail(offset_, "camera chunk too short");
    if (!finite_doubles(chunk + 8, 10)) return Fail(offset_, "camera not a number");
    const OfuVector3 eye = get_vector(chunk + 8), target = get_vector(chunk + 32);
    double more[4];
    for (int i = 0; i < 4; ++i) more[i] = om3_get<double>(chunk + 56 + 8 * i);
    settings_.push_back([=](CO3duModelar& m) {
        const int mode = m.GetCameraMode();
        if (parallel) {
            _O3duAxoCamera c;
            m.GetAxoCamera(c);
            c.eye = eye;
            c.target = target;
            c.window_width = more[0];
            c.window_height = more[1];
            c.near_distance = more[2];
            c.far_distance = more[3];
            m.SetAxoCamera(c);
        } else {
            _O3duCamera c;
            m.GetCamera(c);
            c.eye = eye;
            c.target = target;
            c.fov = more[0];
            c.near_distance = more[1];
            c.far_distance = more[2];  // the aspect ratio stays the modeller's own
            m.SetCamera(c);
        }
        m.SetCameraMode(mode);
    });
    return true;
}

// The light fields common to the light and shadow-light chunks, from the light type on.
bool get_light(Bytes p, OfuLight& light) {
    if (!finite_doubles(p + 52, 6)) return false;
    light.type = om3_get<std::int32_t>(p);
    light.diffuse = get_color(p + 4);
    light.ambient = get_color(p + 20);
    light.specular = get_color(p + 36);
    light.position = get_vector(p + 52);
    light.direction = get_vector(p + 76);
    light.on = om3_get<std::int32_t>(p + 100);
    light.attenuation = om3_get<float>(p + 104);
    return true;
}

bool Om3Parse::ReadLight(Bytes chunk, int size) {
    if (size < kOm3LightSize) return Fail(offset_, "light chunk too short");
    const std::int32_t number = om3_get<std::int32_t>(chunk + 8);
    OfuLight stored;
    if (number < 0 || number > 7) return Fail(offset_, "light number outside 0..7");
    if (!get_light(chunk + 12, stored)) return Fail(offset_, "light not a number");
    settings_.push_back([=](CO3duModelar& m) {
        OfuLight light;
        m.GetLight(number, light);
        light.type = stored.type;
        light.diffuse = stored.diffuse;
        light.ambient = stored.ambient;
        light.specular = stored.specular;
        light.on = stored.on;
        light.attenuation = stored.attenuation;
        if (number != 0) {  // light 0 follows the eye: its place is the modeller's own
            light.position = stored.position;
            light.direction = stored.direction;
        }
        m.SetLight(number, light);
    });
    return true;
}

bool Om3Parse::ReadShadowLight(Bytes chunk, int size) {
    if (size < kOm3ShadowLightSize) return Fail(offset_, "shadow-light chunk too short");
    OfuLight light;
    if (!get_light(chunk + 8, light)) return Fail(offset_, "shadow light not a number");
    settings_.push_back([=](CO3duModelar& m) { m.SetShadowLight(light); });
    return true;
}

bool Om3Parse::ReadEnv(Bytes chunk, int size) {
    if (size < kOm3ViewSettingsMinimum) return Fail(offset_, "view-settings chunk too short");
    const OfuColorValue background{om3_get<float>(chunk + 8), om3_get<float>(chunk + 12), om3_get<float>(chunk + 16),
                                   1.0f};
    const std::int32_t cull = om3_get<std::int32_t>(chunk + 20);
    settings_.push_back([=](CO3duModelar& m) {
        m.SetBkColor(background);
        m.SetCullMode(cull);
    });
    if (size < kOm3ViewSettingsSize) return true;
    if (!finite_doubles(chunk + 28, 4)) return Fail(offset_, "perspective window not a number");
    const std::int32_t pers_mode = om3_get<std::int32_t>(chunk + 24);
    const _OFUDRECT window{om3_get<double>(chunk + 28), om3_get<double>(chunk + 44), om3_get<double>(chunk + 36),
                           om3_get<double>(chunk + 52)};
    const std::int32_t camera_mode = om3_get<std::int32_t>(chunk + 60);
    const std::int32_t accuracy = om3_get<std::int32_t>(chunk + 64);
    const OfuColorValue shadow = get_color(chunk + 68);
    settings_.push_back([=](CO3duModelar& m) {
        m.SetPersMode(pers_mode);
        m.SetPersWindow(window);
        m.SetCameraMode(camera_mode);
        m.SetShadowAccuracy(accuracy);
        m.SetShadowColor(shadow);
    });
    return true;
}

bool Om3Parse::Chunk(std::int32_t type, Bytes chunk, int size) {
    switch (type) {
    case OM3_VERTEX: return ReadVertices();
    case OM3_INDEX: return ReadIndex(chunk, size);
    case OM3_TRIANGLE_SET: return ReadPolygons(chunk, size);
    case OM3_PRIMITIVE: return ReadPrimitive(chunk, size);
    case OM3_TEXTURE: return ReadTexture(chunk, size);
    case OM3_CAMERA: return ReadCamera(chunk, size, false);
    case OM3_PARALLEL_CAMERA: return ReadCamera(chunk, size, true);
    case OM3_LIGHT: return ReadLight(chunk, size);
    case OM3_SHADOW_LIGHT: return ReadShadowLight(chunk, size);
    case OM3_VIEW_SETTINGS: return ReadEnv(chunk, size);
    case kOm3Magic:  // a further stream appended behind the first: its textures count from 1 again
        if (offset_ > 0) streams_.emplace_back();
        return true;
    default: return true;  // the thumbnail and types this reader does not know
    }
}

bool Om3Parse::Run(std::string_view bytes, std::string& error) {
    bytes_ = bytes;
    const auto* data = reinterpret_cast<Bytes>(bytes.data());
    const std::size_t total = bytes.size();
    for (offset_ = 0; offset_ < total && GoOn();) {
        if (total - offset_ < kOm3ChunkHead) {
            error = "byte " + kz::crt::int_text(offset_) + ": chunk head cut off";
            return false;
        }
        const std::int32_t type = om3_get<std::int32_t>(data + offset_);
        const std::int32_t size = om3_get<std::int32_t>(data + offset_ + 4);
        if (size < kOm3ChunkHead || std::size_t(size) > total - offset_) {
            error = "byte " + kz::crt::int_text(offset_) + ": chunk size outside the file";
            return false;
        }
        if (!Chunk(type, data + offset_, size)) {
            error = error_;
            return false;
        }
        if (stopped_) break;
        // A reader of a run of chunks has moved offset_ to the run's last one.
        offset_ += std::size_t(om3_get<std::int32_t>(data + offset_ + 4));
    }
    TrimSet();
    if (!single_ && (opened_ || current_.sets.GetSize() > 0)) shapes_.push_back(std::move(current_));
    if (single_) {
        // The merged shape stands in the scene as it is: visible, pickable, unmoved.
        current_.draw_mode = O3DU_DRAW_PICKABLE;
        current_.model_matrix = identity_matrix();
        shapes_.push_back(std::move(current_));
    }
    return true;
}

void Om3Parse::Apply(CO3duModelar& modeller, CO3duPosList& added) {
    std::vector<unsigned> ids(textures_.size(), 0);
    for (std::size_t i = 0; i < textures_.size(); ++i) ids[i] = modeller.AddTexture(textures_[i]);
    for (const TextureRef& ref : texture_refs_) {
        const std::vector<int>& numbers = streams_[ref.stream];
        const int place =
            ref.number >= 1 && std::size_t(ref.number) <= numbers.size() ? numbers[std::size_t(ref.number - 1)] : -1;
        shapes_[ref.shape].sets[ref.set].texture_number = place >= 0 ? static_cast<std::int32_t>(ids[place]) : 0;
    }
    for (const auto& setting : settings_) setting(modeller);
    for (CO3duPrimitive& shape : shapes_) {
        if (_OfuPosition* pos = modeller.AddPrimitive(shape)) added.Add(pos);
        shape.sets.RemoveAll();  // the modeller holds its own copy: the memory serves the shapes still to come
    }
}

int report(const char* path, const std::string& reason, std::string* error) {
    if (error)
        *error = reason;
    else
        kz::platform::report_line("OM3 file " + kz::platform::display_name(path ? path : "") + ": " + reason);
    return 0;
}

}  // namespace

int CO3duReadMesh3::CheckHeder(const char* path) {
    if (!path) return 0;
    kz::platform::FilePtr file = kz::platform::open_for_reading(path);
    char head[kOm3HeaderSize];
    if (!file || std::fread(head, 1, sizeof head, file.get()) != sizeof head) return 0;
    return header_ok(std::string_view(head, sizeof head)) ? 1 : 0;
}

int CO3duReadMesh3::ReadData(CO3duModelar& modeller, std::string_view bytes, CO3duPosList& added, int single,
                             std::string& error, const KeepGoing& keep_going) {
    if (bytes.empty()) {
        error = "empty file";
        return 0;
    }
    Om3Parse parse(single != 0, keep_going);
    if (!parse.Run(bytes, error)) return 0;
    parse.Apply(modeller, added);
    return 1;
}

int CO3duReadMesh3::ReadFile(CO3duModelar& modeller, const char* path, CO3duPosList& added, int single,
                             std::string* error, const KeepGoing& keep_going) {
    std::string bytes, why;
    if (!path) return report(path, "no file name", error);
    if (!kz::platform::read_whole_file(path, &bytes, kz::platform::kMaxReadBytes, &why))
        return report(path, why.empty() ? "cannot be read" : why, error);
    if (!header_ok(bytes)) return report(path, "not an OM3 file of a version this program reads", error);
    std::string reason;
    if (!ReadData(modeller, bytes, added, single, reason, keep_going)) return report(path, reason, error);
    return 1;
}

_OfuPosition* CO3duReadMesh3::ReadFile_Singlepos(CO3duModelar& modeller, const char* path, std::string* error,
                                                 const KeepGoing& keep_going) {
    CO3duPosList added;
    if (!ReadFile(modeller, path, added, 1, error, keep_going) || added.GetSize() == 0) return nullptr;
    return added[0];
}
