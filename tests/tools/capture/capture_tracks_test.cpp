// A production directed by its sync.rocket: capture shows what the keys say.
#include "tools/capture/capture_fixture.h"
#include "testbed/test_production.h"

#include <algorithm>

namespace tincrates {
namespace {

using namespace tincrates::testing;

// A tracks document with the given <track> elements.
std::string document(const std::string& tracks)
{
    return "<sync rows=\"1856\">\n\t<tracks>\n" + tracks + "\t</tracks>\n</sync>\n";
}

int red(uint32_t pixel) { return int(pixel >> 16 & 0xFF); }
uint32_t centreOf(const std::string& path)
{
    std::vector<uint32_t> pixels = pixelsOf(path);
    return pixels.size() == 640 * 480 ? pixels[240 * 640 + 320] : 0;
}

TEST_F(Capture, AKeyedFadeBlacksOutTheFrameFromItsBeat)
{
    writeTestProduction(folder);
    // Black from beat 50 (row 400) and no flash: the frame at 60 shows nothing at all.
    folder.write("data/sync.rocket", document(
        "\t\t<track name=\"fade\">\n\t\t\t<key row=\"0\" value=\"0\" interpolation=\"0\"/>\n"
        "\t\t\t<key row=\"400\" value=\"1\" interpolation=\"0\"/>\n\t\t</track>\n"
        "\t\t<track name=\"flash\">\n\t\t\t<key row=\"0\" value=\"0\" interpolation=\"0\"/>\n"
        "\t\t</track>\n"));
    ASSERT_EQ(run("--at 45,60 -o out"), 0) << contents("errors.txt");
    std::vector<uint32_t> before = pixelsOf("out/t045.000.png");
    std::vector<uint32_t> after = pixelsOf("out/t060.000.png");
    EXPECT_TRUE(std::any_of(before.begin(), before.end(),
        [](uint32_t p) { return (p & 0xFFFFFF) != 0; }));
    EXPECT_TRUE(std::all_of(after.begin(), after.end(),
        [](uint32_t p) { return (p & 0xFFFFFF) == 0; }));
}

TEST_F(Capture, AKeyedFieldOfViewDrawsWhatTheBuiltInPathDrawsAtThatAngle)
{
    writeTestProduction(folder);
    ASSERT_EQ(run("--at 30.3 -o built-in"), 0) << contents("errors.txt");
    // The test's soundtrack is silent, so the built-in field of view stays at 80 degrees.
    auto fieldOfView = [&](const char* degrees) {
        folder.write("data/sync.rocket", document(std::string("\t\t<track name=\"camera:fov\">\n"
            "\t\t\t<key row=\"100\" value=\"") + degrees + "\" interpolation=\"1\"/>\n"
            "\t\t</track>\n"));
    };
    fieldOfView("80");
    ASSERT_EQ(run("--at 30.3 -o keyed"), 0) << contents("errors.txt");
    EXPECT_TRUE(contents("keyed/t030.300.png") == contents("built-in/t030.300.png"));
    fieldOfView("40");
    ASSERT_EQ(run("--at 30.3 -o zoomed"), 0) << contents("errors.txt");
    EXPECT_FALSE(contents("zoomed/t030.300.png") == contents("built-in/t030.300.png"));
}

TEST_F(Capture, AKeyedTextTrackShowsItsOwnImagesOnItsOwnBeats)
{
    writeTestProduction(folder);
    // Text 25 before the crates appear, text 1 from beat 30, none from beat 40; the production
    // then needs images up to text25.png.
    folder.write("data/sync.rocket", document(
        "\t\t<track name=\"text\">\n\t\t\t<key row=\"0\" value=\"25\" interpolation=\"0\"/>\n"
        "\t\t\t<key row=\"240\" value=\"1\" interpolation=\"0\"/>\n"
        "\t\t\t<key row=\"320\" value=\"-1\" interpolation=\"0\"/>\n\t\t</track>\n"
        "\t\t<track name=\"flash\">\n\t\t\t<key row=\"0\" value=\"0\" interpolation=\"0\"/>\n"
        "\t\t</track>\n"));
    EXPECT_EQ(run("--at 4 -o missing"), 1);
    EXPECT_NE(contents("errors.txt").find("Failed to load text23.png"), std::string::npos)
        << contents("errors.txt");

    for (unsigned k = 23; k <= 25; ++k)
        writeSolidPng("data/text" + std::to_string(k) + ".png", textColour(k));
    ASSERT_EQ(run("--at 4,35,45 -o out"), 0) << contents("errors.txt");
    EXPECT_NEAR(red(centreOf("out/t004.000.png")), 250, 2);
    EXPECT_NEAR(red(centreOf("out/t035.000.png")), 10, 2);
    EXPECT_NE(red(centreOf("out/t045.000.png")), 10);
}

TEST_F(Capture, ABrokenTracksFileStopsTheRunWithItsLineAndUnknownTracksAreTold)
{
    writeTestProduction(folder);
    folder.write("data/sync.rocket", document(
        "\t\t<track name=\"flash\">\n\t\t\t<key row=\"8\" value=\"bright\" interpolation=\"0\"/>\n"
        "\t\t</track>\n"));
    EXPECT_EQ(run("--at 20 -o out"), 1);
    EXPECT_NE(contents("errors.txt").find("Failed to load sync.rocket\nline 4: "),
        std::string::npos) << contents("errors.txt");

    folder.write("data/sync.rocket", document("\t\t<track name=\"camera:zoom\"/>\n"));
    ASSERT_EQ(run("--at 20 -o out"), 0) << contents("errors.txt");
    EXPECT_NE(contents("errors.txt").find("sync.rocket: the production has no track "
                                          "\"camera:zoom\"; its keys are left out"),
        std::string::npos) << contents("errors.txt");
}

} // namespace
} // namespace tincrates
