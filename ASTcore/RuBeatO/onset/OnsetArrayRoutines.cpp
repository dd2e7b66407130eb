#include "OnsetArrayRoutines.h"

#include <algorithm>

#include "OnsetSignalChain.h"

namespace onset {

namespace {
constexpr std::int64_t kCell = 128;
// Below this slow mean the slope is scaled instead of divided.
constexpr std::int64_t kSmallestDivisor = 129;
constexpr int kMergedSpacing = 10;

std::vector<bool> cellFlags(const std::vector<std::int64_t>& positions, std::int64_t cells) {
  std::vector<bool> flags(static_cast<std::size_t>(cells), false);
  std::size_t next = 0;
  for (std::int64_t i = 0; i < cells && next < positions.size(); ++i) {
    const std::int64_t p = positions[next];
    if (p >= kCell * (i + 1) && p < kCell * (i + 2)) {
      flags[static_cast<std::size_t>(i)] = true;
      ++next;
    }
  }
  return flags;
}
}  // namespace

void followEnvelope(std::int64_t* values, std::int64_t count, std::int64_t attack, std::int64_t release) {
  EnvelopeFollower follower(attack, release);
  for (std::int64_t i = 0; i < count; ++i) values[i] = follower.step(values[i]);
}

void preEmphasize(std::int64_t* values, std::int64_t count, std::int64_t coefficient) {
  PreEmphasis filter(coefficient);
  for (std::int64_t i = 0; i < count; ++i) values[i] = filter.step(values[i]);
}

void halfWaveRectify(std::int64_t* values, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) values[i] = std::max<std::int64_t>(values[i], 0);
}

void centredMovingMean(std::int64_t* values, std::int64_t count, std::int64_t window) {
  if (window < 1 || count < 1) return;
  std::vector<std::int64_t> cells(static_cast<std::size_t>(window), 0);
  std::vector<std::int64_t> sums(static_cast<std::size_t>(count), 0);
  const std::int64_t half = window / 2;
  std::int64_t sum = 0;
  // Past the end the sum keeps running on zeros, dropping the old inputs.
  for (std::int64_t i = 0; i < count + half; ++i) {
    const std::int64_t x = i < count ? values[i] : 0;
    std::int64_t& cell = cells[static_cast<std::size_t>(i % window)];
    sum += x - cell;
    cell = x;
    if (i >= half) sums[static_cast<std::size_t>(i - half)] = sum;
  }
  for (std::int64_t i = 0; i < count; ++i) values[i] = sums[static_cast<std::size_t>(i)] / window;
}

std::int64_t meanOfCells(const std::int64_t* values, std::int64_t count) {
  if (count < 1) return 0;
  std::int64_t sum = 0;
  for (std::int64_t i = 0; i < count; ++i) sum += values[i];
  return sum / count;
}

std::int64_t normalisingDivision(std::int64_t c, std::int64_t b) {
  return b >= kSmallestDivisor ? c * 8192 / b : c * 64;
}

void frameMeansOfEverySecondValue(std::int64_t* out, std::int64_t frames, const std::int32_t* samples,
                                  std::int64_t sampleCount, std::int64_t hop) {
  for (std::int64_t f = 0; f < frames; ++f) {
    std::int64_t sum = 0;
    for (std::int64_t k = 0; k < hop; ++k) {
      const std::int64_t at = 2 * (f * hop + k);
      if (at < sampleCount) sum += samples[at];
    }
    out[f] = hop > 0 ? sum / hop : 0;
  }
}

void leadInPattern(std::int64_t* values, std::int64_t count) {
  static const std::int64_t pulse[3] = {4000, 8000, 4000};
  for (std::int64_t i = 0; i < count; ++i) values[i] = i < 3 ? pulse[i] : 0;
}

void thinByCount(std::vector<bool>& flags, int count) {
  if (count < 2) return;
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (!flags[i]) continue;
    for (std::size_t k = 1; k < static_cast<std::size_t>(count) && i + k < flags.size(); ++k) flags[i + k] = false;
  }
}

void mergeOnsetLists(std::vector<std::int64_t>& out, const std::vector<std::int64_t>& first,
                     const std::vector<std::int64_t>& second, std::int64_t length) {
  const std::int64_t cells = std::max<std::int64_t>(length / kCell, 0);
  std::vector<bool> flags = cellFlags(first, cells);
  const std::vector<bool> other = cellFlags(second, cells);
  for (std::size_t i = 0; i < flags.size(); ++i) flags[i] = flags[i] || other[i];
  thinByCount(flags, kMergedSpacing);
  if (std::find(flags.begin(), flags.end(), true) == flags.end()) return;
  out.clear();
  for (std::size_t i = 0; i < flags.size(); ++i)
    if (flags[i]) out.push_back(kCell * (static_cast<std::int64_t>(i) + 1));
}

}  // namespace onset
