// The texture loader: image file bytes through D3DX into a managed texture.
#include "assets/texture_manager.h"

#include "datafiles/data_file.h"
#include "platform/gpu/d3dx9.h"
#include "platform/gpu/shared_device.h"
#include "platform/image/image_file.h"

#include <memory>

namespace tincrates {

namespace {

// Why D3DX made no texture of the bytes: the decoder's reason when they are no usable image,
// else the device's refusal. Asked only after a failure, so a good image is decoded once.
std::string whyNoTexture(const void* data, size_t size)
{
    DecodedImage image;
    std::string reason;
    if (!decodeImage(data, size, image, reason))
        return reason;
    return "the device cannot make a texture of " + std::to_string(image.width) + " × "
        + std::to_string(image.height) + " pixels";
}

} // namespace

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
    if (D3DXCreateTextureFromFileInMemory(device, file->data, file->size, &record->texture) < 0)
        throw "failed to load " + name + ": " + whyNoTexture(file->data, file->size);
    return record.release();
}

} // namespace tincrates
