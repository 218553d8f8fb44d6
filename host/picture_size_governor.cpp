#include "host/picture_size_governor.h"

#include <algorithm>

namespace tincrates {

namespace {

// The usual 4:3 sizes below today's screens, largest first; the ladder takes those under its
// top.
constexpr PictureSize fourByThreeSizes[] = {
    {1600, 1200}, {1440, 1080}, {1280, 960}, {1024, 768}, {800, 600}, originalPictureSize};

// Below this share of the refresh rate the frames have fallen behind: a frame now and then
// that misses its refresh is not worth a coarser picture.
constexpr double fallenBehind = 0.85;
// At this share or more they keep up.
constexpr double keepingUp = 0.97;
// A larger size is taken at once when the rate, scaled by the pixels it adds, would still
// clear the refresh rate by this much.
constexpr double roomToGrow = 1.05;

double pixels(PictureSize size) { return double(size.width) * double(size.height); }

} // namespace

PictureSizeGovernor::PictureSizeGovernor(unsigned refreshRate)
    : refreshRate(refreshRate ? double(refreshRate) : 60.0)
{
}

void PictureSizeGovernor::restart()
{
    // The frame after a change of size also makes the new back buffer: counting starts after it.
    counting.reset();
    frames = 0;
}

std::optional<PictureSize> PictureSizeGovernor::frameShown(
    Clock::time_point now, PictureSize largest)
{
    if (sizes.empty() || sizes.front() != largest) {
        // A new top (the window was resized): the same limit where it still fits.
        const PictureSize before = limit();
        const bool wasAtTop = sizes.empty() || rung == 0;
        sizes = {largest};
        for (PictureSize size : fourByThreeSizes)
            if (size.width < largest.width && size.height < largest.height)
                sizes.push_back(size);
        holds.assign(sizes.size(), firstHold);
        rung = 0;
        if (!wasAtTop)
            while (rung + 1 < sizes.size() && pixels(sizes[rung]) > pixels(before))
                ++rung;
        keptUp = {};
        isProbing = false;
        restart();
        return sizes[rung];
    }
    if (!counting) {
        counting = now;
        return std::nullopt;
    }
    ++frames;
    const Clock::duration elapsed = now - *counting;
    if (elapsed < window)
        return std::nullopt;
    const double rate = frames / std::chrono::duration<double>(elapsed).count();
    counting = now;
    frames = 0;

    if (rate < refreshRate * fallenBehind) {
        // A size tried on a hold alone that did not keep up is tried less often from now on.
        if (isProbing)
            holds[rung] = std::min<Clock::duration>(holds[rung] * 2, longestHold);
        isProbing = false;
        keptUp = {};
        if (rung + 1 >= sizes.size())
            return std::nullopt;
        ++rung;
        restart();
        return sizes[rung];
    }
    isProbing = false;
    if (rate < refreshRate * keepingUp) {
        keptUp = {};
        return std::nullopt;
    }
    keptUp += elapsed;
    if (rung == 0)
        return std::nullopt;
    // Frames cost about as much as the pixels drawn: what the rate would be a size up.
    const double rateLarger = rate * pixels(sizes[rung]) / pixels(sizes[rung - 1]);
    const bool hasRoom = rateLarger >= refreshRate * roomToGrow;
    // A screen that waits for its refresh caps the rate at the refresh rate, and then only a
    // try tells whether a larger size fits.
    if (!hasRoom && keptUp < holds[rung - 1])
        return std::nullopt;
    isProbing = !hasRoom;
    --rung;
    keptUp = {};
    restart();
    return sizes[rung];
}

} // namespace tincrates
