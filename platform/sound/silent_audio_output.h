// An output that plays nothing: a clock the caller advances, for capturing video and tests.
#pragma once

#include "platform/sound/audio_output.h"

#include <cstdint>

namespace tincrates {

// Position moves only through advance(), so a capture can step it by exactly one video
// frame's worth of sound per frame and write the samples it passed beside the video.
// Main thread only.
class SilentAudioOutput final : public AudioOutput {
public:
    SilentAudioOutput() = default;
    SilentAudioOutput(const SilentAudioOutput&) = delete;
    SilentAudioOutput& operator=(const SilentAudioOutput&) = delete;

    void setSound(std::span<const uint8_t> pcm) override;
    void play() override;
    void pause() override;
    void seek(uint64_t byteOffset) override;
    uint64_t position() const override;

    // While playing, moves the position forward by `byteCount` rounded down to whole 4-byte
    // frames, stopping at the end of the sound. Returns the bytes of sound passed over
    // (fewer at the end, none while not playing); they stay valid until the next setSound.
    std::span<const uint8_t> advance(uint64_t byteCount);

    // True while playing and short of the end of the sound.
    bool isPlaying() const;

private:
    std::span<const uint8_t> sound;
    bool playing = false;
    uint64_t positionBytes = 0;
};

} // namespace tincrates
