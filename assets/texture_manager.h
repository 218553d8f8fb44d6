// Shared textures by image file name.
#pragma once

#include "assets/resource_manager.h"
#include "assets/texture.h"

#include <string>

namespace tincrates {

// Hands out one Texture per image file name; textures live as long as some texture manager
// holds them. Needs the shared device for every load.
class TextureManager final : public ResourceManager<Texture> {
public:
    TextureManager() = default;
    ~TextureManager() = default;

protected:
    // Decodes the named image into a managed texture with a full mip chain on the shared device.
    // Throws "file not found: " + name (with the archive's reason on a further line when it
    // has one, see notFoundMessage), or "failed to load " + name + ": " + the reason when the
    // bytes are no usable image ("not a PNG or JPEG image", "truncated PNG data", a size
    // beyond the device's limit, the decoder's words for damage) or the texture cannot be
    // made (also when no device is published).
    Texture* load(const std::string& name) override;
};

} // namespace tincrates
