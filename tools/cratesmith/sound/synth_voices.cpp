// The soundtrack's instruments.
#include "tools/cratesmith/sound/synth_voices.h"

#include <algorithm>
#include <array>

namespace tincrates::cratesmith {

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;

size_t framesOf(double seconds) { return size_t(std::lround(seconds * synthRate)); }

double secondsAt(size_t n) { return double(n) * synthSecondsPerSample; }

// A fade over the last `fadeSeconds` of a sound `lengthSeconds` long, so that cutting it
// there does not click.
double tailFade(double seconds, double lengthSeconds, double fadeSeconds)
{
    double left = lengthSeconds - seconds;
    return left >= fadeSeconds ? 1.0 : std::max(0.0, left / fadeSeconds);
}

// Six square waves at unrelated pitches: the clangour of cymbals and hats, which the voices
// then filter down to their top.
class MetalOscillators {
public:
    explicit MetalOscillators(Random& random)
    {
        for (auto& oscillator : oscillators)
            oscillator = SawOscillator(random.unit());
    }
    double next(double scale)
    {
        static constexpr std::array<double, 6> hz = {317.0, 449.0, 538.0, 612.0, 821.0, 1109.0};
        double sum = 0.0;
        for (size_t i = 0; i < oscillators.size(); ++i)
            sum += oscillators[i].nextSquare(hz[i] * scale);
        return sum / 6.0;
    }

private:
    std::array<SawOscillator, 6> oscillators;
};

} // namespace

// ---- Drums ------------------------------------------------------------------------------------

void playSound(StereoBuffer& out, const StereoBuffer& sound, size_t frame, double velocity,
               const Pan& pan)
{
    double left = velocity * pan.left, right = velocity * pan.right;
    for (size_t n = 0; n < sound.frames(); ++n)
        out.addStereo(frame + n, left * sound.left[n], right * sound.right[n]);
}

StereoBuffer makeKick()
{
    Random random(7);
    OnePole clickTone;
    clickTone.setup(2500.0);
    double phase = 0.0;
    StereoBuffer sound(framesOf(kickSeconds));
    for (size_t n = 0; n < sound.frames(); ++n) {
        double t = secondsAt(n);
        // The pitch drop is what makes it a kick: a few milliseconds of high tone for the
        // attack, then a slide into the body.
        double hz = 47.0 + 110.0 * std::exp(-t / 0.032) + 260.0 * std::exp(-t / 0.0035);
        double body = std::sin(twoPi * phase);
        phase += hz * synthSecondsPerSample;
        double level = t < 0.08 ? 1.0 : std::exp(-(t - 0.08) / 0.1);
        // A short ramp in; then the drive rounds the body into a punchier, fuller wave.
        level *= std::min(1.0, t / 0.0004) * tailFade(t, kickSeconds, 0.03);
        double click = clickTone.low(random.bipolar()) * std::exp(-t / 0.0025) * 0.35;
        sound.add(n, 0.9 * (saturate(1.7 * body * level) / saturate(1.7) + click));
    }
    return sound;
}

StereoBuffer makeClap(uint64_t seed)
{
    Random random(seed);
    StateVariableFilter bandLeft, bandRight;
    bandLeft.setup(1250.0, 0.8);
    bandRight.setup(1350.0, 0.8);
    StateVariableFilter highLeft, highRight;
    highLeft.setup(2600.0, 1.2);
    highRight.setup(2600.0, 1.2);
    // Three short slaps, then the tail of the last one.
    const std::array<size_t, 3> burstStarts = {0, framesOf(0.0085), framesOf(0.017)};
    std::array<Decay, 3> bursts = {Decay(0.0035), Decay(0.0035), Decay(0.075)};
    const double length = 0.5;
    StereoBuffer sound(framesOf(length));
    for (size_t n = 0; n < sound.frames(); ++n) {
        double level = 0.0;
        for (size_t i = 0; i < bursts.size(); ++i)
            if (n >= burstStarts[i])
                level = std::max(level, bursts[i].next());
        level *= 0.45 * tailFade(secondsAt(n), length, 0.05);
        double left = random.bipolar(), right = random.bipolar();
        double l = bandLeft.band(left) * 1.8 + highLeft.high(left) * 0.6;
        double r = bandRight.band(right) * 1.8 + highRight.high(right) * 0.6;
        sound.addStereo(n, level * l, level * r);
    }
    return sound;
}

StereoBuffer makeSnare(uint64_t seed)
{
    Random random(seed);
    StateVariableFilter noiseBand;
    noiseBand.setup(2400.0, 1.1);
    Decay bodyLevel(0.045), noiseLevel(0.07), pitchDrop(0.01);
    double phase = 0.0;
    const double length = 0.3;
    StereoBuffer sound(framesOf(length));
    for (size_t n = 0; n < sound.frames(); ++n) {
        double t = secondsAt(n);
        double body = sineOfTurns(phase) * bodyLevel.next();
        phase += (178.0 + 60.0 * pitchDrop.next()) * synthSecondsPerSample;
        double noise = noiseBand.band(random.bipolar()) * noiseLevel.next();
        double value = (0.6 * body + 1.3 * noise) * std::min(1.0, t / 0.0005)
                       * tailFade(t, length, 0.04);
        sound.add(n, 0.4 * value);
    }
    return sound;
}

StereoBuffer makeHat(double decaySeconds, uint64_t seed)
{
    // Ringing partials over a noise wash. The lowest partial sits at 4.4 kHz, where the
    // picture's camera listens for its zoom, so the hats open the view on the off-beats;
    // the one near 10.9 kHz, which rolls the camera, is kept faint.
    struct Partial {
        double hz;
        double level;
        double decayScale;
    };
    static constexpr std::array<Partial, 6> partials = {{
        {4395.0, 0.75, 1.0},
        {5960.0, 0.30, 0.8},
        {7655.0, 0.35, 0.7},
        {9320.0, 0.25, 0.6},
        {10890.0, 0.30, 0.5},
        {12530.0, 0.12, 0.45},
    }};
    Random random(seed);
    // The wash is noise between 7 and 12 kHz: white noise left open above would put most of
    // its power in the top octave and make the hats hiss.
    StateVariableFilter highPass, presence, air;
    highPass.setup(7000.0, 1.0);
    presence.setup(10000.0, 0.7);
    air.setup(12000.0, 1.2);
    std::array<double, partials.size()> phases{};
    std::vector<Decay> rings;
    for (size_t i = 0; i < partials.size(); ++i) {
        phases[i] = random.unit();
        rings.emplace_back(decaySeconds * partials[i].decayScale);
    }
    Decay level(decaySeconds);
    double length = std::min(decaySeconds * 5.0, 1.0);
    StereoBuffer sound(framesOf(length));
    for (size_t n = 0; n < sound.frames(); ++n) {
        double t = secondsAt(n);
        double ring = 0.0;
        for (size_t i = 0; i < partials.size(); ++i) {
            ring += partials[i].level * rings[i].next() * sineOfTurns(phases[i]);
            phases[i] += partials[i].hz * synthSecondsPerSample;
        }
        double top = air.low(highPass.high(random.bipolar()));
        double wash = (top + 0.5 * presence.band(top)) * level.next();
        double value = (ring + 0.6 * wash) * std::min(1.0, t / 0.0008);
        sound.add(n, 0.5 * value * tailFade(t, length, 0.02));
    }
    return sound;
}

StereoBuffer makeCrash(uint64_t seed)
{
    Random random(seed);
    MetalOscillators metalLeft(random), metalRight(random);
    // Two high-passes in series: the crash fills the top and keeps clear of the middle.
    std::array<StateVariableFilter, 4> highPasses;
    for (auto& filter : highPasses)
        filter.setup(6500.0, 1.0);
    StateVariableFilter airLeft, airRight;
    airLeft.setup(13000.0, 1.2);
    airRight.setup(13000.0, 1.2);
    Decay decay(0.55);
    const double length = 3.0;
    StereoBuffer sound(framesOf(length));
    for (size_t n = 0; n < sound.frames(); ++n) {
        double t = secondsAt(n);
        double level = 0.2 * decay.next() * std::min(1.0, t / 0.001) * tailFade(t, length, 0.3);
        double left = 0.5 * random.bipolar() + 0.8 * metalLeft.next(5.3);
        double right = 0.5 * random.bipolar() + 0.8 * metalRight.next(5.9);
        left = airLeft.low(highPasses[1].high(highPasses[0].high(left)));
        right = airRight.low(highPasses[3].high(highPasses[2].high(right)));
        sound.addStereo(n, level * left, level * right);
    }
    return sound;
}

void renderReverseCymbal(StereoBuffer& out, size_t endFrame, double seconds, double velocity,
                         uint64_t seed)
{
    Random random(seed);
    std::array<StateVariableFilter, 4> highPasses;
    for (auto& filter : highPasses)
        filter.setup(5500.0, 1.0);
    StateVariableFilter airLeft, airRight;
    airLeft.setup(12000.0, 1.2);
    airRight.setup(12000.0, 1.2);
    size_t frames = framesOf(seconds);
    size_t start = endFrame >= frames ? endFrame - frames : 0;
    // A decay run backwards: it grows by the same factor per sample as a decay falls.
    double level = std::exp(-secondsAt(endFrame - start) / (0.3 * seconds));
    double growth = std::exp(synthSecondsPerSample / (0.3 * seconds));
    for (size_t n = start; n < endFrame; ++n) {
        double left = airLeft.low(highPasses[1].high(highPasses[0].high(random.bipolar())));
        double right = airRight.low(highPasses[3].high(highPasses[2].high(random.bipolar())));
        out.addStereo(n, 0.22 * velocity * level * left, 0.22 * velocity * level * right);
        level *= growth;
    }
}

void renderRiser(StereoBuffer& out, size_t frame, double seconds, double velocity,
                 uint64_t seed)
{
    Random random(seed);
    StateVariableFilter left, right;
    size_t frames = framesOf(seconds);
    for (size_t n = 0; n < frames; ++n) {
        double progress = double(n) / double(frames);
        if (n % 32 == 0) {
            double hz = 350.0 * std::pow(20.0, progress * progress);
            left.setup(hz, 0.5);
            right.setup(hz * 1.06, 0.5);
        }
        double level = progress * progress * tailFade(secondsAt(n), seconds, 0.01);
        out.addStereo(frame + n, 0.3 * velocity * level * left.band(random.bipolar()),
                      0.3 * velocity * level * right.band(random.bipolar()));
    }
}

// ---- Tuned instruments -------------------------------------------------------------------------

void renderBass(StereoBuffer& out, const ToneNote& note, double brightness)
{
    const Envelope shape{0.003, 0.25, 0.75, 0.025};
    EnvelopeRun envelope(shape, note.gateSeconds);
    double hz = keyHz(note.key);
    SawOscillator sawA(0.0), sawB(0.5);
    StateVariableFilter lowPass;
    Decay opening(0.09);
    double phase = 0.0;
    size_t frames = framesOf(shape.length(note.gateSeconds));
    for (size_t n = 0; n < frames; ++n) {
        double open = opening.next();
        if (n % 16 == 0)
            lowPass.setup(hz * (2.0 + brightness * 14.0 * open), 1.0);
        double saws = 0.5 * (sawA.next(hz) + sawB.next(hz * 1.006));
        double sine = sineOfTurns(phase);
        phase += hz * synthSecondsPerSample;
        double value = lowPass.low(saws) + 0.6 * sine;
        value = saturate(1.4 * value * envelope.next());
        out.add(note.frame + n, 0.34 * note.velocity * value);
    }
}

void renderPadNote(StereoBuffer& out, const ToneNote& note, uint64_t seed)
{
    static constexpr std::array<double, 5> detuneCents = {-14.0, -6.0, 0.0, 7.0, 13.0};
    static constexpr std::array<double, 5> pans = {-0.85, 0.45, 0.0, -0.45, 0.85};
    const Envelope shape{0.35, 1.0, 1.0, 0.35};
    EnvelopeRun envelope(shape, note.gateSeconds);
    Random random(seed);
    std::array<SawOscillator, 5> saws;
    std::array<double, 5> hz{};
    std::array<Pan, 5> places;
    for (size_t i = 0; i < saws.size(); ++i) {
        saws[i] = SawOscillator(random.unit());
        hz[i] = keyHz(note.key + detuneCents[i] / 100.0);
        places[i] = Pan(pans[i]);
    }
    size_t frames = framesOf(shape.length(note.gateSeconds));
    for (size_t n = 0; n < frames; ++n) {
        double level = 0.08 * note.velocity * envelope.next();
        double left = 0.0, right = 0.0;
        for (size_t i = 0; i < saws.size(); ++i) {
            double value = saws[i].next(hz[i]);
            left += places[i].left * value;
            right += places[i].right * value;
        }
        out.addStereo(note.frame + n, level * left, level * right);
    }
}

void renderPluck(StereoBuffer& out, const ToneNote& note, double brightness, double pan,
                 uint64_t seed)
{
    const Envelope shape{0.002, 0.22, 0.0, 0.08};
    EnvelopeRun envelope(shape, note.gateSeconds);
    Random random(seed);
    double hz = keyHz(note.key);
    SawOscillator saw(random.unit()), square(random.unit());
    StateVariableFilter lowPass;
    Decay closing(0.07);
    Pan place(pan);
    size_t frames = framesOf(shape.length(note.gateSeconds));
    for (size_t n = 0; n < frames; ++n) {
        double open = closing.next();
        if (n % 16 == 0)
            lowPass.setup(350.0 + brightness * 3200.0 * open, 0.7);
        double value = lowPass.low(saw.next(hz) + 0.5 * square.nextSquare(hz * 1.003));
        out.add(note.frame + n, 0.2 * note.velocity * value * envelope.next(), place);
    }
}

void renderLead(StereoBuffer& out, const ToneNote& note, double brightness, uint64_t seed)
{
    const Envelope shape{0.008, 0.35, 0.7, 0.12};
    EnvelopeRun envelope(shape, note.gateSeconds);
    Random random(seed);
    double hz = keyHz(note.key);
    SawOscillator sawLeft(random.unit()), sawRight(random.unit()), square(random.unit());
    StateVariableFilter lowLeft, lowRight;
    Decay opening(0.15);
    size_t frames = framesOf(shape.length(note.gateSeconds));
    for (size_t n = 0; n < frames; ++n) {
        double t = secondsAt(n);
        double open = opening.next();
        if (n % 16 == 0) {
            double cutoff = hz * (2.5 + brightness * (3.0 + 4.0 * open));
            lowLeft.setup(cutoff, 1.0);
            lowRight.setup(cutoff, 1.0);
        }
        // Vibrato grows in after a quarter second, as a player would add it.
        double vibratoDepth = 0.0025 * std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
        double bend = 1.0 + vibratoDepth * sineOfTurns(5.3 * t);
        double shared = 0.35 * square.nextSquare(hz * 0.5 * bend);
        double left = lowLeft.low(sawLeft.next(hz * bend * 0.9954) + shared);
        double right = lowRight.low(sawRight.next(hz * bend * 1.0046) + shared);
        double level = 0.16 * note.velocity * envelope.next();
        out.addStereo(note.frame + n, level * left, level * right);
    }
}

void renderStab(StereoBuffer& out, size_t frame, const std::vector<int>& keys, double velocity,
                uint64_t seed)
{
    const Envelope shape{0.002, 0.3, 0.0, 0.2};
    const double gate = 0.6;
    EnvelopeRun envelope(shape, gate);
    Random random(seed);
    struct Voice {
        SawOscillator saw;
        double hz;
        bool onLeft;
    };
    std::vector<Voice> voices;
    for (int key : keys)
        for (double cents : {-9.0, 9.0})
            voices.push_back({SawOscillator(random.unit()), keyHz(key + cents / 100.0),
                              cents < 0});
    StateVariableFilter lowLeft, lowRight;
    Decay closing(0.12);
    size_t frames = framesOf(shape.length(gate));
    double gain = 0.12 * velocity / std::sqrt(double(keys.size()));
    for (size_t n = 0; n < frames; ++n) {
        double open = closing.next();
        if (n % 16 == 0) {
            double cutoff = 700.0 + 4200.0 * open;
            lowLeft.setup(cutoff, 0.9);
            lowRight.setup(cutoff, 0.9);
        }
        double left = 0.0, right = 0.0;
        for (auto& voice : voices)
            (voice.onLeft ? left : right) += voice.saw.next(voice.hz);
        double level = gain * envelope.next();
        out.addStereo(frame + n, level * lowLeft.low(left), level * lowRight.low(right));
    }
}

void renderBell(StereoBuffer& out, const ToneNote& note, double pan)
{
    const Envelope shape{0.001, 1.1, 0.0, 0.3};
    EnvelopeRun envelope(shape, note.gateSeconds);
    double hz = keyHz(note.key);
    Decay brightness(0.25);
    Pan place(pan);
    double carrier = 0.0, modulator = 0.0;
    size_t frames = framesOf(shape.length(note.gateSeconds));
    for (size_t n = 0; n < frames; ++n) {
        double index = 0.4 + 2.2 * brightness.next();
        double value = sineOfTurns(carrier + index / twoPi * sineOfTurns(modulator));
        carrier += hz * synthSecondsPerSample;
        modulator += 2.0 * hz * synthSecondsPerSample;
        carrier -= std::floor(carrier);
        modulator -= std::floor(modulator);
        out.add(note.frame + n, 0.13 * note.velocity * value * envelope.next(), place);
    }
}

} // namespace tincrates::cratesmith
