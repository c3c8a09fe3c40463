// The pick index: world boxes of the shapes in drawing order, made again when the list changes and taken again
// shape by shape when a few shapes change, and the sweep that names the shapes a pick volume can meet.
#include "modeller/picking/gl_pick_index.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "modeller/gl_passes.h"

namespace {

constexpr float kInfinite = std::numeric_limits<float>::infinity();
// More changed shapes than this since the last pick and the whole index is made again: finding each one's slot
// costs a sweep over the list.
constexpr std::size_t kFewChanges = 8;

// The float at or above v.
float up(double v) {
    const float f = static_cast<float>(v);
    return double(f) < v ? std::nextafter(f, kInfinite) : f;
}

template <class T, std::size_t N>
bool same(const T (&a)[N], const T (&b)[N]) {
    return std::memcmp(a, b, sizeof a) == 0;
}

}  // namespace

O3duPickIndex::Placement::Placement(const CO3duGLEntity& entity)
    : reach(entity.pixel_reach()),
      pickable(entity.draw_mode & O3DU_DRAW_PICKABLE),
      kind(entity.kind),
      model_matrix(entity.model_matrix) {
    std::copy_n(entity.box_lo(), 3, box_lo);
    std::copy_n(entity.box_hi(), 3, box_hi);
}

bool O3duPickIndex::Placement::operator==(const Placement& o) const {
    return same(box_lo, o.box_lo) && same(box_hi, o.box_hi) && reach == o.reach && pickable == o.pickable &&
           kind == o.kind && std::memcmp(&model_matrix, &o.model_matrix, sizeof model_matrix) == 0;
}

O3duPickIndex::Change::Change(O3duPickIndex& index, const CO3duGLEntity* entity)
    : index_(index), entity_(entity), before_(*entity) {}

O3duPickIndex::Change::~Change() {
    if (!index_.valid_ || Placement(*entity_) == before_) return;
    if (index_.changed_.size() < kFewChanges) {
        if (std::find(index_.changed_.begin(), index_.changed_.end(), entity_) == index_.changed_.end())
            index_.changed_.push_back(entity_);
    } else {
        index_.valid_ = false;
    }
}

void O3duPickIndex::take(std::size_t slot, const CO3duGLEntity& entity) {
    Box& box = boxes_[slot];
    O3duWorldBox world;
    const O3duViewVolume::Reach where = (entity.draw_mode & O3DU_DRAW_PICKABLE)
                                            ? O3duViewVolume::place(entity, entity.model_matrix, world)
                                            : O3duViewVolume::Reach::nowhere;
    if (where != O3duViewVolume::Reach::box) {
        std::fill_n(box.centre, 3, 0.0f);
        std::fill_n(box.extent, 3, where == O3duViewVolume::Reach::nowhere ? -1.0f : kInfinite);
        return;
    }
    for (int j = 0; j < 3; ++j) {
        // The float centre's rounding goes into the extent, so the stored box holds the exact one.
        box.centre[j] = static_cast<float>(world.centre[j]);
        box.extent[j] = up(world.extent[j] + std::fabs(world.centre[j] - double(box.centre[j])));
    }
    reach_ = std::max(reach_, entity.pixel_reach());
}

void O3duPickIndex::group(std::size_t run) {
    const std::size_t first = run * kRun, end = std::min(boxes_.size(), first + kRun);
    double lo[3], hi[3];
    std::fill_n(lo, 3, std::numeric_limits<double>::infinity());
    std::fill_n(hi, 3, -std::numeric_limits<double>::infinity());
    for (std::size_t i = first; i < end; ++i) {
        const Box& box = boxes_[i];
        if (box.extent[0] < 0.0f) continue;
        for (int j = 0; j < 3; ++j) {
            lo[j] = std::min(lo[j], double(box.centre[j]) - double(box.extent[j]));
            hi[j] = std::max(hi[j], double(box.centre[j]) + double(box.extent[j]));
        }
    }
    Box& box = runs_[run];
    for (int j = 0; j < 3; ++j) {
        if (lo[j] > hi[j]) {  // every shape of the run is met nowhere
            std::fill_n(box.centre, 3, 0.0f);
            std::fill_n(box.extent, 3, -1.0f);
            return;
        }
        const double centre = std::isfinite(lo[j] + hi[j]) ? 0.5 * (lo[j] + hi[j]) : 0.0;
        box.centre[j] = static_cast<float>(centre);
        box.extent[j] = up(std::max(hi[j] - box.centre[j], box.centre[j] - lo[j]));
    }
}

void O3duPickIndex::rebuild(const CO3duGLStructure& structure) {
    const std::vector<O3duShapeRef>& order = structure.in_order();
    boxes_.resize(order.size());
    runs_.resize((order.size() + kRun - 1) / kRun);
    reach_ = 0.0f;
    std::size_t slot = 0;
    for_each_shape(order, [&](_OfuPosition*, const CO3duGLEntity& entity) { take(slot++, entity); });
    for (std::size_t run = 0; run < runs_.size(); ++run) group(run);
    list_version_ = structure.list_version();
    changed_.clear();
    valid_ = true;
}

float O3duPickIndex::refresh(const CO3duGLStructure& structure) {
    if (!valid_ || list_version_ != structure.list_version()) {
        rebuild(structure);
        return reach_;
    }
    if (changed_.empty()) return reach_;
    const std::vector<O3duShapeRef>& order = structure.in_order();
    for (const CO3duGLEntity* entity : changed_) {
        const auto at =
            std::find_if(order.begin(), order.end(), [&](const O3duShapeRef& r) { return r.entity == entity; });
        if (at == order.end()) continue;
        const std::size_t slot = std::size_t(at - order.begin());
        take(slot, *entity);
        group(slot / kRun);
    }
    changed_.clear();
    return reach_;
}

const std::vector<O3duShapeRef>& O3duPickIndex::reaching(const CO3duGLStructure& structure,
                                                         const O3duViewVolume& volume) {
    const std::vector<O3duShapeRef>& order = structure.in_order();
    found_.clear();
    const auto meets = [&](const Box& box) {
        if (box.extent[0] < 0.0f) return false;
        const O3duWorldBox world{{box.centre[0], box.centre[1], box.centre[2]},
                                 {box.extent[0], box.extent[1], box.extent[2]}};
        return !volume.misses(world);
    };
    for (std::size_t run = 0; run < runs_.size(); ++run) {
        if (!meets(runs_[run])) continue;
        const std::size_t end = std::min(boxes_.size(), (run + 1) * kRun);
        for (std::size_t i = run * kRun; i < end; ++i)
            if (meets(boxes_[i])) found_.push_back(order[i]);
    }
    return found_;
}
