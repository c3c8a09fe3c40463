// Bridge operations that belong to the texture table and the screen labels.
// TEMPORARY: they keep the table empty and the labels blank until the texture and label code lands.
#include "app/foundation/bus_mdl.h"

namespace kz::foundation {

void CBusMDL::GrowTextureTable() {}

void CBusMDL::RemoveAllTextures() {}

void CBusMDL::ResetTextLabels() {}

int CBusMDL::RebuildTextLabel(int, _O3duViewport*) { return modeller ? 0 : 1; }

}  // namespace kz::foundation
