// The production cratesmith made in the build: its archive alone carries everything the
// timeline loads, the same sources give the same bytes, the camera keeps out of the crates,
// and its frames keep depth and colour under a flash that pulses without erasing them.
#include "generated_images.h"

#include "datafiles/data_file.h"
#include "platform/gpu/shared_device.h"
#include "platform/image/png_image.h"
#include "production/frame_animation.h"
#include "scene/scene_manager.h"
#include "support/error_of.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

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
        ASSERT_EQ(errorOf([&] { scene = scenes.get("voltcrate.scene"); }), "");
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

// The farthest any vertex of the mesh lies from its origin.
float reachOf(const Mesh& mesh)
{
    float reach = 0;
    for (const MeshVertex& v : mesh.vertices)
        reach = std::max(reach, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
    return reach;
}

TEST_F(ArchiveOnly, TheCameraNeverPassesInsideACrate)
{
    // The lead crate rides the look point and the next three tumble in place; however they
    // turn, the camera must stay outside them, with room for the near plane (1 unit).
    HeadlessDevice device(16, 16);
    publishSharedDevice(device.get());
    {
        SceneManager scenes;
        Scene* scene = scenes.get("voltcrate.scene");
        ASSERT_GE(scene->objects.size(), 5u);
        float leadReach = reachOf(*scene->objects[1]->mesh);
        float tumblerReach[5] = {};
        for (size_t i = 2; i < 5; ++i)
            tumblerReach[i] = reachOf(*scene->objects[i]->mesh);
        const float silence[256] = {};
        float closestLead = 1e9f, closestTumbler = 1e9f;
        for (float t = 0; t <= 232; t += 0.02f) {
            FrameAnimation frame = animateFrame(t, advanceTextIndex(0, t), silence);
            Vector3 eye = frame.cameraPosition;
            auto distance = [&](Vector3 p) {
                return std::hypot(p.x - eye.x, p.y - eye.y, p.z - eye.z);
            };
            closestLead = std::min(closestLead, distance(frame.lookPoint) - leadReach);
            for (size_t i = 2; i < 5; ++i)
                closestTumbler = std::min(closestTumbler,
                    distance(scene->objects[i]->transform.position) - tumblerReach[i]);
        }
        EXPECT_GT(closestLead, 1.0f);
        EXPECT_GT(closestTumbler, 1.0f);
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
    ASSERT_EQ(run(std::string("cd again && " STASH_PROGRAM " create stashpack -s -m5 -p ")
                  + dataArchivePassword + " -C data ."),
              0)
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
    // The frames at the given demo times, rendered by one run of capture with `options`.
    std::vector<DecodedImage> framesAt(const std::vector<double>& times,
                                       const std::string& options = "")
    {
        std::string list;
        for (double time : times)
            list += (list.empty() ? "" : ",") + std::to_string(time);
        std::string command = "cd " + production.string() + " && " CAPTURE_PROGRAM " " + options
                              + " --at " + list + " -o " + scratch.path.string();
        EXPECT_EQ(run(command), 0) << contents("errors.txt");
        std::vector<DecodedImage> frames;
        for (double time : times) {
            char name[32];
            std::snprintf(name, sizeof name, "t%07.3f.png", time);
            std::string bytes = contents(scratch.path / name);
            DecodedImage image;
            std::string error;
            EXPECT_TRUE(decodePng(bytes.data(), bytes.size(), image, error)) << name << error;
            frames.push_back(std::move(image));
        }
        return frames;
    }
    DecodedImage frameAt(const std::string& time) { return framesAt({std::atof(time.c_str())})[0]; }

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

// A frame's grade as a video's signal statistics give it (Rec. 601, limited range): the luma
// below which the darkest tenth of the pixels lie, the luma above which the brightest tenth
// lie, and the mean length of the chroma vector.
struct Grade {
    double darkestTenth, brightestTenth, saturation;
    double spread() const { return brightestTenth - darkestTenth; }
};

Grade gradeOf(const DecodedImage& image)
{
    std::vector<double> luma;
    double saturation = 0;
    for (uint32_t p : image.pixels) {
        double r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        luma.push_back(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255);
        double cb = (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
        double cr = (112.0 * r - 93.786 * g - 18.214 * b) / 255;
        saturation += std::hypot(cb, cr);
    }
    std::sort(luma.begin(), luma.end());
    return {luma[luma.size() / 10], luma[luma.size() * 9 / 10], saturation / double(luma.size())};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Share of the pixels at full-range luma `low` or more.
double shareAtLeast(const DecodedImage& image, double low)
{
    size_t bright = 0;
    for (uint32_t p : image.pixels)
        bright += cratesmith::testing::lumaOf(p) >= low;
    return double(bright) / double(image.pixels.size());
}

double meanLuma(const DecodedImage& image)
{
    double sum = 0;
    for (uint32_t p : image.pixels)
        sum += cratesmith::testing::lumaOf(p);
    return sum / double(image.pixels.size());
}

TEST_F(Frames, TheBodyHasDepthAndColourNeitherHazeNorBlack)
{
    // Through the body of the production, where the beat's flash has mostly faded (a frame
    // two thirds into a beat carries what is typical of it).
    std::vector<DecodedImage> frames
        = framesAt({12.66, 36.66, 60.66, 84.66, 108.66, 132.66, 156.66, 180.66});
    std::vector<double> darkest, spread, saturation;
    for (const DecodedImage& frame : frames) {
        ASSERT_EQ(frame.pixels.size(), 640u * 480u);
        Grade grade = gradeOf(frame);
        darkest.push_back(grade.darkestTenth);
        spread.push_back(grade.spread());
        saturation.push_back(grade.saturation);
    }
    // A haze lifts the darkest tenth and squeezes the spread; a black or grey picture has
    // neither spread nor colour.
    EXPECT_LE(median(darkest), 26.0);
    EXPECT_GE(median(spread), 80.0);
    EXPECT_GE(median(saturation), 9.0);
}

TEST_F(Frames, TheFlashPulsesWithoutErasingThePicture)
{
    std::vector<DecodedImage> frames = framesAt({19.95, 20.01, 99.95, 100.01});
    for (size_t i = 0; i < frames.size(); i += 2) {
        const DecodedImage &before = frames[i], &peak = frames[i + 1];
        ASSERT_EQ(peak.pixels.size(), 640u * 480u);
        EXPECT_LE(shareAtLeast(peak, 250), 0.4) << "flash " << i / 2;
        EXPECT_GE(meanLuma(peak) - meanLuma(before), 50.0) << "flash " << i / 2;
    }
}

TEST_F(Frames, TheTextOfTheMomentReadsOverTheScene)
{
    // Text 1 stands from beat 16 to 24 in the quad of 352 × 120 at the middle of the screen.
    DecodedImage frame = frameAt("20.6");
    ASSERT_EQ(frame.width, 640u);
    EXPECT_GT(shareBetween(frame, 144, 180, 496, 300, 240, 255), 0.03);
}

// The mean difference, over all channels, between a frame and one twice its size averaged
// down by 2 × 2 boxes.
double meanDifferenceHalved(const DecodedImage& small, const DecodedImage& large)
{
    double sum = 0;
    for (uint32_t y = 0; y < small.height; ++y)
        for (uint32_t x = 0; x < small.width; ++x)
            for (int shift : {0, 8, 16}) {
                int box = 0;
                for (uint32_t dy = 0; dy < 2; ++dy)
                    for (uint32_t dx = 0; dx < 2; ++dx)
                        box += int(large.pixels[size_t(2 * y + dy) * large.width + 2 * x + dx]
                                   >> shift & 0xFF);
                int own = int(small.pixels[size_t(y) * small.width + x] >> shift & 0xFF);
                sum += std::abs(own - box / 4.0);
            }
    return sum / (3.0 * small.width * small.height);
}

TEST_F(Frames, DrawnLargerItIsTheSamePictureOnlySharper)
{
    // A text, the flash at its peak, the credits and the fade: same framing, placement and
    // grade at twice the size, so averaged down it is the picture of 640 × 480 again but for
    // the edges that the larger one draws more finely.
    const std::vector<double> times = {20.6, 60.01, 196.5, 216.6};
    std::vector<DecodedImage> original = framesAt(times);
    std::vector<DecodedImage> larger = framesAt(times, "--size 1280x960");
    for (size_t i = 0; i < times.size(); ++i) {
        ASSERT_EQ(original[i].width, 640u);
        ASSERT_EQ(larger[i].width, 1280u);
        ASSERT_EQ(larger[i].height, 960u);
        double difference = meanDifferenceHalved(original[i], larger[i]);
        std::printf("t %g: mean difference %.2f\n", times[i], difference);
        EXPECT_LT(difference, 3.0) << "at t " << times[i];
    }
}

TEST_F(Frames, AWideFrameHasThePictureInItsMiddleWithBlackBesideIt)
{
    DecodedImage frame = framesAt({100.5}, "--size 1920x1080")[0];
    ASSERT_EQ(frame.width, 1920u);
    ASSERT_EQ(frame.height, 1080u);
    EXPECT_EQ(shareBetween(frame, 0, 0, 240, 1080, 0, 0), 1.0);
    EXPECT_EQ(shareBetween(frame, 1680, 0, 1920, 1080, 0, 0), 1.0);
    // The picture reaches both edges of its 1440 columns.
    EXPECT_LT(shareBetween(frame, 240, 0, 241, 1080, 0, 0), 0.5);
    EXPECT_LT(shareBetween(frame, 1679, 0, 1680, 1080, 0, 0), 0.5);
}

} // namespace
} // namespace tincrates
