// Sound output through SDL2 audio: the device callback pulls from the shared feed.
#include "platform/sound/sdl_audio_output.h"

#include <SDL.h>

#include <string>

namespace tincrates {

namespace {

// About 23 ms per buffer: short enough that the clock's estimate of what is still queued
// stays small, long enough for the dummy and software back-ends to keep up.
constexpr Uint16 deviceBufferFrames = 1024;

// SDL's audio thread.
void SDLCALL fillDeviceBuffer(void* userData, Uint8* stream, int length)
{
    auto* feed = static_cast<AudioFeed*>(userData);
    feed->fill(stream, size_t(length), AudioFeed::Clock::now());
}

} // namespace

SdlAudioSubsystem::SdlAudioSubsystem()
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw std::string("could not start SDL audio: ") + SDL_GetError();
}

SdlAudioSubsystem::~SdlAudioSubsystem()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SdlAudioOutput::SdlAudioOutput()
    : feed(audioBytesPerSecond)
{
    SDL_AudioSpec wanted{};
    wanted.freq = int(audioSampleRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = Uint8(audioChannelCount);
    wanted.samples = deviceBufferFrames;
    wanted.callback = fillDeviceBuffer;
    wanted.userdata = &feed;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the device really takes, so the feed
    // always speaks the production's format.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0)
        throw std::string("could not open audio device: ") + SDL_GetError();
    SDL_PauseAudioDevice(device, 0);
}

SdlAudioOutput::~SdlAudioOutput()
{
    SDL_CloseAudioDevice(device);
}

void SdlAudioOutput::setSound(std::span<const uint8_t> pcm) { feed.setSound(pcm); }

void SdlAudioOutput::play() { feed.play(); }
void SdlAudioOutput::pause() { feed.pause(AudioFeed::Clock::now()); }

void SdlAudioOutput::seek(uint64_t byteOffset) { feed.seek(byteOffset); }

uint64_t SdlAudioOutput::position() const { return feed.position(AudioFeed::Clock::now()); }

bool SdlAudioOutput::isLost() const
{
    // Started at construction and never paused, the device is stopped only once it is gone.
    return SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED;
}

} // namespace tincrates
