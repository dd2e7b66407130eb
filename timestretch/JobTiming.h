#pragma once
// The musical timing of a stretch job at 960 ticks a quarter note: bar
// length in ticks, ticks to and from time in 100-ns units at the target
// tempo, ticks to bar/beat/tick, and target length and target tempo kept
// consistent with the source. A job holds one (its fields are the job's
// source and target fields); the operations refuse values that would divide
// by zero and leave the fields as they were.

#include <cstdint>

class JobTiming {
public:
  static constexpr std::int64_t kTicksPerQuarter = 960;

  std::uint64_t sourceLength = 0;
  double sourceTempo = 120.0;
  std::uint64_t targetLength = 0;
  double targetTempo = 120.0;
  std::uint32_t numerator = 4;
  std::uint32_t denominator = 4;

  // Back to the job defaults (tempo 120, 4/4, no lengths); returns the bit
  // pattern of the default tempo 120.0.
  std::uint64_t InitDefaults();

  // numerator x trunc(3840 / denominator); 0 without a denominator.
  std::uint64_t TicksPerBar() const;

  // trunc(ticks / (trunc(target tempo) x 16) x 10^7); 0 when the tempo is
  // below one beat a minute.
  std::int64_t TicksToTime(std::int64_t ticks) const;

  // trunc(trunc(target tempo) x 16 x time / 10^7).
  std::int64_t TimeToTicks(std::int64_t time) const;

  // Bar and beat counted from 1, tick within the beat; returns 1, or 0 (and
  // writes nothing) without a numerator or for negative ticks.
  int TicksToPosition(std::int64_t ticks, std::uint32_t* bar, std::uint32_t* beat, std::uint32_t* tick) const;

  // Target length = `length`; target tempo = source length x source tempo /
  // length. A length that is not positive is refused.
  void SetTargetLength(std::int64_t length);

  // Target tempo = `tempo`; target length = trunc(source length x source
  // tempo / tempo), which is returned. A tempo that is not positive is
  // refused (the current target length is returned).
  std::uint64_t SetTargetTempo(double tempo);
};

// Sets the four values to 0.
void ClearQuad(std::uint64_t* quad);
