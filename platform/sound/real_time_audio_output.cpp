// The wall-clock stand-in for a sound card.
#include "platform/sound/real_time_audio_output.h"

#include <algorithm>

namespace tincrates {

RealTimeAudioOutput::RealTimeAudioOutput(Clock now)
    : now(now ? std::move(now) : Clock([] { return std::chrono::steady_clock::now(); }))
{
}

void RealTimeAudioOutput::setSound(std::span<const uint8_t> pcm)
{
    // Only the length matters: nothing is ever read from the block.
    soundSize = pcm.size() - pcm.size() % audioBytesPerFrame;
    isPlaying = false;
    startBytes = 0;
}

void RealTimeAudioOutput::play()
{
    if (isPlaying)
        return;
    isPlaying = true;
    startTime = now();
}

void RealTimeAudioOutput::pause()
{
    if (!isPlaying)
        return;
    startBytes = position();
    isPlaying = false;
}

void RealTimeAudioOutput::seek(uint64_t byteOffset)
{
    startBytes = std::min(byteOffset - byteOffset % audioBytesPerFrame, soundSize);
    startTime = now();
}

uint64_t RealTimeAudioOutput::position() const
{
    if (!isPlaying)
        return startBytes;
    auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now() - startTime);
    if (elapsed.count() <= 0)
        return startBytes;
    // Whole frames only, as a sound card reports them. Counted from microseconds, the product
    // stays within 64 bits for runs of up to a dozen years.
    uint64_t frames = uint64_t(elapsed.count()) / 1000 * audioSampleRate / 1000000;
    return std::min(startBytes + frames * audioBytesPerFrame, soundSize);
}

} // namespace tincrates
