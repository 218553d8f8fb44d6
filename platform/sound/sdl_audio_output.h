// Sound output through SDL2 audio on the default device.
#pragma once

#include "platform/sound/audio_feed.h"
#include "platform/sound/audio_output.h"

#include <cstdint>

namespace tincrates {

// Holds SDL's audio subsystem for the life of the object (SDL counts nested inits).
class SdlAudioSubsystem {
public:
    // Throws the SDL error text when the audio subsystem cannot start.
    SdlAudioSubsystem();
    ~SdlAudioSubsystem();
    SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
    SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
};

// Plays on SDL's default output device, which runs from construction to destruction and
// sounds silence while nothing plays. SDL converts to the device's own format if it differs.
// The device's callback runs on SDL's audio thread and touches only `feed`.
class SdlAudioOutput final : public AudioOutput {
public:
    // Opens the default device. Throws "could not open audio device: " + SDL's reason.
    SdlAudioOutput();
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    void setSound(std::span<const uint8_t> pcm) override;
    void play() override;
    void pause() override;
    void seek(uint64_t byteOffset) override;
    uint64_t position() const override;
    // SDL stops a device that went away; it goes on calling back, so the clock keeps time.
    bool isLost() const override;

private:
    // Declared in construction order: the device is closed (its callback stopped) before the
    // feed it reads goes away, and SDL's subsystem is released last.
    SdlAudioSubsystem subsystem;
    AudioFeed feed;
    uint32_t device = 0; // SDL_AudioDeviceID
};

} // namespace tincrates
