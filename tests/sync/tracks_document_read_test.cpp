// Reading the sync editor's document.
#include "sync/tracks_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

std::vector<SyncKey> keysOf(const SyncTrack& track)
{
    return {track.keys().begin(), track.keys().end()};
}

const char* const editorExample = R"(<sync rows="1856">
	<tracks>
		<track name="camera:fov">
			<key row="0" value="60" interpolation="2"/>
			<key row="32" value="90" interpolation="1"/>
		</track>
		<track name="flash"/>
	</tracks>
	<bookmarks>
		<bookmark row="16"/>
	</bookmarks>
</sync>
)";

TEST(TracksDocumentRead, ReadsTheEditorsExample)
{
    TracksDocument document = readTracksDocument(editorExample);
    EXPECT_EQ(document.rows, 1856u);
    ASSERT_EQ(document.tracks.size(), 2u);
    EXPECT_EQ(document.tracks[0].name(), "camera:fov");
    EXPECT_EQ(keysOf(document.tracks[0]),
              (std::vector<SyncKey>{{0, 60, KeyInterpolation::smooth},
                                    {32, 90, KeyInterpolation::linear}}));
    EXPECT_EQ(document.tracks[1].name(), "flash");
    EXPECT_FALSE(document.tracks[1].hasKeys());
}

TEST(TracksDocumentRead, TakesAttributesInAnyOrder)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="64"><tracks><track name="a">
        <key interpolation="3" value="-1.5" row="7"/></track></tracks></sync>)");
    EXPECT_EQ(keysOf(document.tracks.at(0)),
              (std::vector<SyncKey>{{7, -1.5f, KeyInterpolation::ramp}}));
}

TEST(TracksDocumentRead, SortsKeysOutOfOrder)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="64"><tracks><track name="a">
        <key row="20" value="2" interpolation="0"/>
        <key row="3" value="1" interpolation="1"/>
        <key row="9" value="5" interpolation="0"/>
        </track></tracks></sync>)");
    EXPECT_EQ(keysOf(document.tracks.at(0)),
              (std::vector<SyncKey>{{3, 1, KeyInterpolation::linear}, {9, 5}, {20, 2}}));
}

TEST(TracksDocumentRead, OfTwoKeysOnOneRowTheLaterWins)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="64"><tracks><track name="a">
        <key row="4" value="1" interpolation="0"/>
        <key row="4" value="2" interpolation="2"/>
        </track></tracks></sync>)");
    EXPECT_EQ(keysOf(document.tracks.at(0)),
              (std::vector<SyncKey>{{4, 2, KeyInterpolation::smooth}}));
}

TEST(TracksDocumentRead, ATrackNamedTwiceIsOneTrack)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="64"><tracks>
        <track name="a"><key row="1" value="1" interpolation="0"/></track>
        <track name="b"/>
        <track name="a"><key row="2" value="2" interpolation="0"/></track>
        </tracks></sync>)");
    ASSERT_EQ(document.tracks.size(), 2u);
    EXPECT_EQ(keysOf(document.tracks[0]), (std::vector<SyncKey>{{1, 1}, {2, 2}}));
}

TEST(TracksDocumentRead, PassesOverBookmarksAndUnknownElements)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="8">
        <bookmarks><bookmark row="x"/></bookmarks>
        <tracks><!-- a comment --><page/><track name="a"><note/>
        <key row="1" value="1" interpolation="0"/></track></tracks></sync>)");
    ASSERT_EQ(document.tracks.size(), 1u);
    EXPECT_EQ(keysOf(document.tracks[0]), (std::vector<SyncKey>{{1, 1}}));
}

TEST(TracksDocumentRead, WithoutRowsHasANewDocumentsRows)
{
    EXPECT_EQ(readTracksDocument("<sync><tracks/></sync>").rows, 128u);
}

TEST(TracksDocumentRead, TakesTheLargestRow)
{
    TracksDocument document = readTracksDocument(R"(<sync rows="2147483647"><tracks>
        <track name="a"><key row="2147483647" value="1e-3" interpolation="0"/></track>
        </tracks></sync>)");
    EXPECT_EQ(document.rows, 2147483647u);
    EXPECT_EQ(document.tracks.at(0).keys()[0].row, 2147483647u);
    EXPECT_EQ(document.tracks.at(0).keys()[0].value, 1e-3f);
}

TEST(TracksDocumentRead, DecodesEntitiesInNames)
{
    TracksDocument document =
        readTracksDocument(R"(<sync rows="8"><tracks><track name="a&amp;b"/></tracks></sync>)");
    EXPECT_EQ(document.tracks.at(0).name(), "a&b");
}

} // namespace
} // namespace tincrates
