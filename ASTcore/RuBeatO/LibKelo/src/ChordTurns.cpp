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

bool chordsTurnEveryThreePulses(const std::vector<FeatureVector>& chroma, std::uint32_t first, int accent) {
  if (accent < 0 || accent > 2 || chroma.empty()) return false;
  const std::size_t width = chroma.front().size();
  std::vector<std::vector<double>> groups;
  for (std::size_t i = 0; i + 3 <= chroma.size(); ++i) {
    if ((first + static_cast<std::uint32_t>(i)) % 3 != static_cast<std::uint32_t>(accent)) continue;
    std::vector<double> sum(width, 0.0);
    for (std::size_t k = i; k < i + 3; ++k)
      for (std::size_t c = 0; c < width && c < chroma[k].size(); ++c) sum[c] += chroma[k][c];
    groups.push_back(std::move(sum));
  }
  if (groups.size() < kLeastTurns + 1) return false;
  std::vector<double> turns;
  for (std::size_t j = 1; j < groups.size(); ++j) turns.push_back(turnBetween(groups[j - 1], groups[j]));
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
    if (!(strongest > 0.0)) return false;
    const double elsewhere = (all - strongest) / (fold - 1);
    if (elsewhere < kLeastShareElsewhere * strongest) return false;
  }
  return true;
}

}  // namespace kelo
