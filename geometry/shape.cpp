// Node blocks and ownership of a shape's pieces.
// A block is a link to the previous block followed by its nodes; the chain is walked once at destruction.
#include "geometry/shape.h"

#include <memory>

#include "geometry/geometry_elements.h"

struct COfuShape::Block {
    Block* previous = nullptr;
    std::unique_ptr<Node[]> nodes;
};

COfuShape::~COfuShape() {
    for (Node* n = head_; n; n = n->next) {
        delete n->geometry;
        n->geometry = nullptr;
    }
    while (blocks_) {
        std::unique_ptr<Block> block(blocks_);
        blocks_ = block->previous;
    }
}

COfuShape::Node* COfuShape::new_node() {
    if (!free_) {
        auto block = std::make_unique<Block>();
        block->nodes = std::make_unique<Node[]>(nodes_per_block_);
        for (int i = 0; i < nodes_per_block_; ++i) {
            block->nodes[i].next = free_;
            free_ = &block->nodes[i];
        }
        block->previous = blocks_;
        blocks_ = block.release();
    }
    Node* n = free_;
    free_ = n->next;
    return n;
}

void COfuShape::AddTail(COfuGeometry* piece) {
    Node* n = nullptr;
    try {
        n = new_node();
    } catch (...) {
        delete piece;  // the shape took the piece over even though it could not keep it
        throw;
    }
    n->next = nullptr;
    n->previous = tail_;
    n->geometry = piece;
    if (tail_)
        tail_->next = n;
    else
        head_ = n;
    tail_ = n;
    ++count_;
}

int COfuShape::GetBlockCount() const {
    int blocks = 0;
    for (const Block* b = blocks_; b; b = b->previous) ++blocks;
    return blocks;
}
