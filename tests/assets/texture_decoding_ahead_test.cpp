// Textures of images decoded ahead on another thread: the same texels, the same failure texts
// and the file's bytes as the load sees them, as when each load decodes its own.
#include "assets/texture_manager.h"

#include "support/asset_fixture.h"
#include "support/error_of.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tincrates {
namespace {

using namespace testing;

class TextureDecodingAhead : public AssetTest {
protected:
    void writePicture(const std::string& name, uint32_t seed)
    {
        std::vector<uint32_t> pixels(40 * 24);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint32_t(i * 2654435761u + seed);
        writeDataPng(name, 40, 24, pixels);
    }

    // Every level of the texture, 0xAARRGGBB, level after level.
    static std::vector<uint32_t> texels(Texture* texture)
    {
        std::vector<uint32_t> all;
        for (UINT level = 0; level < texture->texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc{};
            texture->texture->GetLevelDesc(level, &desc);
            D3DLOCKED_RECT locked;
            if (texture->texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK)
                return {};
            for (UINT y = 0; y < desc.Height; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(
                    static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch);
                all.insert(all.end(), row, row + desc.Width);
            }
            texture->texture->UnlockRect(level);
        }
        return all;
    }
};

TEST_F(TextureDecodingAhead, GivesTheTexelsOfALoadThatDecodesItself)
{
    std::vector<std::string> names;
    for (uint32_t i = 0; i < 6; ++i) {
        names.push_back("text0" + std::to_string(i) + ".png");
        writePicture(names.back(), i);
    }
    std::vector<std::vector<uint32_t>> expected;
    {
        TextureManager plain;
        for (const std::string& name : names)
            expected.push_back(texels(plain.get(name)));
    }
    TextureManager ahead;
    ahead.decodeAhead(names);
    for (size_t i = 0; i < names.size(); ++i) {
        Texture* texture = ahead.get(names[i]);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texels(texture), expected[i]) << names[i];
    }
}

TEST_F(TextureDecodingAhead, ABadOrMissingImageFailsWithTheSameText)
{
    writePicture("good.png", 1);
    writeData("credits.png", "This is a text file, not an image.\n");
    TextureManager textures;
    textures.decodeAhead({"credits.png", "nowhere.png", "good.png"});
    EXPECT_EQ(errorOf([&] { textures.get("credits.png"); }),
        "Failed to load credits.png\nfailed to load credits.png: not a PNG or JPEG image");
    EXPECT_EQ(errorOf([&] { textures.get("nowhere.png"); }),
        "Failed to load nowhere.png\nfile not found: nowhere.png");
    EXPECT_NE(textures.get("good.png"), nullptr);
}

TEST_F(TextureDecodingAhead, AFileChangedSinceIsLoadedAsItIsNow)
{
    writePicture("text00.png", 1);
    TextureManager textures;
    textures.decodeAhead({"text00.png"});
    writeData("text00.png", "");
    EXPECT_EQ(errorOf([&] { textures.get("text00.png"); }),
        "Failed to load text00.png\nfailed to load text00.png: not a PNG or JPEG image");
    writePicture("text00.png", 2);
    std::vector<uint32_t> now;
    {
        TextureManager plain;
        TextureManager::loadAfresh("text00.png");
        now = texels(plain.get("text00.png"));
    }
    writePicture("text01.png", 3);
    textures.decodeAhead({"text01.png"});
    writePicture("text01.png", 2);
    TextureManager::loadAfresh("text01.png");
    EXPECT_EQ(texels(textures.get("text01.png")), now);
}

TEST_F(TextureDecodingAhead, AnImageLoadedAlreadyIsSharedNotDecodedAgain)
{
    writePicture("text00.png", 1);
    TextureManager playing;
    Texture* shown = playing.get("text00.png");
    EXPECT_TRUE(TextureManager::isLoaded("text00.png"));
    // Damaged now: a new build that decoded it again would fail; it shares the one shown.
    writeData("text00.png", "");
    TextureManager next;
    next.decodeAhead({"text00.png"});
    EXPECT_EQ(next.get("text00.png"), shown);
}

} // namespace
} // namespace tincrates
