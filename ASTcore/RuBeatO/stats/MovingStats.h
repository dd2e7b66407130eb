// Sliding-window filters that the beat trackers run once per band and per
// analysis frame to normalise band energies and onset strength. Each keeps
// the newest N values in a ring; before N values have arrived the missing
// ones count as 0. Statistics are maintained incrementally in T (float in
// the trackers) and never recomputed, so update is O(1) and allocation-free;
// storage is sized once at construction.
//
// Instantiated for float and double. One thread at a time per object.

#pragma once

#include <cstdint>
#include <vector>

#include "CircularIndex.h"

namespace Numeric {

template <typename T>
class IMovingStats {
 public:
  // Consumes one value and returns the filtered value.
  virtual T update(T x) = 0;
  // Returns the filter to the state it had after construction (see each
  // implementation for what it keeps).
  virtual void reset() = 0;
  virtual ~IMovingStats() = default;
};

// Removes the running mean: update(x) returns x minus the mean of the last N
// values, x included.
template <typename T>
class MovingAverage : public IMovingStats<T> {
 public:
  // A window of n values, all zero. A negative n throws std::length_error
  // (the vector's own length check); n == 0 builds an object whose update
  // throws.
  explicit MovingAverage(int32_t n);

  // Throws std::domain_error on a window of 0, which has no mean.
  T update(T x) override;
  // Zero mean and a window of zeros again.
  void reset() override;

  int32_t window() const { return window_; }
  T mean() const { return mean_; }

 private:
  int32_t window_;
  T mean_;
  std::vector<T> samples_;
  CircularIndex position_;
};

// Turns each value into a running z-score: update(x) returns
// (x - mean) / sqrt(variance + epsilon) over the last N values, x included,
// with the population variance (divisor N). A window whose squared
// deviations sum to 0 or less gives 0 and restarts that sum from 0.
template <typename T>
class MovingAverageSD : public IMovingStats<T> {
 public:
  // A window of n zeros; same rules for n as MovingAverage. epsilon is added
  // to the variance before the square root and keeps a near-constant stream
  // from blowing up.
  explicit MovingAverageSD(int32_t n, T epsilon = T(0));

  // Throws std::domain_error on a window of 0.
  T update(T x) override;
  // Zero sum, zero squared deviations and a window of zeros again; epsilon
  // is kept.
  void reset() override;

  void setEpsilon(T epsilon) { epsilon_ = epsilon; }
  T epsilon() const { return epsilon_; }
  int32_t window() const { return window_; }
  // The running sum of the window and of its squared deviations from the
  // window mean.
  T sum() const { return sum_; }
  T sumSquaredDeviations() const { return sumSq_; }

 private:
  int32_t window_;
  T sum_;
  T sumSq_;
  T epsilon_;
  std::vector<T> samples_;
  CircularIndex position_;
  int32_t divisor_;
};

// A decaying peak follower: the peak shrinks by the factor 0.99 per update
// and jumps to any larger input; update returns the new peak. The window is
// kept for the owner's bookkeeping only and plays no part in the result.
template <typename T>
class MovingMaximum : public IMovingStats<T> {
 public:
  // Peak 0; n follows the same length rule as the other filters, and n == 0
  // is usable here.
  explicit MovingMaximum(int32_t n);

  T update(T x) override;
  // Refills the window with minus infinity and leaves the peak where it is.
  void reset() override;

  int32_t window() const { return window_; }
  T peak() const { return peak_; }

 private:
  int32_t window_;
  std::vector<T> samples_;
  T peak_;
};

extern template class MovingAverage<float>;
extern template class MovingAverage<double>;
extern template class MovingAverageSD<float>;
extern template class MovingAverageSD<double>;
extern template class MovingMaximum<float>;
extern template class MovingMaximum<double>;

}  // namespace Numeric
