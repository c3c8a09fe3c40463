// The texture slots of CO3duGLModelar: the table of images behind texture numbers 1, 2, ...; images reach
// OpenGL at the next context set-up.
#include "modeller/gl_modelar.h"

unsigned int CO3duGLModelar::AddTexture(_OfuBitmap& image) {
    if (!is_texture_image(image, true)) return 0;
    structure_.textures.Add(image);
    return static_cast<unsigned int>(structure_.textures.GetSize());
}

int CO3duGLModelar::ChangeTexture(unsigned int id, _OfuBitmap& image) {
    // 32-bit images are taken here as AddTexture takes them: a texture whose file gained an alpha channel must
    // reload like any other.
    if (!is_texture_image(image, true)) return 0;
    // Only numbers AddTexture gave out have an entry to replace.
    if (id == 0 || id > static_cast<unsigned int>(structure_.textures.GetSize())) return 0;
    structure_.textures[static_cast<int>(id - 1)] = image;
    return 1;
}

void CO3duGLModelar::RemoveAllTexture() { structure_.textures.RemoveAll(); }

int CO3duGLModelar::GetTexture(unsigned int index, _OfuBitmap& image) {
    if (index >= static_cast<unsigned int>(structure_.textures.GetSize())) return 0;
    image = structure_.textures[static_cast<int>(index)];
    return 1;
}

int CO3duGLModelar::GetTexCount() { return structure_.textures.GetSize(); }
