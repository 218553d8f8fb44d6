// Stepping a silent output to chosen offsets of the sound.
#include "audio/silent_clock.h"

#include <cassert>
#include <memory>

namespace tincrates {

uint64_t soundOffsetOfFrame(uint64_t frameNumber, int framesPerSecond)
{
    assert(framesPerSecond > 0);
    return frameNumber * audioSampleRate / uint64_t(framesPerSecond) * audioBytesPerFrame;
}

AudioOutputFactory SilentClock::factory()
{
    return [this]() -> std::unique_ptr<AudioOutput> {
        auto made = std::make_unique<SilentAudioOutput>();
        output = made.get();
        return made;
    };
}

std::span<const uint8_t> SilentClock::stepTo(uint64_t byteOffset)
{
    assert(output);
    uint64_t here = output->position();
    if (byteOffset <= here)
        return {};
    return output->advance(byteOffset - here);
}

uint64_t SilentClock::position() const { return output ? output->position() : 0; }

} // namespace tincrates
