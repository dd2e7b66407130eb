#include "MovingStats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

namespace Numeric {

namespace {

// A negative window is handed to the vector unchanged (as a huge unsigned
// length) so it fails with the library's own length error.
std::size_t storageLength(int32_t n) { return static_cast<std::size_t>(n); }

// The ring needs at least one slot; an empty window keeps a one-slot ring
// that update never touches because it refuses the empty window first.
int32_t ringSize(int32_t n) { return n > 0 ? n : 1; }

void requireWindow(int32_t n) {
  if (n < 1) throw std::domain_error("moving statistics window must not be empty");
}

}  // namespace

template <typename T>
MovingAverage<T>::MovingAverage(int32_t n)
    : window_(n), mean_(0), samples_(storageLength(n)), position_(ringSize(n)) {}

template <typename T>
T MovingAverage<T>::update(T x) {
  requireWindow(window_);
  const T oldest = samples_[position_.Offset(1)];
  ++position_;
  samples_[position_.GetPosition()] = x;
  mean_ = mean_ + (x - oldest) / static_cast<T>(window_);
  return x - mean_;
}

template <typename T>
void MovingAverage<T>::reset() {
  mean_ = 0;
  std::fill(samples_.begin(), samples_.end(), T(0));
  position_.Reset(ringSize(window_));
}

template <typename T>
MovingAverageSD<T>::MovingAverageSD(int32_t n, T epsilon)
    : window_(n),
      sum_(0),
      sumSq_(0),
      epsilon_(epsilon),
      samples_(storageLength(n)),
      position_(ringSize(n)),
      divisor_(n) {}

template <typename T>
T MovingAverageSD<T>::update(T x) {
  requireWindow(window_);
  const T oldest = samples_[position_.Offset(1)];
  ++position_;
  samples_[position_.GetPosition()] = x;
  const T n = static_cast<T>(divisor_);
  const T newSum = sum_ + x - oldest;
  // Sum of squared deviations = sum of squares - sum^2 / n, updated for the
  // value that left and the one that came in.
  const T newSumSq = sumSq_ + (x * x - oldest * oldest) + (sum_ * sum_ - newSum * newSum) / n;
  sum_ = newSum;
  if (newSumSq > 0) {
    sumSq_ = newSumSq;
    return (x - newSum / n) / std::sqrt(newSumSq / n + epsilon_);
  }
  // A flat window (or rounding below zero): no spread to divide by, and the
  // drift must not carry into the next window.
  sumSq_ = 0;
  return 0;
}

template <typename T>
void MovingAverageSD<T>::reset() {
  sum_ = 0;
  sumSq_ = 0;
  std::fill(samples_.begin(), samples_.end(), T(0));
  position_.Reset(ringSize(window_));
}

template <typename T>
MovingMaximum<T>::MovingMaximum(int32_t n)
    : window_(n),
      samples_(storageLength(n), -std::numeric_limits<T>::infinity()),
      peak_(0) {}

template <typename T>
T MovingMaximum<T>::update(T x) {
  const T decayed = static_cast<T>(0.99) * peak_;
  peak_ = decayed > x ? decayed : x;
  return peak_;
}

template <typename T>
void MovingMaximum<T>::reset() {
  std::fill(samples_.begin(), samples_.end(), -std::numeric_limits<T>::infinity());
}

template class MovingAverage<float>;
template class MovingAverage<double>;
template class MovingAverageSD<float>;
template class MovingAverageSD<double>;
template class MovingMaximum<float>;
template class MovingMaximum<double>;

}  // namespace Numeric
