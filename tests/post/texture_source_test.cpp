// Texture sources follow their owner's current texture, so a quad shows what is there now.
#include "post/texture_source.h"

#include "assets/texture.h"
#include "post/blur_pass.h"
#include "post/screen_quad.h"
#include "published_device.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

using namespace testing;

TEST(TextureSource, ReadsTheOwnersTextureAtEachUse)
{
    HeadlessDevice device(8, 8);
    PublishedDevice published(device.get());
    RenderTexture target(*device.get(), 4, 4, renderTargetUsage, D3DPOOL_DEFAULT);
    BlurPass pass(&target, 4, 4);
    EXPECT_EQ(TextureSource(target).texture(), target.texture);
    EXPECT_EQ(TextureSource(pass).texture(), pass.output.texture);

    Texture loaded;
    TextureSource source(loaded);
    EXPECT_EQ(source.texture(), nullptr);
    loaded.texture = target.texture;
    EXPECT_EQ(source.texture(), target.texture);
    loaded.texture = nullptr;
}

TEST(TextureSource, QuadShowsTheTextureItsSourceHoldsNow)
{
    HeadlessDevice device(8, 8);
    PublishedDevice published(device.get());
    Texture loaded;
    loaded.texture = device.texture(1, 1, {0xFFFF0000});
    loaded.texture->AddRef(); // the record releases its own reference
    ScreenQuad quad(loaded, 1.0f);
    auto draw = [&] {
        device->BeginScene();
        quad.draw(D3DBLEND_ONE, D3DBLEND_ZERO, 1.0f, 0);
        device->EndScene();
        return device.readBack()[0];
    };
    EXPECT_EQ(draw(), 0xFFFF0000u);

    loaded.texture->Release();
    loaded.texture = device.texture(1, 1, {0xFF00FF00});
    loaded.texture->AddRef();
    EXPECT_EQ(draw(), 0xFF00FF00u);
}

} // namespace
} // namespace tincrates
