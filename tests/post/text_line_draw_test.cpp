// A text line drawn over a picture at the sizes the production shows: each texel exactly
// scale × scale pixels from the margin on, letters pure white, the box darkening what lies
// under it, and every other pixel as it was.
#include "post/text_line.h"

#include "published_device.h"
#include "text_line_texels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace tincrates {
namespace {

using namespace testing;

const std::string statusText = "beat 96.25  phrase 13 beat 1/8  text 10  29 fps  paused  loop\n"
                               "crate.material: line 3: Error reading end tag.";

// A picture in which neighbouring pixels differ, so a pixel moved or blurred shows.
uint32_t pictureAt(UINT x, UINT y, UINT width, UINT height)
{
    const uint32_t red = x * 255 / width, green = y * 255 / height, blue = (x * 7 ^ y * 13) & 0xFF;
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

class TextLineOverAPicture {
public:
    TextLineOverAPicture(UINT width, UINT height) : device(width, height) {}

    // Lays the picture over the whole target, texel for pixel.
    void paintPicture()
    {
        const UINT w = device.width, h = device.height;
        std::vector<uint32_t> pixels(size_t(w) * h);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                pixels[size_t(y) * w + x] = pictureAt(x, y, w, h);
        device->SetTexture(0, device.texture(w, h, pixels));
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        device.setPlainStates();
        // Edges half a pixel out, where Direct3D's pixel edges are.
        const float dx = 1.0f / float(w), dy = 1.0f / float(h);
        device.drawFan({{-1 - dx, -1 + dy, 0, ~0u, 0, 1}, {-1 - dx, 1 + dy, 0, ~0u, 0, 0},
            {1 - dx, 1 + dy, 0, ~0u, 1, 0}, {1 - dx, -1 + dy, 0, ~0u, 1, 1}});
    }

    // Draws `line` as the production would, with its linear filtering set.
    std::vector<uint32_t> drawOver(TextLine& line, int scale)
    {
        useLinearFiltering(*device.get());
        device->BeginScene();
        line.draw(device.width, device.height, scale);
        device->EndScene();
        return device.readBack();
    }

    HeadlessDevice device;
    PublishedDevice published{device.get()};
};

struct Tally {
    size_t letters = 0, box = 0, untouched = 0, wrong = 0;
    std::string firstWrong;
};

// Compares every pixel after the draw with the one before and the texel over it.
Tally compare(const std::vector<uint32_t>& before, const std::vector<uint32_t>& after,
    const std::vector<uint32_t>& texels, const TextLine& line, UINT width, UINT height,
    int scale)
{
    Tally tally;
    const int margin = TextLine::margin * scale;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            const int tx = (int(x) - margin) / scale, ty = (int(y) - margin) / scale;
            const bool isOnTexture = int(x) >= margin && int(y) >= margin
                && tx < line.textureWidth && ty < line.textureHeight;
            const uint32_t texel = isOnTexture ? texels[size_t(ty) * line.textureWidth + tx] : 0;
            const uint32_t was = before[i] & 0xFFFFFF, is = after[i] & 0xFFFFFF;
            const int alpha = alphaOf(texel);
            bool isRight = false;
            if (alpha == 0xFF) {
                isRight = is == 0xFFFFFF;
                tally.letters += isRight;
            } else if (alpha == 0) {
                isRight = is == was;
                tally.untouched += isRight;
            } else {
                isRight = true;
                for (int shift : {0, 8, 16}) {
                    const int expected = (channel(was, shift) * (255 - alpha) + 127) / 255;
                    isRight = isRight && std::abs(channel(is, shift) - expected) <= 1;
                }
                tally.box += isRight;
            }
            if (!isRight && tally.wrong++ == 0) {
                std::ostringstream message;
                message << "pixel (" << x << ", " << y << ") is " << std::hex << is << ", was "
                        << was << ", texel " << texel;
                tally.firstWrong = message.str();
            }
        }
    return tally;
}

// Draws the status text over the picture at width × height and checks every pixel.
void checkStatusLineAt(UINT width, UINT height, int expectedScale)
{
    TextLineOverAPicture target(width, height);
    const int scale = TextLine::scaleFor(height);
    ASSERT_EQ(scale, expectedScale);
    TextLine line(80, 2);
    line.setText(statusText);
    target.paintPicture();
    const auto before = target.device.readBack();
    const auto after = target.drawOver(line, scale);
    if (const char* folder = std::getenv("TINCRATES_TEST_PICTURES"))
        writePng(std::string(folder) + "/text_line_" + std::to_string(width) + "x"
                + std::to_string(height) + ".png",
            width, height, after);

    const Tally tally = compare(before, after, texelsOf(line), line,
        width, height, scale);
    EXPECT_EQ(tally.wrong, 0u) << tally.firstWrong;
    // Two lines of letters, each font pixel scale × scale, and the box around them.
    EXPECT_GT(tally.letters, size_t(500 * scale * scale));
    EXPECT_EQ(tally.letters + tally.box, size_t(line.boxWidth * line.boxHeight * scale * scale));
}

TEST(TextLineDraw, LaysEachTexelOnOnePixelAt640By480)
{
    checkStatusLineAt(640, 480, 1);
}

TEST(TextLineDraw, LaysEachTexelOnTwoByTwoPixelsAt1440By1080)
{
    checkStatusLineAt(1440, 1080, 2);
}

TEST(TextLineDraw, LaysEachTexelOnFourByFourPixelsAt2880By2160)
{
    checkStatusLineAt(2880, 2160, 4);
}

} // namespace
} // namespace tincrates
