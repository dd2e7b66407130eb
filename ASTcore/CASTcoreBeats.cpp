// Conversions between sample addresses and beat numbers on a wave's grid.
//
// For a wave of division d and a section half-beat flag h: step = 2d grid
// entries per beat, off = (h ? d : 0), beat b is grid entry step*b + off.

#include <cmath>

#include "AnalysisUtil.h"
#include "CASTcore.h"

namespace {

struct GridWalk {
  std::int64_t step;
  std::int64_t off;
  std::int64_t n;

  GridWalk(const WavInfo& wave, std::uint8_t half)
      : step(2 * static_cast<std::int64_t>(wave.beatDiv)),
        off(half ? wave.beatDiv : 0),
        n(static_cast<std::int64_t>(wave.beatTime.size())) {}

  // Index of the last beat of the grid; -1 when there is none.
  std::int64_t lastBeat(std::uint8_t half) const {
    return (half ? n / step : (n + step - 1) / step) - 1;
  }
};

}  // namespace

ResultCode CASTcore::getBeatPosOfAddress(std::uint8_t wavNo, std::uint8_t half, std::uint64_t address,
                                         std::uint32_t& beat) const {
  beat = 0xFFFFFFFFu;
  const WavInfo* wave = nullptr;
  const ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  // A division of 0 would never advance the walk; files refuse it, and so
  // does this look-up.
  if (wave->beatDiv == 0) return Result::fail(2);
  const AnalysisUtil util;
  const GridWalk grid(*wave, half);

  std::uint64_t previous = 0;
  for (std::int64_t i = 0; grid.off + i < grid.n; i += grid.step) {
    const std::uint64_t t = util.secondsToSamples(wave->beatTime[grid.off + i]);
    const auto here = static_cast<std::uint32_t>(i / grid.step);
    if (t == address) {
      beat = here;
      return Result::kOk;
    }
    if (t > address) {
      // Nearest beat; a tie goes to the later one.
      beat = (i != 0 && address - previous < t - address) ? here - 1 : here;
      return Result::kOk;
    }
    previous = t;
  }

  const std::int64_t k = grid.lastBeat(half);
  if (k < 0) return Result::fail(2);
  const std::int64_t e = grid.step * k + grid.off;
  const std::uint64_t t = e < grid.n ? util.secondsToSamples(wave->beatTime[e]) : 0;
  if (t > address) return Result::fail(3);
  beat = static_cast<std::uint32_t>(k);
  return Result::kOk;
}

ResultCode CASTcore::getAddressOfBeat(std::uint8_t wavNo, std::uint8_t half, std::uint32_t beat,
                                      std::uint64_t& address) const {
  address = 0;
  const WavInfo* wave = nullptr;
  const ResultCode rc = allInfo.getWavInfo(wavNo, &wave);
  if (Result::failed(rc)) return Result::nest(1, rc);
  if (wave->beatDiv == 0) return Result::fail(3);
  const GridWalk grid(*wave, half);
  const std::int64_t last = grid.lastBeat(half);
  std::int64_t e = grid.step * static_cast<std::int64_t>(beat) + grid.off;
  if (static_cast<std::int64_t>(beat) != last) {
    if (e >= grid.n) return Result::fail(3);
  } else {
    if (e >= grid.n) e -= grid.step;
    if (e < 0 || e >= grid.n) return Result::fail(2);
  }
  address = AnalysisUtil().secondsToSamples(wave->beatTime[e]);
  return Result::kOk;
}
