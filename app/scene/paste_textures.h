// The bridge call behind a face's vector texts.
#pragma once

namespace kz::foundation {
class CBusMDL;
}

namespace kz::scene {

// Lays a "[lumfont=" paste source out into the bridge's polylines; 0 when it drew, 1 when there was nothing.
int add_vector_text(kz::foundation::CBusMDL* bridge, const char* source, double transparency);

}  // namespace kz::scene
