// The image decoders' size limit is the device's: what one accepts the other makes a texture of,
// and what it refuses is said with both sizes.
#include "platform/image/image_file.h"

#include "platform/gpu/d3dx9.h"
#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <png.h>

#include <string>
#include <vector>

namespace tincrates {
namespace {

using namespace testing;

// A black PNG of the given size.
std::string encodePng(uint32_t width, uint32_t height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> pixels(size_t(width) * height);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

TEST(ImageFile, TheSizeLimitIsTheOneTheDeviceReports)
{
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DCAPS9 caps{};
    ASSERT_EQ(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    direct3d->Release();
    EXPECT_EQ(caps.MaxTextureWidth, maxImageSide);
    EXPECT_EQ(caps.MaxTextureHeight, maxImageSide);
}

TEST(ImageFile, AnImageAtTheLimitBecomesATextureAndOnePixelMoreIsRefused)
{
    HeadlessDevice device(4, 4);
    for (auto [width, height] : {std::pair(maxImageSide, 1u), std::pair(1u, maxImageSide)}) {
        std::string bytes = encodePng(width, height);
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileInMemory(
                      device.get(), bytes.data(), UINT(bytes.size()), &texture),
            D3D_OK)
            << width << " × " << height;
        if (texture)
            device.keep(texture);
    }

    DecodedImage image;
    std::string error;
    std::string wide = encodePng(maxImageSide + 1, 1);
    EXPECT_FALSE(decodeImage(wide.data(), wide.size(), image, error));
    EXPECT_EQ(error, "8193 × 1 pixels is larger than the device's limit of 8192 × 8192");
    EXPECT_TRUE(image.pixels.empty());
}

} // namespace
} // namespace tincrates
