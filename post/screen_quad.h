// A texture drawn as a rectangle in clip space over what has been drawn before, with a blend
// mode and an opacity: the glow, the texts, the credits and the fades.
#pragma once

#include "platform/gpu/d3d9.h"
#include "post/texture_source.h"

namespace tincrates {

class ScreenQuad {
public:
    // A quad from (−size, −size) to (size, size) in clip space showing `image` upright, on
    // the shared device. The image must outlive the quad. Throws "no graphics device",
    // "failed to create vertex buffer" or "failed to lock vertex buffer".
    ScreenQuad(TextureSource image, float size);
    ScreenQuad(const ScreenQuad&) = delete;
    ScreenQuad& operator=(const ScreenQuad&) = delete;
    ~ScreenQuad();

    // Draws the image's current texture with the blend factors given; blending is off for
    // ONE/ZERO. The drawn alpha is the texture's alpha × `opacity`, clamped to [0, 1] (NaN
    // counts as 0). `angle` (radians) turns the texture about its centre inside the fixed
    // rectangle. Call between BeginScene and EndScene. Leaves alpha blending off. Draws
    // nothing where the blend would leave every pixel as it is (source alpha 0 with
    // SRCALPHA/INVSRCALPHA or SRCALPHA/ONE), and neither tests nor writes depth.
    void draw(D3DBLEND sourceBlend, D3DBLEND destinationBlend, float opacity, float angle);

private:
    IDirect3DDevice9& device; // the shared device, not owned

public:
    // Set by the owner: a vertex (X, Y) lands at (X × scaleX + x, Y × scaleY − y).
    float x = 0;      // clip-space units; the screen is 2 wide
    float y = 0;      // clip-space units, positive moves down
    float scaleX = 1;
    float scaleY = 1;
    TextureSource image; // not owned
    IDirect3DVertexBuffer9* vertexBuffer = nullptr; // owned; read-only for callers
};

} // namespace tincrates
