#include "PulseAccents.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

namespace kelo {

namespace {

constexpr std::size_t kSpan = 6;  // pulses: the least common multiple of 2 and 3
// See secondBeatLeftEmpty and accentFallsOnTheThirdBeat: the bass on a
// beat that sounds against the empty second, and on three against one.
constexpr double kLeastBassOverTheEmptyBeat = 2.0;
constexpr double kLeastBassOnThreeOverOne = 0.01;
// The beat tracker's fastest beat; pulses faster than this are not beats.
constexpr double kMostBeatsPerMinute = 200.0;
// Tracker beats this fast or faster may be a slow song's eighths (see
// trackerBeatsAreHalfBeats); a ballad at 56 has them at 112.
constexpr double kLeastEighthsPerMinute = 110.0;
// Of the tracker's beats two by two, the weaker's rise against the
// stronger's: 0.13-0.21 over ballads' eighths (4/4 at 56-79) and 0.18-0.38
// over waltz arpeggios' (79 and 98), that the tracker gave at 112-196 a
// minute; 0.39 or more over swing and 0.54 or more over pop songs' beats,
// 0.45-0.49 over a brushed 4/4 groove's at 150-180 BPM, whose eighths sound
// between its beats. At most 0.001 where the tracker's beats fall between
// the eighths of a jig, every second on nothing.
constexpr double kMostRiseOnTheHalfBeats = 0.5;
constexpr double kLeastRiseOnTheHalfBeats = 0.05;
// The same of the bass bands: 0.10-0.26 over those ballads and arpeggios,
// whose bass plays on the beats; 0.79 or more under swing's walking bass,
// 0.39 or more under pop and rock songs' beats at 109-116.
constexpr double kMostBassOnTheHalfBeats = 1.0 / 3.0;
// The pitch-class rise (see PitchRise) on the stronger of those beats: 0.34
// or more on each of 253 songs of ours and of the test-song kit whose
// tracker beats came that fast (1.16 to 2.2 on the eighths above), 0.04 at
// most on a rock drum groove's beats at 150-180 BPM, whose backbeat rose
// 0.09 times its downbeat. It grows with the square root of the level: the
// ballad and the arpeggio waltz 20 dB quieter still pass; that groove,
// peaking at -4 dBFS, would pass only 28 dB louder.
constexpr double kLeastPitchRiseOnTheBeats = 0.2;
// Between a compound meter's accents the rise was at most an eighth of the
// accents' (19 compound songs accented on every third pulse, 6/8, 9/8 and
// 12/8 at 44-96 dotted beats a minute; most under a tenth); between the
// beats of waltzes whose pulses are their beats it was 0.15 or more, over
// a sustained pad less.
constexpr double kLeastBeatShare = 1.0 / 7.0;

// Measured on the songs of ours whose pulses the accents took for a
// compound meter's eighths, against the bass's largest folded mean:
// - its beat contrast of a grouping of two: 0.81 on the one jazz waltz
//   among them, 0.11 on a 5 s clip of 4/4 stabs, at most 0.0 on 113
//   songs in 6/8, 9/8 and 12/8, whose bass plays once a bar or on the
//   dotted beats;
constexpr double kLeastBassBeatContrast = 0.25;
// Measured on recordings under four bars of 12/8 whose pitch accents say
// three pulses a beat: 4/4 stab clips of 5-8 s at 112-116 BPM 0.125 to
// 0.25 (their kick and snare on the beats), 6/8 clips of 5-9 s (long-short
// eighths and arpeggios at 57-96 dotted BPM, 40 clips) -0.52 to 0.018.
constexpr double kLeastOnsetTwosOverThrees = 0.07;
// Measured on recordings of four bars of 12/8 or more whose accents say
// three pulses a beat and whose periodicity says a compound meter: 0.80 or
// more under the 4/4 songs in sixteenths whose onsets accent every second
// pulse; 0.28 under a swing band whose triplet eighths' onsets do (its
// hits), 0.34-0.36 under 12/8 shuffles at 38 that do (the long-short
// eighths). Halfway between. Of 40 compound songs whose onsets are this
// even, none accents every second pulse (-0.11 at most, the limit 0.07).
constexpr double kLeastOnsetOnEveryPulse = 0.6;
// Measured on recordings of four bars of 12/8 or more whose accents say
// two pulses a beat and whose periodicity says a compound meter: at most
// 0.10 over 193 songs read rightly in a simple meter (the most under a 4/4
// song whose bass repeats a figure every dotted quarter, 0.09 at most
// under waltzes); 0.20-0.31 over swing band songs whose pulses are triplet
// eighths, with their hits in quarter-note triplets. Halfway between.
// Compound arpeggios spread over both sides, 0.09-0.21.
constexpr double kLeastOnsetThreesContrast = 0.15;
// - its mean rise between those beats: 0.005 on that waltz; a bass that
//   rises between its beats is not walking them.
constexpr double kMostBassBetween = 0.125;

// The difference between the halves of six pulses, of what the pulses
// between the accents rise in all: 0.97 on the jazz waltz read from its
// eighths; at most 0.73 on the 108 songs of ours whose pulses were taken
// for beats (96 of them waltzes; the most, oom-pahs whose bass alternates
// root and fifth), at most 0.28 on those whose bass bands also rise on
// every second pulse (a walking bass on every beat under a two-bar
// harmony).
constexpr double kLeastHalfBarDifference = 0.5;

// The octave profile's second and third bands, where bass notes and the
// kick drum sit; the first is below any bass note.
constexpr std::size_t kFirstBassBand = 1;
constexpr std::size_t kBassBands = 2;
// Measured on the 33 waltzes of ours and of the test-song kit whose pulses
// were taken for their beats: where the bass plays once a bar its beat
// stood out 357 times or more; where the beat that stood out most was not
// the downbeat (walking basses, a kick on three) it did so at most 1.72
// times.
constexpr double kBassDownbeatMargin = 8.0;

// Over the accents every third pulse, the rise on one parity against the
// other. Of the bass bands: at most 11.1 on the 45 waltzes whose pulses
// were rightly taken for their beats (a swing waltz whose bass note holds
// over two bars), 83 or more on three 12/8 arpeggios at 54-64 dotted BPM
// whose pulses were taken so too. Of every band: at most 1.79 on those
// waltzes, 3.19 to 6.75 on the arpeggios. No waltz came near both.
constexpr double kPairedAccentBass = 25.0;
constexpr double kPairedAccentSound = 2.4;

// Where the pulses are the beats of an oom-pah whose chords of two and
// three are too soft for kLeastBeatShare, measured on 27 such oom-pahs of
// ours at 120-178 BPM against every compound song of ours (6/8, 9/8 and
// 12/8: arpeggios over a bass once a bar or on every dotted beat, jigs,
// blues shuffles, long-short patterns) whose pulses are its eighths:
// - of the new sound on the pulses between the accents, the bass bands'
//   share against their share on the accents: at most 0.095 on the
//   oom-pahs (what their chords leave in the bass bands), 0.166 or more
//   on the compound songs whose bass sounds on three accents of four, and
//   0.252 or more on those with new pitches as below (a 12/8 blues' riff);
constexpr double kMostBassShareBetween = 0.2;
// - of the accents, those on which the bass bands rise by a fifth of
//   their mean rise there or more: 0.85 or more on the oom-pahs, whose
//   bass plays every bar; at most 0.5 on the compound songs that passed
//   the share above but one, whose bass plays once a bar (every second,
//   third or fourth accent), and that one brings new pitches as below 0.32;
constexpr double kLeastAccentBass = 0.2;
constexpr double kLeastAccentsWithBass = 0.75;
// - the new pitches on the pulses between against the accent's: 1.19 or
//   more on the oom-pahs (the chords first sound on two), 0.49 to 1.08 on
//   the compound arpeggios over a bass once a bar, which only the bass's
//   rule keeps out, and 0.32 on the one that passed both rules above.
constexpr double kLeastPitchShareBetween = 0.8;

// Where the tracker's beats are the eighths of a slow compound meter and
// its pulses halve them, measured on 625 songs of ours and of the
// test-song kit whose pulses come faster than any beat:
// - the pulses between the tracker's beats brought at most 0.10 of the
//   rise in the four such songs (12/8 blues shuffles at 44 and 48, jigs in
//   6/8 at 42 and 9/8 at 48; so did eight 12/8 blues at 40 to 51 made by
//   the test-song kit's composer), and up to 0.14 in the others;
constexpr double kMostRiseOffTheBeats = 0.15;
// - of each three of its beats (the first where one beat rises most), the
//   third brought 2.1 to 19 times the second's rise in all bands and 2.6 to
//   11 times in the bass bands: the long-short of a shuffle or a jig. In
//   waltzes (the beats of the bar) and in 4/4 songs it was at most 1.16 in
//   one or the other but arpeggio waltzes, whose bass plays once a bar
//   (below);
constexpr double kLeastLongOverShort = 1.5;
// - the bass bands' rise on the third of the three against the first's: 0.32
//   or more in those songs, at most 0.08 in the arpeggio waltzes.
constexpr double kLeastBassOnTheShort = 0.25;

// The rise of bands `from` .. `to` - 1 at each pulse over the pulse
// before, summed (only increases count: a note that starts, not one that
// fades); 0 for the first pulse.
std::vector<double> bandRises(const std::vector<FeatureVector>& rows, std::size_t from, std::size_t to) {
  std::vector<double> rises(rows.size(), 0.0);
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::size_t bands = std::min({rows[i].size(), rows[i - 1].size(), to});
    for (std::size_t b = from; b < bands; ++b) rises[i] += std::max(0.0, rows[i](b) - rows[i - 1](b));
  }
  return rises;
}

// How far the beats of a grouping of `count` pulses starting at `phase`
// stand out from the pulses between them, in the rises folded onto six
// positions, with the strongest of the beats, the downbeat, set aside.
double beatContrast(const std::vector<double>& m, std::size_t count, std::size_t phase) {
  double beats = 0.0, strongest = 0.0, between = 0.0;
  std::size_t beatCount = 0;
  for (std::size_t k = 0; k < kSpan; ++k) {
    if ((k + kSpan - phase) % count == 0) {
      beats += m[k];
      strongest = beatCount == 0 ? m[k] : std::max(strongest, m[k]);
      ++beatCount;
    } else {
      between += m[k];
    }
  }
  return (beats - strongest) / static_cast<double>(beatCount - 1) -
         between / static_cast<double>(kSpan - beatCount);
}

// The beat contrast of a grouping of `count` pulses at its best phase.
double bestBeatContrast(const std::vector<double>& m, std::size_t count) {
  double best = beatContrast(m, count, 0);
  for (std::size_t phase = 1; phase < count; ++phase) best = std::max(best, beatContrast(m, count, phase));
  return best;
}

// The mean rise of the bass bands on the accents every third pulse (at
// phase `accent` of `first + i` mod 3) and on the two pulses after them.
struct BassOfThree {
  double accent, second, third;
};

// None with fewer than two spans of six pulses or `accent` outside 0..2.
std::optional<BassOfThree> bassFromTheAccent(const std::vector<double>& bass, std::uint32_t first, int accent) {
  if (accent < 0 || accent > 2 || bass.size() < 2 * kSpan) return std::nullopt;
  const std::vector<double> m = foldedMeans(bass, first, 3);
  const auto at = [&](int k) { return m[static_cast<std::size_t>((accent + k) % 3)]; };
  return BassOfThree{at(0), at(1), at(2)};
}

}  // namespace

std::vector<double> foldedMeans(const std::vector<double>& rises, std::uint32_t first, std::size_t span) {
  std::vector<double> sum(span, 0.0);
  std::vector<int> n(span, 0);
  for (std::size_t i = 0; i < rises.size(); ++i) {
    const std::size_t k = (first + static_cast<std::uint32_t>(i)) % span;
    sum[k] += rises[i];
    ++n[k];
  }
  for (std::size_t k = 0; k < span; ++k) sum[k] = n[k] > 0 ? sum[k] / n[k] : 0.0;
  return sum;
}

std::vector<double> pulseRises(const std::vector<FeatureVector>& rows) {
  return bandRises(rows, 0, std::numeric_limits<std::size_t>::max());
}

std::vector<double> bassRises(const std::vector<FeatureVector>& rows) {
  return bandRises(rows, kFirstBassBand, kFirstBassBand + kBassBands);
}

int strongestGroupingPhase(const std::vector<double>& rises, std::uint32_t first, int count) {
  if (count < 1 || rises.size() < 2 * static_cast<std::size_t>(count)) return -1;
  std::vector<double> sum(static_cast<std::size_t>(count), 0.0);
  for (std::size_t i = 0; i < rises.size(); ++i)
    sum[(first + static_cast<std::uint32_t>(i)) % static_cast<std::uint32_t>(count)] += rises[i];
  return static_cast<int>(std::max_element(sum.begin(), sum.end()) - sum.begin());
}

int accentedPulsesPerBeat(const std::vector<double>& rises, std::uint32_t first) {
  if (rises.size() < 2 * kSpan) return 2;
  const std::vector<double> m = foldedMeans(rises, first, kSpan);
  const double twos = bestBeatContrast(m, 2);
  const double threes = bestBeatContrast(m, 3);
  return threes > twos ? 3 : 2;
}

bool onsetsAccentEverySecondPulse(const std::vector<double>& onsets, std::uint32_t first) {
  if (onsets.size() < 2 * kSpan) return false;
  const std::vector<double> m = foldedMeans(onsets, first, kSpan);
  const double most = *std::max_element(m.begin(), m.end());
  const double twos = bestBeatContrast(m, 2);
  const double threes = bestBeatContrast(m, 3);
  return most > 0.0 && twos - threes > kLeastOnsetTwosOverThrees * most;
}

bool somethingStartsOnEveryPulse(const std::vector<double>& onsets, std::uint32_t first) {
  if (onsets.size() < 2 * kSpan) return false;
  const std::vector<double> m = foldedMeans(onsets, first, kSpan);
  const double most = *std::max_element(m.begin(), m.end());
  return most > 0.0 && *std::min_element(m.begin(), m.end()) >= kLeastOnsetOnEveryPulse * most;
}

bool onsetsAccentEveryThirdPulse(const std::vector<double>& onsets, std::uint32_t first) {
  if (onsets.size() < 2 * kSpan) return false;
  const std::vector<double> m = foldedMeans(onsets, first, kSpan);
  const double most = *std::max_element(m.begin(), m.end());
  const double threes = bestBeatContrast(m, 3);
  return most > 0.0 && threes >= kLeastOnsetThreesContrast * most;
}

bool bassWalksEverySecondPulse(const std::vector<double>& bass, std::uint32_t first) {
  if (bass.size() < 2 * kSpan) return false;
  const std::vector<double> m = foldedMeans(bass, first, kSpan);
  const double most = *std::max_element(m.begin(), m.end());
  const std::size_t phase = beatContrast(m, 2, 0) >= beatContrast(m, 2, 1) ? 0 : 1;
  const double twos = beatContrast(m, 2, phase);
  const double threes = bestBeatContrast(m, 3);
  const double between = (m[1 - phase] + m[3 - phase] + m[5 - phase]) / 3.0;
  return most > 0.0 && twos >= kLeastBassBeatContrast * most && twos > threes && between <= kMostBassBetween * most;
}

bool halfBarsDiffer(const std::vector<double>& rises, std::uint32_t first, int accent) {
  if (accent < 0 || accent > 2 || rises.size() < 2 * kSpan) return false;
  const std::vector<double> m = foldedMeans(rises, first, kSpan);
  const std::size_t at = static_cast<std::size_t>(accent);
  double all = 0.0, difference = 0.0;
  for (std::size_t k = 1; k < 3; ++k) {
    const double a = m[(at + k) % kSpan], b = m[(at + k + 3) % kSpan];
    all += a + b;
    difference += std::abs(a - b);
  }
  return all > 0.0 && difference >= kLeastHalfBarDifference * all;
}

int risingParity(const std::vector<double>& rises, std::uint32_t first) {
  double sum[2] = {0.0, 0.0};
  for (std::size_t i = 0; i < rises.size(); ++i) sum[(first + i) % 2] += rises[i];
  return sum[1] > sum[0] ? 1 : 0;
}

namespace {

// Whether the pulses of parity `on`, the tracker's beats, carry all but a
// little of the new sound (kMostRiseOffTheBeats of it at most), from the
// rises folded over spans of twelve pulses.
bool nearlyNothingStartsBetweenTheBeats(const std::vector<double>& folded, std::size_t on) {
  double parity[2] = {0.0, 0.0};
  for (std::size_t k = 0; k < folded.size(); ++k) parity[k % 2] += folded[k];
  return parity[on] > 0.0 && parity[1 - on] <= kMostRiseOffTheBeats * (parity[0] + parity[1]);
}

}  // namespace

bool beatsAreLongShortEighths(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                              double pulsesPerMinute) {
  if (!(pulsesPerMinute > kMostBeatsPerMinute)) return false;
  constexpr std::size_t span = 2 * kSpan;
  const std::vector<double> all = foldedMeans(rises, first, span);
  const std::vector<double> low = foldedMeans(bass, first, span);
  const std::size_t on = static_cast<std::size_t>(risingParity(rises, first));
  if (!nearlyNothingStartsBetweenTheBeats(all, on)) return false;
  // The tracker's beats k = 0 .. 5 of the span, and the two of them at the
  // same place in each three.
  const auto beat = [&](const std::vector<double>& m, std::size_t k) { return m[(on + 2 * k) % span]; };
  const auto pair = [&](const std::vector<double>& m, std::size_t k) { return beat(m, k % 3) + beat(m, k % 3 + 3); };
  // Each three opens where the single strongest beat is (the bar's, with
  // its kick): where the short eighth sounds as loud as the long one, the
  // pair of them cannot tell which comes first.
  std::size_t strongest = 0;
  for (std::size_t k = 1; k < 6; ++k)
    if (beat(all, k) > beat(all, strongest)) strongest = k;
  const std::size_t first3 = strongest % 3;
  const double bassLong = pair(low, first3 + 2);
  return pair(all, first3 + 2) >= kLeastLongOverShort * pair(all, first3 + 1) &&
         bassLong >= kLeastLongOverShort * pair(low, first3 + 1) && bassLong > 0.0 &&
         bassLong >= kLeastBassOnTheShort * pair(low, first3);
}

namespace {

// Of the tracker's beats (the pulses of parity `on`), taken two by two,
// the mean of `values` on the first and on the second of each two, and
// the mean rise there.
struct BeatHalves {
  double values[2], rises[2];
  std::size_t stronger() const { return rises[1] > rises[0] ? 1 : 0; }
};

BeatHalves beatHalves(const std::vector<double>& values, const std::vector<double>& rises, std::uint32_t first,
                      std::size_t on) {
  std::vector<double> beatValues, beatRises;
  for (std::size_t i = 0; i < rises.size() && i < values.size(); ++i)
    if ((first + i) % 2 == on) {
      beatValues.push_back(values[i]);
      beatRises.push_back(rises[i]);
    }
  const std::vector<double> v = foldedMeans(beatValues, 0, 2), r = foldedMeans(beatRises, 0, 2);
  return BeatHalves{{v[0], v[1]}, {r[0], r[1]}};
}

}  // namespace

bool trackerBeatsAreHalfBeats(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                              double pulsesPerMinute) {
  if (!(pulsesPerMinute >= 2.0 * kLeastEighthsPerMinute) || rises.size() < 2 * kSpan || bass.size() < rises.size())
    return false;
  const std::size_t on = static_cast<std::size_t>(risingParity(rises, first));
  if (!nearlyNothingStartsBetweenTheBeats(foldedMeans(rises, first, 2 * kSpan), on)) return false;
  const BeatHalves h = beatHalves(bass, rises, first, on);
  const std::size_t strong = h.stronger(), weak = 1 - strong;
  return h.rises[strong] > 0.0 && h.rises[weak] >= kLeastRiseOnTheHalfBeats * h.rises[strong] &&
         h.rises[weak] <= kMostRiseOnTheHalfBeats * h.rises[strong] &&
         h.values[weak] <= kMostBassOnTheHalfBeats * h.values[strong];
}

bool newPitchesOnTheStrongerBeats(const std::vector<double>& pitchRises, const std::vector<double>& rises,
                                  std::uint32_t first) {
  if (rises.size() < 2 * kSpan || pitchRises.size() < rises.size()) return false;
  const BeatHalves h = beatHalves(pitchRises, rises, first, static_cast<std::size_t>(risingParity(rises, first)));
  return h.values[h.stronger()] >= kLeastPitchRiseOnTheBeats;
}

bool accentedEveryThirdPulse(const std::vector<double>& rises, std::uint32_t first, double pulsesPerMinute) {
  return pulsesPerMinute > 0.0 && pulsesPerMinute <= kMostBeatsPerMinute && accentedPulsesPerBeat(rises, first) == 3;
}

bool pulsesAreBeats(const std::vector<double>& rises, std::uint32_t first, double pulsesPerMinute) {
  if (!accentedEveryThirdPulse(rises, first, pulsesPerMinute)) return false;
  const std::vector<double> m = foldedMeans(rises, first, 3);
  const std::size_t accent = static_cast<std::size_t>(std::max_element(m.begin(), m.end()) - m.begin());
  const double between = (m[0] + m[1] + m[2] - m[accent]) / 2.0;
  return m[accent] > 0.0 && between > kLeastBeatShare * m[accent];
}

bool accentsComeInPairs(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                        int accent) {
  if (accent < 0 || accent > 2) return false;
  double bassOf[2] = {0.0, 0.0}, soundOf[2] = {0.0, 0.0};
  std::size_t accents = 0;
  for (std::size_t i = 1; i < bass.size() && i < rises.size(); ++i) {
    if ((first + i) % 3 != static_cast<std::size_t>(accent)) continue;
    bassOf[accents % 2] += bass[i];
    soundOf[accents % 2] += rises[i];
    ++accents;
  }
  if (accents < 4) return false;
  // Means: an odd count of accents gives one parity an accent more.
  for (std::size_t p = 0; p < 2; ++p) {
    const double count = static_cast<double>((accents + 1 - p) / 2);
    bassOf[p] /= count;
    soundOf[p] /= count;
  }
  const std::size_t strong = bassOf[0] >= bassOf[1] ? 0 : 1;
  return bassOf[strong] > 0.0 && bassOf[strong] >= kPairedAccentBass * bassOf[1 - strong] &&
         soundOf[strong] >= kPairedAccentSound * soundOf[1 - strong];
}

bool bassOnTheAccentOnly(const std::vector<double>& bass, const std::vector<double>& rises, std::uint32_t first,
                         int accent) {
  if (accent < 0 || accent > 2) return false;
  const std::vector<double> b = foldedMeans(bass, first, 3);
  const std::vector<double> all = foldedMeans(rises, first, 3);
  const std::size_t at = static_cast<std::size_t>(accent), next = (at + 1) % 3, last = (at + 2) % 3;
  if (!(b[at] > 0.0 && all[at] > 0.0)) return false;
  // Shares cross-multiplied: nothing between the accents passes.
  if ((b[next] + b[last]) * all[at] > kMostBassShareBetween * b[at] * (all[next] + all[last])) return false;
  std::size_t accents = 0, sounded = 0;
  for (std::size_t i = 1; i < bass.size(); ++i) {
    if ((first + i) % 3 != at) continue;
    ++accents;
    if (bass[i] >= kLeastAccentBass * b[at]) ++sounded;
  }
  return static_cast<double>(sounded) >= kLeastAccentsWithBass * static_cast<double>(accents);
}

bool newPitchesBetweenTheAccents(const std::vector<double>& pitchRises, std::uint32_t first, int accent) {
  if (accent < 0 || accent > 2 || pitchRises.size() < kSpan) return false;
  const std::vector<double> m = foldedMeans(pitchRises, first, 3);
  const double at = m[static_cast<std::size_t>(accent)];
  return at > 0.0 && (m[0] + m[1] + m[2] - at) / 2.0 >= kLeastPitchShareBetween * at;
}

bool secondBeatLeftEmpty(const std::vector<double>& bass, std::uint32_t first, int accent) {
  const std::optional<BassOfThree> b = bassFromTheAccent(bass, first, accent);
  return b && b->third > kLeastBassOverTheEmptyBeat * b->second && b->third >= kLeastBassOnThreeOverOne * b->accent;
}

bool accentFallsOnTheThirdBeat(const std::vector<double>& bass, std::uint32_t first, int accent) {
  const std::optional<BassOfThree> b = bassFromTheAccent(bass, first, accent);
  return b && b->second > b->accent && b->second > kLeastBassOverTheEmptyBeat * b->third;
}

int bassDownbeat(const std::vector<double>& bass) {
  // Two bars of three and the pulse before them.
  if (bass.size() < 7) return -1;
  // The first pulse has nothing before it to rise over.
  const std::vector<double> rises(bass.begin() + 1, bass.end());
  const std::vector<double> m = foldedMeans(rises, 1, 3);
  const std::size_t k = static_cast<std::size_t>(std::max_element(m.begin(), m.end()) - m.begin());
  const double others = std::max(m[(k + 1) % 3], m[(k + 2) % 3]);
  if (!(m[k] > 0.0) || m[k] < kBassDownbeatMargin * others) return -1;
  return static_cast<int>(k);
}

std::vector<int> withHalfPulses(const std::vector<int>& pulses, int next) {
  std::vector<int> out;
  out.reserve(2 * pulses.size());
  for (std::size_t i = 0; i < pulses.size(); ++i) {
    out.push_back(pulses[i]);
    const int following = i + 1 < pulses.size() ? pulses[i + 1] : next;
    if (following > pulses[i] + 1) out.push_back(pulses[i] + (following - pulses[i]) / 2);
  }
  return out;
}

}  // namespace kelo
