// COfuShape: an ordered, owning list of geometry pieces, the unit the converters turn into one primitive.
// Nodes come from blocks of ten, so a shape of many pieces allocates rarely.
#pragma once
#include <cstdint>

class COfuGeometry;

class COfuShape {
public:
    struct Node {
        Node* next;
        Node* previous;
        COfuGeometry* geometry;
    };

    COfuShape() = default;
    COfuShape(const COfuShape&) = delete;
    COfuShape& operator=(const COfuShape&) = delete;
    // Deletes every piece, then releases the node blocks.
    virtual ~COfuShape();

    // Appends a piece allocated with new; the shape owns it from here on (a null piece is kept and skipped).
    void AddTail(COfuGeometry* piece);
    int GetCount() const { return count_; }
    // First node; follow next to walk the pieces in insertion order.
    const Node* GetHead() const { return head_; }
    // Number of node blocks allocated so far.
    int GetBlockCount() const;

private:
    struct Block;
    Node* new_node();

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    int32_t count_ = 0;
    Node* free_ = nullptr;
    Block* blocks_ = nullptr;
    int32_t nodes_per_block_ = 10;
};
