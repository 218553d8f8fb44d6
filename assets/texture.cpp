// The shared texture record.
#include "assets/texture.h"

namespace tincrates {

Texture::~Texture()
{
    if (texture)
        texture->Release();
}

void destroyManagedAsset(Texture* texture)
{
    delete texture;
}

} // namespace tincrates
