// What a screen quad shows: a loaded texture, a render texture or the output of a blur pass.
// The source is read again at every use, so a quad always shows the source's current content.
#pragma once

#include "platform/gpu/d3d9.h"

namespace tincrates {

struct Texture;
class RenderTexture;
class BlurPass;

class TextureSource {
public:
    // Each keeps a link to the given object, which must outlive the source; not owned.
    TextureSource(const Texture& texture);
    TextureSource(const RenderTexture& texture);
    // A blur pass stands for its output.
    TextureSource(const BlurPass& pass);

    // The Direct3D texture that the object holds now (no reference added); may be null.
    IDirect3DTexture9* texture() const { return *slot; }

private:
    IDirect3DTexture9* const* slot; // the owner's own texture field, not owned
};

} // namespace tincrates
