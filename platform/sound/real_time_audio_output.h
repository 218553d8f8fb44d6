// A sound output for machines without a sound card: it plays nothing, but its position moves
// with the wall clock as a sound card's would, so the production runs at its own pace.
#pragma once

#include "platform/sound/audio_output.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace tincrates {

// Main thread only.
class RealTimeAudioOutput final : public AudioOutput {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `now` tells the time; the steady clock when empty.
    explicit RealTimeAudioOutput(Clock now = {});
    RealTimeAudioOutput(const RealTimeAudioOutput&) = delete;
    RealTimeAudioOutput& operator=(const RealTimeAudioOutput&) = delete;

    void setSound(std::span<const uint8_t> pcm) override;
    void play() override;
    void pause() override;
    void seek(uint64_t byteOffset) override;
    // Where playing would be now: whole 4-byte frames of the time since play() or the last
    // seek, added to where it started; it stops at the end of the sound.
    uint64_t position() const override;

private:
    Clock now;
    uint64_t soundSize = 0;
    bool isPlaying = false;
    uint64_t startBytes = 0; // position when play() or the last seek happened
    std::chrono::steady_clock::time_point startTime;
};

} // namespace tincrates
