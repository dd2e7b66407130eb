#include "SegmentRoutines.h"

#include <algorithm>

std::vector<std::pair<int, int>> thresholdSegmentBoundaries(const std::vector<std::vector<int>>& columns) {
  const int n = static_cast<int>(columns.size());
  if (n < 3) return {{0, n}};
  const int votesNeeded = static_cast<int>(0.2 * static_cast<double>(columns[0].size()));
  std::vector<std::pair<int, int>> segments;
  int previous = 0;
  for (int p = 1; p <= n - 2; ++p) {
    const auto& column = columns[static_cast<std::size_t>(p)];
    if (std::count(column.begin(), column.end(), 0) > votesNeeded) {
      segments.emplace_back(previous, p + 1);
      previous = p + 1;
    }
  }
  segments.emplace_back(previous, n);
  return segments;
}

void segmentStartValues(std::vector<int>& out, const std::vector<int>& values, const std::vector<int>& countdown) {
  out.clear();
  for (std::size_t p = 0; p < values.size(); ++p) {
    if (p > 0 && p - 1 >= countdown.size()) break;
    if (p == 0 || countdown[p - 1] == 0) out.push_back(values[p]);
  }
}

void expandSegmentValues(std::vector<int>& out, const std::vector<int>& values, const std::vector<int>& countdown) {
  out.clear();
  std::size_t segment = 0;
  for (std::size_t p = 0; p < countdown.size(); ++p) {
    if (p > 0 && countdown[p - 1] == 0) ++segment;
    out.push_back(values.at(segment));
  }
}
