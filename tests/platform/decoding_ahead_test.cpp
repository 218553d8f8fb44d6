// Decoding ahead on a worker: each result is what decoding the bytes on the spot gives, good
// image or bad, whichever thread decoded it and in whatever order results are taken.
#include "platform/image/decoding_ahead.h"

#include "platform/image/image_file.h"

#include <gtest/gtest.h>

#include <png.h>

#include <string>
#include <vector>

namespace tincrates {
namespace {

// An RGBA PNG whose pixels follow from `seed`, so that each image differs.
std::string encodePng(uint32_t width, uint32_t height, uint8_t seed)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7 + seed);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    std::string bytes(size, '\0');
    png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr);
    return bytes;
}

DecodingAhead::Result onTheSpot(const std::string& bytes)
{
    DecodingAhead::Result result;
    result.isDecoded = decodeImage(bytes.data(), bytes.size(), result.image, result.error);
    return result;
}

void expectSame(const DecodingAhead::Result& taken, const DecodingAhead::Result& expected,
    const std::string& bytes)
{
    EXPECT_EQ(std::string(taken.bytes.begin(), taken.bytes.end()), bytes);
    EXPECT_EQ(taken.isDecoded, expected.isDecoded);
    EXPECT_EQ(taken.error, expected.error);
    EXPECT_EQ(taken.image.width, expected.image.width);
    EXPECT_EQ(taken.image.height, expected.image.height);
    EXPECT_EQ(taken.image.hasAlpha, expected.image.hasAlpha);
    EXPECT_EQ(taken.image.pixels, expected.image.pixels);
}

TEST(DecodingAhead, GivesWhatDecodingOnTheSpotGivesInAnyOrder)
{
    std::vector<std::string> images;
    for (uint8_t i = 0; i < 8; ++i)
        images.push_back(encodePng(64 + i, 48, i));
    DecodingAhead ahead;
    for (size_t i = 0; i < images.size(); ++i)
        ahead.add("image" + std::to_string(i), images[i].data(), images[i].size());
    // The last first: the worker has most likely not begun it, so this thread decodes it.
    for (size_t i : {7u, 0u, 1u, 2u, 3u, 4u, 5u, 6u}) {
        std::string key = "image" + std::to_string(i);
        ASSERT_TRUE(ahead.has(key));
        expectSame(ahead.take(key), onTheSpot(images[i]), images[i]);
        EXPECT_FALSE(ahead.has(key));
    }
}

TEST(DecodingAhead, ABadImageGivesTheDecodersOwnError)
{
    const std::string good = encodePng(16, 16, 3);
    const std::string truncated = good.substr(0, good.size() / 2);
    const std::string text = "not an image at all";
    DecodingAhead ahead;
    ahead.add("truncated", truncated.data(), truncated.size());
    ahead.add("text", text.data(), text.size());
    ahead.add("good", good.data(), good.size());
    DecodingAhead::Result result = ahead.take("truncated");
    EXPECT_FALSE(result.isDecoded);
    EXPECT_EQ(result.error, "truncated PNG data");
    result = ahead.take("text");
    EXPECT_FALSE(result.isDecoded);
    EXPECT_EQ(result.error, "not a PNG or JPEG image");
    expectSame(ahead.take("good"), onTheSpot(good), good);
}

TEST(DecodingAhead, AKeyAddedTwiceKeepsItsFirstBytes)
{
    const std::string first = encodePng(8, 8, 1);
    const std::string second = encodePng(8, 8, 2);
    DecodingAhead ahead;
    ahead.add("image", first.data(), first.size());
    ahead.add("image", second.data(), second.size());
    expectSame(ahead.take("image"), onTheSpot(first), first);
    EXPECT_FALSE(ahead.has("image"));
}

TEST(DecodingAhead, GoesWithImagesNeverTaken)
{
    std::vector<std::string> images;
    for (uint8_t i = 0; i < 4; ++i)
        images.push_back(encodePng(256, 256, i));
    {
        DecodingAhead ahead;
        for (size_t i = 0; i < images.size(); ++i)
            ahead.add(std::to_string(i), images[i].data(), images[i].size());
    } // waits for the one being decoded and drops the rest
    DecodingAhead unused;
    EXPECT_FALSE(unused.has("0"));
}

} // namespace
} // namespace tincrates
