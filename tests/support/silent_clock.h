// Makes the next BASS_Init start a SilentAudioOutput, and keeps a link to it so a test can
// advance the clock by hand. Restores the default output when it goes.
#pragma once

#include "audio/bass.h"
#include "platform/sound/silent_audio_output.h"

#include <memory>

namespace tincrates::testing {

class SilentClock {
public:
    SilentClock()
    {
        selectAudioOutput([this] {
            auto made = std::make_unique<SilentAudioOutput>();
            output = made.get();
            return made;
        });
    }
    ~SilentClock() { selectAudioOutput({}); }
    SilentClock(const SilentClock&) = delete;
    SilentClock& operator=(const SilentClock&) = delete;

    // Not owned: the audio layer owns it from BASS_Init to BASS_Free.
    SilentAudioOutput* output = nullptr;
};

} // namespace tincrates::testing
