// Image bytes to textures: PNG of every colour type and bit depth, alpha, the mip chain, and
// clear failures for bytes that are not a decodable image.
#include "platform/gpu/d3dx9.h"

#include "testbed/headless_device.h"

#include <gtest/gtest.h>

#include <turbojpeg.h>
#include <zlib.h>

#include <string>

namespace tincrates {
namespace {

using namespace testing;

// A minimal PNG writer, so each case states its own pixels, colour type and bit depth.
struct PngPicture {
    uint32_t width = 0, height = 0;
    int colourType = 0; // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bitDepth = 8;
    std::vector<std::vector<uint8_t>> rows; // packed samples, without filter bytes
    std::vector<uint8_t> palette;           // RGB triples
    std::vector<uint8_t> transparency;      // tRNS contents
};

void appendBigEndian(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((value >> shift) & 0xFF);
}

void appendChunk(std::string& out, const char* type, const std::string& data)
{
    appendBigEndian(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    appendBigEndian(out, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                             uInt(body.size()))));
}

std::string encodePng(const PngPicture& picture)
{
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    appendBigEndian(header, picture.width);
    appendBigEndian(header, picture.height);
    header += char(picture.bitDepth);
    header += char(picture.colourType);
    header += std::string(3, '\0');
    appendChunk(png, "IHDR", header);
    if (!picture.palette.empty())
        appendChunk(png, "PLTE", std::string(picture.palette.begin(), picture.palette.end()));
    if (!picture.transparency.empty())
        appendChunk(png, "tRNS",
            std::string(picture.transparency.begin(), picture.transparency.end()));
    std::string raw;
    for (const auto& row : picture.rows) {
        raw += '\0';
        raw.append(row.begin(), row.end());
    }
    uLongf compressedSize = compressBound(uLong(raw.size()));
    std::string compressed(compressedSize, '\0');
    compress(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize,
        reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    compressed.resize(compressedSize);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", "");
    return png;
}

class ImageLoading : public ::testing::Test {
protected:
    ImageLoading()
        : device(4, 4)
    {
    }

    // Level `level` of the texture made from the bytes, or empty when the load fails.
    std::vector<uint32_t> load(const std::string& bytes, D3DFORMAT* format = nullptr,
        UINT level = 0, DWORD* levelCount = nullptr)
    {
        IDirect3DTexture9* texture = nullptr;
        result = D3DXCreateTextureFromFileInMemory(
            device.get(), bytes.data(), UINT(bytes.size()), &texture);
        if (FAILED(result)) {
            EXPECT_EQ(texture, nullptr);
            return {};
        }
        device.keep(texture);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        if (format)
            *format = desc.Format;
        if (levelCount)
            *levelCount = texture->GetLevelCount();
        D3DLOCKED_RECT locked;
        texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY);
        std::vector<uint32_t> pixels(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(pixels.data() + size_t(y) * desc.Width,
                static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, desc.Width * 4);
        texture->UnlockRect(level);
        return pixels;
    }

    HeadlessDevice device;
    HRESULT result = D3D_OK;
};

TEST_F(ImageLoading, GreyOfEveryBitDepthScalesToFullRange)
{
    for (int depth : {1, 2, 4, 8}) {
        int top = (1 << depth) - 1;
        // Two pixels, black and the brightest value, packed from the high bits.
        uint8_t packed = depth == 8 ? 0 : uint8_t((top << (8 - 2 * depth)) & 0xFF);
        std::vector<uint8_t> row = depth == 8 ? std::vector<uint8_t>{0, 255}
                                              : std::vector<uint8_t>{packed};
        D3DFORMAT format{};
        auto pixels = load(encodePng({2, 1, 0, depth, {row}, {}, {}}), &format);
        ASSERT_EQ(pixels.size(), 2u) << "depth " << depth;
        EXPECT_EQ(pixels[0], 0xFF000000u) << "depth " << depth;
        EXPECT_EQ(pixels[1], 0xFFFFFFFFu) << "depth " << depth;
        EXPECT_EQ(format, D3DFMT_X8R8G8B8);
    }
    auto sixteen = load(encodePng({1, 1, 0, 16, {{0x80, 0x80}}, {}, {}}));
    ASSERT_EQ(sixteen.size(), 1u);
    EXPECT_EQ(sixteen[0], 0xFF808080u);
}

TEST_F(ImageLoading, ColourImagesKeepChannelOrderAndAlpha)
{
    D3DFORMAT format{};
    auto rgb = load(encodePng({2, 1, 2, 8, {{255, 128, 0, 1, 2, 3}}, {}, {}}), &format);
    EXPECT_EQ(rgb, (std::vector<uint32_t>{0xFFFF8000u, 0xFF010203u}));
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);

    auto rgba = load(encodePng({1, 1, 6, 8, {{10, 20, 30, 40}}, {}, {}}), &format);
    EXPECT_EQ(rgba, (std::vector<uint32_t>{0x280A141Eu}));
    EXPECT_EQ(format, D3DFMT_A8R8G8B8);

    auto rgba16
        = load(encodePng({1, 1, 6, 16, {{0xFF, 0xFF, 0, 0, 0x80, 0x80, 0xFF, 0xFF}}, {}, {}}));
    EXPECT_EQ(rgba16, (std::vector<uint32_t>{0xFFFF0080u}));

    auto greyAlpha = load(encodePng({1, 1, 4, 8, {{200, 100}}, {}, {}}), &format);
    EXPECT_EQ(greyAlpha, (std::vector<uint32_t>{0x64C8C8C8u}));
    EXPECT_EQ(format, D3DFMT_A8R8G8B8);
}

TEST_F(ImageLoading, PaletteAndTransparencyChunkGiveAlpha)
{
    for (int depth : {1, 2, 4, 8}) {
        PngPicture picture{2, 1, 3, depth, {}, {255, 0, 0, 0, 0, 255}, {0x40}};
        // Indices 0 and 1, packed from the high bits.
        uint8_t packed = depth == 8 ? 0 : uint8_t(1 << (8 - 2 * depth));
        picture.rows = {depth == 8 ? std::vector<uint8_t>{0, 1} : std::vector<uint8_t>{packed}};
        D3DFORMAT format{};
        auto pixels = load(encodePng(picture), &format);
        EXPECT_EQ(pixels, (std::vector<uint32_t>{0x40FF0000u, 0xFF0000FFu})) << "depth " << depth;
        EXPECT_EQ(format, D3DFMT_A8R8G8B8);
    }
    // A grey key colour becomes transparent.
    auto keyed = load(encodePng({2, 1, 0, 8, {{7, 9}}, {}, {0, 7}}));
    EXPECT_EQ(keyed, (std::vector<uint32_t>{0x00070707u, 0xFF090909u}));
}

TEST_F(ImageLoading, TheWholeMipChainIsBoxFiltered)
{
    PngPicture picture{4, 2, 2, 8,
        {{0, 0, 0, 100, 0, 0, 40, 40, 40, 0, 0, 0}, {0, 100, 0, 0, 0, 100, 40, 40, 40, 0, 0, 0}},
        {}, {}};
    DWORD levelCount = 0;
    auto level0 = load(encodePng(picture), nullptr, 0, &levelCount);
    EXPECT_EQ(levelCount, 3u); // 4 × 2, 2 × 1, 1 × 1
    auto level1 = load(encodePng(picture), nullptr, 1);
    ASSERT_EQ(level1.size(), 2u);
    EXPECT_EQ(level1[0], 0xFF191919u); // each channel: 100 / 4 = 25
    EXPECT_EQ(level1[1], 0xFF141414u); // 40 × 2 / 4 = 20
    auto level2 = load(encodePng(picture), nullptr, 2);
    ASSERT_EQ(level2.size(), 1u);
    EXPECT_EQ(level2[0], 0xFF171717u); // (25 + 20) / 2, rounded
}

TEST_F(ImageLoading, EachChannelOfAMipLevelIsRoundedOnItsOwn)
{
    // Four RGBA pixels whose channels sum to remainders 0 to 3 and to the extremes.
    PngPicture picture{2, 2, 6, 8,
        {{255, 1, 0, 255, 255, 2, 1, 0}, {255, 1, 1, 255, 255, 2, 1, 0}}, {}, {}};
    auto level1 = load(encodePng(picture), nullptr, 1);
    ASSERT_EQ(level1.size(), 1u);
    // alpha (255 + 0 + 255 + 0 + 2) / 4 = 128; red 1020 / 4 = 255; green (6 + 2) / 4 = 2;
    // blue (3 + 2) / 4 = 1
    EXPECT_EQ(level1[0], 0x80FF0201u);
}

TEST_F(ImageLoading, TheImageIsUprightWhenDrawn)
{
    device.setPlainStates();
    IDirect3DTexture9* texture = nullptr;
    std::string bytes = encodePng({1, 2, 2, 8, {{255, 0, 0}, {0, 0, 255}}, {}, {}});
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(
                  device.get(), bytes.data(), UINT(bytes.size()), &texture),
        D3D_OK);
    device.keep(texture);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device.drawFan(device.fullScreenQuad());
    auto pixels = device.readBack();
    EXPECT_EQ(pixels[0], 0xFFFF0000u);
    EXPECT_EQ(pixels[15], 0xFF0000FFu);
}

TEST_F(ImageLoading, BytesThatAreNoImageFailCleanly)
{
    EXPECT_TRUE(load("<material><diffuse r=\"1\"/></material>").empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    EXPECT_TRUE(load("").empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    EXPECT_TRUE(load("\x89PNG\r\n\x1a\n").empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
}

TEST_F(ImageLoading, DamagedPngsFailWithoutReadingPastTheBytes)
{
    std::string good = encodePng({8, 8, 2, 8, std::vector<std::vector<uint8_t>>(8,
                                                   std::vector<uint8_t>(24, 0x55)),
        {}, {}});
    ASSERT_FALSE(load(good).empty());
    for (size_t length : {size_t(12), size_t(33), good.size() / 2, good.size() - 13}) {
        EXPECT_TRUE(load(good.substr(0, length)).empty()) << "cut at " << length;
        EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    }
    std::string badCrc = good;
    badCrc[29] ^= 0x01; // inside the IHDR checksum
    EXPECT_TRUE(load(badCrc).empty());
    std::string badData = good;
    badData[good.size() - 20] ^= 0xFF; // inside the compressed pixels
    EXPECT_TRUE(load(badData).empty());
}

// A JPEG of the given RGB pixels, at the best quality and without colour subsampling.
std::string encodeJpeg(int width, int height, const std::vector<uint8_t>& rgb)
{
    tjhandle encoder = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &out, &size, TJSAMP_444,
        100, 0);
    std::string bytes(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(encoder);
    return bytes;
}

TEST_F(ImageLoading, JpegImagesDecodeOpaqueAndUpright)
{
    // Top half orange, bottom half blue, 16 × 16.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            for (uint8_t c : y < 8 ? std::vector<uint8_t>{240, 120, 16}
                                   : std::vector<uint8_t>{16, 64, 200})
                rgb.push_back(c);
    D3DFORMAT format{};
    DWORD levelCount = 0;
    auto pixels = load(encodeJpeg(16, 16, rgb), &format, 0, &levelCount);
    ASSERT_EQ(pixels.size(), 256u);
    EXPECT_EQ(format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(levelCount, 5u);
    EXPECT_EQ(alphaOf(pixels[0]), 255);
    EXPECT_NEAR(redOf(pixels[2 * 16 + 2]), 240, 3);
    EXPECT_NEAR(greenOf(pixels[2 * 16 + 2]), 120, 3);
    EXPECT_NEAR(blueOf(pixels[2 * 16 + 2]), 16, 3);
    EXPECT_NEAR(redOf(pixels[13 * 16 + 2]), 16, 3);
    EXPECT_NEAR(blueOf(pixels[13 * 16 + 2]), 200, 3);
}

TEST_F(ImageLoading, DamagedJpegsFailCleanly)
{
    std::string good = encodeJpeg(8, 8, std::vector<uint8_t>(8 * 8 * 3, 128));
    EXPECT_TRUE(load(good.substr(0, 3)).empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    EXPECT_TRUE(load(good.substr(0, 40)).empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    // Cut inside the pixels: libjpeg would only warn and paint the rest grey.
    std::vector<uint8_t> stripes(64 * 64 * 3);
    for (size_t i = 0; i < stripes.size(); ++i)
        stripes[i] = uint8_t(i * 37);
    std::string striped = encodeJpeg(64, 64, stripes);
    ASSERT_FALSE(load(striped).empty());
    EXPECT_TRUE(load(striped.substr(0, striped.size() * 3 / 4)).empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
    std::string garbage = "\xFF\xD8\xFF" + std::string(200, '\x55');
    EXPECT_TRUE(load(garbage).empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
}

TEST_F(ImageLoading, HugeDimensionsAreRefusedBeforeDecoding)
{
    PngPicture picture{100000, 100000, 0, 8, {{0}}, {}, {}};
    EXPECT_TRUE(load(encodePng(picture)).empty());
    EXPECT_EQ(result, D3DXERR_INVALIDDATA);
}

TEST_F(ImageLoading, NullArgumentsAreInvalidCalls)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device.get(), nullptr, 10, &texture),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, "x", 1, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device.get(), "x", 1, nullptr),
        D3DERR_INVALIDCALL);
}

} // namespace
} // namespace tincrates
