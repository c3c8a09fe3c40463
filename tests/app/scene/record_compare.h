// Field-by-field comparison of two figure records for the scene's tests: texts by content (null and empty
// alike), paste entries deeply, and a readable list of the fields that differ.
#pragma once
#include <string>

#include "app/scene/figure_record.h"

namespace kz::scene::test {

// Names of the fields that differ, "" when the records are equal.
std::string record_differences(const COBJECTA& a, const COBJECTA& b);

}  // namespace kz::scene::test
