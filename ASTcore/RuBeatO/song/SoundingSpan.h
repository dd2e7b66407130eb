#pragma once
// Where a recording sounds, and the bars and beats that lie there. The beat
// tracker and the chord engine keep their grid running through leading and
// trailing silence; a player expects no beats and no bars where nothing
// sounds, so bars lying wholly before the first or after the last sounding
// block are dropped, and with them the beats outside the bars kept.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace MzMir {

struct SoundingSpan {
  double start = 0.0;  // seconds, start of the first sounding block
  double end = 0.0;    // seconds, end of the last sounding block
  bool sounds = false;  // false: nothing above the floor, nothing to trim by
};

// A block sounds when its peak reaches 60 dB below the recording's loudest
// block and at least -60 dBFS would: far below any musical level, so only
// digital silence, dither and the last of a reverb tail count as silent.
// `blockPeaks` are the absolute peaks of consecutive blocks of
// `secondsPerBlock` each.
SoundingSpan findSoundingSpan(const std::vector<float>& blockPeaks, double secondsPerBlock);

// The bars [first, end) of `barTimes` (bar starts, then the end of the last
// bar) that overlap the span by more than a fifth of a second; every bar
// when nothing sounds or no bar overlaps it.
struct BarRange {
  std::size_t first = 0;
  std::size_t end = 0;
};
BarRange barsInSpan(const std::vector<double>& barTimes, const SoundingSpan& span);

// Drops the beats before the first bar of `kept` and after the end of its
// last bar (`barTimes`: bar starts, then the end of the last bar), but
// never a beat before the first bar within a fifth of a second of the
// sounding span (a pickup). Without bars the beats are cut to the span
// widened by that margin; the end of the last bar of all is the end of the
// recording and cuts nothing.
void trimBeatsToSpan(std::vector<float>& beats, const std::vector<double>& barTimes, const BarRange& kept,
                     const SoundingSpan& span);

// The entries of bars [first, end) of a per-bar list, with `closing`
// one more (the end of the last bar, for a list of bar starts); fewer when
// the list is shorter.
template <typename T>
std::vector<T> keptBarsOf(const std::vector<T>& perBar, const BarRange& kept, bool closing = false) {
  const std::size_t end = std::min(perBar.size(), kept.end + (closing ? 1 : 0));
  const std::size_t first = std::min(kept.first, end);
  return std::vector<T>(perBar.begin() + static_cast<std::ptrdiff_t>(first),
                        perBar.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace MzMir
