// The shared texture record: one Direct3D texture made from one image file.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates {

// One loaded image. Users read `texture` directly and bind it; they never release it.
struct Texture {
    IDirect3DTexture9* texture = nullptr; // owned reference, null until created

    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    // Releases `texture` if set.
    ~Texture();
};

// Releases the Direct3D texture (if any) and frees the record. Called by the texture managers
// when the last holder of `texture` goes; accepts null.
void destroyManagedAsset(Texture* texture);

} // namespace tincrates
