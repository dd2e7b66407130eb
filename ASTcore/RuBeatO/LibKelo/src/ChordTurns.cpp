#include "ChordTurns.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kelo {

namespace {

// Four of each phase of the widest fold.
constexpr std::size_t kLeastTurns = 16;
// Measured on the treble chroma of the pulses, the least share over the
// three folds: 0.39 to 0.70 in 26 generated waltzes that leave their second
// beat empty (120-183 BPM); in compound songs whose eighths the tracker
// gave as pulses at the same rate, 0.01 to 0.07 (long-short songs, 26),
// 0.02 to 0.06 (arpeggios over a held bass, 7), 0.10 to 0.18 (arpeggios
// over a bass on every dotted beat, 12), 0.11 to 0.14 (jigs), 0.20 to 0.34
// (12/8 blues of the test-song kit's composer). Our slow shuffles and
// twelve-bar blues, whose riff moves on every dotted beat, reach 0.23 to
// 0.49: what tells them apart is their bass (see secondBeatLeftEmpty), not
// this.
constexpr double kLeastShareElsewhere = 0.3;
constexpr int kWidestFold = 4;
// The same measure over the pairs of pulses that make the tracker's
// beats, where it reads a fast waltz's bars: 0.30 to 0.85 on our oom-pahs
// at 180-188 BPM, 0.50 to 0.87 on waltzes of a half note and a quarter;
// 0.13 and 0.14 on compound oom-pah-pahs read by their dotted beats, 0.10
// to 0.15 on jigs, 0.24 to 0.27 on slow 6/8 shuffles; 0.34 to 0.54 on
// slow 12/8 shuffles, whose riff moves on every beat (their pitches tell
// them apart, see chordsComeAfterTheBeats).
constexpr double kLeastShareEveryBar = 0.22;

double turnBetween(const std::vector<double>& a, const std::vector<double>& b) {
  double ab = 0.0, aa = 0.0, bb = 0.0;
  for (std::size_t c = 0; c < a.size(); ++c) {
    ab += a[c] * b[c];
    aa += a[c] * a[c];
    bb += b[c] * b[c];
  }
  // Silence on either side: nothing turns.
  if (aa <= 0.0 || bb <= 0.0) return 0.0;
  return 1.0 - ab / std::sqrt(aa * bb);
}

}  // namespace

double leastTurnShareElsewhere(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent,
                                int groupPulses) {
  if (groupPulses < 1 || accent < 0 || accent >= groupPulses || chroma.empty()) return -1.0;
  const std::size_t group = static_cast<std::size_t>(groupPulses);
  const std::size_t width = chroma.front().size();
  std::vector<std::vector<double>> groups;
  for (std::size_t i = 0; i + group <= chroma.size(); ++i) {
    if ((first + static_cast<std::uint32_t>(i)) % group != static_cast<std::uint32_t>(accent)) continue;
    std::vector<double> sum(width, 0.0);
    for (std::size_t k = i; k < i + group; ++k)
      for (std::size_t c = 0; c < width && c < chroma[k].size(); ++c) sum[c] += chroma[k][c];
    groups.push_back(std::move(sum));
  }
  if (groups.size() < kLeastTurns + 1) return -1.0;
  std::vector<double> turns;
  for (std::size_t j = 1; j < groups.size(); ++j) turns.push_back(turnBetween(groups[j - 1], groups[j]));
  double least = 1.0;
  for (int fold = 2; fold <= kWidestFold; ++fold) {
    std::vector<double> sum(static_cast<std::size_t>(fold), 0.0);
    std::vector<int> count(static_cast<std::size_t>(fold), 0);
    for (std::size_t j = 0; j < turns.size(); ++j) {
      sum[j % static_cast<std::size_t>(fold)] += turns[j];
      ++count[j % static_cast<std::size_t>(fold)];
    }
    double strongest = 0.0, all = 0.0;
    for (std::size_t p = 0; p < sum.size(); ++p) {
      const double mean = sum[p] / count[p];
      strongest = std::max(strongest, mean);
      all += mean;
    }
    if (!(strongest > 0.0)) return 0.0;
    least = std::min(least, (all - strongest) / (fold - 1) / strongest);
  }
  return least;
}

bool chordsTurnEveryTwoPulses(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent) {
  return leastTurnShareElsewhere(chroma, first, accent, 2) >= kLeastShareEveryBar;
}

bool chordsTurnEveryThreePulses(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent) {
  return leastTurnShareElsewhere(chroma, first, accent, 3) >= kLeastShareElsewhere;
}

}  // namespace kelo
