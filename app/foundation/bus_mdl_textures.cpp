// The bridge's texture table: image files, text textures and bitmap resources by name, each loaded once and
// mapped to its modeller texture id; file textures reload when their file changed; and the mesh-file shape.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/foundation/bus_mdl.h"
#include "app/foundation/dib_text.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/program_resources.h"
#include "modeller/files/o3du_read_mesh3.h"
#include "platform/file_system.h"
#include "platform/image_io.h"

namespace kz::foundation {

namespace {

// The low 32 bits of the file's last-write time; 0 when there is no such file.
std::int32_t file_stamp(const char* path) {
    kz::platform::FileInfo info;
    if (!path || !kz::platform::get_file_info(path, &info)) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(info.write_time & 0xFFFFFFFFu));
}

template <typename T>
void grow_zeroed(T*& array, int capacity, int new_capacity) {
    void* grown = std::realloc(array, sizeof(T) * static_cast<std::size_t>(new_capacity));
    if (!grown) throw std::bad_alloc();
    array = static_cast<T*>(grown);
    std::memset(array + capacity, 0, sizeof(T) * static_cast<std::size_t>(new_capacity - capacity));
}

// A 24-bit copy of a 32-bit DIB (which it frees), for bitmaps that only ever come out opaque.
kz::crt::GlobalHandle opaque_dib(kz::crt::GlobalHandle dib) {
    const auto* header = static_cast<const kz::platform::DibInfoHeader*>(kz::crt::global_lock(dib));
    if (!header) return dib;
    const int w = header->width, h = header->height, bits = header->bit_count;
    kz::crt::global_unlock(dib);
    if (bits != 32) return dib;
    kz::crt::GlobalHandle out = kz::platform::allocate_packed_dib(w, h, 24);
    if (!out) return dib;
    const auto* from = static_cast<const std::uint8_t*>(kz::crt::global_lock(dib)) + 40;
    auto* to = static_cast<std::uint8_t*>(kz::crt::global_lock(out)) + 40;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(to + static_cast<std::size_t>(y) * kz::platform::dib_stride(w, 24) + x * 3,
                        from + static_cast<std::size_t>(y) * kz::platform::dib_stride(w, 32) + x * 4, 3);
    kz::crt::global_unlock(out);
    kz::crt::global_unlock(dib);
    kz::crt::global_free(dib);
    return out;
}

}  // namespace

void CBusMDL::GrowTextureTable() {
    if (texture_count + 10 <= texture_capacity) return;
    const int grown = texture_capacity + 20;
    grow_zeroed(texture_names, texture_capacity, grown);
    grow_zeroed(texture_ids, texture_capacity, grown);
    grow_zeroed(texture_stamps, texture_capacity, grown);
    texture_capacity = grown;
}

int CBusMDL::LookupTexture(const char* name) {
    if (!name || !*name || texture_count <= 0) return -1;
    for (int i = 0; i < texture_count; ++i) {
        if (!texture_names[i] || std::strcmp(texture_names[i], name) != 0) continue;
        // Most recently found first: a build pastes the same few images over and over.
        char* found_name = texture_names[i];
        const std::uint32_t found_id = texture_ids[i];
        const std::int32_t found_stamp = texture_stamps[i];
        std::memmove(texture_names + 1, texture_names, sizeof(char*) * static_cast<std::size_t>(i));
        std::memmove(texture_ids + 1, texture_ids, sizeof(std::uint32_t) * static_cast<std::size_t>(i));
        std::memmove(texture_stamps + 1, texture_stamps, sizeof(std::int32_t) * static_cast<std::size_t>(i));
        texture_names[0] = found_name;
        texture_ids[0] = found_id;
        texture_stamps[0] = found_stamp;
        return 0;
    }
    return -1;
}

int CBusMDL::AddTextureName(const char* name) {
    if (LookupTexture(name) == 0) return 0;
    GrowTextureTable();
    texture_names[texture_count] = set_heap_string(nullptr, name ? name : "", nullptr, -1);
    texture_ids[texture_count] = 0;
    texture_stamps[texture_count] = 0;
    return texture_count++;
}

int CBusMDL::register_texture(const char* name, _OfuBitmap& bitmap, std::int32_t stamp) {
    const std::uint32_t id = modeller->AddTexture(bitmap);
    device_dirty = 1;
    const int index = AddTextureName(name);
    texture_ids[index] = id;
    texture_stamps[index] = stamp;
    return static_cast<int>(id);
}

int CBusMDL::replace_texture(std::uint32_t id, _OfuBitmap& bitmap) {
    return modeller->ChangeTexture(id, bitmap) ? 1 : 0;
}

int CBusMDL::LoadTexture(const char* path, int reload) {
    if (!modeller || !path || !*path) return 0;
    if (LookupTexture(path) != 0) {
        GrowTextureTable();
        // A file that cannot be read is remembered with the id of its empty image (0) and not tried again
        // until the table is cleared.
        _OfuBitmap bitmap;
        LoadImageToBitmap(path, bitmap);
        return register_texture(path, bitmap, file_stamp(path));
    }
    const std::uint32_t id = texture_ids[0];
    if (reload == 1 && id >= 1) {
        const std::int32_t stamp = file_stamp(path);
        if (stamp != texture_stamps[0]) {
            _OfuBitmap bitmap;
            // Only a reload that took is recorded; a file caught half-written is read again next time.
            if (LoadImageToBitmap(path, bitmap) == 1 && replace_texture(id, bitmap)) {
                device_dirty = 1;
                texture_stamps[0] = stamp;
            }
        }
    }
    return static_cast<int>(id);
}

void CBusMDL::RemoveAllTextures() {
    if (!modeller) return;
    modeller->RemoveAllTexture();
    for (TextLabel& label : labels) {
        if (!label.shape) continue;
        modeller->RemoveShapeAt(label.shape);
        label.shape = nullptr;
    }
    for (int i = 0; i < texture_count; ++i) texture_names[i] = free_and_null(texture_names[i]);
    texture_names = free_and_null(texture_names);
    texture_ids = free_and_null(texture_ids);
    texture_stamps = free_and_null(texture_stamps);
    texture_count = texture_capacity = 0;
    if (device_context) modeller->Initialize(device_context);
}

int CBusMDL::LoadResourceTexture(const char* name, const ResourceModule* module) {
    if (!modeller) return 0;
    char resource[256] = {};
    if (name) std::strncpy(resource, name, sizeof resource - 1);
    std::size_t size = 0;
    const unsigned char* data = lock_resource(module, "BITMAP", resource, &size);
    if (!data) return -1;
    // A bitmap resource is a BMP file without its 14-byte file header.
    if (size < 40) return -1;
    const std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(dib_palette_size(data));
    const std::uint32_t file_size = static_cast<std::uint32_t>(size) + 14;
    std::string file("BM");
    file.append(reinterpret_cast<const char*>(&file_size), 4);
    file.append(4, '\0');
    file.append(reinterpret_cast<const char*>(&offset), 4);
    file.append(reinterpret_cast<const char*>(data), size);
    kz::crt::GlobalHandle dib = kz::platform::load_image_dib_from_memory(file.data(), file.size());
    if (!dib) return -1;
    _OfuBitmap bitmap;
    DibToBitmap(opaque_dib(dib), bitmap);
    GrowTextureTable();
    if (LookupTexture(resource) != 0) return register_texture(resource, bitmap, 0);
    const std::uint32_t id = texture_ids[0];
    if (replace_texture(id, bitmap)) device_dirty = 1;
    return static_cast<int>(id);
}

void CBusMDL::LoadMeshFile(const char* path, const std::function<bool()>& keep_going) {
    if (!modeller) return;
    if (mesh_shape) {
        modeller->RemoveShapeAt(mesh_shape);
        mesh_shape = nullptr;
    }
    // A file that cannot be read leaves no mesh shape; the reader says why on stderr.
    mesh_shape = CO3duReadMesh3::ReadFile_Singlepos(*modeller, path, nullptr, keep_going);
}

}  // namespace kz::foundation
