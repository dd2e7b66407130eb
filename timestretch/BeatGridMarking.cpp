#include "BeatGridMarking.h"

#include <algorithm>

namespace {

constexpr std::uint16_t kBoost = 300;
constexpr std::uint16_t kPlanted = 301;

void boost(std::uint16_t& v) { v = static_cast<std::uint16_t>(std::min<int>(v + kBoost, 65535)); }

bool markPosition(std::uint16_t* onsets, std::int64_t frames, std::int64_t g, const BeatGrid& grid) {
  if (g < 0 || g >= frames) return false;
  const std::int64_t w = grid.spacing / std::max<std::int64_t>(1, grid.windowDivisor);
  // A clear onset within the window around the position...
  for (std::int64_t o = -w; o <= 2 * w - 1; ++o) {
    const std::int64_t at = g + o;
    if (at >= 0 && at < frames && onsets[at] >= grid.minimumStrength) {
      boost(onsets[at]);
      return true;
    }
  }
  // ...else any trace of one close by...
  const std::int64_t oddWidth = w | 1;
  for (std::int64_t o = -(w / 2) - 1; o <= oddWidth + 1; ++o) {
    const std::int64_t at = g + o;
    if (at >= 0 && at < frames && onsets[at] > 0) {
      boost(onsets[at]);
      return true;
    }
  }
  // ...else a planted one.
  if (!grid.markMissing) return false;
  onsets[g] = kPlanted;
  if (g > 0) onsets[g - 1] = 0;
  return true;
}

}  // namespace

std::int64_t MarkBeatGrid(std::uint16_t* onsets, std::uint16_t* second, std::int64_t frames, const BeatGrid& grid) {
  if (!onsets || frames <= 0) return 0;
  std::int64_t marked = 0;
  if (grid.spacing > 0 && grid.last >= grid.first) {
    std::int64_t g = grid.first;
    for (; g <= grid.last && g < frames; g += grid.spacing) marked += markPosition(onsets, frames, g, grid) ? 1 : 0;
    // The position after the last grid step closes the grid.
    marked += markPosition(onsets, frames, g, grid) ? 1 : 0;
  }
  if (second) {
    std::fill(second, second + frames, 0);
    second[0] = onsets[0];
  }
  for (std::int64_t i = 0; i < frames && onsets[i] == 0; ++i) onsets[i] = 65535;
  return marked;
}
