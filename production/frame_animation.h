// What one frame of the production shows, worked out from the demo time and the music's
// spectrum alone: where the camera, its look point, the crates and the light are, and which
// overlays are laid over the picture and how opaque.
#pragma once

#include "math/vector_math.h"

#include <cstdint>
#include <string_view>

namespace tincrates {

// An overlay to draw this frame, with its opacity before the quad clamps it to [0, 1].
struct OverlayDraw {
    bool isShown = false;
    float opacity = 0.0f;
};

struct FrameAnimation {
    float revealAlpha;         // diffuse alpha of the crates' material: 0 before beat 8, then 1
    float fieldOfViewDegrees;  // camera zoom, pulsing with spectrum bin fieldOfViewBin (the hats)
    Vector3 cameraPosition;
    Vector3 lookPoint;         // where the camera looks; the lead crate sits there too
    Quaternion tumble;         // rotation of the four tumbling crates
    float cameraRoll;          // radians
    Vector3 lightPosition;
    Colour fogColour;          // the fog the scene fades into, and where it starts and ends
    float fogStart;
    float fogEnd;

    OverlayDraw text;          // the text image numbered textNumber
    unsigned textNumber = 0;
    OverlayDraw credits;
    OverlayDraw black;         // the fade to black at the end
    OverlayDraw white;         // the flash on every beat
};

// The number of text images, and of the beats at which one text gives way to the next.
constexpr unsigned textCount = 23;
constexpr unsigned syncTimeCount = textCount - 1;

// The beats at which the shown text changes, in the order they pass.
constexpr float syncTimes[syncTimeCount] = {16, 24, 32, 40, 56, 64.5f, 72, 80, 88, 97, 104,
    112, 121, 128, 136, 152, 160, 164, 165, 166, 167, 168};

// Music seconds × this is the demo time in beats: 128.94 beats per minute, with 128.94 as a
// float, the beat grid the soundtrack was cut to. The soundtrack's composer and the capture
// tool count the same beats.
inline constexpr double beatsPerSecond = 2.149000040690104;

// The demo time in beats after which the production is over.
inline constexpr float endTime = 232.0f;

// The music is made of phrases of this many beats; a maker steps and loops by them.
inline constexpr int beatsPerPhrase = 8;

// Sync tracks count time in rows, this many to a beat: a row is a 32nd note, fine enough for
// a flash on an off-beat, and the production's end falls on row endRow.
inline constexpr int rowsPerBeat = 8;
inline constexpr uint32_t endRow = uint32_t(endTime) * rowsPerBeat;

// The spectrum bins that move the camera, and how: its field of view in degrees from the bin
// near 4.4 kHz (where the hats are), its roll in radians from the bin near 10.9 kHz.
inline constexpr unsigned fieldOfViewBin = 51;
inline constexpr unsigned rollBin = 127;
inline constexpr double fieldOfViewDegrees(float spectrumValue)
{
    return double(spectrumValue) * 800.0 + 80.0;
}
inline constexpr double rollRadians(float spectrumValue) { return spectrumValue; }

// The production's own files, looked up by these plain names.
inline constexpr const char* soundtrackFileName = "soundtrk.mp3";
inline constexpr const char* sceneFileName = "voltcrate.scene";

// The demo time in beats of the soundtrack (128.94 per minute) at a playback position.
float demoTimeAt(double positionSeconds);

// Reads a number of beats: a decimal number and nothing else, no blanks around it, and not
// "nan" or "inf". False for anything else.
bool readBeats(std::string_view text, double& beats);

// Whether demo time `t` lies within the production, from 0 to endTime.
inline bool isWithinProduction(double t) { return t >= 0 && t <= endTime; }

// Where demo time `t` falls in the decoded soundtrack: the byte offset of the first sound frame
// at or after it, which a clock that moves by whole frames of sound stops on to show `t`.
uint64_t soundOffsetAt(double t);

// Moves `textIndex` past every sync time that lies strictly before `t`; it never goes back
// (a stall of the music followed by a jump passes several at once) and stops at 22.
unsigned advanceTextIndex(unsigned textIndex, float t);

// The frame at demo time `t`, with `textIndex` already advanced to `t` and the 256 spectrum
// bins of this frame.
FrameAnimation animateFrame(float t, unsigned textIndex, const float (&spectrum)[256]);

} // namespace tincrates
