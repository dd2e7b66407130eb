#include "ChordTransitionModel.h"

#include <algorithm>
#include <cmath>

namespace kelomodel {

namespace {

// Classes of the built-in chordlist.
enum ChordClass { Dim = 0, Maj7 = 1, Aug = 2, Min = 3, Dom7 = 4, Maj = 5, Min7 = 6 };
constexpr int kClasses = 7;
constexpr int kStates = 12 * kClasses;

struct VocabularyChord {
  int root;  // semitones above the tonic
  ChordClass chordClass;
  double frequency;
};

const std::vector<VocabularyChord>& vocabulary(int mode) {
  static const std::vector<VocabularyChord> major = {
      {0, Maj, 1.0},     {0, Maj7, 0.25},  {0, Dom7, 0.08},   // I, Imaj7, V/IV
      {2, Min, 0.35},    {2, Min7, 0.30},  {2, Dom7, 0.10},   // ii, ii7, V/V
      {2, Maj, 0.08},                                         // V/V as a triad
      {4, Min, 0.20},    {4, Min7, 0.10},  {4, Dom7, 0.08},   // iii, iii7, V/vi
      {4, Maj, 0.06},                                         // V/vi as a triad
      {5, Maj, 0.70},    {5, Maj7, 0.15},  {5, Min, 0.08},    // IV, IVmaj7, borrowed iv
      {7, Maj, 0.70},    {7, Dom7, 0.40},  {7, Aug, 0.03},    // V, V7, V+
      {9, Min, 0.45},    {9, Min7, 0.20},  {9, Dom7, 0.06},   // vi, vi7, V/ii
      {11, Dim, 0.06},   {11, Dom7, 0.04},                    // vii°, V/iii
      {10, Maj, 0.10},   {8, Maj, 0.06},   {3, Maj, 0.04},    // bVII, bVI, bIII borrowed
      {1, Dim, 0.03},    {6, Dim, 0.03},   {0, Aug, 0.03},    // passing chords
  };
  static const std::vector<VocabularyChord> minor = {
      {0, Min, 1.0},     {0, Min7, 0.30},  {0, Dom7, 0.05},   // i, i7, V/iv
      {0, Maj, 0.04},                                         // major tonic at a close
      {2, Dim, 0.15},    {2, Min7, 0.08},  {2, Dom7, 0.05},   // ii°, ii7, V/V
      {3, Maj, 0.45},    {3, Maj7, 0.15},  {3, Aug, 0.04},    // III, IIImaj7, III+
      {5, Min, 0.50},    {5, Min7, 0.20},  {5, Maj, 0.10},    // iv, iv7, Dorian IV
      {7, Maj, 0.40},    {7, Dom7, 0.40},  {7, Min, 0.20},    // V, V7, natural v
      {7, Min7, 0.06},
      {8, Maj, 0.50},    {8, Maj7, 0.15},                     // VI, VImaj7
      {10, Maj, 0.45},   {10, Dom7, 0.15},                    // VII, VII7 (V/III)
      {11, Dim, 0.12},   {1, Maj, 0.04},                      // vii°, Neapolitan
  };
  return mode == 0 ? major : minor;
}

// Share of frames at this beat position that start a new chord: most
// changes fall on the downbeat, some on the middle of a 4/4 bar.
double changeShare(int beatsPerBar, int position) {
  static const double two[2] = {0.45, 0.12};
  static const double three[3] = {0.55, 0.04, 0.06};
  static const double four[4] = {0.55, 0.04, 0.25, 0.06};
  if (beatsPerBar == 2) return two[position % 2];
  if (beatsPerBar == 3) return three[position % 3];
  return four[position % 4];
}

// Preference for a root movement of `interval` semitones upward.
double rootMotion(int interval) {
  switch (interval) {
    case 5: return 3.0;            // down a fifth: the strongest progression
    case 7: return 1.6;            // up a fifth
    case 2: case 10: return 1.3;   // steps
    case 3: case 9: return 1.2;    // thirds
    case 0: return 1.5;            // same root, new colour
    case 4: case 8: return 1.0;
    default: return 0.5;           // semitones and the tritone
  }
}

// Tendencies of the unstable chords.
double resolution(const VocabularyChord& from, const VocabularyChord& to) {
  const int interval = ((to.root - from.root) % 12 + 12) % 12;
  if (from.chordClass == Dom7 && interval == 5 && to.chordClass != Dim) return 4.0;
  if (from.chordClass == Dim && interval == 1) return 4.0;
  if (from.chordClass == Aug && (interval == 5 || interval == 0)) return 2.0;
  return 1.0;
}

constexpr double kRowTotal = 4000.0;
// Chords at least this frequent are where a stray chord returns to.
constexpr double kHomeFrequency = 0.3;

int stateOf(const VocabularyChord& c) { return 12 * int(c.chordClass) + c.root; }

}  // namespace

CountTable transitionCounts(int mode, int beatsPerBar, int position) {
  const std::vector<VocabularyChord>& chords = vocabulary(mode);
  const double share = changeShare(beatsPerBar, position);
  CountTable table(kStates, std::vector<long>(kStates, 0));
  std::vector<bool> known(kStates, false);
  for (const auto& c : chords) known[std::size_t(stateOf(c))] = true;

  for (const auto& from : chords) {
    std::vector<double> weight(chords.size(), 0.0);
    double sum = 0.0;
    for (std::size_t j = 0; j < chords.size(); ++j) {
      const auto& to = chords[j];
      if (stateOf(to) == stateOf(from)) continue;
      const int interval = ((to.root - from.root) % 12 + 12) % 12;
      weight[j] = to.frequency * rootMotion(interval) * resolution(from, to);
      sum += weight[j];
    }
    auto& row = table[std::size_t(stateOf(from))];
    const double total = kRowTotal * (0.5 + from.frequency);
    row[std::size_t(stateOf(from))] = std::lround(total * (1.0 - share));
    for (std::size_t j = 0; j < chords.size(); ++j)
      if (weight[j] > 0.0)
        row[std::size_t(stateOf(chords[j]))] = std::max(1L, std::lround(total * share * weight[j] / sum));
  }

  // Chords outside the vocabulary: held, left towards the main chords, and
  // reachable from the tonic and the dominant, so that no decode is forced
  // through an impossible change.
  for (int s = 0; s < kStates; ++s) {
    if (known[std::size_t(s)]) continue;
    auto& row = table[std::size_t(s)];
    row[std::size_t(s)] = std::lround(kRowTotal * 0.5 * (1.0 - share)) + 1;
    for (const auto& to : chords)
      if (to.frequency >= kHomeFrequency)
        row[std::size_t(stateOf(to))] = std::max(1L, std::lround(kRowTotal * 0.5 * share * to.frequency / 4.0));
    table[std::size_t(stateOf(chords[0]))][std::size_t(s)] = 1;
    const int dominant = 12 * int(mode == 0 ? Maj : Dom7) + 7;
    table[std::size_t(dominant)][std::size_t(s)] = 1;
  }
  return table;
}

std::string tableText(const CountTable& table) {
  std::string text;
  for (std::size_t r = 0; r < table.size(); ++r) {
    if (r > 0) text += '\n';
    for (std::size_t c = 0; c < table[r].size(); ++c) {
      if (c > 0) text += ' ';
      text += std::to_string(table[r][c]);
    }
  }
  return text;
}

}  // namespace kelomodel
