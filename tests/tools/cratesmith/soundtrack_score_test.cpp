// The composition against the picture's timeline: its beats are the picture's beats, the
// kick follows the flash, the accents and hits fall on the sync times, and it stays in key.
#include "tools/cratesmith/sound/music_score.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace tincrates::cratesmith {
namespace {

bool hasHitAt(const std::vector<Hit>& hits, double beat)
{
    return std::any_of(hits.begin(), hits.end(), [&](const Hit& hit) { return hit.beat == beat; });
}

bool hasStabAt(const std::vector<Stab>& stabs, double beat)
{
    return std::any_of(stabs.begin(), stabs.end(),
                       [&](const Stab& stab) { return stab.beat == beat; });
}

// Whether any note of `part` sounds somewhere strictly between `from` and `to`.
bool soundsBetween(const std::vector<Note>& part, double from, double to)
{
    return std::any_of(part.begin(), part.end(), [&](const Note& note) {
        return note.beat < to && note.beat + note.lengthBeats > from;
    });
}

TEST(SoundtrackScore, BeatsAreThePicturesBeats)
{
    // The picture's time is the music's seconds times 2.149, taken to single precision.
    for (double beat : {8.0, 64.5, 97.0, 164.0, 192.0, 232.0}) {
        double seconds = double(frameAtBeat(beat)) / audioSampleRate;
        EXPECT_NEAR(float(seconds * beatsPerSecond), beat, 1e-4) << beat;
    }
    EXPECT_GE(soundtrackSeconds, 110.0);
    EXPECT_GT(soundtrackSeconds, secondsOfBeats(endBeat));
}

TEST(SoundtrackScore, KickFallsOnEveryWholeBeatFromTheFirstFlashOn)
{
    Score score = composeScore();
    std::multiset<double> kicks;
    for (const Hit& kick : score.kicks)
        kicks.insert(kick.beat);
    std::multiset<double> flashes;
    for (int beat = 8; beat < 232; ++beat)
        flashes.insert(beat);
    EXPECT_EQ(kicks, flashes);
}

TEST(SoundtrackScore, OffBeatSyncTimesGetAnAccent)
{
    Score score = composeScore();
    for (double beat : {64.5, 97.0}) {
        EXPECT_TRUE(hasHitAt(score.crashes, beat)) << beat;
        EXPECT_TRUE(hasStabAt(score.stabs, beat)) << beat;
    }
    // A beat of the kick alone before the chorus lands on 97.
    EXPECT_FALSE(soundsBetween(score.pad, 96.0, 97.0));
    EXPECT_FALSE(soundsBetween(score.bass, 96.0, 97.0));
    EXPECT_FALSE(soundsBetween(score.lead, 96.0, 97.0));
}

TEST(SoundtrackScore, FiveSingleHitsStandAlone)
{
    Score score = composeScore();
    for (double beat : {164.0, 165.0, 166.0, 167.0, 168.0})
        EXPECT_TRUE(hasStabAt(score.stabs, beat)) << beat;
    // Between them only the hits themselves sound: no held chord, arpeggio or hats.
    EXPECT_FALSE(soundsBetween(score.pad, 164.0, 168.0));
    EXPECT_FALSE(soundsBetween(score.arpeggio, 164.0, 168.0));
    auto hatsBetween = [](const std::vector<Hit>& hats) {
        return std::any_of(hats.begin(), hats.end(),
                           [](const Hit& hat) { return hat.beat > 164.0 && hat.beat < 168.0; });
    };
    EXPECT_FALSE(hatsBetween(score.openHats));
    EXPECT_FALSE(hatsBetween(score.closedHats));
}

TEST(SoundtrackScore, MelodiesStayInAMinorAndChordsOnlyBorrowTheLeadingNote)
{
    Score score = composeScore();
    const std::set<int> aMinor = {9, 11, 0, 2, 4, 5, 7};
    for (const auto* part : {&score.lead, &score.bells})
        for (const Note& note : *part)
            EXPECT_TRUE(aMinor.count(note.key % 12)) << "key " << note.key << " at "
                                                      << note.beat;
    // The E major chord's G sharp leads back to A; nothing else leaves the key.
    std::set<int> withLeadingNote = aMinor;
    withLeadingNote.insert(8);
    for (const auto* part : {&score.pad, &score.arpeggio, &score.bass})
        for (const Note& note : *part)
            EXPECT_TRUE(withLeadingNote.count(note.key % 12)) << "key " << note.key << " at "
                                                              << note.beat;
}

TEST(SoundtrackScore, FadesWithThePictureToSilenceAt232)
{
    Score score = composeScore();
    EXPECT_EQ(score.masterLevel.at(199.0), 1.0);
    EXPECT_EQ(score.masterLevel.at(200.0), 1.0);
    EXPECT_DOUBLE_EQ(score.masterLevel.at(216.0), 0.5);
    EXPECT_EQ(score.masterLevel.at(232.0), 0.0);
    for (const auto* part : {&score.bass, &score.pad, &score.arpeggio, &score.lead, &score.bells})
        for (const Note& note : *part)
            EXPECT_LE(note.beat + note.lengthBeats, endBeat) << note.beat;
}

} // namespace
} // namespace tincrates::cratesmith
