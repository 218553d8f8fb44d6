// The soundtrack's composition. A piece in A minor at 128.94 beats per minute, built on the
// progression Am - F - C - G, one chord to a bar of four beats, with a darker middle part
// (Dm - E, F - G - Em - Am) and two builds. Sections change on the beats where the picture
// changes its text; the kick falls on every whole beat from beat 8, where the picture starts
// to flash; the last part fades out with the picture and is silent at beat 232.
#include "tools/cratesmith/sound/music_score.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tincrates::cratesmith {

double Curve::at(double beat) const
{
    if (points.empty())
        return 0.0;
    if (beat <= points.front().first)
        return points.front().second;
    for (size_t i = 1; i < points.size(); ++i)
        if (beat < points[i].first) {
            auto [b0, v0] = points[i - 1];
            auto [b1, v1] = points[i];
            return v0 + (v1 - v0) * (beat - b0) / (b1 - b0);
        }
    return points.back().second;
}

namespace {

// ---- Harmony ---------------------------------------------------------------------------------

struct Chord {
    std::string_view name;
    int root;                      // pitch class, C = 0
    std::array<int, 3> tones;      // pitch classes of the triad
};

constexpr std::array<Chord, 7> chords = {{
    {"Am", 9, {9, 0, 4}},
    {"F", 5, {5, 9, 0}},
    {"C", 0, {0, 4, 7}},
    {"G", 7, {7, 11, 2}},
    {"Dm", 2, {2, 5, 9}},
    {"E", 4, {4, 8, 11}},  // the major dominant, for tension before A minor
    {"Em", 4, {4, 7, 11}},
}};

const Chord& chordNamed(std::string_view name)
{
    for (const Chord& chord : chords)
        if (chord.name == name)
            return chord;
    return chords[0];
}

// One chord per bar of four beats, bar 0 starting at beat 0. "-" is a bar without a held
// chord (the hits, which have chords of their own).
constexpr std::array<std::string_view, 58> barChords = {
    "Am", "F", "Am", "F", "C", "G", "Am", "F", "C", "G", // beats 0-40: intro, groove
    "Am", "F", "C", "G",                                 // 40-56: theme
    "Dm", "E",                                           // 56-64: tension
    "F", "G", "Em", "Am", "F", "G", "Dm", "E",           // 64-96: second theme, build
    "Am", "F", "C", "G", "Am", "F", "C", "G",            // 96-128: chorus
    "F", "G",                                            // 128-136: breakdown
    "Am", "F", "C", "G",                                 // 136-152: last chorus
    "Dm", "F", "G", "-",                                 // 152-168: build, hits
    "Am", "F", "C", "G", "Am", "F",                      // 168-192: afterglow
    "C", "G",                                            // 192-200: credits
    "Am", "F", "C", "G", "Am", "F", "Am", "Am",          // 200-232: fade
};

bool holdsChord(double beat)
{
    auto bar = size_t(std::clamp(beat / 4.0, 0.0, double(barChords.size() - 1)));
    return barChords[bar] != "-";
}

// The chord sounding at `beat`. The second theme's first chord comes half a beat late, with
// the accent at 64.5, so the bar before holds on to its chord until then.
const Chord& chordAt(double beat)
{
    if (beat >= 64.0 && beat < 64.5)
        beat = 63.9;
    auto bar = size_t(std::clamp(beat / 4.0, 0.0, double(barChords.size() - 1)));
    return chordNamed(barChords[bar]);
}

// The keys of `chord` within [lowest, highest), rising.
std::vector<int> keysBetween(const Chord& chord, int lowest, int highest)
{
    std::vector<int> keys;
    for (int key = lowest; key < highest; ++key)
        if (std::find(chord.tones.begin(), chord.tones.end(), key % 12) != chord.tones.end())
            keys.push_back(key);
    return keys;
}

int rootBetween(const Chord& chord, int lowest)
{
    int key = lowest;
    while (key % 12 != chord.root)
        ++key;
    return key;
}

// The pad holds the triad close around middle C, with the root an octave above; every
// chord then moves to the next by a step or two.
std::vector<int> padKeys(const Chord& chord)
{
    auto keys = keysBetween(chord, 55, 67);
    keys.push_back(rootBetween(chord, 67));
    return keys;
}

int bassKey(const Chord& chord) { return rootBetween(chord, 29); } // F1 to E2

std::vector<int> arpeggioKeys(const Chord& chord)
{
    auto keys = keysBetween(chord, 69, 85);
    keys.resize(4);
    return keys;
}

// Moves `key` by `steps` notes of the A minor scale (a third is two steps). Keys outside
// the scale are left where they are.
int scaleStep(int key, int steps)
{
    // A minor's notes, counted from C so that octaves start where MIDI's do.
    static constexpr std::array<int, 7> scale = {0, 2, 4, 5, 7, 9, 11};
    auto found = std::find(scale.begin(), scale.end(), key % 12);
    if (found == scale.end())
        return key;
    int position = int(found - scale.begin()) + steps;
    int octaves = position >= 0 ? position / 7 : (position - 6) / 7;
    return (key / 12 + octaves) * 12 + scale[size_t(position - 7 * octaves)];
}

// ---- Melodies ----------------------------------------------------------------------------------

struct PhraseNote {
    double beat;
    double lengthBeats;
    int key;
};
using Phrase = std::vector<PhraseNote>;

// The theme, four bars over Am - F - C - G: a falling figure in sixteenths grouped 3-3-2
// (the tresillo) that climbs to the fifth over C and leans on the sixth at the end, so it
// wants to go round again.
const Phrase themeA = {
    {0.0, 0.75, 76}, {0.75, 0.75, 74}, {1.5, 0.5, 72}, {2.0, 0.75, 76}, {2.75, 0.75, 72},
    {3.5, 0.5, 69},                                                                  // Am
    {4.0, 0.75, 69}, {4.75, 0.75, 72}, {5.5, 1.0, 77}, {6.5, 0.5, 76}, {7.0, 1.0, 72}, // F
    {8.0, 0.75, 76}, {8.75, 0.75, 74}, {9.5, 0.5, 72}, {10.0, 0.75, 79}, {10.75, 0.75, 76},
    {11.5, 0.5, 72},                                                                 // C
    {12.0, 1.5, 74}, {13.5, 0.5, 71}, {14.0, 0.75, 74}, {14.75, 1.25, 76},            // G
};

// The theme for the chorus, which enters a beat late, after the one-beat pause at 96.
const Phrase chorusTheme = {
    {1.0, 0.5, 76}, {1.5, 0.5, 74}, {2.0, 0.75, 76}, {2.75, 0.75, 72}, {3.5, 0.5, 69}, // Am
    {4.0, 0.75, 69}, {4.75, 0.75, 72}, {5.5, 1.0, 77}, {6.5, 0.5, 76}, {7.0, 1.0, 72}, // F
    {8.0, 0.75, 76}, {8.75, 0.75, 74}, {9.5, 0.5, 72}, {10.0, 0.75, 79}, {10.75, 0.75, 76},
    {11.5, 0.5, 72},                                                                 // C
    {12.0, 1.5, 74}, {13.5, 0.5, 71}, {14.0, 0.75, 74}, {14.75, 1.25, 76},            // G
};

// The theme's answer, which climbs where the theme falls and ends high, on the leading
// note, before the breakdown.
const Phrase themeAnswer = {
    {0.0, 0.75, 76}, {0.75, 0.75, 74}, {1.5, 0.5, 72}, {2.0, 0.75, 76}, {2.75, 0.75, 79},
    {3.5, 0.5, 76},                                                                  // Am
    {4.0, 0.75, 77}, {4.75, 0.75, 76}, {5.5, 1.0, 72}, {6.5, 0.5, 74}, {7.0, 1.0, 76}, // F
    {8.0, 0.75, 79}, {8.75, 0.75, 76}, {9.5, 0.5, 72}, {10.0, 0.75, 79}, {10.75, 0.75, 81},
    {11.5, 0.5, 79},                                                                 // C
    {12.0, 1.5, 79}, {13.5, 0.5, 81}, {14.0, 0.75, 79}, {14.75, 1.25, 83},            // G
};

// The second theme, over F - G - Em - Am: longer notes that climb a chord at a time. Its
// first note is the accent half a beat into its first bar.
const Phrase themeB = {
    {0.5, 1.0, 72}, {1.5, 0.5, 69}, {2.0, 0.5, 72}, {2.5, 1.5, 77},                    // F
    {4.0, 1.5, 74}, {5.5, 0.5, 71}, {6.0, 0.5, 74}, {6.5, 1.5, 79},                    // G
    {8.0, 0.75, 76}, {8.75, 0.75, 79}, {9.5, 1.0, 83}, {10.5, 0.5, 79}, {11.0, 1.0, 76}, // Em
    {12.0, 2.5, 81}, {14.5, 0.5, 79}, {15.0, 1.0, 76},                                 // Am
};

// A quiet figure over Dm - F, before the last build.
const Phrase interlude = {
    {0.0, 1.5, 77}, {1.5, 0.5, 76}, {2.0, 2.0, 74},                                    // Dm
    {4.0, 1.5, 72}, {5.5, 0.5, 74}, {6.0, 2.0, 77},                                    // F
};

void placePhrase(std::vector<Note>& part, const Phrase& phrase, double startBeat,
                 double velocity, int transpose = 0, double fromBeat = 0.0,
                 double untilBeat = 1e9)
{
    for (const PhraseNote& note : phrase)
        if (note.beat >= fromBeat && note.beat < untilBeat)
            part.push_back({startBeat + note.beat, note.lengthBeats, note.key + transpose,
                            velocity});
}

// The phrase a third lower in the scale, for a second voice: under this theme that lands
// on a note of the chord more often than a third above would.
void placeHarmony(std::vector<Note>& part, const Phrase& phrase, double startBeat,
                  double velocity, double fromBeat = 0.0)
{
    for (const PhraseNote& note : phrase)
        if (note.beat >= fromBeat)
            part.push_back({startBeat + note.beat, note.lengthBeats,
                            scaleStep(note.key, -2), velocity});
}

// ---- Arrangement -------------------------------------------------------------------------------

enum class Hats {
    none,
    closed,  // closed hats on the off-beats and quietly between
    offbeat, // an open hat on every off-beat
    full,    // the open off-beat hat with closed sixteenths around it
};

enum class BassLine {
    none,
    held,    // one long note per chord
    offbeat, // a short note on every off-beat
    rolling, // three sixteenths after every kick
};

// What plays from one section change to the next. The boundaries are the beats where the
// picture changes its text.
struct Section {
    double start;
    double end;
    double kick;      // level, 0 for none
    int claps;        // per bar: 0, 2 (on beats two and four) or 4
    Hats hats;
    BassLine bass;
    double pad;       // levels of the pad and the arpeggio, 0 for none
    double arpeggio;
};

constexpr std::array<Section, 27> sections = {{
    {0, 8, 0.0, 0, Hats::none, BassLine::none, 0.9, 0.55},           // intro
    {8, 16, 1.0, 0, Hats::none, BassLine::held, 1.0, 0.6},           // the kick arrives
    {16, 24, 1.0, 0, Hats::offbeat, BassLine::offbeat, 1.0, 0.65},   // hats and bass
    {24, 32, 1.0, 2, Hats::offbeat, BassLine::offbeat, 1.0, 0.7},    // claps
    {32, 40, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.8},       // the groove
    {40, 56, 1.0, 2, Hats::full, BassLine::rolling, 0.9, 0.7},       // theme
    {56, 64.5, 0.95, 0, Hats::closed, BassLine::held, 1.0, 0.85},    // tension
    {64.5, 72, 1.0, 2, Hats::offbeat, BassLine::offbeat, 1.0, 0.7},  // second theme
    {72, 80, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.7},
    {80, 88, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.95},      // arpeggio forward
    {88, 96, 1.0, 0, Hats::closed, BassLine::held, 1.0, 0.8},        // build
    {96, 97, 1.0, 0, Hats::none, BassLine::none, 0.0, 0.0},          // one beat's pause
    {97, 104, 1.0, 2, Hats::full, BassLine::offbeat, 1.0, 0.8},      // chorus
    {104, 112, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.8},     // with a second voice
    {112, 121, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.8},     // the answer
    {121, 128, 1.0, 4, Hats::full, BassLine::rolling, 1.0, 0.9},     // lift
    {128, 136, 0.85, 0, Hats::closed, BassLine::held, 1.0, 0.6},     // breakdown
    {136, 152, 1.0, 2, Hats::full, BassLine::rolling, 1.0, 0.9},     // last chorus
    {152, 160, 0.95, 0, Hats::offbeat, BassLine::held, 1.0, 0.75},   // interlude
    {160, 164, 1.0, 0, Hats::closed, BassLine::none, 1.0, 0.8},      // last build
    {164, 168, 1.0, 0, Hats::none, BassLine::none, 0.0, 0.0},        // five single hits
    {168, 184, 1.0, 2, Hats::offbeat, BassLine::offbeat, 1.0, 0.7},  // afterglow
    {184, 192, 1.0, 2, Hats::full, BassLine::offbeat, 1.0, 0.75},
    {192, 200, 1.0, 2, Hats::closed, BassLine::offbeat, 1.0, 0.6},   // credits
    {200, 216, 0.95, 2, Hats::offbeat, BassLine::offbeat, 1.0, 0.7}, // fade
    {216, 224, 0.9, 0, Hats::closed, BassLine::held, 1.0, 0.6},
    {224, endBeat, 0.85, 0, Hats::none, BassLine::held, 1.0, 0.5},
}};

// Events of a pattern at `offsets` after each whole beat of a section, from its start.
template <typename Place>
void eachBeat(const Section& section, std::initializer_list<double> offsets, Place place)
{
    for (double beat = std::floor(section.start); beat < section.end; beat += 1.0)
        for (double offset : offsets) {
            double at = beat + offset;
            if (at >= section.start && at < section.end)
                place(at);
        }
}

// Spans of the same chord within a section: [start, end) and its chord.
struct ChordSpan {
    double start;
    double end;
    const Chord* chord;
};

std::vector<ChordSpan> chordSpans(const Section& section)
{
    std::vector<ChordSpan> spans;
    double at = section.start;
    while (at < section.end) {
        double next = std::min(section.end, std::floor(at / 4.0) * 4.0 + 4.0);
        if (holdsChord(at)) {
            const Chord* chord = &chordAt(at);
            if (!spans.empty() && spans.back().chord == chord && spans.back().end == at)
                spans.back().end = next;
            else
                spans.push_back({at, next, chord});
        }
        at = next;
    }
    return spans;
}

void arrangeDrums(Score& score, const Section& section)
{
    if (section.kick > 0.0)
        eachBeat(section, {0.0}, [&](double beat) { score.kicks.push_back({beat, section.kick}); });
    if (section.claps == 2)
        eachBeat(section, {0.0}, [&](double beat) {
            if (int(beat) % 2 == 1)
                score.claps.push_back({beat, 1.0});
        });
    if (section.claps == 4)
        eachBeat(section, {0.0}, [&](double beat) {
            score.claps.push_back({beat, int(beat) % 2 == 1 ? 1.0 : 0.7});
        });
    switch (section.hats) {
    case Hats::none:
        break;
    case Hats::closed:
        eachBeat(section, {0.5}, [&](double beat) { score.closedHats.push_back({beat, 0.8}); });
        eachBeat(section, {0.25, 0.75},
                 [&](double beat) { score.closedHats.push_back({beat, 0.4}); });
        break;
    case Hats::offbeat:
        eachBeat(section, {0.5}, [&](double beat) { score.openHats.push_back({beat, 0.85}); });
        break;
    case Hats::full:
        eachBeat(section, {0.5}, [&](double beat) { score.openHats.push_back({beat, 0.9}); });
        eachBeat(section, {0.25, 0.75},
                 [&](double beat) { score.closedHats.push_back({beat, 0.5}); });
        break;
    }
}

void arrangeBass(Score& score, const Section& section)
{
    if (section.bass == BassLine::held) {
        for (const ChordSpan& span : chordSpans(section))
            score.bass.push_back({span.start, span.end - span.start - 0.1,
                                  bassKey(*span.chord), 0.8});
        return;
    }
    auto place = [&](double beat, double length, double velocity, int octave) {
        if (holdsChord(beat))
            score.bass.push_back({beat, length, bassKey(chordAt(beat)) + octave, velocity});
    };
    if (section.bass == BassLine::offbeat)
        eachBeat(section, {0.5}, [&](double beat) { place(beat, 0.35, 1.0, 0); });
    if (section.bass == BassLine::rolling)
        eachBeat(section, {0.25, 0.5, 0.75}, [&](double beat) {
            double offset = beat - std::floor(beat);
            // Every other beat ends its roll an octave up, which keeps the line moving.
            bool leap = offset == 0.75 && int(std::floor(beat)) % 2 == 1;
            place(beat, 0.18, offset == 0.5 ? 1.0 : 0.8, leap ? 12 : 0);
        });
}

void arrangeChords(Score& score, const Section& section)
{
    if (section.pad > 0.0)
        for (const ChordSpan& span : chordSpans(section))
            for (int key : padKeys(*span.chord)) {
                // A note the next chord shares is held over rather than struck again.
                auto held = std::find_if(score.pad.begin(), score.pad.end(), [&](const Note& n) {
                    return n.key == key && n.beat + n.lengthBeats == span.start;
                });
                if (held != score.pad.end())
                    held->lengthBeats += span.end - span.start;
                else
                    score.pad.push_back({span.start, span.end - span.start, key, section.pad});
            }
    if (section.arpeggio > 0.0) {
        // Up through the chord and back in sixteenths: a rolling figure of eight notes.
        static constexpr std::array<size_t, 8> order = {0, 1, 2, 3, 2, 1, 2, 3};
        eachBeat(section, {0.0, 0.25, 0.5, 0.75}, [&](double beat) {
            if (!holdsChord(beat))
                return;
            auto step = size_t(std::lround(beat * 4.0)) % order.size();
            double accent = beat == std::floor(beat) ? 1.0 : 0.75;
            score.arpeggio.push_back({beat, 0.2, arpeggioKeys(chordAt(beat))[order[step]],
                                      section.arpeggio * accent});
        });
    }
}

std::vector<int> stabKeys(std::string_view chordName)
{
    const Chord& chord = chordNamed(chordName);
    auto keys = padKeys(chord);
    keys.push_back(rootBetween(chord, 43));
    return keys;
}

// Fills, builds, accents and the hits: what happens at the section changes.
void arrangeEvents(Score& score)
{
    for (double beat : {8.0, 40.0, 64.5, 80.0, 97.0, 112.0, 121.0, 136.0, 168.0, 192.0})
        score.crashes.push_back({beat, 1.0});
    score.crashes.push_back({144.0, 0.7});

    // The intro swells into the first kick.
    score.risers.push_back({4.0, 8.0, 0.7});
    score.reverseCymbals.push_back({4.0, 8.0, 0.9});

    // Into the second theme: a snare run over the last beat, then the accent half a beat
    // after the bar line, where the new chord arrives.
    score.risers.push_back({60.0, 64.0, 0.6});
    for (int i = 0; i < 4; ++i)
        score.snares.push_back({63.0 + 0.25 * i, 0.6 + 0.12 * i});
    score.stabs.push_back({64.5, stabKeys("F"), 1.0});

    // The build: a snare roll that doubles its pace twice, a rising sweep, then a beat with
    // the kick alone and the chorus landing on the beat after it.
    for (double beat = 88.0; beat < 92.0; beat += 0.5)
        score.snares.push_back({beat, 0.35 + 0.03 * (beat - 88.0)});
    for (double beat = 92.0; beat < 94.0; beat += 0.25)
        score.snares.push_back({beat, 0.5 + 0.08 * (beat - 92.0)});
    for (double beat = 94.0; beat < 96.0; beat += 0.125)
        score.snares.push_back({beat, 0.68 + 0.14 * (beat - 94.0)});
    score.risers.push_back({88.0, 96.0, 0.9});
    score.reverseCymbals.push_back({96.0, 97.0, 0.8});
    score.stabs.push_back({97.0, stabKeys("Am"), 1.0});

    // A triplet fill on the beat before the lift.
    for (int i = 0; i < 3; ++i)
        score.snares.push_back({120.0 + i / 3.0, 0.7 + 0.15 * i});
    score.stabs.push_back({121.0, stabKeys("C"), 0.8});

    // The breakdown rises into the last chorus.
    score.risers.push_back({132.0, 136.0, 0.7});
    score.reverseCymbals.push_back({134.0, 136.0, 0.7});

    // The last build, then five single hits, rising to A minor, each on its own beat.
    for (double beat = 160.0; beat < 164.0; beat += 0.25)
        score.snares.push_back({beat, 0.4 + 0.15 * (beat - 160.0)});
    score.risers.push_back({160.0, 164.0, 0.9});
    constexpr std::array<std::string_view, 5> hitChords = {"F", "G", "Em", "E", "Am"};
    for (size_t i = 0; i < hitChords.size(); ++i) {
        double beat = 164.0 + double(i);
        score.stabs.push_back({beat, stabKeys(hitChords[i]), i == 4 ? 1.1 : 0.9});
        score.bass.push_back({beat, 0.7, bassKey(chordNamed(hitChords[i])), 1.0});
        score.claps.push_back({beat, 0.9});
    }

    // The credits.
    score.reverseCymbals.push_back({190.0, 192.0, 0.6});
}

void arrangeMelodies(Score& score)
{
    placePhrase(score.lead, themeA, 40.0, 0.9);
    placePhrase(score.lead, themeB, 64.0, 0.9);
    placePhrase(score.lead, chorusTheme, 96.0, 1.0);
    placeHarmony(score.lead, chorusTheme, 96.0, 0.45, 8.0);
    placePhrase(score.lead, themeAnswer, 112.0, 1.0);
    placePhrase(score.bells, themeB, 128.0, 0.8, 0, 0.0, 8.0);
    placePhrase(score.lead, themeA, 136.0, 1.0);
    placeHarmony(score.lead, themeA, 136.0, 0.5);
    placePhrase(score.bells, interlude, 152.0, 0.8);
    placePhrase(score.bells, themeA, 168.0, 0.85);
    placePhrase(score.bells, themeA, 184.0, 0.8, 0, 0.0, 8.0);
    // Under the credits the theme's second half, the lead and the bells together.
    placePhrase(score.lead, themeA, 184.0, 0.6, 0, 8.0, 16.0);
    placePhrase(score.bells, themeA, 184.0, 0.8, 0, 8.0, 16.0);
    placePhrase(score.bells, themeA, 200.0, 0.7);
    placePhrase(score.bells, themeA, 216.0, 0.6, 0, 0.0, 8.0);
}

} // namespace

Score composeScore()
{
    Score score;
    for (const Section& section : sections) {
        arrangeDrums(score, section);
        arrangeBass(score, section);
        arrangeChords(score, section);
    }
    arrangeEvents(score);
    arrangeMelodies(score);

    score.padCutoffHz = Curve({{0, 500}, {8, 2400}, {40, 3000}, {56, 2000}, {64, 4000},
                               {64.5, 3200}, {88, 1800}, {96, 6000}, {97, 4000}, {128, 2000},
                               {136, 4200}, {152, 2600}, {164, 5000}, {168, 3200}, {200, 3200},
                               {endBeat, 600}});
    score.arpeggioBrightness = Curve({{0, 0.1}, {8, 0.4}, {32, 0.6}, {40, 0.7}, {88, 0.5},
                                      {96, 1.0}, {97, 0.8}, {128, 0.4}, {136, 0.9}, {168, 0.6},
                                      {endBeat, 0.3}});
    score.bassBrightness = Curve({{8, 0.2}, {24, 0.5}, {40, 0.7}, {97, 0.9}, {128, 0.4},
                                  {136, 0.9}, {168, 0.6}, {endBeat, 0.4}});
    score.masterLevel = Curve({{200, 1.0}, {endBeat, 0.0}});
    return score;
}

} // namespace tincrates::cratesmith
