// The soundtrack's composition: every note, hit and sweep of the piece, in beats. The picture
// counts the same beats (music seconds x 2.149, which is 128.94 beats per minute), so the
// score places its kicks, fills and section changes on the beats where the picture flashes,
// changes its text, shows the credits and fades out.
#pragma once

#include "platform/sound/audio_output.h"
#include "production/frame_animation.h"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace tincrates::cratesmith {

using tincrates::beatsPerSecond;
constexpr double musicSampleRate = audioSampleRate;
// The picture ends at its last beat (107.96 s); the music runs on in silence a little beyond,
// so it never stops before the picture does.
constexpr double endBeat = endTime;
constexpr double soundtrackSeconds = 111.0;

// The sample frame on which `beat` starts.
inline size_t frameAtBeat(double beat)
{
    return size_t(std::llround(beat / beatsPerSecond * musicSampleRate));
}

inline double secondsOfBeats(double beats) { return beats / beatsPerSecond; }

// A drum hit.
struct Hit {
    double beat;
    double velocity;
};

// A note of a tuned instrument, `key` a MIDI key number.
struct Note {
    double beat;
    double lengthBeats;
    int key;
    double velocity;
};

// A chord struck at once.
struct Stab {
    double beat;
    std::vector<int> keys;
    double velocity;
};

// A sweep or swell from one beat to another.
struct Sweep {
    double startBeat;
    double endBeat;
    double velocity;
};

// A value that moves in straight lines between points (beat, value), and holds its first
// and last value outside them.
class Curve {
public:
    Curve() = default;
    Curve(std::vector<std::pair<double, double>> points)
        : points(std::move(points))
    {
    }
    double at(double beat) const;

private:
    std::vector<std::pair<double, double>> points; // beats rising
};

struct Score {
    // Drums.
    std::vector<Hit> kicks;
    std::vector<Hit> claps;
    std::vector<Hit> snares;
    std::vector<Hit> closedHats;
    std::vector<Hit> openHats;
    std::vector<Hit> crashes;
    std::vector<Sweep> reverseCymbals; // each swells up to its end beat
    std::vector<Sweep> risers;
    // Tuned parts.
    std::vector<Note> bass;
    std::vector<Note> pad;
    std::vector<Note> arpeggio;
    std::vector<Note> lead;
    std::vector<Note> bells;
    std::vector<Stab> stabs;
    // How open the pad's filter stands (Hz), how bright the arpeggio and the bass are (0 to
    // 1), and the level of the whole piece (1 in full, down to 0 at the end).
    Curve padCutoffHz;
    Curve arpeggioBrightness;
    Curve bassBrightness;
    Curve masterLevel;
};

// The whole piece. The same every time.
Score composeScore();

} // namespace tincrates::cratesmith
