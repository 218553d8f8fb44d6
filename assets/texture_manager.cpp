// The texture loader: image file bytes through D3DX into a managed texture.
#include "assets/texture_manager.h"

#include "datafiles/data_file.h"
#include "platform/gpu/d3dx9.h"
#include "platform/gpu/shared_device.h"
#include "platform/image/image_file.h"

#include <algorithm>
#include <memory>

namespace tincrates {

namespace {

std::string deviceRefusal(uint32_t width, uint32_t height)
{
    return "the device cannot make a texture of " + std::to_string(width) + " × "
        + std::to_string(height) + " pixels";
}

// Why D3DX made no texture of the bytes: the decoder's reason when they are no usable image,
// else the device's refusal. Asked only after a failure, so a good image is decoded once.
std::string whyNoTexture(const void* data, size_t size)
{
    DecodedImage image;
    std::string reason;
    if (!decodeImage(data, size, image, reason))
        return reason;
    return deviceRefusal(image.width, image.height);
}

} // namespace

void TextureManager::decodeAhead(const std::vector<std::string>& names)
{
    if (!ahead)
        ahead = std::make_unique<DecodingAhead>();
    for (const std::string& name : names) {
        if (isLoaded(name))
            continue; // a maker's new build shares what has not changed
        std::unique_ptr<DataFile, int (*)(DataFile*)> file(
            openDataFile(name.c_str()), closeDataFile);
        if (file)
            ahead->add(name, file->data, file->size);
    }
}

Texture* TextureManager::load(const std::string& name)
{
    std::string archiveProblem;
    std::unique_ptr<DataFile, int (*)(DataFile*)> file(
        openDataFile(name.c_str(), &archiveProblem), closeDataFile);
    if (!file)
        throw notFoundMessage("file not found: " + name, archiveProblem);

    auto record = std::make_unique<Texture>();
    IDirect3DDevice9* device = sharedDevice();
    // Without a device there is nothing to make the texture on; that is a failed load, not a
    // crash further down.
    if (!device)
        throw "failed to load " + name + ": no graphics device to make the texture on";
    if (ahead && ahead->has(name)) {
        DecodingAhead::Result decoded = ahead->take(name);
        // Decoded from the bytes the load sees now, unless the file changed in between.
        if (decoded.bytes.size() == file->size
            && std::equal(decoded.bytes.begin(), decoded.bytes.end(), file->data)) {
            if (!decoded.isDecoded)
                throw "failed to load " + name + ": " + decoded.error;
            uint32_t width = decoded.image.width, height = decoded.image.height;
            if (createTextureFromImage(device, std::move(decoded.image), &record->texture) < 0)
                throw "failed to load " + name + ": " + deviceRefusal(width, height);
            return record.release();
        }
    }
    if (D3DXCreateTextureFromFileInMemory(device, file->data, file->size, &record->texture) < 0)
        throw "failed to load " + name + ": " + whyNoTexture(file->data, file->size);
    return record.release();
}

} // namespace tincrates
