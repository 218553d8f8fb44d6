// The calls the music stream makes of an audio library, spelled as that library spells them,
// over libmpg123 (decoding), an AudioOutput (sound device or silent clock) and FFTW (spectrum).
//
// Every stream is decoded whole when it is created, to 44.1 kHz 16-bit stereo, so positions
// are exact byte counts of that format (176,400 per second) whatever the file's own rate and
// channels. One stream plays at a time. All calls come from the main thread; the error code
// is kept per thread. Calls that return BOOL give nonzero on success; every call fails with
// BASS_ERROR_INIT before BASS_Init and BASS_ERROR_HANDLE for a handle it does not know.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace tincrates {

class AudioOutput;

using BOOL = int;
using DWORD = uint32_t;
using QWORD = uint64_t;
using HSTREAM = DWORD;

// Error codes, as BASS_ErrorGetCode returns them.
constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_MEM = 1;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_DRIVER = 3;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FORMAT = 6;
constexpr int BASS_ERROR_POSITION = 7;
constexpr int BASS_ERROR_NOPLAY = 24;
constexpr int BASS_ERROR_INIT = 8;
constexpr int BASS_ERROR_ALREADY = 14;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_NO3D = 21;
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_NOTAVAIL = 37;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_SPEAKER = 42;
constexpr int BASS_ERROR_UNKNOWN = -1;

constexpr DWORD BASS_DEVICE_LATENCY = 256;
constexpr DWORD BASS_STREAM_PRESCAN = 0x20000;
constexpr DWORD BASS_DATA_FFT512 = 0x80000000;

// Returns the output that BASS_Init starts; the layer owns it until BASS_Free. It may throw,
// or return null, when it cannot open one.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// Not a BASS call: chooses the output of later BASS_Init calls, for the whole process. An
// empty factory restores the default, SDL2 audio on the default device. The host sets this
// before creating the music stream. A video capture selects a SilentClock's factory
// (audio/silent_clock.h) and after each video frame steps the clock to that frame's end,
// writing the sound it passed.
void selectAudioOutput(AudioOutputFactory factory);

// Not a BASS call: whether the started output has lost its device during the run (its sound
// server went away, it was unplugged). Positions go on in real time, so the production keeps
// its pace, silently. False before BASS_Init.
bool isAudioOutputLost();

// Starts the selected output; nonzero on success. `device` must be 1 (the first real device,
// the only one offered) or -1 (the default, the same). The rate, flags and window are
// accepted and unused: the output takes 44.1 kHz and converts for the device itself. Zero
// with BASS_ERROR_ALREADY when started already, BASS_ERROR_DEVICE for another device,
// BASS_ERROR_DRIVER when the output cannot open.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* window, const void* classId);

// Creates a stream from `length` bytes at `file` + `offset` when `mem` is nonzero, or from the
// file named by the zero-terminated `file` otherwise (offset and length 0: the whole file).
// The block is decoded at once and not read afterwards. `flags` may hold only
// BASS_STREAM_PRESCAN (always in effect). Returns 0 on failure: BASS_ERROR_INIT before
// BASS_Init, BASS_ERROR_ILLPARAM for an empty block or other flags, BASS_ERROR_FILEOPEN for
// an unreadable file, BASS_ERROR_FILEFORM when no MP3 audio decodes, BASS_ERROR_MEM when
// memory runs out.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD flags);

// Starts the output; it runs from BASS_Init on, so this only checks that it was started.
BOOL BASS_Start();

// Plays `handle`, from the start when `flush` is nonzero, else from its position; another
// stream that was playing stops. `flags` are unused: streams never loop.
BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);

// Pauses `handle` where it is being heard; BASS_ChannelPlay goes on from there. Zero with
// BASS_ERROR_NOPLAY when it is not playing.
BOOL BASS_ChannelPause(DWORD handle);

// Plays `handle` again after a pause, from where it stopped (from the start with `restart`).
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// Moves `handle` to byte `pos`, rounded down to a whole frame. Zero with
// BASS_ERROR_POSITION beyond the end of the stream.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos);

// The length of `handle`'s decoded sound in bytes. (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelGetLength(DWORD handle);

// The byte position of the sound being heard now; stays at the end once reached.
// (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelGetPosition(DWORD handle);

// With `length` BASS_DATA_FFT512: writes 256 floats of spectrum (see SpectrumAnalyser) of
// the 512 frames at the current position and returns the bytes of sound they came from.
// With a plain byte count: copies up to that many bytes of sound from the current position,
// without moving it, and returns the count. (DWORD)-1 for an unknown handle or null buffer.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

// Releases the stream and its decoded sound; it stops first if it was playing.
BOOL BASS_StreamFree(HSTREAM handle);

// Releases every stream and the output. Zero with BASS_ERROR_INIT when not started.
BOOL BASS_Free();

// The error code of this thread's last call (BASS_OK after a success).
int BASS_ErrorGetCode();

} // namespace tincrates
