#include "StructureConsensus.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

RoundRuns columnsOf(const RoundRuns& runs, std::size_t length) {
  RoundRuns columns(length, std::vector<int>(runs.size()));
  for (std::size_t r = 0; r < runs.size(); ++r)
    for (std::size_t p = 0; p < length && p < runs[r].size(); ++p) columns[p][r] = runs[r][p];
  return columns;
}

}  // namespace

void fuseRoundSegmentations(std::vector<int>& countdownOut, std::vector<int>& labelOut, const RoundRuns& countdownRuns,
                            const RoundRuns& labelRuns, double agreement) {
  countdownOut.clear();
  labelOut.clear();
  if (countdownRuns.empty() || labelRuns.empty()) return;
  const std::size_t L = countdownRuns[0].size();
  const std::vector<std::pair<int, int>> segments = decodeSegmentBoundaries(columnsOf(countdownRuns, L));

  RoundRuns perRound(segments.size(), std::vector<int>(labelRuns.size()));
  for (std::size_t s = 0; s < segments.size(); ++s)
    for (std::size_t r = 0; r < labelRuns.size(); ++r) {
      const std::vector<int>& run = labelRuns[r];
      const auto start = std::min<std::size_t>(static_cast<std::size_t>(segments[s].first), run.size());
      const auto end = std::min<std::size_t>(static_cast<std::size_t>(segments[s].second), run.size());
      perRound[s][r] = modeOfLabels(std::vector<int>(run.begin() + static_cast<long>(start),
                                                     run.begin() + static_cast<long>(end)));
    }
  const std::vector<int> segmentLabel = clusterSegmentLabels(perRound, 1.0 - agreement);

  countdownOut.assign(L, 0);
  labelOut.assign(L, 0);
  for (std::size_t s = 0; s < segments.size(); ++s)
    for (int p = segments[s].first; p < segments[s].second && static_cast<std::size_t>(p) < L; ++p) {
      countdownOut[static_cast<std::size_t>(p)] = segments[s].second - 1 - p;
      labelOut[static_cast<std::size_t>(p)] = segmentLabel[s];
    }
}

std::vector<std::pair<int, int>> decodeSegmentBoundaries(const RoundRuns& columns) {
  const int N = static_cast<int>(columns.size());
  if (N == 0) return {};
  const std::size_t M = columns[0].size();

  std::vector<double> A(static_cast<std::size_t>(N)), B(static_cast<std::size_t>(N));
  for (int p = 0; p < N; ++p) {
    double d = 0.0;
    if (p > 0 && M > 0) {
      const std::vector<int>& prev = columns[static_cast<std::size_t>(p - 1)];
      d = static_cast<double>(std::count(prev.begin(), prev.end(), 0)) / static_cast<double>(M);
    }
    A[static_cast<std::size_t>(p)] = (1.0 - d) * std::log(0.3) + d * std::log(0.7);
    B[static_cast<std::size_t>(p)] = (1.0 - d) * std::log(0.95) + d * std::log(0.05);
  }
  // Gaps of 2, 4 and 8 bars are the common phrase lengths.
  constexpr int kMaxGap = 8;
  const double weights[kMaxGap] = {1, 1.5, 1, 1.5, 1, 1, 1, 1.5};
  double P[kMaxGap];
  for (int g = 0; g < kMaxGap; ++g) P[g] = std::log(weights[g] / 9.5);

  std::vector<double> score(static_cast<std::size_t>(N), 0.0);
  std::vector<int> back(static_cast<std::size_t>(N), 0);
  for (int t = 1; t < N; ++t) {
    double best = 0.0;
    int bestGap = 0;
    for (int g = 1; g <= std::min(t, kMaxGap); ++g) {
      double cand = score[static_cast<std::size_t>(t - g)] + P[g - 1];
      for (int j = t - g + 1; j <= t - 1; ++j) cand += B[static_cast<std::size_t>(j)];
      if (bestGap == 0 || cand > best) {
        best = cand;
        bestGap = g;
      }
    }
    score[static_cast<std::size_t>(t)] = best + A[static_cast<std::size_t>(t)];
    back[static_cast<std::size_t>(t)] = t - bestGap;
  }

  std::vector<int> chain{N};
  for (int b = back[static_cast<std::size_t>(N - 1)]; b > 0; b = back[static_cast<std::size_t>(b)]) chain.push_back(b);
  chain.push_back(0);
  std::reverse(chain.begin(), chain.end());
  std::vector<std::pair<int, int>> segments;
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) segments.emplace_back(chain[i], chain[i + 1]);
  return segments;
}

int modeOfLabels(const std::vector<int>& values) {
  std::map<int, int> counts;
  for (int v : values) ++counts[v];
  int best = 0, bestCount = 0;
  for (const auto& [value, count] : counts)
    if (count > bestCount) {
      best = value;
      bestCount = count;
    }
  return best;
}

std::vector<int> clusterSegmentLabels(const RoundRuns& rows, double threshold) {
  std::vector<int> label(rows.size(), 0);
  int counter = 0;
  for (std::size_t j = 1; j < rows.size(); ++j) {
    double best = 1e20;
    std::size_t nearest = 0;
    for (std::size_t i = 0; i < j; ++i) {
      const std::vector<int>& ri = rows[i];
      if (ri.empty()) continue;
      std::size_t differ = 0;
      for (std::size_t e = 0; e < ri.size(); ++e)
        if (e >= rows[j].size() || ri[e] != rows[j][e]) ++differ;
      const double distance = static_cast<double>(differ) / static_cast<double>(ri.size());
      if (distance < best) {
        best = distance;
        nearest = i;
      }
    }
    label[j] = best < threshold ? label[nearest] : ++counter;
  }
  return label;
}

void relabelSegments(const std::vector<int>& countdown, std::vector<int>& labelOut, const std::vector<int>& labels) {
  const std::size_t n = std::min(countdown.size(), labels.size());
  std::vector<int> segmentLabels;
  for (std::size_t p = 0; p < n; ++p)
    if (p == 0 || countdown[p - 1] == 0) segmentLabels.push_back(labels[p]);
  std::vector<int> merged;
  mergeRecurringLabelPairs(merged, segmentLabels);
  labelOut.clear();
  std::size_t segment = 0;
  for (std::size_t p = 0; p < n; ++p) {
    if (p > 0 && countdown[p - 1] == 0) ++segment;
    labelOut.push_back(merged[segment]);
  }
}

void mergeRecurringLabelPairs(std::vector<int>& out, const std::vector<int>& seq) {
  out = seq;
  const std::size_t n = out.size();
  if (n < 4) return;
  int next = *std::max_element(out.begin(), out.end());
  for (;;) {
    std::map<std::pair<int, int>, std::vector<std::size_t>> pairs;
    for (std::size_t i = 0; i + 1 < n; ++i) {
      if (out[i] == out[i + 1]) continue;
      if (i > 0 && out[i - 1] == out[i]) continue;
      if (i + 2 < n && out[i + 2] == out[i + 1]) continue;
      pairs[{out[i], out[i + 1]}].push_back(i);
    }
    std::size_t most = 0;
    for (const auto& entry : pairs) most = std::max(most, entry.second.size());
    if (most < 2) break;
    for (const auto& [key, positions] : pairs) {
      ++next;
      if (positions.size() != most) continue;
      for (std::size_t i : positions) out[i] = out[i + 1] = next;
    }
  }
  std::map<int, int> renumber;
  for (int& v : out) {
    const auto it = renumber.emplace(v, static_cast<int>(renumber.size())).first;
    v = it->second;
  }
}
