// The production cratesmith made in the build: its archive alone carries everything the
// timeline loads, the same sources give the same bytes, and its frames show something.
#include "datafiles/data_file.h"
#include "platform/png_image.h"
#include "platform/shared_device.h"
#include "scene/scene_manager.h"
#include "support/headless_device.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tincrates {
namespace {

namespace fs = std::filesystem;
using namespace tincrates::testing;

const fs::path production = PRODUCTION_DIR;

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int run(const std::string& command)
{
    int status = std::system((command + " >output.txt 2>errors.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A scratch folder holding only the archive, so that nothing can come from data/.
struct ArchiveOnly : ::testing::Test {
    ArchiveOnly() { fs::copy_file(production / "stashpack", scratch.path / "stashpack"); }
    ScratchDir scratch;
};

TEST_F(ArchiveOnly, EveryGeneratedFileComesOutOfTheArchiveWhole)
{
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(production / "data")) {
        std::string name = entry.path().filename().string();
        DataFile* file = openDataFile(name.c_str());
        ASSERT_NE(file, nullptr) << name;
        std::string bytes(reinterpret_cast<const char*>(file->data), file->size);
        closeDataFile(file);
        EXPECT_EQ(bytes, contents(entry.path())) << name;
        ++count;
    }
    EXPECT_GE(count, 30u);
}

TEST_F(ArchiveOnly, SceneLoadsThroughTheManagersAndFitsTheTimeline)
{
    HeadlessDevice device(16, 16);
    publishSharedDevice(device.get());
    {
        SceneManager scenes;
        Scene* scene = nullptr;
        try {
            scene = scenes.get("voltcrate.scene");
        } catch (const std::string& text) {
            FAIL() << text;
        }
        ASSERT_GE(scene->objects.size(), 5u);
        for (size_t i = 0; i < 5; ++i)
            EXPECT_NE(scene->objects[i]->mesh, nullptr) << "object " << i;
        // The lead crate fades in through its first group's material, so it must blend.
        Mesh* lead = scene->objects[1]->mesh;
        ASSERT_FALSE(lead->groups.empty());
        Material* reveal = lead->groups[0].material;
        ASSERT_NE(reveal, nullptr);
        EXPECT_EQ(reveal->srcBlend, D3DBLEND_SRCALPHA);
        EXPECT_EQ(reveal->dstBlend, D3DBLEND_INVSRCALPHA);
        EXPECT_FALSE(scene->lights.empty());

        size_t triangles = 0;
        for (SceneObject* object : scene->objects)
            if (object->mesh)
                for (const MeshGroup& group : object->mesh->groups) {
                    triangles += group.indices.size() / 3;
                    ASSERT_NE(group.material, nullptr);
                }
        EXPECT_GT(triangles, 2000u);
        EXPECT_LT(triangles, 20000u);
    }
    publishSharedDevice(nullptr);
}

TEST(Generation, TheSameSourcesGiveTheSameBytes)
{
    ScratchDir scratch;
    ASSERT_EQ(run(std::string(CRATESMITH_PROGRAM) + " again/data --font " CRATESMITH_FONT), 0)
        << contents("errors.txt");
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(production / "data")) {
        fs::path twin = scratch.path / "again" / "data" / entry.path().filename();
        ASSERT_TRUE(fs::exists(twin)) << twin;
        EXPECT_TRUE(contents(twin) == contents(entry.path())) << twin.filename();
        ++count;
    }
    EXPECT_EQ(count, size_t(std::distance(fs::directory_iterator(scratch.path / "again" / "data"),
                                          fs::directory_iterator())));
    // The archive too: the files' times are fixed, so their headers are the same.
    ASSERT_EQ(run("cd again && " STASH_PROGRAM " create stashpack -s -m5 -p Kd7M -C data ."), 0)
        << contents("errors.txt");
    EXPECT_TRUE(contents("again/stashpack") == contents(production / "stashpack"));
}

TEST(Generation, AMissingFontIsACleanError)
{
    ScratchDir scratch;
    EXPECT_EQ(run(std::string(CRATESMITH_PROGRAM) + " out --font /no/such/font.ttf"), 1);
    EXPECT_NE(contents("errors.txt").find("cratesmith: "), std::string::npos);
}

// Frames of the generated production, rendered by capture.
struct Frames : ::testing::Test {
    DecodedImage frameAt(const std::string& time)
    {
        std::string command = "cd " + production.string() + " && " CAPTURE_PROGRAM " --at "
                              + time + " -o " + scratch.path.string();
        EXPECT_EQ(run(command), 0) << contents("errors.txt");
        char name[32];
        std::snprintf(name, sizeof name, "t%07.3f.png", std::atof(time.c_str()));
        std::string bytes = contents(scratch.path / name);
        DecodedImage image;
        std::string error;
        EXPECT_TRUE(decodePng(bytes.data(), bytes.size(), image, error)) << error;
        return image;
    }

    // Share of the pixels in the rectangle whose brightest channel lies in [low, high].
    static double shareBetween(const DecodedImage& image, uint32_t x0, uint32_t y0, uint32_t x1,
                               uint32_t y1, int low, int high)
    {
        size_t inside = 0, all = 0;
        for (uint32_t y = y0; y < y1; ++y)
            for (uint32_t x = x0; x < x1; ++x) {
                uint32_t p = image.pixels[size_t(y) * image.width + x];
                int brightest = std::max({int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)});
                inside += brightest >= low && brightest <= high;
                ++all;
            }
        return double(inside) / double(all);
    }

    ScratchDir scratch;
};

TEST_F(Frames, TheSceneIsLitNeitherBlankNorBurntOut)
{
    // Between beats, so that the flash has faded.
    DecodedImage frame = frameAt("60.6");
    ASSERT_EQ(frame.width, 640u);
    EXPECT_GT(shareBetween(frame, 213, 160, 427, 320, 24, 250), 0.3);
    EXPECT_LT(shareBetween(frame, 0, 0, 640, 480, 251, 255), 0.3);
    EXPECT_LT(shareBetween(frame, 0, 0, 640, 480, 0, 8), 0.6);
}

TEST_F(Frames, TheTextOfTheMomentReadsOverTheScene)
{
    // Text 1 stands from beat 16 to 24 in the quad of 352 × 120 at the middle of the screen.
    DecodedImage frame = frameAt("20.6");
    ASSERT_EQ(frame.width, 640u);
    EXPECT_GT(shareBetween(frame, 144, 180, 496, 300, 240, 255), 0.03);
}

} // namespace
} // namespace tincrates
