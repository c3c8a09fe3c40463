// The bridge call behind a face's vector texts.
// TEMPORARY: until the bridge's CBusMDL::AddVectorText lands this lays the text out with the foundation's vector
// text and hands it over as one polyline; it then becomes a one-line call.
#pragma once

namespace kz::foundation {
class CBusMDL;
}

namespace kz::scene {

// Lays a "[lumfont=" paste source out into the bridge's polylines; 0 when it drew, 1 when there was nothing.
int add_vector_text(kz::foundation::CBusMDL* bridge, const char* source, double transparency);

}  // namespace kz::scene
