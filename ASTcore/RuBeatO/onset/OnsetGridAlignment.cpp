#include "OnsetGridAlignment.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace onset {

namespace {

class GridMarker {
 public:
  GridMarker(std::int16_t* values, std::int64_t frames, const GridLayout& layout)
      : v_(values), frames_(frames), layout_(layout) {}

  bool inside(std::int64_t f) const { return f >= 0 && f < frames_; }

  void addMark(std::int64_t f) {
    const int sum = v_[f] + kGridMark;
    v_[f] = static_cast<std::int16_t>(std::min(sum, int{std::numeric_limits<std::int16_t>::max()}));
  }

  // First frame of [from, to] (clipped to the array) with a value >= least.
  std::int64_t firstAtLeast(std::int64_t from, std::int64_t to, std::int16_t least) const {
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, frames_ - 1);
    for (std::int64_t f = from; f <= to; ++f) {
      if (v_[f] >= least) return f;
    }
    return -1;
  }

  // A division point d: the nearby frame with some strength takes the mark;
  // with none, d itself is marked as an empty grid point.
  void markDivision(std::int64_t d, std::int64_t step) {
    const std::int64_t q = layout_.toleranceDivisor - 2;
    const std::int64_t s = q > 0 ? step / q : 0;
    std::int64_t f = firstAtLeast(d - s, d + 2 * s - 1, layout_.gridThreshold);
    if (f < 0) {
      const std::int64_t h = s / 2;
      f = firstAtLeast(d - h - 1, d + 2 * h + 1, 1);
    }
    if (f >= 0) {
      addMark(f);
      return;
    }
    if (inside(d - 1)) v_[d - 1] = 0;
    if (inside(d)) v_[d] = kGridMark + 1;
  }

  void run() {
    const double fpb = layout_.framesPerBeat;
    const std::int64_t divisions = layout_.divisions;
    // Less than a frame per beat is no grid; also keeps the loop bounded.
    if (!(fpb >= 1.0) || !std::isfinite(fpb) || divisions < 1) return;
    const std::int64_t frameCount = layout_.frameCount;
    const std::int64_t P = layout_.toleranceDivisor;

    std::int64_t step = std::max<std::int64_t>(static_cast<std::int64_t>(fpb / divisions + 0.5), 1);
    const std::int64_t tol = P > 0 ? static_cast<std::int64_t>(fpb / P + 0.5) : 0;

    std::int64_t a = layout_.startFrame;
    std::int64_t k = 1;
    double t = static_cast<double>(layout_.startFrame);
    while (a < layout_.endFrame) {
      t += fpb;
      const auto b = static_cast<std::int64_t>(t);
      if (b - tol > frameCount) break;
      std::int64_t c;
      if (b + tol > frameCount) {
        c = frameCount;
      } else {
        c = firstAtLeast(b - tol, b + 2 * tol - 1, layout_.peakThreshold);
        if (c < 0) {  // no strong peak near this beat: try the next one
          ++k;
          continue;
        }
      }
      const std::int64_t n = k * divisions;
      const std::int64_t span = c - a;
      step = std::max<std::int64_t>(span / n, 1);
      for (std::int64_t i = 1; i < n; ++i) markDivision(a + (i * span) / n, step);
      if (inside(c)) {
        if (v_[c] > 0) {
          addMark(c);
        } else {
          v_[c] = kGridMark + 1;
        }
      }
      a = c;
      k = 1;
    }
    // Past the last anchor the grid goes on at the last division step.
    for (std::int64_t d = a + step; layout_.endFrame - d > step / 2; d += step) markDivision(d, step);
  }

 private:
  std::int16_t* v_;
  std::int64_t frames_;
  GridLayout layout_;
};

}  // namespace

void markGrid(std::int16_t* values, std::int64_t frames, const GridLayout& layout) {
  if (values == nullptr || frames <= 0) return;
  GridMarker(values, frames, layout).run();
}

void placeOnRisingEdges(const std::int16_t* values, std::int16_t* placed, std::int64_t frames) {
  if (frames <= 0) return;
  std::fill(placed, placed + frames, std::int16_t{0});
  std::int64_t limit = 0;  // the rising edge may not reach back before this frame
  if (values[0] > 0) {
    placed[0] = values[0];
    limit = 2;
  }
  for (std::int64_t f = 1; f < frames; ++f) {
    if (values[f] <= 0) continue;
    std::int64_t g = f;
    while (g - 1 >= limit && values[g - 1] == -1) --g;
    placed[g] = values[f];
    limit = f + 2;
  }
}

}  // namespace onset
