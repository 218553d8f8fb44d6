// Shared materials by material file name.
#pragma once

#include "assets/material.h"
#include "assets/resource_manager.h"
#include "assets/texture_manager.h"

#include <map>
#include <string>
#include <vector>

namespace tincrates {

// Hands out one Material per file name. Its textures come from the TextureManager held here,
// which gives them back (before the materials go) when this manager is destroyed.
class MaterialManager final : public ResourceManager<Material> {
public:
    MaterialManager() = default;
    ~MaterialManager() = default;

    TextureManager textures; // the textures named by this manager's materials

protected:
    // Reads the named XML material file. Throws "File not found" (see readXmlText), "line %i:
    // %s" for XML errors,
    // "invalid zbuffer mode", "invalid cull mode", "invalid srcblend", "invalid dstblend",
    // "No root element" or a texture manager's failure text.
    Material* load(const std::string& name) override;
    // Takes the textures of a material that another manager loaded.
    void holdSubAssets(Material* material) override;

private:
    // The image names each loaded material took its textures from, in the order it took them.
    static inline std::map<const Material*, std::vector<std::string>> textureNames;
};

} // namespace tincrates
