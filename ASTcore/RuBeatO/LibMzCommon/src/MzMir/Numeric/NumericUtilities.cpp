#include "NumericUtilities.h"

#include <boost/random/mersenne_twister.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace Numeric {

template <typename T>
T median(T* x, int32_t n) {
  if (n < 1) throw std::invalid_argument("median needs at least one value");
  T* middle = x + n / 2;
  std::nth_element(x, middle, x + n);
  return *middle;
}

template <typename T>
T log_normal(T x, T mean, T sd) {
  const T logNormalisation = static_cast<T>(-0.9186849902400537);
  const T z = (x - mean) / sd;
  return z * (static_cast<T>(-0.5) * z) - std::log(sd) + logNormalisation;
}

template <typename T>
T logSumExp(const T* x, uint64_t n) {
  if (n == 0) return -std::numeric_limits<T>::infinity();
  T m = x[0];
  for (uint64_t i = 1; i < n; ++i) {
    if (x[i] > m) m = x[i];
  }
  // An infinite term dominates the sum; exp(inf - inf) would make it NaN.
  if (m == std::numeric_limits<T>::infinity()) return m;
  if (!std::isfinite(m)) return -std::numeric_limits<T>::infinity();
  T sum = 0;
  for (uint64_t i = 0; i < n; ++i) sum += std::exp(x[i] - m);
  return m + std::log(sum);
}

double logSumExp(const Eigen::VectorXd& v) {
  if (v.size() == 0) return -std::numeric_limits<double>::infinity();
  double m = v[0];
  for (Eigen::Index i = 1; i < v.size(); ++i) {
    if (v[i] > m) m = v[i];
  }
  // exp(inf - inf) is NaN; the sum is dominated by the infinite maximum.
  if (std::isinf(m)) return m;
  double sum = 0.0;
  for (Eigen::Index i = 0; i < v.size(); ++i) sum += std::exp(v[i] - m);
  return std::log(sum) + m;
}

double logGamma(double x) {
  // The recurrence would take ln of x itself first, which is NaN; without
  // this a huge negative (or infinite) x would keep the loop running forever.
  if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
  double s = 0.0;
  while (x < 50.0) {
    s += std::log(x);
    x += 1.0;
  }
  const double t = (x + 4.5) - (x - 0.5) * std::log(x + 4.5);
  const double ser = 1.00000000019001 + 76.1800917294715 / x - 86.5053203294168 / (x + 1.0) +
                     24.0140982408309 / (x + 2.0) - 1.23173957245016 / (x + 3.0) +
                     0.00120865097386618 / (x + 4.0) - 5.395239384953e-6 / (x + 5.0);
  return std::log(2.506628274631 * ser) - t - s;
}

namespace {

// Below this the upward recurrence would take millions of steps (and never
// ends for -inf, or where x + 1 == x); the reflection formula takes over.
constexpr double kDigammaRecurrenceFloor = -1.0e6;

}  // namespace

double digamma(double x) {
  if (std::isnan(x)) return x;
  if (x < kDigammaRecurrenceFloor) {
    if (std::isinf(x)) return std::numeric_limits<double>::quiet_NaN();
    const double pi = 3.14159265358979323846;
    return digamma(1.0 - x) - pi / std::tan(pi * x);
  }
  double s = 0.0;
  while (x < 6.0) {
    if (x != 0.0) s += 1.0 / x;
    x += 1.0;
  }
  const double f = 1.0 / x;
  const double g = f * f;
  double p = 0.285050212691 * g + 1.0;
  p = p * (-0.292346153846 * g) + 1.0;
  p = p * (-0.0721500721501 * g) + 1.0;
  p = p * (0.105 * g) + 1.0;
  p = p * (0.0396825396825 * g) + 1.0;
  p = p * (-0.1 * g) + 1.0;
  const double series = p * (-0.0833333333333 * g);
  return std::log(x) - s - 0.5 * f + series;
}

Eigen::VectorXd logGamma(const Eigen::VectorXd& v) {
  Eigen::VectorXd out(v.size());
  for (Eigen::Index i = 0; i < v.size(); ++i) out[i] = logGamma(v[i]);
  return out;
}

Eigen::VectorXd digamma(const Eigen::VectorXd& v) {
  Eigen::VectorXd out(v.size());
  for (Eigen::Index i = 0; i < v.size(); ++i) out[i] = digamma(v[i]);
  return out;
}

namespace {

// The calling thread's sequence: analyses on two threads never draw from
// each other's generator.
struct ThreadSequence {
  boost::random::mt19937 generator;
  bool seeded = false;
};

ThreadSequence& threadSequence() {
  thread_local ThreadSequence sequence;
  return sequence;
}

}  // namespace

void seedRandomInt(uint32_t seed) {
  ThreadSequence& sequence = threadSequence();
  sequence.generator.seed(seed);
  sequence.seeded = true;
}

int64_t randomInt(uint32_t seed) {
  ThreadSequence& sequence = threadSequence();
  if (!sequence.seeded) seedRandomInt(seed);
  const uint32_t y = sequence.generator();
  // Halved through single precision, so the top value rounds up to 2^31.
  const float scaled = static_cast<float>(y) * 2147483648.0f * 2.3283064e-10f;
  return static_cast<int64_t>(std::trunc(scaled));
}

void standardizeColumns(Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>& m) {
  const Eigen::Index rows = m.rows();
  const Eigen::Index cols = m.cols();
  if (rows == 0 || cols == 0) return;
  for (Eigen::Index j = 0; j < cols; ++j) {
    double sum = 0.0;
    for (Eigen::Index i = 0; i < rows; ++i) sum += m(i, j);
    const double mean = sum / static_cast<double>(rows);
    double squares = 0.0;
    for (Eigen::Index i = 0; i < rows; ++i) {
      const double d = m(i, j) - mean;
      squares += d * d;
    }
    // The floor keeps near-constant features from being blown up to noise.
    const double sd = std::sqrt(squares / static_cast<double>(rows)) + 0.01;
    for (Eigen::Index i = 0; i < rows; ++i) m(i, j) = (m(i, j) - mean) / sd;
  }
}

template <typename T>
T interpCubic(const T* y, T t) {
  const T y0 = y[0], y1 = y[1], y2 = y[2], y3 = y[3];
  const T a3 = static_cast<T>(1.5) * y1 - static_cast<T>(0.5) * y0 - static_cast<T>(1.5) * y2 +
               static_cast<T>(0.5) * y3;
  const T a2 = static_cast<T>(2) * y2 - static_cast<T>(2.5) * y1 + y0 - static_cast<T>(0.5) * y3;
  const T a1 = static_cast<T>(0.5) * y2 - static_cast<T>(0.5) * y0;
  return t * t * t * a3 + t * t * a2 + t * a1 + y1;
}

std::pair<float, float> interpPeak3(const float* y, int32_t i) {
  const float centre = static_cast<float>(i) + 1.0f;
  const float curvature = y[0] - 2.0f * y[1] + y[2];
  if (curvature == 0.0f) return {centre, y[1]};
  return {centre + 0.5f * (y[0] - y[2]) / curvature, y[1]};
}

std::pair<float, float> interpPeakCubic(const float* y, int32_t i) {
  const double y0 = y[0], y1 = y[1], y2 = y[2], y3 = y[3];
  const float a3 = static_cast<float>(1.5 * y1 - 0.5 * y0 - 1.5 * y2 + 0.5 * y3);
  const float a2 = static_cast<float>(2.0 * y2 - 2.5 * y1 + y0 - 0.5 * y3);
  const float a1 = static_cast<float>(0.5 * y2 - 0.5 * y0);
  const std::pair<float, float> none{-1.0f, 0.0f};
  const auto at = [&](float t) -> std::pair<float, float> {
    return {static_cast<float>(i) + 1.0f + t, a3 * t * t * t + a2 * t * t + a1 * t + y[1]};
  };
  if (a3 == 0.0f) {
    // A parabola: its vertex, when it is a maximum inside the interval.
    if (a2 >= 0.0f) return none;
    const float t = -a1 / (2.0f * a2);
    return (t >= 0.0f && t <= 1.0f) ? at(t) : none;
  }
  const float b = 2.0f * a2;
  const float discriminant = b * b - 12.0f * a3 * a1;
  if (discriminant <= 0.0f) return none;
  const float r = std::sqrt(discriminant) / (6.0f * a3);
  const float t1 = -b / (6.0f * a3) + r;
  const float t2 = -b / (6.0f * a3) - r;
  if (t1 >= 0.0f && t1 <= 1.0f && 6.0f * a3 * t1 + b < 0.0f) return at(t1);
  if (t2 >= 0.0f && t2 <= 1.0f && 6.0f * a3 * t2 + b < 0.0f) return at(t2);
  return none;
}

std::list<Peak>& pickPeaks(std::list<Peak>& peaks, const float* x, int32_t n) {
  peaks.clear();
  if (n < 6) return peaks;
  int32_t i = 0;
  while (i < n - 5) {
    const float c = x[i + 2];
    if (c > x[i] && c > x[i + 1] && c > x[i + 3] && c > x[i + 4]) {
      peaks.push_back(Peak{i + 2, c});
      i += 3;
    } else {
      ++i;
    }
  }
  return peaks;
}

template float median<float>(float*, int32_t);
template double median<double>(double*, int32_t);
template float log_normal<float>(float, float, float);
template double log_normal<double>(double, double, double);
template float logSumExp<float>(const float*, uint64_t);
template double logSumExp<double>(const double*, uint64_t);
template float interpCubic<float>(const float*, float);
template double interpCubic<double>(const double*, double);

}  // namespace Numeric
