// Where the decoded soundtrack goes: a sound device, or a clock that the caller advances.
#pragma once

#include <cstdint>
#include <span>

namespace tincrates {

// The one sound format of the production. Positions everywhere count bytes of it.
constexpr uint32_t audioSampleRate = 44100;
constexpr uint32_t audioChannelCount = 2;
constexpr uint32_t audioBytesPerFrame = audioChannelCount * sizeof(int16_t);
constexpr uint32_t audioBytesPerSecond = audioSampleRate * audioBytesPerFrame; // 176400

// Plays one sound, 44.1 kHz 16-bit stereo, interleaved, native byte order. All operations are
// called from the main thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Makes `pcm` the sound to play, from byte 0, not yet playing. The block is not copied:
    // it must stay valid until the next setSound or the output's destruction. An empty span
    // leaves the output silent; once setSound returns, the old block is no longer read.
    virtual void setSound(std::span<const uint8_t> pcm) = 0;

    // Starts (or keeps) playing the sound from the current position. Never loops.
    virtual void play() = 0;

    // Stops playing; the position stays at what was heard last, where play() goes on from.
    virtual void pause() = 0;

    // Moves the position to `byteOffset`, which the caller keeps within the sound and on a
    // whole 4-byte frame. Playing or not stays as it was.
    virtual void seek(uint64_t byteOffset) = 0;

    // Byte offset in the sound of what is being heard now; stops at the end of the sound.
    virtual uint64_t position() const = 0;

    // Whether the device went away after it opened (its sound server ended, it was unplugged).
    // The position goes on in real time all the same, so whatever follows it keeps its pace.
    virtual bool isLost() const { return false; }
};

} // namespace tincrates
