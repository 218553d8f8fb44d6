// Materials: applying colours and the recorded state block to the device.
#include "assets/material.h"

namespace tincrates {

Material::~Material()
{
    if (stateBlock)
        stateBlock->Release();
}

void Material::apply(bool, bool) {}

void Material::recordStateBlock() {}

void readColour(const TiXmlNode*, Colour&) {}

void destroyManagedAsset(Material* material)
{
    delete material;
}

} // namespace tincrates
