// The texture slots of CO3duGLModelar: the table of images behind texture numbers 1, 2, ...; images reach
// OpenGL at the next context set-up.
#include "modeller/gl_modelar.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

#include "modeller/shadow/volumes.h"

namespace {

// Which texture numbers (from 1) hold an image that casts none.
std::vector<bool> casting_none(const CO3duGLStructure& structure) {
    std::vector<bool> none;
    for (int i = 0; i < structure.textures.GetSize(); ++i) none.push_back(texture_casts_none(structure.textures[i]));
    return none;
}

// Rebuilds the volumes of the shapes that cast through a set whose texture turned from casting to casting none or
// back, since `before` was taken: a set that would cast but for its texture. Shapes that cast nothing at all keep
// none either way.
void rebuild_where_textures_turned(CO3duGLStructure& structure, const std::vector<bool>& before) {
    const std::vector<bool> now = casting_none(structure);
    const auto turned = [&](int texture) {
        const auto at = static_cast<std::size_t>(texture - 1);
        return texture >= 1 && (at < before.size() && before[at]) != (at < now.size() && now[at]);
    };
    bool any = false;
    for (int t = 1; t <= int(std::max(before.size(), now.size())); ++t) any = any || turned(t);
    if (!any) return;
    for (_OfuPosition* node = structure.head(); node; node = node->next) {
        CO3duGLEntity& entity = *node->entity;
        if ((entity.draw_mode & (O3DU_DRAW_HIDDEN | O3DU_DRAW_NO_SHADOW)) || entity.polygon_mode != GL_FILL ||
            entity.kind == 1)
            continue;
        for (const CO3duGLTrianglePolygons set : entity.sets())
            if (turned(set.texture_number()) && casts_shadow(set, false)) {
                entity.shadow_rebuild = 1;
                break;
            }
    }
}

}  // namespace

unsigned int CO3duGLModelar::AddTexture(_OfuBitmap& image) {
    if (!is_texture_image(image, true)) return 0;
    const std::vector<bool> before = casting_none(structure_);
    structure_.textures.Add(image);
    // Sets that named this number before it had an image drew untextured; with an alpha channel they cast none.
    rebuild_where_textures_turned(structure_, before);
    return static_cast<unsigned int>(structure_.textures.GetSize());
}

int CO3duGLModelar::ChangeTexture(unsigned int id, _OfuBitmap& image) {
    // 32-bit images are taken here as AddTexture takes them: a texture whose file gained an alpha channel must
    // reload like any other.
    if (!is_texture_image(image, true)) return 0;
    // Only numbers AddTexture gave out have an entry to replace.
    if (id == 0 || id > static_cast<unsigned int>(structure_.textures.GetSize())) return 0;
    const std::vector<bool> before = casting_none(structure_);
    structure_.textures[static_cast<int>(id - 1)] = image;
    // An image that gained or lost its alpha channel turns the shadows of the sets using it off or on.
    rebuild_where_textures_turned(structure_, before);
    return 1;
}

void CO3duGLModelar::RemoveAllTexture() {
    const std::vector<bool> before = casting_none(structure_);
    structure_.textures.RemoveAll();
    // Sets whose 32-bit texture went draw untextured, and cast.
    rebuild_where_textures_turned(structure_, before);
}

int CO3duGLModelar::GetTexture(unsigned int index, _OfuBitmap& image) {
    if (index >= static_cast<unsigned int>(structure_.textures.GetSize())) return 0;
    image = structure_.textures[static_cast<int>(index)];
    return 1;
}

int CO3duGLModelar::GetTexCount() { return structure_.textures.GetSize(); }
