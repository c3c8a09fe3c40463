// Helpers of the paste column shared by the record, its reader and its writer: face codes of the list's digits,
// the kind of an entry from its source, and deep copies of entries.
#pragma once
#include <cstdint>

#include "app/scene/figure_record.h"

namespace kz::scene {

// A lone number of the range item: 0..5 name the box faces (0 bottom 1000, 1 top 2000, 2 front 5000,
// 3 right 4000, 4 back 6000, 5 left 3000); anything else is the code itself.
std::int32_t face_code_of_number(std::int32_t n);
// Last code of the thousand that holds `from`: 2000 gives 2999.
std::int32_t end_of_thousand(std::int32_t from);
// Kind of an entry from its source text and the record's kind; -1 for a source whose extension drops the entry.
int paste_kind_of_source(const char* source, int record_kind);
// dst becomes a copy of src with its own source text and code arrays.
void copy_paste_entry(PasteEntry* dst, const PasteEntry& src);
// Index of the entry's face-code range that holds the code, or -1.
int paste_range_holding(const PasteEntry& entry, std::int32_t code);
// Index of the first entry of the record's paste list one of whose ranges holds the code, or -1.
int paste_entry_holding(const COBJECTA& record, std::int32_t code);

}  // namespace kz::scene
