// O3duList: the one interface shared by the library's exported list classes, and the six lists of plain elements.
// CO3duPolygonList, whose elements are triangle sets, lives with CO3duTrianglePolys.
#pragma once
#include "geometry/ofu_array.h"
#include "geometry/ofu_types.h"

template <class Derived, class E, ArrayFill FILL = ArrayFill::zero>
class O3duList {
public:
    O3duList() = default;
    O3duList(const O3duList&) = default;
    O3duList(O3duList&&) noexcept = default;
    O3duList& operator=(const O3duList&) = default;
    O3duList& operator=(O3duList&&) noexcept = default;
    virtual ~O3duList() = default;

    void SetSize(int n, int grow = -1) { array_.SetSize(n, grow); }
    int GetSize() const { return array_.GetSize(); }
    int GetCapacity() const { return array_.GetCapacity(); }
    int GetGrowBy() const { return array_.GetGrowBy(); }
    E& operator[](int i) { return array_[i]; }
    const E& operator[](int i) const { return array_[i]; }
    E* GetData() { return array_.GetData(); }
    const E* GetData() const { return array_.GetData(); }
    int Add(const E& element) { return array_.Add(element); }
    void RemoveAt(int index, int count = 1) { array_.RemoveAt(index, count); }
    void RemoveAll() { array_.RemoveAll(); }
    Derived& operator+=(const Derived& other) {
        array_.Append(other.array_);
        return static_cast<Derived&>(*this);
    }

private:
    COfuArray<E, const E&, FILL> array_;
};

class CO3duIntegerList : public O3duList<CO3duIntegerList, int32_t> {};
class CO3duPoint2List : public O3duList<CO3duPoint2List, OfuVector2> {};
class CO3duPoint3List : public O3duList<CO3duPoint3List, OfuVector3> {};
// The positions are not owned: a modeller hands them out and takes them back.
class CO3duPosList : public O3duList<CO3duPosList, _OfuPosition*> {};
class CO3duVertexIndexList : public O3duList<CO3duVertexIndexList, _O3duVertexIndex> {};
class CO3duVertexList : public O3duList<CO3duVertexList, _O3duVertex> {};
