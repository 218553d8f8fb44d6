// Writing the sync editor's document, as the editor writes it.
#include "sync/tracks_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace tincrates {
namespace {

std::vector<SyncTrack> exampleTracks()
{
    std::vector<SyncTrack> tracks{SyncTrack("camera:fov"), SyncTrack("flash")};
    tracks[0].setKey({32, 90, KeyInterpolation::linear});
    tracks[0].setKey({0, 60, KeyInterpolation::smooth});
    return tracks;
}

TEST(TracksDocumentWrite, WritesTheEditorsLayout)
{
    EXPECT_EQ(writeTracksDocument(exampleTracks(), 1856),
              "<sync rows=\"1856\">\n"
              "\t<tracks>\n"
              "\t\t<track name=\"camera:fov\">\n"
              "\t\t\t<key row=\"0\" value=\"60\" interpolation=\"2\"/>\n"
              "\t\t\t<key row=\"32\" value=\"90\" interpolation=\"1\"/>\n"
              "\t\t</track>\n"
              "\t\t<track name=\"flash\"/>\n"
              "\t</tracks>\n"
              "</sync>\n");
}

TEST(TracksDocumentWrite, ReadsBackTheSame)
{
    std::vector<SyncTrack> tracks = exampleTracks();
    tracks[1].setKey({7, -0.25f, KeyInterpolation::ramp});
    tracks[1].setKey({2147483647, 1e-30f, KeyInterpolation::step});
    TracksDocument document = readTracksDocument(writeTracksDocument(tracks, 300));
    EXPECT_EQ(document.rows, 300u);
    EXPECT_EQ(document.tracks, tracks);
}

TEST(TracksDocumentWrite, KeepsAValueThatNeedsNineDigits)
{
    // Three float steps above 0.1: eight significant digits would read back one step lower.
    float nineDigits = std::bit_cast<float>(std::bit_cast<uint32_t>(0.1f) + 3);
    std::vector<SyncTrack> tracks{SyncTrack("a")};
    tracks[0].setKey({0, nineDigits});
    tracks[0].setKey({1, 16777218.0f});
    tracks[0].setKey({2, 123456.789f});
    // Large, small and negative values, whole or not, in either notation.
    const float others[] = {1e10f, 3e38f, -2.5e-7f, 1e-45f, 100000000.0f, -0.0f, 7.0f, 0.3f};
    for (uint32_t i = 0; i < std::size(others); ++i)
        tracks[0].setKey({3 + i, others[i]});
    TracksDocument document = readTracksDocument(writeTracksDocument(tracks, 8));
    EXPECT_EQ(document.tracks.at(0), tracks[0]);
    EXPECT_NE(writeTracksDocument(tracks, 8).find("value=\"0.100000024\""), std::string::npos);
}

TEST(TracksDocumentWrite, KeepsControlCharactersInNames)
{
    std::vector<SyncTrack> tracks{SyncTrack("a\rb\tc\nd"), SyncTrack("camera:f\xc3\xb6v")};
    EXPECT_EQ(readTracksDocument(writeTracksDocument(tracks, 8)).tracks, tracks);
}

TEST(TracksDocumentWrite, EscapesNames)
{
    std::vector<SyncTrack> tracks{SyncTrack("a&<b>\"c\"")};
    std::string text = writeTracksDocument(tracks, 8);
    EXPECT_NE(text.find("name=\"a&amp;&lt;b&gt;&quot;c&quot;\""), std::string::npos);
    EXPECT_EQ(readTracksDocument(text).tracks.at(0).name(), "a&<b>\"c\"");
}

} // namespace
} // namespace tincrates
