// The sound a device plays and how far it has got: the state the SDL2 audio callback shares
// with the main thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

namespace tincrates {

// Threads: fill() runs on SDL's audio thread; every other operation on the main thread. All
// members are guarded by one mutex, held only for a copy of one device buffer.
//
// The position heard now is the bytes handed to the device minus those still queued in it.
// SDL2 does not report how much of a handed buffer has sounded, so the last buffer is taken
// to drain in real time from the moment it was filled; that keeps the clock smooth between
// callbacks instead of jumping a buffer at a time.
class AudioFeed {
public:
    using Clock = std::chrono::steady_clock;

    explicit AudioFeed(uint32_t bytesPerSecond);
    AudioFeed(const AudioFeed&) = delete;
    AudioFeed& operator=(const AudioFeed&) = delete;

    // Same contracts as AudioOutput's operations of those names.
    void setSound(std::span<const uint8_t> pcm);
    void play();
    void pause(Clock::time_point now);
    void seek(uint64_t byteOffset);
    uint64_t position(Clock::time_point now) const;

    // Audio thread: fills `destination` with the next `byteCount` bytes of the sound while
    // playing, with zeros (silence) past its end or while stopped.
    void fill(uint8_t* destination, size_t byteCount, Clock::time_point now);

private:
    // position() with the mutex held.
    uint64_t positionLocked(Clock::time_point now) const;

    const uint32_t bytesPerSecond;

    mutable std::mutex mutex;
    std::span<const uint8_t> sound;
    bool isPlaying = false;
    uint64_t handedBytes = 0;     // offset in `sound` of the next byte to hand over
    uint64_t lastBufferBytes = 0; // bytes of sound in the buffer filled last
    Clock::time_point lastFillTime;
};

} // namespace tincrates
