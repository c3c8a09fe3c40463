// The draw list of the opaque pass: made again only when the list, a batched shape or the texture count changed,
// or when a shape watched since its change has kept still for a frame; batches whose members are the same and
// unchanged are kept, so one change costs the walk over the list and the batch of one run, not every batch.
#include "modeller/gl_draw_cache.h"

#include <GL/gl.h>

#include <cmath>
#include <limits>
#include <unordered_map>

namespace {

bool g_cache = true;

// Frames are counted in 32 bits; long before they run out the count starts again, every shape taken as still.
constexpr std::uint32_t kRestartAt = 0xFFFFFF00u;

// The float at or above v.
float up(double v) {
    const float f = static_cast<float>(v);
    return double(f) < v ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

bool moves_affinely(const OfuMatrix4x4& m) {
    if (m.m[0][3] != 0.0 || m.m[1][3] != 0.0 || m.m[2][3] != 0.0 || m.m[3][3] != 1.0) return false;
    const double det = m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
                       m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
                       m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
    return det != 0.0 && std::isfinite(det);
}

bool textured_now(const CO3duGLEntity& entity, int texture_count) {
    if (!entity.uses_texture()) return false;
    for (const CO3duGLTrianglePolygons set : entity.sets()) {
        const int k = set.material_kind(), n = set.texture_number();
        if ((k == O3DU_MATERIAL_TEXTURE || k == O3DU_MATERIAL_SPHERE_MAP) && n >= 1 && n <= texture_count) return true;
    }
    return false;
}

std::uint64_t item_of(const CO3duGLEntity& entity) {
    std::uint64_t item = 0;
    entity.prop3.Get(kO3duItemProperty, item);
    return item;
}

}  // namespace

void set_draw_cache_for_testing(bool on) { g_cache = on; }
bool draw_cache_enabled() { return g_cache; }

void O3duDrawCache::changed(CO3duGLEntity& entity) {
    entity.changed_frame = frames_;
    if (entity.cache_place != CO3duGLEntity::CachePlace::own) {
        // Its batch holds what it was, or the list does not hold it: the list is made again before the next frame.
        dirty_ = true;
    } else if (!entity.watched) {
        entity.watched = true;
        watched_.push_back(&entity);
    }
}

void O3duDrawCache::clear() {
    batches_.clear();
    entries_.clear();
    watched_.clear();
    dirty_ = true;
}

bool O3duDrawCache::can_join(const CO3duGLEntity& entity, int texture_count) const {
    if (entity.draw_mode & O3DU_DRAW_UNDERLAY) return false;
    if (entity.kind != 0 || entity.polygon_mode != GL_FILL || entity.set_count() == 0) return false;
    if (!entity.has_plain_look() || textured_now(entity, texture_count)) return false;
    return moves_affinely(entity.model_matrix) && item_of(entity) != 0;
}

const std::vector<O3duDrawEntry>& O3duDrawCache::begin_frame(const CO3duGLStructure& structure, int texture_count) {
    if (++frames_ >= kRestartAt) {
        for (const O3duShapeRef& ref : structure.in_order()) ref.entity->changed_frame = 0;
        frames_ = 2;
        clear();
    }
    bool stale = dirty_ || list_version_ != structure.list_version() || texture_count_ != texture_count;
    // The watched shapes are all alive: none has gone since the last walk, or the list would have changed.
    for (std::size_t i = 0; !stale && i < watched_.size(); ++i) stale = is_still(*watched_[i]);
    if (stale) rebuild(structure, texture_count);
    return entries_;
}

void O3duDrawCache::rebuild(const CO3duGLStructure& structure, int texture_count) {
    OldBatches old;
    old.reserve(batches_.size());
    for (std::unique_ptr<O3duItemBatch>& batch : batches_) old.emplace(batch->members.front(), std::move(batch));
    batches_.clear();
    entries_.clear();
    // At most one entry a shape: room for all at once, not grown by doubling over a large model.
    entries_.reserve(structure.in_order().size());
    watched_.clear();
    std::vector<CO3duGLEntity*> members;
    _OfuPosition* first = nullptr;
    std::uint64_t item = 0;
    for (const O3duShapeRef& ref : structure.in_order()) {
        CO3duGLEntity& entity = *ref.entity;
        using Place = CO3duGLEntity::CachePlace;
        if (entity.draw_mode & O3DU_DRAW_HIDDEN) {
            // Drawing nothing, it neither holds a place in the list nor parts the shapes around it.
            entity.cache_place = Place::left_out;
            entity.watched = false;
            continue;
        }
        const bool can = can_join(entity, texture_count);
        const bool joins = can && is_still(entity);
        entity.cache_place = joins ? Place::batch : Place::own;
        entity.watched = can && !joins;
        if (entity.watched) watched_.push_back(&entity);
        if (joins) {
            const std::uint64_t own = item_of(entity);
            if (!members.empty() && own != item) close_run(old, members, first);
            item = own;
            if (members.empty()) first = ref.node;
            members.push_back(&entity);
            continue;
        }
        // Underlays are drawn in a sweep of their own before the others, so they part no run.
        if (!(entity.draw_mode & O3DU_DRAW_UNDERLAY)) close_run(old, members, first);
        entries_.push_back({{0.0f, 0.0f, 0.0f}, {-1.0f, -1.0f, -1.0f}, nullptr, ref.node});
    }
    close_run(old, members, first);
    entries_.shrink_to_fit();
    dirty_ = false;
    list_version_ = structure.list_version();
    texture_count_ = texture_count;
}

void O3duDrawCache::close_run(OldBatches& old, std::vector<CO3duGLEntity*>& members, _OfuPosition* first) {
    if (members.empty()) return;
    // A batch is kept only for the same members, none changed since it was made: a shape gone and another made at
    // its address is new, so it was changed after the batch was made.
    std::unique_ptr<O3duItemBatch> batch;
    const auto at = old.find(members.front());
    if (at != old.end() && at->second->members == members) {
        bool unchanged = true;
        for (const CO3duGLEntity* m : members) unchanged = unchanged && m->changed_frame < at->second->built_frame;
        if (unchanged) batch = std::move(at->second);
    }
    if (!batch) batch = make_item_batch(members, frames_);
    O3duDrawEntry entry{{}, {}, batch.get(), first};
    for (int j = 0; j < 3; ++j) {
        // The float centre's rounding goes into the extent, so the stored box holds the exact one.
        const double c = batch->box.centre[j];
        entry.centre[j] = static_cast<float>(c);
        entry.extent[j] = up(batch->box.extent[j] + std::fabs(c - double(entry.centre[j])));
    }
    entries_.push_back(entry);
    batches_.push_back(std::move(batch));
    members.clear();
}
