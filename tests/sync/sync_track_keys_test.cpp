// Putting keys on a track and taking them off.
#include "sync/sync_track.h"

#include <gtest/gtest.h>

#include <vector>

namespace tincrates {
namespace {

std::vector<SyncKey> keysOf(const SyncTrack& track)
{
    return {track.keys().begin(), track.keys().end()};
}

TEST(SyncTrackKeys, AreKeptInRowOrder)
{
    SyncTrack track("t");
    track.setKey({30, 3});
    track.setKey({10, 1});
    track.setKey({20, 2, KeyInterpolation::smooth});
    EXPECT_EQ(keysOf(track), (std::vector<SyncKey>{
                                 {10, 1}, {20, 2, KeyInterpolation::smooth}, {30, 3}}));
}

TEST(SyncTrackKeys, AKeyOnTheSameRowReplacesTheOldOne)
{
    SyncTrack track("t");
    track.setKey({5, 1, KeyInterpolation::step});
    track.setKey({5, 2, KeyInterpolation::ramp});
    EXPECT_EQ(keysOf(track), (std::vector<SyncKey>{{5, 2, KeyInterpolation::ramp}}));
}

TEST(SyncTrackKeys, DeleteRemovesOnlyTheKeyOnThatRow)
{
    SyncTrack track("t");
    track.setKey({1, 1});
    track.setKey({2, 2});
    track.setKey({3, 3});
    track.deleteKey(2);
    EXPECT_EQ(keysOf(track), (std::vector<SyncKey>{{1, 1}, {3, 3}}));
}

TEST(SyncTrackKeys, DeletingWhereThereIsNoKeyChangesNothing)
{
    SyncTrack track("t");
    track.deleteKey(0);
    EXPECT_FALSE(track.hasKeys());
    track.setKey({4, 1});
    track.deleteKey(5);
    EXPECT_EQ(keysOf(track), (std::vector<SyncKey>{{4, 1}}));
}

} // namespace
} // namespace tincrates
