#include "host/maker_commands.h"

#include "production/frame_animation.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

double landing(MakerCommandType type, double t)
{
    return jumpTarget(MakerCommand{type}, t).value_or(-1);
}

TEST(MakerCommands, JumpsLandOnWholeBeatsPhrasesAndSyncTimesWithinTheProduction)
{
    using enum MakerCommandType;
    EXPECT_EQ(landing(StepForward, 96.4), 97);
    EXPECT_EQ(landing(StepBack, 96.4), 96);
    EXPECT_EQ(landing(StepForward, 96), 97);
    EXPECT_EQ(landing(StepBack, 96), 95);
    // A jump lands a few millionths of a beat late; that still counts as on the beat.
    EXPECT_EQ(landing(StepBack, 96.00002), 95);
    EXPECT_EQ(landing(StepForward, 96.99999), 98);
    EXPECT_EQ(landing(PageForward, 96.4), 104);
    EXPECT_EQ(landing(PageBack, 96.4), 89);
    EXPECT_EQ(landing(PageBack, 3), 0);
    EXPECT_EQ(landing(StepForward, 231.5), 232);
    EXPECT_EQ(landing(PageForward, 230), 232);
    EXPECT_EQ(landing(Start, 150), 0);
    EXPECT_EQ(landing(NextSync, 0), 16);
    EXPECT_EQ(landing(NextSync, 16.00002), 24);
    EXPECT_EQ(landing(NextSync, 64), 64.5);
    EXPECT_EQ(landing(PreviousSync, 64.50003), 56);
    EXPECT_EQ(landing(PreviousSync, 100), 97);
    EXPECT_EQ(landing(PreviousSync, 10), 0);
    EXPECT_EQ(landing(NextSync, 200), 232); // past the last, the end
    EXPECT_EQ(jumpTarget(MakerCommand{GoTo, 96.5}, 3).value_or(-1), 96.5);
    // A text track's own schedule moves where [ and ] land.
    const float directed[] = {4, 30, 31.5f};
    EXPECT_EQ(jumpTarget(MakerCommand{NextSync}, 5, directed).value_or(-1), 30);
    EXPECT_EQ(jumpTarget(MakerCommand{PreviousSync}, 31, directed).value_or(-1), 30);
    EXPECT_EQ(jumpTarget(MakerCommand{NextSync}, 31.5, directed).value_or(-1), endTime);
    EXPECT_FALSE(jumpTarget(MakerCommand{TogglePause}, 3));
    EXPECT_FALSE(jumpTarget(MakerCommand{ToggleLoop}, 3));
}

TEST(MakerCommands, PhrasesAreEightBeatsCountedFromOne)
{
    EXPECT_EQ(phrasePlaceOf(0).phrase, 1);
    EXPECT_EQ(phrasePlaceOf(0).beat, 1);
    EXPECT_EQ(phrasePlaceOf(7.9).beat, 8);
    EXPECT_EQ(phrasePlaceOf(8).phrase, 2);
    EXPECT_EQ(phrasePlaceOf(96.00002).phrase, 13);
    EXPECT_EQ(phrasePlaceOf(96.00002).beat, 1);
    EXPECT_EQ(phrasePlaceOf(95.99999).beat, 1); // landed on 96 from below
    EXPECT_EQ(phrasePlaceOf(101.5).beat, 6);
}

TEST(MakerCommands, KeysAndLinesNameTheSameCommandsAndAnythingElseIsExplained)
{
    EXPECT_EQ(commandForKey(Key::Space)->type, MakerCommandType::TogglePause);
    EXPECT_EQ(commandForKey(Key::PageDown)->type, MakerCommandType::PageForward);
    EXPECT_EQ(commandForKey(Key::BracketLeft)->type, MakerCommandType::PreviousSync);
    EXPECT_FALSE(commandForKey(Key::Other)); // prints the time, as without --maker

    std::string error;
    EXPECT_EQ(parseMakerCommand("  PageUp \r", error)->type, MakerCommandType::PageBack);
    EXPECT_EQ(parseMakerCommand("]", error)->type, MakerCommandType::NextSync);
    auto goTo = parseMakerCommand("beat 96.5", error);
    ASSERT_TRUE(goTo);
    EXPECT_EQ(goTo->type, MakerCommandType::GoTo);
    EXPECT_EQ(goTo->beat, 96.5);
    EXPECT_FALSE(parseMakerCommand("   ", error));
    EXPECT_EQ(error, "");
    for (const char* bad : {"beat", "beat 300", "beat -1", "beat 9x", "beat nan"}) {
        EXPECT_FALSE(parseMakerCommand(bad, error)) << bad;
        EXPECT_EQ(error, "beat takes a time from 0 to 232, such as beat 96") << bad;
    }
    EXPECT_FALSE(parseMakerCommand("jump", error));
    // Every name the parser takes is listed, the other names of a command too.
    EXPECT_EQ(error, "unknown command \"jump\": space or pause, left, right, pageup, pagedown, "
                     "home, [, ], l or loop, f1 or status, beat T, quit or escape");
}

} // namespace
} // namespace tincrates
