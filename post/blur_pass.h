// One pass of the glow's blur chain: reads a render texture and writes a copy blurred along
// one axis into a render texture of its own, with two texture stages sampling the source at
// mirrored offsets and the blend unit summing the weighted taps.
#pragma once

#include "platform/gpu/d3d9.h"
#include "post/render_texture.h"

namespace tincrates {

class BlurPass {
public:
    // An output of width × height (render target with generated mipmaps) on the shared
    // device, reading `source`, which must outlive the pass. Throws "no graphics device",
    // the errors of RenderTexture, "blur with no texture? how useful is that, booy?" when
    // `source` is null, "failed to read the blur source's size", "failed to create vertex
    // buffer" or "failed to lock vertex buffer"; nothing is held after a throw.
    BlurPass(const RenderTexture* source, UINT width, UINT height);
    BlurPass(const BlurPass&) = delete;
    BlurPass& operator=(const BlurPass&) = delete;
    ~BlurPass();

    // Draws the source, blurred along x when `horizontal` (else y), into `output`. `spread`
    // scales the tap distances (taps at 2 × spread − 0.5 and 4 × spread − 0.5 texels);
    // `gain` scales the brightness (1 keeps it). Call between BeginScene and EndScene, after
    // the source has been drawn. Throws "RenderTarget already set" when `output` is bound.
    // Leaves the stage, sampler, transform and factor states it set behind, blending off.
    void render(bool horizontal, float spread, float gain);

private:
    IDirect3DDevice9& device; // the shared device, not owned; first, as `output` lives on it

public:
    // Read-only for callers.
    RenderTexture output;
    float texelU = 0;                      // 1 / width of the source's level 0
    float texelV = 0;                      // 1 / height of the source's level 0
    const RenderTexture* source = nullptr; // not owned
    IDirect3DVertexBuffer9* vertexBuffer = nullptr; // owned
};

} // namespace tincrates
