// Keeps the picture on a screen smooth on a machine that cannot draw it at full size in time
// (no GPU, a virtual machine, a remote desktop): when the frames fall behind the screen's
// refresh for a second, the picture is drawn a 4:3 size smaller, down to 640 × 480 at the
// least; when there is room again, a size larger, up to what the screen shows.
#pragma once

#include "production/picture_size.h"

#include <chrono>
#include <optional>
#include <vector>

namespace tincrates {

class PictureSizeGovernor {
public:
    using Clock = std::chrono::steady_clock;

    // How long the frames are counted before a step is decided.
    static constexpr std::chrono::milliseconds window{1000};
    // How long the frames must keep up before a larger size is tried when the rate cannot say
    // whether it would fit (a screen that waits for its refresh); doubled, up to the longest,
    // each time a size tried had to be left again, so that sizes do not flap.
    static constexpr std::chrono::seconds firstHold{3};
    static constexpr std::chrono::seconds longestHold{96};

    // `refreshRate`: the screen's frames a second; 60 when 0 (unknown).
    explicit PictureSizeGovernor(unsigned refreshRate);

    // After each frame is shown, at `now`, with the largest picture the screen or window
    // shows (the top size). Returns the new limit on the picture's size when it changes: a
    // 4:3 size within the top one.
    std::optional<PictureSize> frameShown(Clock::time_point now, PictureSize largest);

    // The limit in force; the top size when none was set.
    PictureSize limit() const { return sizes.empty() ? PictureSize{} : sizes[rung]; }

private:
    // Starts counting afresh at the next frame, as after a change of size.
    void restart();

    double refreshRate;
    std::vector<PictureSize> sizes;             // from the top size down to 640 × 480
    size_t rung = 0;                            // the size in force, in `sizes`
    std::vector<Clock::duration> holds;         // per size: how long to keep up before trying it
    std::optional<Clock::time_point> counting;  // since when the frames are counted
    int frames = 0;
    Clock::duration keptUp{};                   // how long the frames have kept up at this size
    bool isProbing = false;                     // the size in force was tried on a hold alone
};

} // namespace tincrates
