#include "JobTiming.h"

#include <cmath>
#include <cstring>

namespace {

// Ticks per 100-ns unit times 10^7: the tempo counts in whole beats a minute
// (960 ticks a beat over 60 s is 16 ticks a second per beat a minute).
double tickRate(double tempo) { return std::trunc(tempo) * 16.0; }

}  // namespace

std::uint64_t JobTiming::InitDefaults() {
  *this = JobTiming{};
  const double tempo = 120.0;
  std::uint64_t bits = 0;
  std::memcpy(&bits, &tempo, sizeof bits);
  return bits;
}

std::uint64_t JobTiming::TicksPerBar() const {
  if (denominator == 0) return 0;
  return static_cast<std::uint64_t>(numerator) * (3840u / denominator);
}

std::int64_t JobTiming::TicksToTime(std::int64_t ticks) const {
  const double rate = tickRate(targetTempo);
  if (!(rate > 0.0)) return 0;
  return static_cast<std::int64_t>(static_cast<double>(ticks) / rate * 1e7);
}

std::int64_t JobTiming::TimeToTicks(std::int64_t time) const {
  const double rate = tickRate(targetTempo);
  if (!(rate > 0.0)) return 0;
  return static_cast<std::int64_t>(rate * static_cast<double>(time) / 1e7);
}

int JobTiming::TicksToPosition(std::int64_t ticks, std::uint32_t* bar, std::uint32_t* beat,
                               std::uint32_t* tick) const {
  if (numerator == 0 || ticks < 0 || !bar || !beat || !tick) return 0;
  const std::int64_t perBar = static_cast<std::int64_t>(numerator) * kTicksPerQuarter;
  const std::int64_t bars = ticks / perBar;
  const std::int64_t inBar = ticks - bars * perBar;
  *bar = static_cast<std::uint32_t>(bars + 1);
  *beat = static_cast<std::uint32_t>(inBar / kTicksPerQuarter + 1);
  *tick = static_cast<std::uint32_t>(inBar % kTicksPerQuarter);
  return 1;
}

void JobTiming::SetTargetLength(std::int64_t length) {
  if (length <= 0) return;
  targetLength = static_cast<std::uint64_t>(length);
  targetTempo = static_cast<double>(sourceLength) * sourceTempo / static_cast<double>(length);
}

std::uint64_t JobTiming::SetTargetTempo(double tempo) {
  if (!(tempo > 0.0)) return targetLength;
  targetTempo = tempo;
  targetLength = static_cast<std::uint64_t>(static_cast<double>(sourceLength) * sourceTempo / tempo);
  return targetLength;
}

void ClearQuad(std::uint64_t* quad) {
  if (!quad) return;
  for (int i = 0; i < 4; ++i) quad[i] = 0;
}
