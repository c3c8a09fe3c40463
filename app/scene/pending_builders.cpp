// Builders of the round, polygon and revolution shapes.
// TEMPORARY: they come with the next shape kinds; until then each makes no face and reports nothing built.
#include "app/scene/xleaves.h"

namespace kz::scene {


}  // namespace kz::scene
