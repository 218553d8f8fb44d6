// Texture loading by image name: decoding into a managed texture, sharing between managers,
// and the failure texts for missing and undecodable files.
#include "assets/texture_manager.h"

#include "assets/material_manager.h"
#include "support/asset_fixture.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <cstdio>

namespace tincrates {
namespace {

using namespace testing;

class TextureLoading : public AssetTest {
protected:
    std::string dataContent(const std::string& name) const
    {
        return scratch.read(std::filesystem::path("data") / name);
    }

    // A JPEG of the given size, of stripes that leave the scan most of the file.
    static std::string encodeJpeg(int width, int height)
    {
        std::vector<unsigned char> rgb(size_t(width) * height * 3);
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<unsigned char>(i * 37);
        tjhandle encoder = tjInitCompress();
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &out, &size,
            TJSAMP_444, 90, 0);
        std::string bytes(reinterpret_cast<char*>(out), size);
        tjFree(out);
        tjDestroy(encoder);
        return bytes;
    }
};

uint32_t levelZeroPixel(Texture* texture, UINT x, UINT y)
{
    D3DLOCKED_RECT locked;
    if (texture->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
        return 0;
    uint32_t pixel = *reinterpret_cast<const uint32_t*>(
        static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4);
    texture->texture->UnlockRect(0);
    return pixel;
}

TEST_F(TextureLoading, DecodesAPngWithItsAlphaAndAFullMipChain)
{
    writeDataPng("quad.png", 4, 2,
        {0x80FF0000, 0xFF00FF00, 0xFF0000FF, 0x00FFFFFF, 0xFF000000, 0xFF000000, 0xFF000000,
            0xFF000000});
    TextureManager textures;
    Texture* texture = textures.get("quad.png");
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(texture->texture, nullptr);
    D3DSURFACE_DESC desc;
    texture->texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(texture->texture->GetLevelCount(), 3u);
    EXPECT_EQ(levelZeroPixel(texture, 0, 0), 0x80FF0000u);
    EXPECT_EQ(levelZeroPixel(texture, 3, 0), 0x00FFFFFFu);
}

TEST_F(TextureLoading, OneTextureIsSharedByAHostManagerAndAMaterial)
{
    writeSolidPng("white.png", 0xFFFFFFFF);
    writeData("plain.mat", "<material><texture file=\"white.png\"/></material>");
    TextureManager hostTextures;
    Texture* fromHost = hostTextures.get("white.png");
    {
        MaterialManager materials;
        Material* material = materials.get("plain.mat");
        EXPECT_EQ(material->texture, fromHost);
        EXPECT_EQ(TextureManager::totalCount(fromHost), 2);
        EXPECT_EQ(materials.textures.heldCount(fromHost), 1);
    }
    // The material's manager has given its hold back; the host's keeps the texture alive.
    EXPECT_EQ(TextureManager::totalCount(fromHost), 1);
    EXPECT_EQ(hostTextures.get("white.png"), fromHost);
}

TEST_F(TextureLoading, NamesAreLookedUpUnchangedSoEachTextImageIsItsOwn)
{
    TextureManager textures;
    std::vector<Texture*> loaded;
    for (int i = 0; i < 23; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "text%02i.png", i);
        writeSolidPng(name, 0xFF000000u | uint32_t(i));
        loaded.push_back(textures.get(name));
    }
    for (int i = 0; i < 23; ++i) {
        EXPECT_EQ(TextureManager::totalCount(loaded[i]), 1) << i;
        EXPECT_EQ(levelZeroPixel(loaded[i], 1, 1), 0xFF000000u | uint32_t(i)) << i;
    }
    writeSolidPng("White.png", 0xFF000000);
    writeSolidPng("white.png", 0xFFFFFFFF);
    EXPECT_NE(textures.get("White.png"), textures.get("white.png"));
}

TEST_F(TextureLoading, AMissingImageNamesItselfTwice)
{
    TextureManager textures;
    EXPECT_EQ(errorOf([&] { textures.get("nowhere.png"); }),
        "Failed to load nowhere.png\nfile not found: nowhere.png");
}

TEST_F(TextureLoading, BytesThatAreNoImageFailAndTheNextRequestTriesAgain)
{
    writeData("credits.png", "This is a text file, not an image.\n");
    TextureManager textures;
    EXPECT_EQ(errorOf([&] { textures.get("credits.png"); }),
        "Failed to load credits.png\nfailed to load credits.png: not a PNG or JPEG image");
    // A damaged PNG: the signature and a cut-off header.
    writeData("credits.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0", 18));
    EXPECT_EQ(errorOf([&] { textures.get("credits.png"); }),
        "Failed to load credits.png\nfailed to load credits.png: truncated PNG data");
    writeData("credits.png", "");
    EXPECT_EQ(errorOf([&] { textures.get("credits.png"); }),
        "Failed to load credits.png\nfailed to load credits.png: not a PNG or JPEG image");

    writeSolidPng("credits.png", 0xFF102030);
    Texture* texture = textures.get("credits.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(textures.heldCount(texture), 1);
}

TEST_F(TextureLoading, AnImageThatCannotBeUsedSaysWhy)
{
    writeSolidPng("box.png", 0xFF808080);
    const std::string png = dataContent("box.png");
    auto failure = [&](const std::string& content) {
        writeData("box.png", content);
        TextureManager textures;
        return errorOf([&] { textures.get("box.png"); });
    };
    const std::string prefix = "Failed to load box.png\nfailed to load box.png: ";

    EXPECT_EQ(failure(png.substr(0, png.size() / 2)), prefix + "truncated PNG data");
    std::string badChecksum = png;
    badChecksum[29] ^= 0x01; // the header chunk's CRC
    EXPECT_EQ(failure(badChecksum), prefix + "IHDR: CRC error"); // libpng's own words

    // Refused from the header, before a pixel is decoded, by either decoder.
    writeDataPng("box.png", 70000, 16, std::vector<uint32_t>(70000 * 16, 0xFF000000));
    EXPECT_EQ(failure(dataContent("box.png")),
        prefix + "70000 × 16 pixels is larger than the device's limit of 8192 × 8192");
    EXPECT_EQ(failure(encodeJpeg(16, 9000)),
        prefix + "16 × 9000 pixels is larger than the device's limit of 8192 × 8192");

    // libjpeg would paint the missing rows grey and call it a warning.
    const std::string jpeg = encodeJpeg(64, 64);
    EXPECT_EQ(failure(jpeg.substr(0, jpeg.size() * 3 / 4)), prefix + "truncated JPEG data");
    EXPECT_EQ(failure(jpeg.substr(0, 40)), prefix + "truncated JPEG data");

    EXPECT_EQ(failure(jpeg), "");
}

TEST_F(TextureLoading, WithoutADeviceTheLoadFailsInsteadOfCrashing)
{
    writeSolidPng("white.png", 0xFFFFFFFF);
    publishSharedDevice(nullptr);
    TextureManager textures;
    EXPECT_EQ(errorOf([&] { textures.get("white.png"); }),
        "Failed to load white.png\nfailed to load white.png: no graphics device to make the "
        "texture on");
}

} // namespace
} // namespace tincrates
