// When the texts, credits, fade and flashes come and how opaque they are.
#include "production/frame_animation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tincrates {
namespace {

const float silence[256] = {};

FrameAnimation frameAt(float t) { return animateFrame(t, advanceTextIndex(0, t), silence); }

float clamped(float opacity) { return std::clamp(opacity, 0.0f, 1.0f); }

TEST(OverlayTiming, AtBeatEightTheCratesShowButNoTextOrFlashYet)
{
    EXPECT_EQ(frameAt(7.99f).revealAlpha, 0.0f);
    FrameAnimation frame = frameAt(8.0f);
    EXPECT_EQ(frame.revealAlpha, 1.0f);
    EXPECT_FALSE(frame.text.isShown);
    EXPECT_FALSE(frame.white.isShown);
    EXPECT_TRUE(frameAt(8.01f).text.isShown);
    EXPECT_TRUE(frameAt(8.01f).white.isShown);
}

TEST(OverlayTiming, EachTextStandsFullyOpaqueBetweenItsSyncTimes)
{
    FrameAnimation first = frameAt(12.0f);
    EXPECT_EQ(first.textNumber, 0u);
    EXPECT_EQ(first.text.opacity, 1.0f);
    EXPECT_EQ(frameAt(16.5f).textNumber, 1u);
    EXPECT_EQ(frameAt(167.5f).textNumber, 21u);
    EXPECT_EQ(frameAt(168.0f).textNumber, 21u);
    FrameAnimation last = frameAt(168.5f);
    EXPECT_EQ(last.textNumber, 22u);
    EXPECT_EQ(clamped(last.text.opacity), 1.0f);
}

TEST(OverlayTiming, TheLastTextFadesOutBetween169And170)
{
    EXPECT_EQ(clamped(frameAt(169.0f).text.opacity), 1.0f);
    EXPECT_FLOAT_EQ(frameAt(169.5f).text.opacity, 0.5f);
    EXPECT_EQ(clamped(frameAt(170.0f).text.opacity), 0.0f);
    FrameAnimation late = frameAt(200.0f);
    EXPECT_TRUE(late.text.isShown);
    EXPECT_EQ(late.textNumber, 22u);
    EXPECT_EQ(clamped(late.text.opacity), 0.0f);
}

TEST(OverlayTiming, CreditsFadeInStandAndFadeOut)
{
    EXPECT_FALSE(frameAt(192.0f).credits.isShown);
    EXPECT_FLOAT_EQ(frameAt(193.0f).credits.opacity, 0.5f);
    EXPECT_EQ(clamped(frameAt(194.0f).credits.opacity), 1.0f);
    EXPECT_FLOAT_EQ(frameAt(196.0f).credits.opacity, 2.0f);
    EXPECT_EQ(clamped(frameAt(198.0f).credits.opacity), 1.0f);
    EXPECT_FLOAT_EQ(frameAt(199.0f).credits.opacity, 0.5f);
    EXPECT_EQ(clamped(frameAt(201.0f).credits.opacity), 0.0f);
}

TEST(OverlayTiming, TheFadeToBlackRunsFrom200To232)
{
    EXPECT_FALSE(frameAt(200.0f).black.isShown);
    EXPECT_FLOAT_EQ(frameAt(216.0f).black.opacity, 0.5f);
    EXPECT_FLOAT_EQ(frameAt(232.0f).black.opacity, 1.0f);
}

TEST(OverlayTiming, EveryBeatFlashesWhiteAndDecays)
{
    EXPECT_FLOAT_EQ(frameAt(9.0f).white.opacity, 1.0f);
    EXPECT_NEAR(frameAt(9.5f).white.opacity, 0.1767767f, 1e-6f);
    EXPECT_NEAR(frameAt(100.75f).white.opacity, std::pow(0.25, 2.5), 1e-6);
    EXPECT_FLOAT_EQ(frameAt(231.0f).white.opacity, 1.0f);
}

} // namespace
} // namespace tincrates
