// The state shared between the main thread and the SDL2 audio callback.
#include "platform/sound/audio_feed.h"

#include <algorithm>
#include <cstring>

namespace tincrates {

AudioFeed::AudioFeed(uint32_t bytesPerSecond)
    : bytesPerSecond(bytesPerSecond)
{
}

void AudioFeed::setSound(std::span<const uint8_t> pcm)
{
    std::lock_guard lock(mutex);
    sound = pcm;
    isPlaying = false;
    handedBytes = 0;
    lastBufferBytes = 0;
}

void AudioFeed::play()
{
    std::lock_guard lock(mutex);
    isPlaying = true;
}

void AudioFeed::pause(Clock::time_point now)
{
    std::lock_guard lock(mutex);
    if (!isPlaying)
        return;
    // What the device still holds is dropped: playing again goes on from what was heard.
    handedBytes = positionLocked(now);
    lastBufferBytes = 0;
    isPlaying = false;
}

void AudioFeed::seek(uint64_t byteOffset)
{
    std::lock_guard lock(mutex);
    handedBytes = std::min<uint64_t>(byteOffset, sound.size());
    // What the device still holds belongs to the old place; the clock jumps at once.
    lastBufferBytes = 0;
}

uint64_t AudioFeed::position(Clock::time_point now) const
{
    std::lock_guard lock(mutex);
    return positionLocked(now);
}

uint64_t AudioFeed::positionLocked(Clock::time_point now) const
{
    if (lastBufferBytes == 0)
        return handedBytes;
    auto elapsed = std::chrono::duration<double>(now - lastFillTime).count();
    auto drainedBytes = uint64_t(std::max(0.0, elapsed) * bytesPerSecond);
    uint64_t queuedBytes = lastBufferBytes - std::min(lastBufferBytes, drainedBytes);
    // Whole frames only, like every other position.
    return (handedBytes - queuedBytes) & ~uint64_t(3);
}

void AudioFeed::fill(uint8_t* destination, size_t byteCount, Clock::time_point now)
{
    std::lock_guard lock(mutex);
    size_t soundBytes = 0;
    if (isPlaying && handedBytes < sound.size()) {
        soundBytes = size_t(std::min<uint64_t>(byteCount, sound.size() - handedBytes));
        std::memcpy(destination, sound.data() + handedBytes, soundBytes);
        handedBytes += soundBytes;
    }
    std::memset(destination + soundBytes, 0, byteCount - soundBytes);
    lastBufferBytes = soundBytes;
    lastFillTime = now;
}

} // namespace tincrates
