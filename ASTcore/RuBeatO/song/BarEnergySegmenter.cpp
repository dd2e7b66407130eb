#include "BarEnergySegmenter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kFloorDb = -100.0;

double rmsDifference(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.empty() || a.size() != b.size()) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return std::sqrt(sum / static_cast<double>(a.size()));
}

std::vector<double> meanRow(const std::vector<std::vector<double>>& rows, std::size_t from, std::size_t to) {
  std::vector<double> mean(rows[from].size(), 0.0);
  for (std::size_t r = from; r < to; ++r)
    for (std::size_t i = 0; i < mean.size(); ++i) mean[i] += rows[r][i];
  for (double& v : mean) v /= static_cast<double>(to - from);
  return mean;
}

}  // namespace

std::vector<std::vector<double>> BarEnergySegmenter::barProfiles(const std::vector<float>& energy,
                                                                 const std::vector<double>& beatFrames,
                                                                 std::size_t firstBeat, int beatsPerBar,
                                                                 std::size_t bars) {
  std::vector<std::vector<double>> rows;
  if (beatsPerBar < 1 || beatFrames.empty() || energy.empty()) return rows;
  const auto perBar = static_cast<std::size_t>(beatsPerBar);
  if (firstBeat + bars * perBar > beatFrames.size()) bars = (beatFrames.size() - std::min(firstBeat, beatFrames.size())) / perBar;
  const double period = beatFrames.size() > 1 ? beatFrames[1] - beatFrames[0] : 1.0;
  const long last = static_cast<long>(energy.size());

  rows.reserve(bars);
  for (std::size_t b = 0; b < bars; ++b) {
    std::vector<double> row(perBar);
    for (std::size_t i = 0; i < perBar; ++i) {
      const std::size_t k = firstBeat + b * perBar + i;
      const double start = beatFrames[k];
      const double end = k + 1 < beatFrames.size() ? beatFrames[k + 1] : start + period;
      const long lo = std::clamp(std::lround(start), 0L, last - 1);
      const long hi = std::clamp(std::lround(end), lo + 1, last);
      double sum = 0.0;
      for (long n = lo; n < hi; ++n) sum += energy[static_cast<std::size_t>(n)];
      const double mean = hi > lo ? sum / static_cast<double>(hi - lo) : 0.0;
      row[i] = mean > 0.0 ? std::max(kFloorDb, 10.0 * std::log10(mean)) : kFloorDb;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<BarSegment> BarEnergySegmenter::segment(const std::vector<std::vector<double>>& profiles) {
  std::vector<BarSegment> out;
  const std::size_t bars = profiles.size();
  if (bars == 0) return out;

  // Novelty at the line before bar p: the change from the two bars before
  // it to the two bars after it.
  std::vector<double> novelty(bars + 1, 0.0);
  for (std::size_t p = 1; p < bars; ++p) {
    const std::size_t lo = p >= 2 ? p - 2 : 0;
    const std::size_t hi = std::min(bars, p + 2);
    novelty[p] = rmsDifference(meanRow(profiles, lo, p), meanRow(profiles, p, hi));
  }
  std::vector<std::size_t> cuts{0};
  for (std::size_t p = 1; p < bars; ++p) {
    const bool peak = novelty[p] >= novelty[p - 1] && novelty[p] > novelty[p + 1];
    if (novelty[p] >= kBoundaryDb && peak && p - cuts.back() >= 2) cuts.push_back(p);
  }
  cuts.push_back(bars);

  // Long stretches without a clear change become pieces of at most kMaxBars
  // bars, as equal as possible.
  std::vector<std::size_t> bounds{0};
  for (std::size_t c = 1; c < cuts.size(); ++c) {
    const std::size_t from = cuts[c - 1], length = cuts[c] - from;
    const std::size_t pieces = (length + kMaxBars - 1) / kMaxBars;
    for (std::size_t i = 1; i <= pieces; ++i) bounds.push_back(from + (length * i) / pieces);
  }

  std::vector<std::vector<double>> labelProfiles;
  for (std::size_t s = 1; s < bounds.size(); ++s) {
    const std::vector<double> mean = meanRow(profiles, bounds[s - 1], bounds[s]);
    int label = -1;
    double nearest = kSameLabelDb;
    for (std::size_t l = 0; l < labelProfiles.size(); ++l) {
      const double d = rmsDifference(mean, labelProfiles[l]);
      if (d < nearest) {
        nearest = d;
        label = static_cast<int>(l);
      }
    }
    if (label < 0) {
      label = static_cast<int>(labelProfiles.size());
      labelProfiles.push_back(mean);
    }
    out.push_back({static_cast<int>(bounds[s - 1]), static_cast<int>(bounds[s] - bounds[s - 1]), label});
  }
  return out;
}
