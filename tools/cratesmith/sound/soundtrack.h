// The production's soundtrack, "soundtrk.mp3": an original piece composed in code (see
// music_score.h) and played by the synthesiser's own voices.
#pragma once

#include "tools/media/mp3_encoder.h"

#include <string>

namespace tincrates::cratesmith {

constexpr int soundtrackKilobitsPerSecond = 192;
// Integrated loudness the piece is mastered to, in LUFS, and the ceiling of its peaks
// (between samples too) in dBFS, below full scale by enough that the MP3's own ringing
// stays under -1 dBFS.
constexpr double soundtrackLoudnessLufs = -14.0;
constexpr double soundtrackCeilingDb = -2.5;

// The piece, mastered, as 44.1 kHz 16-bit stereo.
Pcm renderSoundtrack();

// The MP3 bytes of "soundtrk.mp3": renderSoundtrack() encoded by LAME at
// soundtrackKilobitsPerSecond. The same bytes on every run.
std::string makeSoundtrack();

} // namespace tincrates::cratesmith
