// Packing a shape into its one block and unpacking it again. After a header of counts and flags come the ranges
// of the sets, their looks, the held vertices (positions, normals, then colours and texture coordinates when held),
// the triples of indexed sets and the vertex numbers of the other sets; the offsets follow from the counts.
#include "modeller/gl_shape_data.h"

#include <algorithm>
#include <cstring>
#include <limits>

void CO3duGLVertexStore::hold_colors() {
    if (!colors.empty()) return;
    colors.assign(vertex_count() * 4, 0.0f);
    for (std::size_t i = 3; i < colors.size(); i += 4) colors[i] = 1.0f;
}

void CO3duGLVertexStore::hold_tex_coords() {
    if (tex_coords.empty()) tex_coords.assign(vertex_count() * 2, 0.0f);
}

namespace {

static_assert(sizeof(O3duSetPaint) == 80 && sizeof(O3duSetRange) == 24, "the block's records hold no padding");

// Looks are compared to the bit, so that a shape given back what it had packs into the same bytes.
bool same_paint(const O3duSetPaint& a, const O3duSetPaint& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

O3duSetPaint paint_of(const O3duWorkSet& set) {
    O3duSetPaint paint;
    paint.material = set.material;
    paint.line_width = set.line_width;
    paint.texture_number = set.texture_number;
    paint.material_kind = set.material_kind;
    return paint;
}

// Looks beyond this many are not searched for a match: a shape of many unlike sets is held as it is.
constexpr std::size_t kPaintsSearched = 16;

// The store's vertices held once each: what every vertex of the store becomes, and the vertices kept. Only the
// first vertices met, as many as 16-bit numbers name, are looked up: their table stays small enough to stay in the
// processor's cache, and a vertex of a larger shape past them is kept as it comes.
class Welder {
public:
    explicit Welder(const CO3duGLVertexStore& store) : store_(store) {
        std::size_t size = 16;
        while (size < std::min(store.vertex_count(), kLookedUp) * 2) size *= 2;
        slots_.assign(size, kEmpty);
    }

    // The number of the store's vertex v among the kept ones, keeping it when no kept one is the same.
    std::uint32_t weld(std::size_t v) {
        if (looked_up_ == kLookedUp) return keep(v);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash(v) & mask;; at = (at + 1) & mask) {
            if (slots_[at] == kEmpty) {
                ++looked_up_;
                slots_[at] = static_cast<std::uint32_t>(kept.size());
                kept.push_back(static_cast<std::uint32_t>(v));
                return slots_[at];
            }
            if (same(kept[slots_[at]], v)) return slots_[at];
        }
    }
    // A vertex kept as it is, not to be met again.
    std::uint32_t keep(std::size_t v) {
        kept.push_back(static_cast<std::uint32_t>(v));
        return static_cast<std::uint32_t>(kept.size() - 1);
    }

    std::vector<std::uint32_t> kept;  // store vertex of each kept vertex

private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();
    static constexpr std::size_t kLookedUp = std::size_t(std::numeric_limits<std::uint16_t>::max()) + 1;

    template <class F>
    void each_word(std::size_t v, F f) const {
        const auto run = [&](const std::vector<float>& values, std::size_t width) {
            if (values.empty()) return;
            for (std::size_t k = 0; k < width; ++k) {
                std::uint32_t w;
                std::memcpy(&w, &values[v * width + k], 4);
                f(w);
            }
        };
        run(store_.positions, 3);
        run(store_.normals, 3);
        run(store_.colors, 4);
        run(store_.tex_coords, 2);
    }
    std::size_t hash(std::size_t v) const {
        std::uint64_t h = 1469598103934665603ull;
        each_word(v, [&](std::uint32_t w) { h = (h ^ w) * 1099511628211ull; });
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
    bool same(std::size_t a, std::size_t b) const {
        const auto run = [&](const std::vector<float>& values, std::size_t width) {
            return values.empty() || std::memcmp(&values[a * width], &values[b * width], width * 4) == 0;
        };
        return run(store_.positions, 3) && run(store_.normals, 3) && run(store_.colors, 4) && run(store_.tex_coords, 2);
    }

    const CO3duGLVertexStore& store_;
    std::vector<std::uint32_t> slots_;
    std::size_t looked_up_ = 0;  // vertices in the table
};

}  // namespace

O3duShapeData O3duShapeData::pack(const O3duShapeWork& work) {
    O3duShapeData data;
    if (work.sets.empty()) return data;
    const CO3duGLVertexStore& store = work.store;
    Header header;
    header.set_count = static_cast<std::uint32_t>(work.sets.size());
    std::vector<O3duSetPaint> paints;
    std::vector<O3duSetRange> ranges(work.sets.size());
    std::vector<std::uint32_t> numbers;
    Welder welder(store);
    for (std::size_t i = 0; i < work.sets.size(); ++i) {
        const O3duWorkSet& set = work.sets[i];
        const O3duSetPaint paint = paint_of(set);
        std::size_t at = paints.size();
        if (!paints.empty() && same_paint(paints.back(), paint)) {
            at = paints.size() - 1;
        } else if (paints.size() <= kPaintsSearched) {
            at = std::size_t(std::find_if(paints.begin(), paints.end(),
                                          [&](const O3duSetPaint& p) { return same_paint(p, paint); }) -
                             paints.begin());
        }
        if (at == paints.size()) paints.push_back(paint);
        O3duSetRange& range = ranges[i];
        range.vertex_count = set.vertex_count;
        range.first_index = header.index_count;
        range.element_count = set.element_count;
        range.paint = static_cast<std::uint32_t>(at);
        range.mode = static_cast<std::uint16_t>(set.mode);
        range.indexed = static_cast<std::uint16_t>(set.indexed);
        header.index_count += static_cast<std::uint32_t>(set.indices.size());
        if (set.indexed) {
            // Its triples count its vertices from the first: they stay together, in order.
            range.first_vertex = static_cast<std::uint32_t>(welder.kept.size());
            for (std::int32_t k = 0; k < set.vertex_count; ++k) welder.keep(set.first_vertex + std::size_t(k));
        } else {
            range.first_vertex = static_cast<std::uint32_t>(numbers.size());
            for (std::int32_t k = 0; k < set.vertex_count; ++k)
                numbers.push_back(welder.weld(set.first_vertex + std::size_t(k)));
        }
    }
    const std::vector<std::uint32_t>& kept = welder.kept;
    header.paint_count = static_cast<std::uint32_t>(paints.size());
    header.vertex_count = static_cast<std::uint32_t>(kept.size());
    header.number_count = static_cast<std::uint32_t>(numbers.size());
    const bool short_numbers = kept.size() <= std::size_t(std::numeric_limits<std::uint16_t>::max()) + 1;
    header.flags = (store.colors.empty() ? 0 : kColors) | (store.tex_coords.empty() ? 0 : kTexCoords) |
                   (short_numbers ? kShortNumbers : 0);
    const std::size_t floats_a_vertex = 6 + (store.colors.empty() ? 0 : 4) + (store.tex_coords.empty() ? 0 : 2);
    const std::size_t bytes = sizeof(Header) + sizeof(O3duSetRange) * ranges.size() +
                              sizeof(O3duSetPaint) * paints.size() + 4 * floats_a_vertex * kept.size() +
                              4 * std::size_t(header.index_count) + (short_numbers ? 2 : 4) * numbers.size();
    data.bytes_ = std::make_unique<std::byte[]>(bytes);  // zero-filled: equal shapes are equal bytes
    std::byte* out = data.bytes_.get();
    const auto put = [&](const void* from, std::size_t size) {
        if (size) std::memcpy(out, from, size);
        out += size;
    };
    put(&header, sizeof header);
    put(ranges.data(), sizeof(O3duSetRange) * ranges.size());
    put(paints.data(), sizeof(O3duSetPaint) * paints.size());
    const auto put_kept = [&](const std::vector<float>& values, std::size_t width) {
        if (values.empty()) return;
        for (std::uint32_t v : kept) put(&values[std::size_t(v) * width], 4 * width);
    };
    put_kept(store.positions, 3);
    put_kept(store.normals, 3);
    put_kept(store.colors, 4);
    put_kept(store.tex_coords, 2);
    for (const O3duWorkSet& set : work.sets) put(set.indices.data(), 4 * set.indices.size());
    if (short_numbers) {
        for (std::uint32_t n : numbers) {
            const std::uint16_t s = static_cast<std::uint16_t>(n);
            put(&s, 2);
        }
    } else {
        put(numbers.data(), 4 * numbers.size());
    }
    return data;
}

O3duShapeWork O3duShapeData::unpack() const {
    O3duShapeWork work;
    work.sets.resize(set_count());
    const std::uint32_t* all_indices = indices();
    std::size_t total = 0;
    for (std::size_t i = 0; i < work.sets.size(); ++i) {
        const O3duSetRange& r = range(i);
        const O3duSetPaint& p = paint(r.paint);
        O3duWorkSet& set = work.sets[i];
        set.first_vertex = static_cast<std::uint32_t>(total);
        set.vertex_count = r.vertex_count;
        set.element_count = r.element_count;
        set.mode = r.mode;
        set.indexed = r.indexed;
        set.material = p.material;
        set.material_kind = p.material_kind;
        set.line_width = p.line_width;
        set.texture_number = p.texture_number;
        if (r.indexed) {
            const std::uint32_t* first = all_indices + r.first_index;
            set.indices.assign(first, first + std::size_t(r.element_count) * 3);
        }
        total += std::size_t(std::max(r.vertex_count, 0));
    }
    CO3duGLVertexStore& store = work.store;
    store.positions.resize(total * 3);
    store.normals.resize(total * 3);
    if (colors()) store.colors.resize(total * 4);
    if (tex_coords()) store.tex_coords.resize(total * 2);
    for (std::size_t i = 0; i < work.sets.size(); ++i) {
        const O3duSetRange& r = range(i);
        for (std::int32_t k = 0; k < r.vertex_count; ++k) {
            const std::size_t from = vertex_of(r, std::size_t(k)), to = work.sets[i].first_vertex + std::size_t(k);
            std::copy_n(positions() + from * 3, 3, &store.positions[to * 3]);
            std::copy_n(normals() + from * 3, 3, &store.normals[to * 3]);
            if (const float* c = colors()) std::copy_n(c + from * 4, 4, &store.colors[to * 4]);
            if (const float* t = tex_coords()) std::copy_n(t + from * 2, 2, &store.tex_coords[to * 2]);
        }
    }
    return work;
}

const O3duShapeData::Header& O3duShapeData::header() const {
    static const Header kEmpty;
    return bytes_ ? *reinterpret_cast<const Header*>(bytes_.get()) : kEmpty;
}

const O3duSetRange* O3duShapeData::ranges() const {
    return reinterpret_cast<const O3duSetRange*>(bytes_.get() + sizeof(Header));
}

const O3duSetPaint* O3duShapeData::paints() const {
    return reinterpret_cast<const O3duSetPaint*>(bytes_.get() + sizeof(Header) +
                                                 sizeof(O3duSetRange) * std::size_t(set_count()));
}

std::size_t O3duShapeData::positions_at() const {
    return sizeof(Header) + sizeof(O3duSetRange) * std::size_t(set_count()) +
           sizeof(O3duSetPaint) * std::size_t(paint_count());
}

const float* O3duShapeData::floats(std::size_t at) const {
    return bytes_ ? reinterpret_cast<const float*>(bytes_.get() + at) : nullptr;
}

float* O3duShapeData::mutable_floats(std::size_t at) {
    return bytes_ ? reinterpret_cast<float*>(bytes_.get() + at) : nullptr;
}

const std::uint32_t* O3duShapeData::indices() const {
    return bytes_ ? reinterpret_cast<const std::uint32_t*>(bytes_.get() + indices_at()) : nullptr;
}

const void* O3duShapeData::numbers() const { return bytes_ ? bytes_.get() + numbers_at() : nullptr; }

std::size_t O3duShapeData::size_in_bytes() const {
    return bytes_ ? numbers_at() + (short_numbers() ? 2 : 4) * std::size_t(header().number_count) : 0;
}

bool O3duShapeData::operator==(const O3duShapeData& other) const {
    const std::size_t size = size_in_bytes();
    if (size != other.size_in_bytes()) return false;
    return size == 0 || std::memcmp(bytes_.get(), other.bytes_.get(), size) == 0;
}
