#pragma once
// Regularises bar lines that arrive with some irregularity: it counts on
// which phase of a four-tatum grid the bar lines fall and, when flushed,
// reports a 4/4 bar line on every fourth tatum of the most frequent phase,
// numbered from 0. The engine itself reports its bar lines directly; this
// filter is for a client that wants a strictly regular grid instead.

#include <array>
#include <cstdint>

#include "IKelo.h"

namespace kelo {

class RegularBarlineFilter {
 public:
  // No callback, counts 0, highest tatum 0, meter 4/4.
  RegularBarlineFilter();

  // Zeroes the phase counts and the highest tatum seen; the callback and
  // the meter of the last bar line stay.
  void reset();

  // Where flush reports; a null callback reports nothing.
  void setCallback(BarlineCallback callback, void* user);

  // Counts one bar line: its tatum's phase on the four-tatum grid, and
  // the highest tatum seen. Keeps its meter (flush does not use it).
  void add(const t_barline& barline);

  // Reports (tatum, k, 4, 4), value 1.0, for the tatums p, p + 4, ...
  // below the highest seen, k = 0, 1, ..., where p is the phase counted
  // most often (the lowest on ties). Returns 0.
  int flush();

  std::int32_t numerator() const { return numerator_; }
  std::int32_t denominator() const { return denominator_; }

 private:
  BarlineCallback callback_ = nullptr;
  void* user_ = nullptr;
  std::array<std::int32_t, 4> counts_{};
  std::int32_t highest_ = 0;
  std::int32_t numerator_ = 4;
  std::int32_t denominator_ = 4;
};

}  // namespace kelo
