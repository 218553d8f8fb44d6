// The music's clock stepped by hand instead of by a sound card: a silent output that a capture,
// the page's stills, a measurement or a test moves to the moment each frame should show.
#pragma once

#include "audio/bass.h"
#include "platform/sound/silent_audio_output.h"

#include <cstdint>
#include <span>

namespace tincrates {

// The byte offset in the sound at which frame `frameNumber` of a run at `framesPerSecond`
// (above 0) begins: frame x 176,400 / rate, rounded down to whole sample frames. Each frame
// has its own offset rather than a fixed length, so no drift builds up at rates that do not
// divide the sample rate.
uint64_t soundOffsetOfFrame(uint64_t frameNumber, int framesPerSecond);

// Main thread only, as its output is.
class SilentClock {
public:
    SilentClock() = default;
    SilentClock(const SilentClock&) = delete;
    SilentClock& operator=(const SilentClock&) = delete;

    // An output factory for selectAudioOutput or a host's services: each output it makes is
    // the one this clock steps from then on. The clock must outlive every call.
    AudioOutputFactory factory();

    // Moves the clock forward to `byteOffset` of the sound when it is short of it; a clock
    // never steps back. Returns the sound passed over: none when already there, less when the
    // sound ends first or the music is paused. Valid until the sound changes. An output must
    // have been made.
    std::span<const uint8_t> stepTo(uint64_t byteOffset);

    // Where the clock stands in the sound, in bytes; 0 before an output is made.
    uint64_t position() const;

    // The output made last; null before the first. Not owned: the audio layer owns it from
    // BASS_Init to BASS_Free.
    SilentAudioOutput* output = nullptr;
};

// A SilentClock that the following BASS_Init calls start, for the life of the object; the
// default output is selected again when it goes.
class SelectedSilentClock : public SilentClock {
public:
    SelectedSilentClock() { selectAudioOutput(factory()); }
    ~SelectedSilentClock() { selectAudioOutput({}); }
};

} // namespace tincrates
