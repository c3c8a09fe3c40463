// CO3duGLStructure: the OpenGL modeller's ordered list of shapes, whose nodes are the _OfuPosition handles handed
// to callers, together with the texture table and the model offset.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/ofu_array.h"
#include "geometry/ofu_types.h"
#include "modeller/gl_entity.h"
#include "modeller/texture_image.h"

// One node of the shape list; the list order is the drawing order.
struct _OfuPosition {
    _OfuPosition* next = nullptr;
    _OfuPosition* previous = nullptr;
    std::unique_ptr<CO3duGLEntity> entity;
};

using CO3duTextureTable = COfuArray<_OfuBitmap, const _OfuBitmap&, ArrayFill::object>;

struct O3duShapeRef {
    _OfuPosition* node;
    CO3duGLEntity* entity;
};

class CO3duGLStructure {
public:
    static constexpr int kNodesPerBlock = 10;

    CO3duGLStructure() = default;
    CO3duGLStructure(const CO3duGLStructure&) = delete;
    CO3duGLStructure& operator=(const CO3duGLStructure&) = delete;
    virtual ~CO3duGLStructure();

    // A node from the free list, allocating a block of 10 when it is empty.
    _OfuPosition* NewShapeNode();
    // Unlinks the node and puts it on the free list (its entity, if still there, is destroyed); the last node
    // removed frees every block.
    void RemoveShapeNode(_OfuPosition* node);
    // Destroys every entity and node.
    void RemoveAll();

    // A new node holding the entity, linked at the tail.
    _OfuPosition* append(std::unique_ptr<CO3duGLEntity> entity) { return link(std::move(entity), false); }
    // The live node's entity moved to a new node at the head or the tail; the old node goes.
    _OfuPosition* relink(_OfuPosition* node, bool at_head);

    // The entity behind a handle, or null for a handle that is not a live node of this list: callers' handles are
    // never dereferenced before this check.
    CO3duGLEntity* entity_of(const _OfuPosition* pos) const;

    // The shapes in drawing order as one array, made again after the list changed: sweeps over many shapes read
    // it instead of following the links, so they can ask for the shapes ahead of the one they work on.
    const std::vector<O3duShapeRef>& in_order() const;
    // Counts the changes of the list itself (shapes linked or unlinked), for what is kept beside it.
    std::uint64_t list_version() const { return list_version_; }

    _OfuPosition* head() const { return head_; }
    _OfuPosition* tail() const { return tail_; }
    int count() const { return count_; }
    int block_count() const { return static_cast<int>(blocks_.size()); }

    CO3duTextureTable textures;
    OfuVector3 offset{0.0, 0.0, 0.0};

private:
    using Block = std::array<_OfuPosition, kNodesPerBlock>;

    _OfuPosition* link(std::unique_ptr<CO3duGLEntity> entity, bool at_head);
    void unlink(_OfuPosition* node);
    // Whether the pointer is a node of one of the blocks (live or free).
    bool owns(const _OfuPosition* pos) const;

    _OfuPosition* head_ = nullptr;
    _OfuPosition* tail_ = nullptr;
    std::int32_t count_ = 0;
    _OfuPosition* free_ = nullptr;
    std::vector<std::unique_ptr<Block>> blocks_;  // in order of their addresses
    mutable std::vector<O3duShapeRef> order_;
    mutable bool order_valid_ = false;
    std::uint64_t list_version_ = 1;
};
