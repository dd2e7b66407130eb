#pragma once
// Where new sound starts among the beat tracker's pulses, and what that
// says about the beat: in a simple meter the pulses are half beats and the
// notes, bass and drums that start something land on every second pulse;
// in a compound meter the pulses are eighths and they land on every third.
// The chord path cannot tell the two apart (a slice one pulse off still
// holds mostly its own chord), and the periodicity of the features over
// the whole song weighs a strong downbeat as much as the beats, so the
// beat is read from the accents within the bar.

#include <cstdint>
#include <vector>

#include "FrameFeatureExtractor.h"

namespace kelo {

// The mean of `rises` at each of `span` positions, rises[i] at position
// (first + i) mod span; 0 at a position nothing falls on.
std::vector<double> foldedMeans(const std::vector<double>& rises, std::uint32_t first, std::size_t span);

// The rise of pulse i over pulse i-1, summed over the feature dimensions
// (only increases count: a note that starts, not one that fades); 0 for
// the first pulse.
std::vector<double> pulseRises(const std::vector<FeatureVector>& rows);

// The same over the octave profile's second and third bands only, where
// bass notes and the kick drum sit: what the bass tests below read.
std::vector<double> bassRises(const std::vector<FeatureVector>& rows);

// The phase (0 .. count-1, of the pulse index `first + i`) of the grouping
// of `count` pulses that carries the most rise; -1 with fewer than two
// groups of pulses.
int strongestGroupingPhase(const std::vector<double>& rises, std::uint32_t first, int count);

// Pulses per beat, 2 or 3, as the accents within a bar of six pulses (the
// bar both 3/4 and 6/8 fill, two beats of 12/8, and a span over which the
// beats of 4/4 and 9/8 fall on every second or third pulse alike) show
// them. The rises are folded onto six positions. Each grouping is tried at
// each of its phases: its beats (three positions two apart, or two three
// apart) less the strongest of them, which is taken as the downbeat and
// set aside since its accent belongs to the bar, not to the beat, against
// the positions between them. Three pulses a beat only when that grouping
// stands out more; 2 when they tie (nothing but a downbeat to go by, the
// tracker's own beat stays) and with fewer than two bars of six pulses.
int accentedPulsesPerBeat(const std::vector<double>& rises, std::uint32_t first);

// Whether the new sound in all bands (`onsets`, the tracker's onset
// observation at each pulse) accents every second pulse clearly more than
// every third: the kick and snare of a 4/4 groove on its beats, where its
// chords or riff accent every third eighth as a compound bar's would. Its
// beat contrast of a grouping of two over that of three, against the
// largest folded mean, is more than kLeastOnsetTwosOverThrees. False with
// fewer than two spans of six pulses.
bool onsetsAccentEverySecondPulse(const std::vector<double>& onsets, std::uint32_t first);

// Whether something starts on every pulse: the folded onsets' least mean
// is at least kLeastOnsetOnEveryPulse of their largest. A hi-hat or a
// synth bass in sixteenths sounds on every pulse, so that only the drums
// on the beats set pulses apart; a swing band's middle triplet eighth and
// a shuffle's short eighth leave pulses nearly silent, where hits or the
// long-short rhythm accent pulses across the beat. False with fewer than
// two spans of six pulses.
bool somethingStartsOnEveryPulse(const std::vector<double>& onsets, std::uint32_t first);

// Whether the onsets accent every third pulse clearly, whatever they do
// every second: a grouping of three's beat contrast, at its best phase, of
// at least kLeastOnsetThreesContrast of the largest folded mean. The kick
// and snare of a swing band whose pulses are triplet eighths land every
// third pulse, where its hits in quarter-note triplets accent every
// second; a simple meter's onsets every third pulse fall on a beat and
// between two in turn. False with fewer than two spans of six pulses.
bool onsetsAccentEveryThirdPulse(const std::vector<double>& onsets, std::uint32_t first);
// Whether the bass shows pulses that are half beats: it rises on the
// beats of a grouping of two, with the downbeat set aside, by at least a
// quarter of what it rises where it rises most, over what it rises
// between them, and at most an eighth of that between them; and those
// beats stand out more than a grouping of three's.
// A walking bass under a jazz waltz does, where the comping on two's swung
// upbeat accents the pulse on which a 6/8 bar's second dotted beat falls;
// a compound song's bass plays once a bar or on its dotted beats. `bass`
// are the pulses' bassRises.
bool bassWalksEverySecondPulse(const std::vector<double>& bass, std::uint32_t first);

// The parity, 0 or 1, of the pulses `first + i` that rise more in all.
int risingParity(const std::vector<double>& rises, std::uint32_t first);

// Whether the tracker's beats are the eighths of a slow compound meter
// played long-short (a 12/8 blues shuffle, a jig) and its pulses, faster
// than any beat (`pulsesPerMinute`), halve them: nearly nothing starts
// between its beats, and of each three of them the third brings new sound,
// in the bass bands too, where the second brings little. A waltz's beats
// look alike at their tempo but for the long-short: its second beat
// brings as much as its third, or its bass plays once a bar.
bool beatsAreLongShortEighths(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                              double pulsesPerMinute);

// Whether the tracker's beats, faster than a slow song's beat
// (`pulsesPerMinute` its half beats), are the eighths of a simple meter:
// nearly nothing starts between them (a slow song's eighths are rarely
// split), and taken two by two the second brings some new sound but at
// most half the first's, and at most a third of its rise in the bass bands
// (`bass`, the pulses' bassRises): the bass, the tune and the chords on the
// beats, an arpeggio between. A fast 4/4 song's backbeat rises nearly as
// much as its downbeat, its eighths sound between its beats, or its bass
// walks every beat; a fast waltz's beats, accented every third, rise alike
// two by two; the tracker's beats between a jig's eighths bring nothing
// every second. False with fewer than two spans of six pulses.
bool trackerBeatsAreHalfBeats(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                              double pulsesPerMinute);

// Whether the stronger of the tracker's beats taken two by two (by
// `rises`, the pulses' pulseRises) bring new pitches (`pitchRises`, one a
// pulse, see PitchRise): the eighths of a tune, an arpeggio or chords,
// not a fast drum groove's beats, whose kick rises far above its snare as
// a slow song's beats do above the eighths between them. False with fewer
// than two spans of six pulses.
bool newPitchesOnTheStrongerBeats(const std::vector<double>& pitchRises, const std::vector<double>& rises,
                                  std::uint32_t first);

// Whether the pulses between the accents every third pulse, at phase
// `accent` (of `first + i` mod 3, strongestGroupingPhase of three), differ
// from one half of a span of six pulses to the other: by at least half of
// what they rise in all. The beats of a bar of three repeat every three pulses
// (a bass that alternates root and fifth a bar aside); the eighths of a
// 3/4 bar do not, where the comping on two's upbeat gives the accents
// every third pulse: the "and" of one is silent and beat three sounds.
bool halfBarsDiffer(const std::vector<double>& rises, std::uint32_t first, int accent);

// Whether the pulses are the beats themselves. Where every beat of a waltz
// sounds (the oom-pah's chords, a melody note a beat) and nothing sounds
// between them, the tracker takes two beats for one of its own and the
// beats for its half beats; the accents then fall on every third pulse as
// in a compound meter. What sets the two apart is what the pulses between
// the accents carry: a compound meter's are passing eighths, with far less
// new sound than its beats; a waltz's are beats with their own chords and
// notes. So: every third pulse accented, no more pulses a minute than a
// beat can have, and the pulses between the accents rising by more than
// a seventh of the accented ones.
bool pulsesAreBeats(const std::vector<double>& rises, std::uint32_t first, double pulsesPerMinute);

// The first two conditions of pulsesAreBeats: the accents fall on every
// third pulse and the pulses come no faster than a beat can.
bool accentedEveryThirdPulse(const std::vector<double>& rises, std::uint32_t first, double pulsesPerMinute);

// Together, whether the pulses are the beats of an oom-pah that sounds
// its "pah"s softer than pulsesAreBeats looks for (a tune on the
// downbeat, hats on two and three), with the accent every third pulse at
// phase `accent` (of `first + i` mod 3):
// - bassOnTheAccentOnly: the bass plays once a bar, on the accent. It
//   rises on three accents of four or more, by a fifth of its mean rise
//   there, as a bass once a compound bar cannot (every second accent at
//   most); and the new sound of the pulses between holds at most a fifth
//   of the bass bands' share that the accents' holds, where a compound
//   song's bass riff or jig moves between its beats. `bass` and `rises`
//   are the pulses' (bassRises, pulseRises).
// - newPitchesBetweenTheAccents: the pulses between bring new pitches,
//   the chords of two and three, at least four fifths as much as the
//   accent (`pitchRises`, one a pulse, see PitchRise), where a compound
//   arpeggio's passing eighths over a bass on its beats bring less.
bool bassOnTheAccentOnly(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                         int accent);
bool newPitchesBetweenTheAccents(const std::vector<double>& pitchRises, std::uint32_t first, int accent);

// Whether a waltz whose pulses are its beats leaves its second beat empty
// (a half note and a quarter, the bass on one and three): of the two
// pulses between the accents every third pulse (at phase `accent` of
// `first + i` mod 3), the second rises in the bass bands more than twice
// as much as the first, and by at least a hundredth of the accent's rise
// there (in 26 such waltzes of ours, 4.2 times or more, and 0.02 or
// more). The slow shuffles, jigs and 12/8 blues whose eighths the tracker
// gives as pulses at the same rate go the other way, their riff or kick
// on the eighth after the beat (0.0 to 1.0 times); a waltz over a pad
// whose bass plays once a bar has nothing on either. Long-short songs and
// arpeggios over a bass on every dotted beat can pass; their chords, held
// through the compound bar, tell them apart (chordsTurnEveryThreePulses).
// `bass`: the pulses' bassRises. False with fewer than two spans of six
// pulses.
bool secondBeatLeftEmpty(const std::vector<double>& bass, std::uint32_t first, int accent);

// Whether a waltz whose pulses are its beats and that leaves its second
// beat empty has its loudest new sound on its third beat (the chord and
// the bass's fifth there, the bass's root and a kick on one): the bass
// bands rise most on the pulse after the accent, the bar's first beat,
// more than on the accent itself and more than twice as much as on the
// pulse after that (in 9 such waltzes of ours, 1.7 to 9.5 times the
// accent's and 4.1 times or more the next pulse's). A compound bar's bass
// rises most on its beats, the accents: 0.53 times as much on the eighth
// after, at most, in the compound songs whose pulses the tracker gives at
// the same rate. Read with chordsTurnEveryThreePulses, as
// secondBeatLeftEmpty is. `bass`: the pulses' bassRises. False with fewer
// than two spans of six pulses.
bool accentFallsOnTheThirdBeat(const std::vector<double>& bass, std::uint32_t first, int accent);

// Of a waltz whose pulses are its beats (see pulsesAreBeats), the beat
// (pulse index i mod 3) that opens the bar when the bass shows it: the
// rise of the lowest octave bands, where bass and kick drum sound, is on
// that beat at least eight times what it is on either other, as where the
// bass plays once a bar under the chords of two and three. -1 when no beat
// stands out so (a walking bass, a bass on every beat, a kick on three)
// or with fewer than two bars. `bass` are the pulses' bassRises.
int bassDownbeat(const std::vector<double>& bass);

// Whether the accents every third pulse come in pairs, a strong one and a
// weak one: a bass on every second accent only (rising there at least 25
// times as much as on the others) and those accents bringing at least 2.4
// times the new sound of the others. The accents are then the dotted beats
// of a compound bar that the bass opens (an arpeggio in 6/8 or 12/8 over a
// bass once a bar), not the bars of a waltz, which come alike. `bass` and
// `rises` are the pulses' (bassRises, pulseRises), `accent` the accents'
// phase of three (strongestGroupingPhase of three); false without a bass
// on the accents.
bool accentsComeInPairs(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                        int accent);

// The pulses with one more half way between each two, and one after the
// last when `next` (the pulse that follows, beyond the list) is given:
// the half beats of beats that are the pulses.
std::vector<int> withHalfPulses(const std::vector<int>& pulses, int next);

}  // namespace kelo
