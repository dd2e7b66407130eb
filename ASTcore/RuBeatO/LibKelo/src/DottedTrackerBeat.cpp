#include "DottedTrackerBeat.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace kelo {

namespace {

// Four bars of the tracker's two beats: fewer say nothing about a pattern
// that repeats every second beat.
constexpr std::size_t kLeastBeats = 8;
// On the tracker's onset observations (normalised, about 4 on a beat it
// placed): every second beat of the waltzes it read by their dotted beats
// sounds 0.17 to 0.59 as much as the others. From two thirds up the
// onsets no longer tell such a waltz from a 4/4 band song whose backbeat
// sounds a little softer than one and three: 0.73 to 0.81 under nine band
// songs of ours at 94-115 BPM whose piano and horns play quarter-note
// triplets over a walking bass (all read at one and a half times their
// tempo while this was 0.85), 0.76 and 0.82 under two oom-pahs at 116 and
// 121 with a hi-hat on two and three. The pitches do not separate them
// either (new pitches at the thirds over those on the weaker beats: up to
// 2.65 under such band songs, from 2.7 under oom-pahs), so there the
// tracker's own beat stands.
constexpr double kMostWeakShare = 2.0 / 3.0;
// Measured (93 ms windows, as below): the oom-pahs read by their dotted
// beats 4.5 to 9.2, their chords new on two and three; the 4/4 and compound
// songs the onsets alone took for such waltzes 0.16 to 1.37. Waltzes over a
// sustained pad (0.76 to 1.52), whose beats bring only a soft tune note,
// stay as the tracker read them.
constexpr double kLeastThirdsOverSixths = 2.5;

constexpr int kEighthsABar = 6;

// The tracker's range starts at 60 a minute; our oom-pahs at 180-188 BPM
// gave it their bars at 60-63, the waltzes up to 175 their beats or
// their dotted beats. A 4/4 or compound song read that slowly (its half
// notes or its dotted beats, up to 70 in our sets) is told apart below.
constexpr double kMostBarsPerMinute = 66.0;
// The tracker's onset observation at the thirds over that between them
// (the most within 36 ms of each point): 1.57 to 1.95 on our oom-pahs at
// 180-188 BPM, 1.40 to 1.52 on compound oom-pah-pahs read by their dotted
// beats (whose chords turn every second beat: chordsTurnEveryTwoPulses);
// 0.70 to 1.02 on 4/4 songs read by their half notes at 60-66 a minute,
// 1.04 at most on waltzes over a pad.
constexpr double kLeastThirdsOverBetween = 1.3;

double meanOf(const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += v;
  return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

int roundedEighth(int barStart, double barLength, int k) {
  return barStart + static_cast<int>(std::lround(barLength * k / kEighthsABar));
}

}  // namespace

int medianGap(const std::vector<int>& ascending) {
  std::vector<int> gaps;
  for (std::size_t i = 1; i < ascending.size(); ++i) gaps.push_back(ascending[i] - ascending[i - 1]);
  std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
  return std::max(1, gaps[gaps.size() / 2]);
}

int strongBeatParity(const std::vector<double>& atBeats) {
  const std::size_t n = atBeats.size();
  if (n < kLeastBeats) return -1;
  double sum[2] = {0.0, 0.0};
  for (std::size_t i = 0; i < n; ++i) sum[i % 2] += atBeats[i];
  const double mean[2] = {sum[0] / static_cast<double>((n + 1) / 2), sum[1] / static_cast<double>(n / 2)};
  const int strong = mean[1] > mean[0] ? 1 : 0;
  return mean[strong] > 0.0 && mean[1 - strong] < kMostWeakShare * mean[strong] ? strong : -1;
}

bool pitchesStartOnTheThirds(const std::vector<double>& atThirds, const std::vector<double>& atSixths) {
  if (atThirds.empty() || atSixths.empty()) return false;
  const double thirds = meanOf(atThirds);
  return thirds > 0.0 && thirds >= kLeastThirdsOverSixths * meanOf(atSixths);
}

bool beatsComeAsSlowlyAsAFastWaltzsBars(double beatsPerMinute) {
  return beatsPerMinute > 0.0 && beatsPerMinute <= kMostBarsPerMinute;
}

bool thirdsCarryNewSound(const std::vector<double>& atThirds, const std::vector<double>& between) {
  const double thirds = meanOf(atThirds);
  return !atThirds.empty() && !between.empty() && thirds > 0.0 && thirds >= kLeastThirdsOverBetween * meanOf(between);
}

// Pitches at the beats over those at the thirds: 0.21 to 0.85 on the
// fast oom-pahs; 1.47 to 1.59 on slow 12/8 shuffles read by their dotted
// beats, whose riff and tune start on the beat and whose chords, as their
// riff moves, turn with every beat; 1.04 to 1.48 on fast waltzes whose
// tune starts on one, which this leaves as the tracker read them.
bool chordsComeAfterTheBeats(const std::vector<double>& pitchesAtBeats, const std::vector<double>& pitchesAtThirds) {
  const double thirds = meanOf(pitchesAtThirds);
  return !pitchesAtBeats.empty() && thirds > 0.0 && meanOf(pitchesAtBeats) < thirds;
}

DottedBeatEighths eighthsOfDottedBeats(const std::vector<int>& pulses, int barNear, const std::vector<int>& carried,
                                       int frames, int barFrames) {
  DottedBeatEighths out;
  std::vector<int> all;
  for (int c : carried)
    if (c >= 0) all.push_back(c);
  if (pulses.size() < 2) {
    // Nothing to place bars by: what was carried goes on as it was.
    for (int c : all) (c < frames ? out.eighths : out.beyond).push_back(c);
    out.nextBar = barNear;
    out.barFrames = barFrames;
    return out;
  }
  const double pulse = medianGap(pulses);
  // Four pulses a bar while the tracker reads dotted beats; should it read
  // another level later on, the bar it read before still counts.
  const double bar = barFrames > 0 ? barFrames : 4.0 * pulse;
  const std::size_t perBar = static_cast<std::size_t>(std::max(1L, std::lround(bar / pulse)));
  // The bar expected here may lie before the stretch's first pulse when
  // the last stretch's part bar reaches into this one.
  double expected = barNear;
  while (expected < pulses.front() - pulse / 2) expected += bar;
  std::size_t first = 0;
  for (std::size_t i = 1; i < pulses.size(); ++i)
    if (std::abs(pulses[i] - expected) < std::abs(pulses[first] - expected)) first = i;
  first %= perBar;
  std::vector<int> starts;
  for (std::size_t i = first; i < pulses.size(); i += perBar) starts.push_back(pulses[i]);

  if (!all.empty()) {
    // Carried eighths fill the stretch up to its first bar line, the last
    // of them an eighth before it: half an eighth of the bar is the margin,
    // whether a pulse is half the bar or a quarter of it.
    const double halfEighth = bar / (2 * kEighthsABar);
    all.erase(std::remove_if(all.begin(), all.end(), [&](int c) { return c > starts.front() - halfEighth; }),
              all.end());
  } else {
    const double length = starts.size() > 1 ? starts[1] - starts[0] : bar;
    for (int k = kEighthsABar - 1; k >= 1; --k) {
      const int at = roundedEighth(starts.front(), -length, k);
      if (at >= 0) all.push_back(at);
    }
  }
  for (std::size_t s = 0; s < starts.size(); ++s) {
    const double length = s + 1 < starts.size() ? starts[s + 1] - starts[s]
                          : s > 0                ? starts[s] - starts[s - 1]
                                                 : bar;
    for (int k = 0; k < kEighthsABar; ++k) all.push_back(roundedEighth(starts[s], length, k));
    if (s + 1 == starts.size()) {
      out.nextBar = roundedEighth(starts[s], length, kEighthsABar);
      out.barFrames = static_cast<int>(std::lround(length));
    }
  }
  for (int at : all) {
    if (at >= frames)
      out.beyond.push_back(at);
    else if (out.eighths.empty() || at > out.eighths.back())
      out.eighths.push_back(at);
  }
  const auto opening = std::lower_bound(out.eighths.begin(), out.eighths.end(), starts.front());
  if (opening != out.eighths.end() && *opening == starts.front())
    out.barIndex = static_cast<int>(opening - out.eighths.begin());
  return out;
}

}  // namespace kelo
