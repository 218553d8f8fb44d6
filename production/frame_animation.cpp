// The production's choreography. Every formula runs in double precision from the
// single-precision demo time and is stored as a float, so the motion matches frame for frame
// whatever the compiler does with intermediate precision.
#include "production/frame_animation.h"

#include "platform/sound/audio_output.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace tincrates {

namespace {

constexpr float revealTime = 8.0f;      // the crates appear, texts and flashes start
constexpr float lastTextFadeEnd = 170.0f;
constexpr float creditsStart = 192.0f;
constexpr float creditsEnd = 200.0f;
constexpr float fadeOutStart = 200.0f;
constexpr Colour fogColour = {0.03f, 0.01f, 0.04f, 1.0f};
constexpr float fogStart = 60.0f;
constexpr float fogEnd = 500.0f;

Vector3 vector(double x, double y, double z) { return {float(x), float(y), float(z)}; }

} // namespace

float demoTimeAt(double positionSeconds) { return float(positionSeconds * beatsPerSecond); }

bool readBeats(std::string_view text, double& beats)
{
    std::string number(text);
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    // strtod would also pass over leading blanks of its own accord and read "nan" and "inf".
    if (number.empty() || std::isspace(static_cast<unsigned char>(number[0])) || *end
        || !std::isfinite(value))
        return false;
    beats = value;
    return true;
}

uint64_t soundOffsetAt(double t)
{
    return uint64_t(std::ceil(t / beatsPerSecond * double(audioSampleRate))) * audioBytesPerFrame;
}

unsigned advanceTextIndex(unsigned textIndex, float t)
{
    while (textIndex < syncTimeCount && syncTimes[textIndex] < t)
        ++textIndex;
    return textIndex;
}

FrameAnimation animateFrame(float t, unsigned textIndex, const float (&spectrum)[256])
{
    const double time = t;
    FrameAnimation frame{};

    frame.revealAlpha = t < revealTime ? 0.0f : 1.0f;
    frame.fieldOfViewDegrees = float(fieldOfViewDegrees(spectrum[fieldOfViewBin]));

    frame.cameraPosition = vector(-80.0 * std::sin(0.3 * time), 30.0 * std::cos(0.4 * time),
        80.0 * std::cos(0.3 * time));
    frame.lookPoint = vector(frame.cameraPosition.x + 30.0 * std::cos(0.33 * time),
        frame.cameraPosition.y + 30.0 * std::cos(0.5 * time),
        frame.cameraPosition.z - 80.0 * std::cos(0.2 * time));

    // The crates turn by t + pi/2 - 4 radians about an axis that wanders with time.
    double ax = 0.3 * std::sin(0.15 * time);
    double ay = 0.3 * std::cos(1.0 - 0.2 * time);
    double az = 0.3 * std::sin(0.3 * std::sin(0.1 * time));
    double length = std::sqrt(ax * ax + ay * ay + az * az);
    ax /= length;
    ay /= length;
    az /= length;
    double half = (time + 1.5707963267948966 - 4.0) * 0.5;
    double s = std::sin(half);
    double c = std::cos(half);
    // Keep w non-negative: the same rotation, written the way the rest of the scene writes it.
    double sign = c < 0.0 ? -1.0 : 1.0;
    frame.tumble = {float(sign * ax * s), float(sign * ay * s), float(sign * az * s),
        float(sign * c)};

    frame.cameraRoll = float(rollRadians(spectrum[rollBin]));
    frame.lightPosition = vector(-70.0 * std::sin(0.7 * time), 70.0 * std::sin(0.7 * time),
        70.0 * std::cos(0.7 * time));
    frame.fogColour = fogColour;
    frame.fogStart = fogStart;
    frame.fogEnd = fogEnd;

    if (t > revealTime) {
        frame.text.isShown = true;
        if (textIndex < syncTimeCount) {
            frame.textNumber = textIndex;
            frame.text.opacity = 1.0f;
        } else {
            // The last text stands until beat 169 (clamped) and fades out by 170.
            frame.textNumber = textCount - 1;
            frame.text.opacity = float(double(lastTextFadeEnd) - time);
        }
        frame.white.isShown = true;
        frame.white.opacity = float(std::pow(1.0 - std::fmod(time, 1.0), 2.5));
    }
    if (t > creditsStart) {
        // A tent peaking at 2 at beat 196: with clamping, in over two beats, out over two.
        frame.credits.isShown = true;
        frame.credits.opacity = float(4.0
            * std::min((time - creditsStart) * 0.125, (time - creditsEnd) * -0.125));
    }
    if (t > fadeOutStart) {
        frame.black.isShown = true;
        frame.black.opacity = float((time - fadeOutStart) * 0.03125);
    }
    return frame;
}

} // namespace tincrates
