// The clock that is not a sound card.
#include "platform/sound/silent_audio_output.h"

#include <algorithm>

namespace tincrates {

void SilentAudioOutput::setSound(std::span<const uint8_t> pcm)
{
    sound = pcm;
    playing = false;
    positionBytes = 0;
}

void SilentAudioOutput::play() { playing = true; }

void SilentAudioOutput::pause() { playing = false; }

void SilentAudioOutput::seek(uint64_t byteOffset)
{
    positionBytes = std::min<uint64_t>(byteOffset, sound.size());
}

uint64_t SilentAudioOutput::position() const { return positionBytes; }

std::span<const uint8_t> SilentAudioOutput::advance(uint64_t byteCount)
{
    if (!playing)
        return {};
    uint64_t wholeFrames = byteCount - byteCount % audioBytesPerFrame;
    uint64_t passed = std::min<uint64_t>(wholeFrames, sound.size() - positionBytes);
    auto start = positionBytes;
    positionBytes += passed;
    return sound.subspan(size_t(start), size_t(passed));
}

bool SilentAudioOutput::isPlaying() const { return playing && positionBytes < sound.size(); }

} // namespace tincrates
