// Shared textures by image file name.
#pragma once

#include "assets/resource_manager.h"
#include "assets/texture.h"
#include "platform/image/decoding_ahead.h"

#include <memory>
#include <string>
#include <vector>

namespace tincrates {

// Hands out one Texture per image file name; textures live as long as some texture manager
// holds them. Needs the shared device for every load.
class TextureManager final : public ResourceManager<Texture> {
public:
    TextureManager() = default;
    ~TextureManager() = default;

    // Starts decoding the named images on another thread, in this order, for the loads
    // through this manager that follow: the loading thread makes textures of those decoded
    // while the next are decoded. Names loaded already (see isLoaded) are not decoded again;
    // names not found are left to their load, which reports them. A load gives the same
    // texture, or the same error, as without this.
    void decodeAhead(const std::vector<std::string>& names);

protected:
    // Decodes the named image into a managed texture with a full mip chain on the shared device.
    // Throws "file not found: " + name (with the archive's reason on a further line when it
    // has one, see notFoundMessage), or "failed to load " + name + ": " + the reason when the
    // bytes are no usable image ("not a PNG or JPEG image", "truncated PNG data", a size
    // beyond the device's limit, the decoder's words for damage) or the texture cannot be
    // made (also when no device is published).
    Texture* load(const std::string& name) override;

private:
    std::unique_ptr<DecodingAhead> ahead; // made by the first decodeAhead
};

} // namespace tincrates
