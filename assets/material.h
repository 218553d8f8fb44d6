// A material: lighting colours, textures and the depth, culling and blend states of a mesh group.
#pragma once

#include "platform/gpu/d3d9.h"
#include "math/vector_math.h"

class TiXmlNode;

namespace tincrates {

struct Texture;

// One material file. Colours and `power`/`shininess` are read afresh by every apply(); the
// other fields are recorded in the state block at the first apply() and must not change after.
struct Material {
    Colour emissive{0.0f, 0.0f, 0.0f, 0.0f};
    Colour ambient{0.1f, 0.1f, 0.1f, 1.0f};
    Colour diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    Colour specular{0.0f, 0.0f, 0.0f, 0.0f}; // scaled by `shininess` when applied
    float power = 1.0f;                      // specular exponent
    float shininess = 0.0f;
    Texture* texture = nullptr;              // not owned: held by the material manager's textures
    Texture* envmap = nullptr;               // not owned; added on top by reflection vectors
    D3DZBUFFERTYPE zMode = D3DZB_TRUE;
    bool zWrite = true;
    D3DCULL cullMode = D3DCULL_CCW;
    D3DBLEND srcBlend = D3DBLEND_ONE;
    D3DBLEND dstBlend = D3DBLEND_ZERO;
    IDirect3DStateBlock9* stateBlock = nullptr; // owned; recorded at the first apply()

    Material() = default;
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;
    // Releases the state block only; the textures belong to their manager.
    ~Material();

    // Sets the Direct3D material on the shared device (ambient/emissive and diffuse/specular
    // parts only when asked, zero otherwise) and applies the state block, recording it first
    // when there is none yet. Does nothing without a shared device.
    void apply(bool withAmbientEmissive, bool withDiffuseSpecular);

    // Records render, texture-stage and sampler states and textures of this material into
    // `stateBlock`. Called by apply() only.
    void recordStateBlock();
};

// Sets all four channels of `colour` from the element's "r", "g", "b", "a" attributes (atof;
// 1.0 when absent). Does nothing when `node` is null or not an element.
void readColour(const TiXmlNode* node, Colour& colour);

// Frees a material of the material managers; accepts null.
void destroyManagedAsset(Material* material);

} // namespace tincrates
