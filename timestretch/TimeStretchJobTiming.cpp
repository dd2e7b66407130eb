// The job's musical timing: ticks, bars and 100-ns times at its target
// tempo, and the target length and tempo kept consistent with the source.

#include <cmath>
#include <cstring>

#include "TimeStretchJob.h"

namespace {

// 960 ticks a beat over 60 s: 16 ticks a second per whole beat a minute.
double tickRate(double tempo) { return std::trunc(tempo) * 16.0; }

// 2^63: the first value a 64-bit signed count cannot hold.
constexpr double kInt64Limit = 9223372036854775808.0;

// A time or tick count that no 64-bit count holds is given as the nearest
// one that does: every value of the other unit is a valid answer, so no
// result is free to say "refused".
std::int64_t saturated(double value) {
  if (!(value < kInt64Limit)) return INT64_MAX;
  if (!(value >= -kInt64Limit)) return INT64_MIN;
  return static_cast<std::int64_t>(value);
}

}  // namespace

std::int64_t TimeStretchJob::TicksToTimeAt(double ticks, double tempo) {
  const double rate = tickRate(tempo);
  if (!(rate > 0.0) || !std::isfinite(rate)) return 0;
  return saturated(ticks / rate * 1e7);
}

std::uint64_t TimeStretchJob::InitDefaults() {
  Init();
  const double tempo = 120.0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &tempo, sizeof bits);
  return bits;
}

std::uint64_t TimeStretchJob::TicksPerBar() const {
  if (timeSigDenominator == 0) return 0;
  return static_cast<std::uint64_t>(timeSigNumerator) * (3840u / timeSigDenominator);
}

std::int64_t TimeStretchJob::TicksToTime(std::int64_t ticks) const {
  return TicksToTimeAt(static_cast<double>(ticks), targetTempo);
}

std::int64_t TimeStretchJob::TimeToTicks(std::int64_t time) const {
  const double rate = tickRate(targetTempo);
  if (!(rate > 0.0) || !std::isfinite(rate)) return 0;
  return saturated(rate * static_cast<double>(time) / 1e7);
}

int TimeStretchJob::TicksToPosition(std::int64_t ticks, std::uint32_t* bar, std::uint32_t* beat,
                                    std::uint32_t* tick) const {
  if (timeSigNumerator == 0 || ticks < 0 || !bar || !beat || !tick) return 0;
  const std::int64_t perBar = static_cast<std::int64_t>(timeSigNumerator) * kTicksPerQuarter;
  const std::int64_t bars = ticks / perBar;
  const std::int64_t inBar = ticks - bars * perBar;
  *bar = static_cast<std::uint32_t>(bars + 1);
  *beat = static_cast<std::uint32_t>(inBar / kTicksPerQuarter + 1);
  *tick = static_cast<std::uint32_t>(inBar % kTicksPerQuarter);
  return 1;
}

void TimeStretchJob::SetTargetLength(std::int64_t length) {
  if (length <= 0) return;
  targetLength = static_cast<std::uint64_t>(length);
  targetTempo = static_cast<double>(sourceLength) * sourceTempo / static_cast<double>(length);
}

std::uint64_t TimeStretchJob::SetTargetTempo(double tempo) {
  if (!(tempo > 0.0) || !std::isfinite(tempo)) return kRefusedTempo;
  const double length = static_cast<double>(sourceLength) * sourceTempo / tempo;
  // 2^64: the first length the conversion cannot hold. A source with frames
  // must keep at least one.
  constexpr double kLengthLimit = 18446744073709551616.0;
  if (!(length >= 0.0 && length < kLengthLimit)) return kRefusedTempo;
  if (sourceLength > 0 && length < 1.0) return kRefusedTempo;
  targetTempo = tempo;
  targetLength = static_cast<std::uint64_t>(length);
  return targetLength;
}
