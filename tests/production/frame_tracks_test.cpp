#include "production/frame_tracks.h"

#include "sync/tracks_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace tincrates {
namespace {

const float silence[256] = {};

FrameTracks keyed(std::initializer_list<std::pair<FrameTrack, float>> values)
{
    std::vector<SyncTrack> tracks;
    for (const FrameTrackName& name : frameTrackNames)
        tracks.emplace_back(name.name);
    for (auto [track, value] : values)
        tracks[size_t(track)].setKey({0, value, KeyInterpolation::step});
    return FrameTracks::fromTracks(tracks);
}

TEST(FrameTracks, WithoutKeysTheFrameIsTheBuiltInOne)
{
    FrameAnimation built = animateFrame(100.5f, 10, silence);
    FrameAnimation directed = built;
    FrameTracks().direct(directed, 100.5f);
    EXPECT_EQ(std::memcmp(&built, &directed, sizeof built), 0);
}

TEST(FrameTracks, TheThreeTumbleAnglesTurnAsEulerAnglesInDegrees)
{
    FrameAnimation frame = animateFrame(50, 0, silence);
    keyed({{FrameTrack::tumbleX, 30}, {FrameTrack::tumbleY, -70}, {FrameTrack::tumbleZ, 200}})
        .direct(frame, 50);
    const double toRadians = 3.14159265358979 / 180;
    Matrix4 expected = rotationEuler(
        {float(30 * toRadians), float(-70 * toRadians), float(200 * toRadians)});
    Matrix4 made = rotationQuaternion(frame.tumble);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(made.m[r][c], expected.m[r][c], 1e-5) << r << "," << c;
    EXPECT_GE(frame.tumble.w, 0.0f);

    // One angle keyed alone turns about its axis only.
    frame = animateFrame(50, 0, silence);
    keyed({{FrameTrack::tumbleY, 90}}).direct(frame, 50);
    EXPECT_NEAR(frame.tumble.y, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(frame.tumble.x, 0, 1e-6);
}

TEST(FrameTracks, KeyedValuesTakeThePlaceOfTheirOwnPartOfTheFrameOnly)
{
    FrameAnimation built = animateFrame(100.5f, 10, silence);
    FrameAnimation frame = built;
    keyed({{FrameTrack::cameraY, 12}, {FrameTrack::cameraRoll, 90}, {FrameTrack::fade, 0.5f},
              {FrameTrack::fogRed, 1}})
        .direct(frame, 100.5f);
    EXPECT_EQ(frame.cameraPosition.y, 12);
    EXPECT_EQ(frame.cameraPosition.x, built.cameraPosition.x);
    EXPECT_FLOAT_EQ(frame.cameraRoll, 3.14159265f / 2);
    EXPECT_TRUE(frame.black.isShown);
    EXPECT_EQ(frame.black.opacity, 0.5f);
    EXPECT_EQ(frame.fogColour.r, 1);
    EXPECT_EQ(frame.fogColour.g, built.fogColour.g);
    EXPECT_EQ(frame.textNumber, built.textNumber);
}

TEST(FrameTracks, TheTextTrackPicksTheImageAndBelowZeroShowsNone)
{
    std::vector<std::string> unknown;
    TracksDocument document = readTracksDocument(
        "<sync rows=\"1856\"><tracks><track name=\"text\">"
        "<key row=\"0\" value=\"4\" interpolation=\"0\"/>"
        "<key row=\"80\" value=\"30\" interpolation=\"0\"/>"
        "<key row=\"160\" value=\"-1\" interpolation=\"0\"/></track>"
        "<track name=\"wobble\"/></tracks></sync>");
    FrameTracks tracks = FrameTracks::fromDocument(document, unknown);
    EXPECT_EQ(unknown, std::vector<std::string>{"wobble"});
    EXPECT_EQ(tracks.textImagesShown(), 31u);
    EXPECT_EQ(FrameTracks().textImagesShown(), std::nullopt);

    FrameAnimation frame = animateFrame(2, 0, silence);
    tracks.direct(frame, 2);
    EXPECT_TRUE(frame.text.isShown);
    EXPECT_EQ(frame.textNumber, 4u);
    EXPECT_EQ(frame.text.opacity, 1.0f);
    frame = animateFrame(15, 0, silence);
    tracks.direct(frame, 15);
    EXPECT_EQ(frame.textNumber, 30u);
    frame = animateFrame(25, 0, silence);
    tracks.direct(frame, 25);
    EXPECT_FALSE(frame.text.isShown);
}

} // namespace
} // namespace tincrates
