// Images on faces: pasting an image onto one face through the part's paste list, and swapping the image that
// faces already show, straight in the modeller's primitive without rebuilding the part.
#include <cstdint>
#include <cstring>

#include "app/document/xview.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/paste_list.h"
#include "app/scene/xleaf.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "geometry/primitive.h"
#include "modeller/o3du_modelar.h"

namespace kz::view {

namespace fnd = kz::foundation;
using kz::scene::PasteEntry;
using kz::scene::XLeaf;

namespace {

constexpr std::int32_t kWhite = 0xFFFFFF;
// The material kind travels with the material in the modeller, so the swap reads and writes both parts.
constexpr long kSwapFlags = O3DU_PRIM_MATERIAL | O3DU_PRIM_TEXTURE;

bool same_ranges(const PasteEntry& a, const PasteEntry& b) {
    if (a.range_count != b.range_count) return false;
    for (int r = 0; r < a.range_count; ++r)
        if (!a.from_codes || !a.to_codes || !b.from_codes || !b.to_codes || a.from_codes[r] != b.from_codes[r] ||
            a.to_codes[r] != b.to_codes[r])
            return false;
    return true;
}

// Same faces, offsets, turn, colour and last flag: the entry a new paste of the face would replace.
bool same_place(const PasteEntry& a, const PasteEntry& b) {
    return same_ranges(a, b) && a.x == b.x && a.y == b.y && a.angle == b.angle && a.center_x == b.center_x &&
           a.center_y == b.center_y && a.color == b.color && a.last_number == b.last_number;
}

void set_source(PasteEntry& e, const char* path, int image_index) {
    e.source = fnd::set_heap_string(e.source, path, nullptr, -1);
    e.image_index = image_index;
}

// Puts the entry at the front of the record's list, in a block of the power-of-two capacity that the list's
// reader assumes when it appends.
void insert_front(kz::scene::COBJECTA& record, const PasteEntry& entry) {
    const int count = record.paste_count + 1;
    int capacity = 1;
    while (capacity < count) capacity *= 2;
    auto* grown = static_cast<PasteEntry*>(fnd::alloc_zeroed(sizeof(PasteEntry) * capacity));
    grown[0] = entry;
    if (record.paste_count) std::memcpy(grown + 1, record.paste_entries, sizeof(PasteEntry) * record.paste_count);
    fnd::free_and_null(record.paste_entries);
    record.paste_entries = grown;
    record.paste_count = count;
}

}  // namespace

int XView::PasteImageOnFace(const char* image_path, int trunk_index, int part_index, int face_index) {
    XTrunk* trunk = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    if (!trunk || !image_path || !*image_path || part_index < 0 || part_index >= trunk->part_count()) return 0;
    XLeaves* part = trunk->parts[part_index];
    if (!part || face_index < 0 || face_index >= part->face_count()) return 0;
    kz::scene::COBJECTA& record = *part->record;
    const std::int32_t code = part->faces()[face_index]->face_code;
    const int image_index = InternName(image_path);

    PasteEntry fresh{};
    fresh.kind = 2;
    fresh.face_letter = 'C';
    fresh.color = kWhite;
    fresh.image_index = image_index;
    if (input.paste_size_switch) fresh.size = input.paste_size[0], fresh.lift = input.paste_size[1];
    fresh.from_codes = static_cast<std::int32_t*>(fnd::alloc_zeroed(sizeof(std::int32_t) * kz::scene::kMaxPasteRanges));
    fresh.to_codes = static_cast<std::int32_t*>(fnd::alloc_zeroed(sizeof(std::int32_t) * kz::scene::kMaxPasteRanges));
    fresh.from_codes[0] = fresh.to_codes[0] = code;
    fresh.range_count = 1;

    int exact = -1, placed = -1;
    for (int i = 0; i < record.paste_count && exact < 0; ++i) {
        const PasteEntry& e = record.paste_entries[i];
        if (!same_place(e, fresh)) continue;
        if (placed < 0) placed = i;
        if (e.size == fresh.size && e.lift == fresh.lift) exact = i;
    }
    if (exact >= 0) {
        set_source(record.paste_entries[exact], image_path, image_index);
        kz::scene::free_paste_entry(&fresh);
    } else if (placed >= 0) {
        PasteEntry moved = record.paste_entries[placed];
        set_source(moved, image_path, image_index);
        if (input.paste_size_switch) moved.size = fresh.size, moved.lift = fresh.lift;
        std::memmove(record.paste_entries + 1, record.paste_entries, sizeof(PasteEntry) * placed);
        record.paste_entries[0] = moved;
        kz::scene::free_paste_entry(&fresh);
    } else {
        set_source(fresh, image_path, image_index);
        insert_front(record, fresh);
    }
    record.WritePasteList();
    const int saved = input.face_paste;
    input.face_paste = 1;
    part->Build(nullptr);
    input.face_paste = saved;
    return 1;
}

int XView::SwapFaceImage(int trunk_index, int part_index, int face_index, const char* old_source,
                         const char* new_path) {
    if (!old_source || !*old_source || !new_path || !*new_path) return 0;
    XTrunk* trunk = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    if (!trunk || part_index < 0 || part_index >= trunk->part_count()) return 0;
    XLeaves* part = trunk->parts[part_index];
    if (!part || face_index < 0 || face_index >= part->face_count()) return 0;
    kz::scene::COBJECTA& record = *part->record;
    const std::int32_t code = part->faces()[face_index]->face_code;
    PasteEntry* entry = nullptr;
    for (int i = 0; i < record.paste_count && !entry; ++i) {
        PasteEntry& e = record.paste_entries[i];
        if (e.source && fnd::compare_nocase(e.source, old_source) == 0 && kz::scene::paste_range_holding(e, code) >= 0)
            entry = &e;
    }
    if (!entry) {
        record.WritePasteList();
        return 1;
    }
    if (entry->kind != 2) {
        entry->kind = 2;
        entry->size = input.paste_size_switch ? input.paste_size[0] : 0.0;
        entry->lift = input.paste_size_switch ? input.paste_size[1] : 0.0;
        entry->x = entry->y = entry->angle = entry->center_x = entry->center_y = 0.0;
        entry->color = kWhite;
        entry->face_letter = 'C';
        entry->last_number = 0;
    }
    const int old_index = entry->image_index;
    set_source(*entry, new_path, InternName(new_path));
    if (input.paste_size_switch == 1) entry->size = input.paste_size[0], entry->lift = input.paste_size[1];

    CO3duGLModelar* modeller = output.bridge ? output.bridge->modeller.get() : nullptr;
    if (modeller && part->model) {
        char local[kz::foundation::kPathBufferSize] = {};
        const int texture = output.bridge->LoadTexture(
            FindPastedFile(new_path, local, "texture image") ? local : new_path, TextureOption());
        CO3duPrimitive primitive;
        modeller->GetPrimitive(part->model, primitive, kSwapFlags);
        const int sets = primitive.sets.GetSize();
        const std::int32_t kind = entry->last_number == 1 ? O3DU_MATERIAL_SPHERE_MAP : O3DU_MATERIAL_TEXTURE;
        for (XLeaf* face : part->faces()) {
            if (!face || face->paste_image != old_index || kz::scene::paste_range_holding(*entry, face->face_code) < 0)
                continue;
            for (int p = face->first_polygon; p >= 0 && p <= face->last_polygon && p < sets; ++p) {
                primitive.sets[p].texture_number = texture;
                primitive.sets[p].material_type = kind;
            }
            face->paste_image = entry->image_index;
        }
        modeller->ChangePrimitive(part->model, primitive, kSwapFlags);
    }
    record.WritePasteList();
    return 1;
}

int XView::SwapImageOnParts(const char* new_path, const char* old_source, int trunk_index, int part_index, int mode) {
    XTrunk* trunk = trunk_index >= 1 ? TrunkAt(trunk_index) : nullptr;
    if (!trunk) return 0;
    auto swap_part = [&](int p) {
        if (p < 0 || p >= trunk->part_count() || !trunk->parts[p]) return;
        for (int f = 0; f < trunk->parts[p]->face_count(); ++f) SwapFaceImage(trunk_index, p, f, old_source, new_path);
    };
    if (mode == 1)
        swap_part(part_index);
    else if (mode == 2)
        for (int p = 1; p < trunk->part_count(); ++p) swap_part(p);
    return trunk_index;
}

}  // namespace kz::view
