// The texture loader: image file bytes through D3DX into a managed texture.
#include "assets/texture_manager.h"

#include "datafiles/data_file.h"
#include "platform/gpu/d3dx9.h"
#include "platform/gpu/shared_device.h"

#include <memory>

namespace tincrates {

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
    if (!device
        || D3DXCreateTextureFromFileInMemory(device, file->data, file->size, &record->texture) < 0)
        throw "failed to load " + name;
    return record.release();
}

} // namespace tincrates
