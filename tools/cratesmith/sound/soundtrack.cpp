// The production's soundtrack: the score played by the synthesiser's voices, mixed part by
// part with ducking under the kick, echo and room, then mastered to a fixed loudness under a
// peak ceiling and encoded.
#include "tools/cratesmith/sound/soundtrack.h"

#include "tools/cratesmith/sound/music_score.h"
#include "tools/cratesmith/sound/synth_effects.h"
#include "tools/cratesmith/sound/synth_voices.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <future>

namespace tincrates::cratesmith {

namespace {

// Seeds of the noise of each part, so that no two hits sound exactly alike and yet every
// run sounds the same.
enum class Part : uint64_t {
    clap = 1, snare, hat, openHat, crash, cymbal, riser, pad, pluck, lead, stab
};

uint64_t seedOf(Part part, size_t index) { return (uint64_t(part) << 32) | uint64_t(index); }

ToneNote toneOf(const Note& note)
{
    return {frameAtBeat(note.beat), secondsOfBeats(note.lengthBeats), double(note.key),
            note.velocity};
}

double beatAtFrame(size_t frame) { return double(frame) / musicSampleRate * beatsPerSecond; }

// Where a part goes besides the dry mix, and how much of it.
struct Sends {
    double reverb = 0.0;
    double delay = 0.0;
};

// Sums the parts, and what they send to the echo and the room. A part is rendered into
// freshPart() and then add()ed.
class Mixer {
public:
    explicit Mixer(size_t frames)
        : mix(frames)
        , part(frames)
    {
    }

    // A silent buffer to render the next part into; the same buffer each time, since a part
    // is done with once it is mixed.
    StereoBuffer& freshPart()
    {
        part.clear();
        return part;
    }

    void add(const StereoBuffer& sound, double level, Sends sends = {})
    {
        mix.mix(sound, level);
        if (sends.reverb > 0.0)
            sendTo(reverbSend).mix(sound, level * sends.reverb);
        if (sends.delay > 0.0)
            sendTo(delaySend).mix(sound, level * sends.delay);
    }

    // Adds what `other` has mixed and sent to this mixer's own. Neither renders parts after
    // this, so their part buffers go.
    void absorb(Mixer& other)
    {
        part = StereoBuffer();
        other.part = StereoBuffer();
        mix.mix(other.mix);
        sendTo(reverbSend).mix(other.reverbSend);
        sendTo(delaySend).mix(other.delaySend);
    }

    // The dry mix with the echo and the room added. The two effects run side by side; the
    // sums come in a fixed order, so the result is the same whichever finishes first.
    StereoBuffer finish()
    {
        auto echo = std::async(std::launch::async, [this] {
            // A dotted eighth: the repeats fall between the sixteenths of the arpeggio.
            PingPongDelay delay;
            delay.delaySeconds = secondsOfBeats(0.75);
            delay.feedback = 0.42;
            return delay.process(sendTo(delaySend));
        });
        StereoBuffer room = Reverb().process(sendTo(reverbSend));
        mix.mix(echo.get(), 0.8);
        mix.mix(room, 0.55);
        return std::move(mix);
    }

private:
    // Send buffers are made on first use; most mixers never need both.
    StereoBuffer& sendTo(StereoBuffer& send)
    {
        if (send.frames() == 0)
            send = StereoBuffer(mix.frames());
        return send;
    }

    StereoBuffer mix;
    StereoBuffer part;
    StereoBuffer reverbSend;
    StereoBuffer delaySend;
};

// Several takes of a drum, played in turn, so that repeated hits do not sound mechanical.
std::vector<StereoBuffer> takes(size_t count, const std::function<StereoBuffer(uint64_t)>& make,
                                Part part)
{
    std::vector<StereoBuffer> sounds;
    for (size_t i = 0; i < count; ++i)
        sounds.push_back(make(seedOf(part, i)));
    return sounds;
}

void renderDrums(const Score& score, Mixer& mixer)
{
    StereoBuffer& kicks = mixer.freshPart();
    StereoBuffer kick = makeKick();
    for (const Hit& hit : score.kicks)
        playSound(kicks, kick, frameAtBeat(hit.beat), hit.velocity);
    mixer.add(kicks, 1.0);

    StereoBuffer& snares = mixer.freshPart();
    auto claps = takes(4, makeClap, Part::clap);
    for (size_t i = 0; i < score.claps.size(); ++i)
        playSound(snares, claps[i % claps.size()], frameAtBeat(score.claps[i].beat),
                  score.claps[i].velocity);
    auto snareTakes = takes(4, makeSnare, Part::snare);
    for (size_t i = 0; i < score.snares.size(); ++i)
        playSound(snares, snareTakes[i % snareTakes.size()], frameAtBeat(score.snares[i].beat),
                  score.snares[i].velocity, Pan(i % 2 == 0 ? -0.15 : 0.15));
    mixer.add(snares, 2.8, {0.3, 0.0});

    StereoBuffer& metal = mixer.freshPart();
    auto closedHats = takes(4, [](uint64_t seed) { return makeHat(0.022, seed); }, Part::hat);
    for (size_t i = 0; i < score.closedHats.size(); ++i)
        playSound(metal, closedHats[i % closedHats.size()],
                  frameAtBeat(score.closedHats[i].beat), score.closedHats[i].velocity,
                  Pan(i % 2 == 0 ? -0.3 : 0.3));
    auto openHats = takes(4, [](uint64_t seed) { return makeHat(0.075, seed); }, Part::openHat);
    for (size_t i = 0; i < score.openHats.size(); ++i)
        playSound(metal, openHats[i % openHats.size()], frameAtBeat(score.openHats[i].beat),
                  score.openHats[i].velocity, Pan(0.15));
    auto crashes = takes(2, makeCrash, Part::crash);
    for (size_t i = 0; i < score.crashes.size(); ++i)
        playSound(metal, crashes[i % crashes.size()], frameAtBeat(score.crashes[i].beat),
                  score.crashes[i].velocity);
    for (size_t i = 0; i < score.reverseCymbals.size(); ++i) {
        const Sweep& sweep = score.reverseCymbals[i];
        renderReverseCymbal(metal, frameAtBeat(sweep.endBeat),
                            secondsOfBeats(sweep.endBeat - sweep.startBeat), sweep.velocity,
                            seedOf(Part::cymbal, i));
    }
    mixer.add(metal, 1.0, {0.08, 0.0});

    StereoBuffer& risers = mixer.freshPart();
    for (size_t i = 0; i < score.risers.size(); ++i) {
        const Sweep& sweep = score.risers[i];
        renderRiser(risers, frameAtBeat(sweep.startBeat),
                    secondsOfBeats(sweep.endBeat - sweep.startBeat), sweep.velocity,
                    seedOf(Part::riser, i));
    }
    mixer.add(risers, 2.0, {0.35, 0.0});
}

void renderTunedParts(const Score& score, Mixer& mixer, const std::vector<size_t>& kickFrames)
{
    StereoBuffer& bass = mixer.freshPart();
    for (const Note& note : score.bass)
        renderBass(bass, toneOf(note), score.bassBrightness.at(note.beat));
    duckUnderKicks(bass, kickFrames, 0.8, 0.09);
    mixer.add(bass, 1.25);

    StereoBuffer& pad = mixer.freshPart();
    for (size_t i = 0; i < score.pad.size(); ++i)
        renderPadNote(pad, toneOf(score.pad[i]), seedOf(Part::pad, i));
    renderPadFilter(pad, [&](size_t frame) { return score.padCutoffHz.at(beatAtFrame(frame)); });
    duckUnderKicks(pad, kickFrames, 0.5, 0.14);
    mixer.add(pad, 0.65, {0.3, 0.0});

    StereoBuffer& arpeggio = mixer.freshPart();
    for (size_t i = 0; i < score.arpeggio.size(); ++i) {
        const Note& note = score.arpeggio[i];
        renderPluck(arpeggio, toneOf(note), score.arpeggioBrightness.at(note.beat),
                    i % 2 == 0 ? -0.35 : 0.35, seedOf(Part::pluck, i));
    }
    duckUnderKicks(arpeggio, kickFrames, 0.35, 0.12);
    mixer.add(arpeggio, 1.3, {0.2, 0.35});

    StereoBuffer& lead = mixer.freshPart();
    for (size_t i = 0; i < score.lead.size(); ++i)
        renderLead(lead, toneOf(score.lead[i]), 0.8, seedOf(Part::lead, i));
    for (size_t i = 0; i < score.bells.size(); ++i)
        renderBell(lead, toneOf(score.bells[i]), i % 2 == 0 ? -0.2 : 0.2);
    duckUnderKicks(lead, kickFrames, 0.2, 0.12);
    mixer.add(lead, 1.5, {0.3, 0.3});

    StereoBuffer& stabs = mixer.freshPart();
    for (size_t i = 0; i < score.stabs.size(); ++i)
        renderStab(stabs, frameAtBeat(score.stabs[i].beat), score.stabs[i].keys,
                   score.stabs[i].velocity, seedOf(Part::stab, i));
    mixer.add(stabs, 1.6, {0.5, 0.2});
}

void applyMasterLevel(StereoBuffer& mix, const Curve& level)
{
    for (size_t n = 0; n < mix.frames(); ++n) {
        double beat = beatAtFrame(n);
        auto gain = float(beat >= endBeat ? 0.0 : level.at(beat));
        mix.left[n] *= gain;
        mix.right[n] *= gain;
    }
}

void scale(StereoBuffer& mix, double gain)
{
    for (size_t n = 0; n < mix.frames(); ++n) {
        mix.left[n] = float(mix.left[n] * gain);
        mix.right[n] = float(mix.right[n] * gain);
    }
}

// Brings the piece to the target loudness under the ceiling. The limiter takes back some
// of the gain, so the loudness is measured again and made up once more.
void master(StereoBuffer& mix)
{
    // The encoded file plays about a quarter of a decibel quieter than the sound given to
    // LAME (a steady tone loses as much as this piece does), so the master is that much
    // louder than the file is meant to be.
    const double encodingLossDb = 0.25;
    double ceiling = std::pow(10.0, soundtrackCeilingDb / 20.0);
    for (int pass = 0; pass < 2; ++pass) {
        double shortfallDb = soundtrackLoudnessLufs + encodingLossDb - integratedLoudness(mix);
        scale(mix, std::pow(10.0, shortfallDb / 20.0));
        limitPeaks(mix, ceiling, 0.003, 0.06);
    }
}

} // namespace

Pcm renderSoundtrack()
{
    Score score = composeScore();
    auto frames = size_t(soundtrackSeconds * musicSampleRate);
    std::vector<size_t> kickFrames;
    for (const Hit& kick : score.kicks)
        kickFrames.push_back(frameAtBeat(kick.beat));
    std::sort(kickFrames.begin(), kickFrames.end());

    // Drums on a thread of their own, the tuned parts on this one; each into its own mixer,
    // so that neither depends on the other's timing.
    Mixer drums(frames), tuned(frames);
    auto drumsDone = std::async(std::launch::async, [&] { renderDrums(score, drums); });
    renderTunedParts(score, tuned, kickFrames);
    drumsDone.get();
    drums.absorb(tuned);
    StereoBuffer mix = drums.finish();
    applyMasterLevel(mix, score.masterLevel);
    master(mix);

    Pcm pcm;
    pcm.samples.resize(frames * 2);
    for (size_t n = 0; n < frames; ++n) {
        pcm.samples[2 * n] = int16_t(std::clamp(std::lround(mix.left[n] * 32767.0), -32767L,
                                                32767L));
        pcm.samples[2 * n + 1] = int16_t(std::clamp(std::lround(mix.right[n] * 32767.0),
                                                    -32767L, 32767L));
    }
    return pcm;
}

std::string makeSoundtrack()
{
    // LAME's quality 3: at this bit rate no different to the ear from 2, and a second faster.
    return encodeMp3(renderSoundtrack(), soundtrackKilobitsPerSecond, 3);
}

} // namespace tincrates::cratesmith
