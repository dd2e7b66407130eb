// A bank of comb-filter resonators for the beat tracker: resonator k feeds
// back its own output k frames earlier with the gain a_k = 0.5^(k / halfTime)
// and takes the input with the gain 1 - a_k, so a signal that repeats every
// k frames builds up in it. Its energy is reported as a ratio rescaled so
// that the resonator's noise floor c_k = (1 - a_k)^2 / (1 - a_k^2) (what
// white noise leaves) maps to 0 and a steady input maps to 1.
//
// Two ways of use: streaming, one onset value per frame (push, then
// getEnergies), and offline over a whole stored onset sequence
// (filterSequence forwards and backwards, then removeDc). The offline
// operations use only the coefficients and never touch the streaming state.
//
// Work buffers are sized once by setHalfTime; push and getEnergies allocate
// nothing (getEnergies only resizes an output of the wrong size). One bank
// serves one thread at a time.

#pragma once

#include <boost/numeric/ublas/vector.hpp>

#include <cstdint>
#include <vector>

#include "CircularIndex.h"

namespace Numeric {

class CombFilterBank {
 public:
  // Slots 0 .. nPeriod-1; slot k >= 1 is the resonator with a delay of k
  // frames, slot 0 has none. Starts silent. Throws as setHalfTime does.
  CombFilterBank(int32_t nPeriod, float halfTime);

  // Resizes the bank to nPeriod slots with resonator gains for `halfTime`
  // frames and makes it silent again (history zero, position 0). Throws
  // std::domain_error for nPeriod < 1 or a halfTime that is not positive;
  // the bank is then left as it was.
  void setHalfTime(int32_t nPeriod, float halfTime);

  // Advances one frame and feeds x to every resonator.
  void push(float x);

  // Normalised energy of resonator k over its last k outputs at the current
  // frame; 0 for k = 0. Throws std::out_of_range for k outside 0 .. nPeriod-1.
  float getEnergy(int32_t k) const;

  // Every slot's normalised energy at the current frame (out[0] = 0); out is
  // resized to nPeriod only when its size differs.
  void getEnergies(boost::numeric::ublas::vector<float>& out) const;

  // Runs resonator k over the whole of `in`, forwards (the recursion looks k
  // samples back) or backwards (k samples ahead), and lets it decay freely
  // for max(pad, 0) extra samples: after the input going forwards, before it
  // going backwards, so out always holds in.size() + max(pad, 0) samples.
  // An input shorter than k is copied unfiltered into the start of out and
  // the rest is zero. Throws std::out_of_range for k outside 0 .. nPeriod-1.
  void filterSequence(int32_t k, const std::vector<float>& in, std::vector<float>& out,
                      int32_t pad, bool forward) const;

  // Per sample, the mean square of `filtered` over the window of k samples
  // ending there (fewer at the start), relative to dc[i]^2 (floored at
  // 1e-30), rescaled by resonator k's noise floor like getEnergy. k = 0 gives
  // zeros. Throws std::logic_error when the two inputs differ in size (checked
  // first) and std::domain_error for k outside 0 .. nPeriod-1.
  void removeDc(int32_t k, const std::vector<float>& filtered, const std::vector<float>& dc,
                std::vector<float>& out) const;

  int32_t getPeriodCount() const { return nPeriod; }

 private:
  struct Gains {
    float feedback;  // a_k
    float input;     // 1 - a_k
  };

  float& cell(int32_t row, int32_t k) { return history[static_cast<size_t>(row) * nPeriod + k]; }
  float cell(int32_t row, int32_t k) const {
    return history[static_cast<size_t>(row) * nPeriod + k];
  }
  // Square of resonator 1's current output, which follows the input's
  // level; floored so that silence never divides by zero.
  float levelTerm() const;
  float normalise(int32_t k, float meanSquareOverLevel) const;

  int32_t nPeriod = 0;
  std::vector<float> history;  // nPeriod rows (frames) by nPeriod columns (slots)
  CircularIndex index;         // row of the current frame
  std::vector<Gains> coefficients;
  std::vector<float> noiseFloor;
};

}  // namespace Numeric
