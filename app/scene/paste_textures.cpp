// The bridge call behind a face's vector texts.
#include "app/scene/paste_textures.h"

#include "app/foundation/bus_mdl.h"

namespace kz::scene {

int add_vector_text(kz::foundation::CBusMDL* bridge, const char* source, double transparency) {
    return bridge ? bridge->AddVectorText(source, transparency) : 1;
}

}  // namespace kz::scene
