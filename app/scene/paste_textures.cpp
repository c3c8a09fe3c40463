// Stand-in for the bridge's vector-text labels (see paste_textures.h).
#include "app/scene/paste_textures.h"

#include "app/foundation/bus_mdl.h"
#include "app/foundation/vector_text.h"

namespace kz::scene {

using namespace kz::foundation;

int add_vector_text(CBusMDL* bridge, const char* source, double transparency) {
    if (!bridge) return 1;
    VectorTextLines lines;
    if (make_vector_text(source, transparency, &lines) != 0 || lines.points.empty()) return 1;
    PolylineEntry& open = bridge->OpenPolyline();
    open.color = static_cast<std::uint32_t>(lines.color);
    open.line_width = lines.line_width;
    open.ambient = lines.ambient_factor;
    open.transparency = lines.transparency;
    open.points.insert(open.points.end(), lines.points.begin(), lines.points.end());
    bridge->ClosePolyline();
    return 0;
}

}  // namespace kz::scene
