// The user attributes an item carries (name, value, expression as owned heap texts) and the keys of the ten
// system attributes that live in the item and its base record.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace kz::scene {

// Index of a system attribute key ("#id" .. "#group", any case), or -1.
int system_attribute_index(const char* name);
constexpr int kSystemAttributeCount = 10;
const char* system_attribute_key(int index);  // "" outside 0..9

// The ";" items of a text outside double quotes, each trimmed of blanks and quotes; none for an empty text.
std::vector<std::string> split_semicolon_items(const char* text);

// Frees rows made by XTrunk::CollectAttributes: every text and the three arrays.
void free_attribute_rows(char** names, char** values, char** expressions, int count);

struct AttributeRecord {
    char* name = nullptr;
    char* value = nullptr;
    char* expression = nullptr;
};

// Owns the records' texts; records move as a whole, so a record pointer is valid only until the next change.
class AttributeArray {
public:
    AttributeArray() = default;
    ~AttributeArray() { clear(); }
    AttributeArray(const AttributeArray&) = delete;
    AttributeArray& operator=(const AttributeArray&) = delete;

    int count() const { return static_cast<int>(records.size()); }
    bool allocated() const { return records.capacity() > 0; }
    AttributeRecord& operator[](int i) { return records[static_cast<std::size_t>(i)]; }
    const AttributeRecord& operator[](int i) const { return records[static_cast<std::size_t>(i)]; }
    // Index of the first record of that name (any case), or -1.
    int find(const char* name) const;
    // Appends copies of the texts (null reads as empty); the new index.
    int append(const char* name, const char* value, const char* expression);
    void set(int i, const char* name, const char* value, const char* expression);
    // Frees record i's texts and moves the later records up.
    void remove(int i);
    void swap(int i, int j) { std::swap(records[static_cast<std::size_t>(i)], records[static_cast<std::size_t>(j)]); }
    void clear();

private:
    std::vector<AttributeRecord> records;
};

}  // namespace kz::scene
