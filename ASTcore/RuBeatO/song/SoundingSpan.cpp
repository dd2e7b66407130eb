#include "SoundingSpan.h"

#include <algorithm>
#include <limits>

namespace MzMir {

namespace {

constexpr float kFloorOfPeak = 0.001f;   // -60 dB under the loudest block
constexpr float kFloorOfFullScale = 0.001f;  // -60 dBFS
constexpr double kMargin = 0.2;           // seconds

}  // namespace

SoundingSpan findSoundingSpan(const std::vector<float>& blockPeaks, double secondsPerBlock) {
  SoundingSpan span;
  const float loudest = blockPeaks.empty() ? 0.0f : *std::max_element(blockPeaks.begin(), blockPeaks.end());
  if (!(loudest > 0.0f)) return span;
  const float floor = std::min(kFloorOfFullScale, kFloorOfPeak * loudest);
  const auto sounding = [floor](float peak) { return peak >= floor; };
  const auto first = std::find_if(blockPeaks.begin(), blockPeaks.end(), sounding);
  const auto last = std::find_if(blockPeaks.rbegin(), blockPeaks.rend(), sounding);
  span.start = static_cast<double>(first - blockPeaks.begin()) * secondsPerBlock;
  span.end = static_cast<double>(blockPeaks.rend() - last) * secondsPerBlock;
  span.sounds = true;
  return span;
}

BarRange barsInSpan(const std::vector<double>& barTimes, const SoundingSpan& span) {
  const std::size_t bars = barTimes.empty() ? 0 : barTimes.size() - 1;
  BarRange all{0, bars};
  if (!span.sounds || bars == 0) return all;
  BarRange kept = all;
  // A bar line may fall a little after the first sound or before the last
  // (the grid's timing error): a bar overlapping the sound by no more than
  // the margin holds none of it.
  while (kept.first < bars && barTimes[kept.first + 1] <= span.start + kMargin) ++kept.first;
  while (kept.end > kept.first && barTimes[kept.end - 1] >= span.end - kMargin) --kept.end;
  return kept.first < kept.end ? kept : all;
}

void trimBeatsToSpan(std::vector<float>& beats, const std::vector<double>& barTimes, const BarRange& kept,
                     const SoundingSpan& span) {
  if (!span.sounds) return;
  const std::size_t bars = barTimes.empty() ? 0 : barTimes.size() - 1;
  double from = span.start - kMargin;
  double to = span.end + kMargin;
  if (kept.first < kept.end && kept.end <= bars) {
    from = std::min(from, barTimes[kept.first]);
    // The beat that closes the last kept bar stays (a section ends on a
    // beat); what follows it lies in dropped bars.
    to = kept.end == bars ? std::numeric_limits<double>::infinity() : barTimes[kept.end];
  }
  const double slack = 1e-4;
  beats.erase(std::remove_if(beats.begin(), beats.end(),
                             [&](float t) {
                               const double s = static_cast<double>(t);
                               return s < from - slack || s > to + slack;
                             }),
              beats.end());
}

}  // namespace MzMir
