// The tracker's beat read as one and a half of a waltz's beats: the two
// rules (onsets at the tracker's beats, pitches at its thirds), the pitch
// rise they read, and the eighths put in place of its pulses, stretch by
// stretch; and the tracker's beat read as a fast waltz's bar.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "DottedTrackerBeat.h"
#include "PitchRise.h"

namespace {

using kelo::eighthsOfDottedBeats;

// Levels at `beats` tracker beats: the strong ones (from beat `phase` on,
// every second) at `strong`, the others at `weak`.
std::vector<double> levels(int beats, int phase, double strong, double weak) {
  std::vector<double> out;
  for (int i = 0; i < beats; ++i) out.push_back(i % 2 == phase ? strong : weak);
  return out;
}

TEST(StrongBeatParity, OnlyWhereEverySecondBeatSoundsFarLessThanTheOthers) {
  struct Case {
    const char* what;
    int beats, phase;
    double strong, weak;
    int expected;
  };
  const Case cases[] = {
      // The oom-pah read at two thirds of its tempo: its downbeats, then
      // the middle of beat two, where nothing starts.
      {"oom-pah, bars on even beats", 24, 0, 4.2, 1.0, 0},
      {"oom-pah, bars on odd beats", 24, 1, 4.2, 1.0, 1},
      {"only the downbeats sound", 24, 0, 4.0, 0.0, 0},
      {"weak beats at 0.65", 24, 0, 4.0, 2.6, 0},
      // A band song's backbeat a little softer than one and three, as an
      // oom-pah's hi-hat on two and three can sound: the onsets do not
      // tell them apart.
      {"weak beats at 0.68", 24, 0, 4.0, 2.72, -1},
      {"weak beats at 0.78", 24, 0, 4.0, 3.12, -1},
      {"every beat sounds", 24, 0, 4.0, 3.9, -1},
      {"silence", 24, 0, 0.0, 0.0, -1},
      {"seven beats", 7, 0, 4.2, 1.0, -1},
      {"eight beats", 8, 0, 4.2, 1.0, 0},
      {"nine beats, the odd ones strong", 9, 1, 4.2, 1.0, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kelo::strongBeatParity(levels(c.beats, c.phase, c.strong, c.weak)), c.expected) << c.what;
}

TEST(PitchesStartOnTheThirds, WhereTheyRiseTwoAndAHalfTimesAsMuchAsBetween) {
  EXPECT_TRUE(kelo::pitchesStartOnTheThirds({4.0, 6.0}, {1.0, 1.0}));
  EXPECT_TRUE(kelo::pitchesStartOnTheThirds({2.5, 2.5}, {1.0, 1.0}));
  EXPECT_FALSE(kelo::pitchesStartOnTheThirds({2.4, 2.4}, {1.0, 1.0}));
  // Offbeat stabs: new chords between the thirds, none on them.
  EXPECT_FALSE(kelo::pitchesStartOnTheThirds({0.2, 0.2}, {1.0, 1.0}));
  EXPECT_FALSE(kelo::pitchesStartOnTheThirds({0.0, 0.0}, {0.0, 0.0}));
  EXPECT_FALSE(kelo::pitchesStartOnTheThirds({}, {1.0}));
  EXPECT_FALSE(kelo::pitchesStartOnTheThirds({1.0}, {}));
}

// A mono recording at 44100 Hz: a low C held from the start, and a chord of
// E, G and B added at `chordAt` seconds.
std::vector<float> chordOverABass(double seconds, double chordAt) {
  std::vector<float> out(static_cast<std::size_t>(seconds * 44100.0));
  const double pi = 3.14159265358979323846;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    double v = 0.3 * std::sin(2.0 * pi * 130.81 * t);
    if (t >= chordAt)
      for (double hz : {329.63, 392.0, 493.88}) v += 0.1 * std::sin(2.0 * pi * hz * (t - chordAt));
    out[i] = static_cast<float>(v);
  }
  return out;
}

// What the tracker gave for the songs the rule is about and beside it:
// the bars of our oom-pahs at 180-188 BPM, and slow compound shuffles and
// 4/4 songs read at a slower level.
TEST(FastWaltzBars, OnlyTheTrackersSlowestBeats) {
  struct Case {
    const char* what;
    double beatsPerMinute;
    bool expected;
  };
  const Case cases[] = {
      {"an oom-pah at 180, one tracker beat a bar", 60.0, true},
      {"an oom-pah at 188", 62.7, true},
      {"a 12/8 shuffle read by its dotted beats at 72", 72.0, false},
      {"a 4/4 ballad at 150 read by its half notes", 75.0, false},
      {"no beats", 0.0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kelo::beatsComeAsSlowlyAsAFastWaltzsBars(c.beatsPerMinute), c.expected) << c.what;
}

// Onset observations a third and two thirds of the way between the
// tracker's beats, and at a sixth, a half and five sixths, as measured on
// the songs named.
TEST(FastWaltzBars, NewSoundOnTheThirdsOfTheTrackersBeat) {
  struct Case {
    const char* what;
    std::vector<double> atThirds, between;
    bool expected;
  };
  const Case cases[] = {
      {"an oom-pah at 180: its chords on two and three", {2.1, 1.9}, {1.3, 1.1, 1.4}, true},
      // A 4/4 song read by its half notes: its quarter notes fall on the
      // half, between the thirds.
      {"a 4/4 ballad at 124: the quarter between", {1.0, 1.1}, {0.8, 2.2, 0.7}, false},
      // A pad under a soft tune: nothing starts anywhere in the bar.
      {"a pad waltz at 184", {0.9, 1.0}, {0.9, 1.1, 1.0}, false},
      {"nothing anywhere", {0.0, 0.0}, {0.0, 0.0, 0.0}, false},
      {"nothing to go by", {}, {}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(kelo::thirdsCarryNewSound(c.atThirds, c.between), c.expected) << c.what;
}

TEST(FastWaltzBars, TheChordsPitchesComeAfterTheBeat) {
  struct Case {
    const char* what;
    std::vector<double> atBeats, atThirds;
    bool expected;
  };
  const Case cases[] = {
      {"a bass alone on one, the chord on two and three", {1.0, 1.2}, {2.5, 2.0, 2.4, 2.6}, true},
      // A slow 12/8 shuffle: its riff and its tune start on the beat.
      {"the riff and the tune on the beat", {3.0, 2.8}, {2.0, 1.8, 2.1, 1.9}, false},
      {"as much on the beats as on the thirds", {2.0, 2.0}, {2.0, 2.0}, false},
      {"no pitches", {0.0, 0.0}, {0.0, 0.0}, false},
      {"nothing to go by", {}, {1.0}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kelo::chordsComeAfterTheBeats(c.atBeats, c.atThirds), c.expected) << c.what;
}

TEST(PitchRise, RisesWhereNewPitchesStartAndNotWhereTheyHold) {
  const std::vector<float> song = chordOverABass(3.0, 1.5);
  kelo::PitchRise rise;
  rise.push(song.data(), static_cast<int>(song.size()));
  const double atChord = rise.at(1.5);
  EXPECT_GT(atChord, 0.0);
  for (double t : {0.5, 1.0, 2.0, 2.5}) EXPECT_LT(rise.at(t), 0.1 * atChord) << t;
  // The windows reach beyond the recording.
  EXPECT_EQ(rise.at(0.01), 0.0);
  EXPECT_EQ(rise.at(2.99), 0.0);
  EXPECT_EQ(rise.at(-1.0), 0.0);
}

TEST(PitchRise, PushedInPiecesOfAnySizeItKeepsTheSameSignal) {
  const std::vector<float> song = chordOverABass(2.0, 1.0);
  kelo::PitchRise whole, pieces;
  whole.push(song.data(), static_cast<int>(song.size()));
  const std::size_t sizes[] = {1, 3, 180, 7, 1000, 2, 4097};
  for (std::size_t at = 0, k = 0; at < song.size(); ++k) {
    const std::size_t n = std::min(sizes[k % 7], song.size() - at);
    pieces.push(song.data() + at, static_cast<int>(n));
    at += n;
  }
  for (double t : {0.5, 1.0, 1.5}) EXPECT_DOUBLE_EQ(pieces.at(t), whole.at(t)) << t;
  whole.clear();
  EXPECT_EQ(whole.at(1.0), 0.0);
}

// Pulses every `pulse` frames from `first`, the bar's first at `bar`.
std::vector<int> pulsesFrom(double first, double pulse, int frames) {
  std::vector<int> out;
  for (double at = first; at < frames; at += pulse) out.push_back(static_cast<int>(std::lround(at)));
  return out;
}

TEST(EighthsOfDottedBeats, SixEvenEighthsABarFromTheBarsFirstPulseBackToTheStart) {
  // Pulses 30 frames apart, a bar of four of them; a bar opens at 70.
  const std::vector<int> pulses = pulsesFrom(10.0, 30.0, 600);
  const kelo::DottedBeatEighths e = eighthsOfDottedBeats(pulses, 72, {}, 600, 0);
  ASSERT_GE(e.barIndex, 0);
  EXPECT_EQ(e.eighths[static_cast<std::size_t>(e.barIndex)], 70);
  // Every 20 frames from 10 (the part bar before 70 filled back) to the end.
  ASSERT_FALSE(e.eighths.empty());
  EXPECT_EQ(e.eighths.front(), 10);
  for (std::size_t i = 1; i < e.eighths.size(); ++i) EXPECT_EQ(e.eighths[i] - e.eighths[i - 1], 20) << i;
  EXPECT_GE(e.eighths.back(), 580);
  for (int at : e.beyond) EXPECT_GE(at, 600);
  EXPECT_EQ((e.nextBar - 70) % 120, 0);
  EXPECT_GE(e.nextBar, 600);
}

TEST(EighthsOfDottedBeats, StretchesCutAnywhereGiveTheEighthsOfTheWholeRecording) {
  const double pulse = 26.5;
  const int total = 2400;
  const std::vector<int> whole = pulsesFrom(7.0, pulse, total);
  const kelo::DottedBeatEighths once = eighthsOfDottedBeats(whole, 60, {}, total, 0);
  for (int cut : {500, 513, 531, 544, 1001}) {
    // The first stretch, then the second in its own frames, as the engine
    // hands them over.
    std::vector<int> firstPulses, secondPulses;
    for (int p : whole) (p < cut ? firstPulses : secondPulses).push_back(p < cut ? p : p - cut);
    const kelo::DottedBeatEighths a = eighthsOfDottedBeats(firstPulses, 60, {}, cut, 0);
    std::vector<int> carried;
    for (int at : a.beyond) carried.push_back(at - cut);
    const kelo::DottedBeatEighths b = eighthsOfDottedBeats(secondPulses, a.nextBar - cut, carried, total - cut, a.barFrames);
    std::vector<int> joined = a.eighths;
    for (int at : b.eighths) joined.push_back(at + cut);
    ASSERT_EQ(joined.size(), once.eighths.size()) << "cut at " << cut;
    for (std::size_t i = 0; i < joined.size(); ++i) EXPECT_NEAR(joined[i], once.eighths[i], 1) << "cut " << cut;
    // The bars keep their place: an eighth that opens a bar in the second
    // stretch is a multiple of six eighths on from one in the first.
    ASSERT_GE(b.barIndex, 0);
    const int counted = static_cast<int>(a.eighths.size()) + b.barIndex - a.barIndex;
    EXPECT_EQ(counted % 6, 0) << "cut at " << cut;
  }
}

// Should the tracker read the song's own eighths in a later stretch, its
// pulses are six a bar, not four.
TEST(EighthsOfDottedBeats, ALaterStretchKeepsTheBarItWasHandedWhateverLevelItsPulsesAre) {
  const std::vector<int> eighths = pulsesFrom(15.0, 20.0, 600);
  const kelo::DottedBeatEighths e = eighthsOfDottedBeats(eighths, 35, {15}, 600, 120);
  ASSERT_GE(e.barIndex, 0);
  EXPECT_EQ(e.eighths[static_cast<std::size_t>(e.barIndex)], 35);
  ASSERT_FALSE(e.eighths.empty());
  EXPECT_EQ(e.eighths.front(), 15);
  for (std::size_t i = 1; i < e.eighths.size(); ++i) EXPECT_EQ(e.eighths[i] - e.eighths[i - 1], 20) << i;
  EXPECT_EQ(e.barFrames, 120);
}

// Pulses that halve the bar (a fast waltz's bars read by the tracker):
// the eighths the last stretch carried, the last of them a frame late
// beside this stretch's bar line, all stay, so the beats go on every
// second eighth.
TEST(EighthsOfDottedBeats, ALaterStretchOfHalfBarPulsesKeepsEveryCarriedEighth) {
  const std::vector<int> halfBars = pulsesFrom(2.0, 60.0, 600);
  const kelo::DottedBeatEighths e = eighthsOfDottedBeats(halfBars, 62, {3, 23, 43}, 600, 120);
  ASSERT_EQ(e.barIndex, 3);
  EXPECT_EQ(e.eighths[3], 62);
  EXPECT_EQ(e.eighths.front(), 3);
  for (std::size_t i = 1; i < e.eighths.size(); ++i) EXPECT_NEAR(e.eighths[i] - e.eighths[i - 1], 20, 1) << i;
}

TEST(EighthsOfDottedBeats, WithoutPulsesTheCarriedEighthsGoOn) {
  const kelo::DottedBeatEighths e = eighthsOfDottedBeats({}, 50, {5, 25, 45, 65}, 40, 0);
  EXPECT_EQ(e.eighths, (std::vector<int>{5, 25}));
  EXPECT_EQ(e.beyond, (std::vector<int>{45, 65}));
  EXPECT_EQ(e.barIndex, -1);
  EXPECT_EQ(e.nextBar, 50);
}

}  // namespace
