// Free numeric routines shared by the analysis code: order statistics,
// log-domain arithmetic, the log normal density, log-gamma and digamma, the
// process-wide pseudo-random integer source, column standardisation of a
// feature matrix, and peak interpolation and picking.
//
// None of these report invalid numeric input: a non-positive standard
// deviation or logarithm argument gives NaN or an infinity, which the caller
// sees in the result. Array arguments must hold the stated number of values.

#pragma once

#include <Eigen/Dense>

#include <cstdint>
#include <list>
#include <utility>

namespace Numeric {

// Element of rank n/2 (truncated) of x[0..n-1], found by selection: for even
// n that is the upper of the two middle values, not their mean. Reorders x.
// Throws std::invalid_argument for n < 1.
template <typename T>
T median(T* x, int32_t n);

// Log of the normal density with the analysis models' constant
// -0.5 * ln(6.28) (not -0.5 * ln(2 pi)); the trackers were tuned with it.
// The float version works in single precision throughout.
template <typename T>
T log_normal(T x, T mean, T sd);

// ln(sum exp(x[i])) without overflow. A maximum of plus infinity gives plus
// infinity; a NaN or minus-infinite maximum, and n == 0, give minus infinity.
template <typename T>
T logSumExp(const T* x, uint64_t n);

// ln(sum exp(v[i])); an empty vector gives minus infinity and an infinite
// maximum gives itself.
double logSumExp(const Eigen::VectorXd& v);

// ln Gamma(x) by the Lanczos series, evaluated at x >= 50 after an upward
// recurrence. Positive x in use; x < 0 gives NaN.
double logGamma(double x);
// ln Gamma of every element, as a new vector.
Eigen::VectorXd logGamma(const Eigen::VectorXd& v);

// psi(x) = d/dx ln Gamma(x) by recurrence up to x >= 6 and an asymptotic
// series.
double digamma(double x);
// psi of every element, as a new vector.
Eigen::VectorXd digamma(const Eigen::VectorXd& v);

// Next value, 0 .. 2^31 inclusive, of the calling thread's MT19937 sequence.
// A thread's sequence is seeded by seedRandomInt, or else with `seed` on the
// thread's first draw; later seeds are ignored.
int64_t randomInt(uint32_t seed);
// Restarts the calling thread's sequence from `seed`. An analysis run calls
// it once at its start, so the same input gives the same result every time.
void seedRandomInt(uint32_t seed);

// Each column (feature) of m (rows are observations) to zero mean and unit
// spread: (m - mean) / (population sd + 0.01). An empty matrix is unchanged.
void standardizeColumns(Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>& m);

// The cubic through y[0..3] at t, with t = 0 at y[1] and t = 1 at y[2].
template <typename T>
T interpCubic(const T* y, T t);

// Vertex of the parabola through y[0..2], the middle one at index i + 1:
// (position, y[1]). A flat or straight run gives position i + 1.
std::pair<float, float> interpPeak3(const float* y, int32_t i);

// Maximum of the cubic through y[0..3] (indices i .. i + 3) between i + 1 and
// i + 2: (position, value), or (-1, 0) when the cubic has no maximum there.
std::pair<float, float> interpPeakCubic(const float* y, int32_t i);

struct Peak {
  int32_t index;
  float value;
};

// Clears `peaks` and fills it, in ascending order, with every x[k] strictly
// greater than its two neighbours on each side; peaks are at least three
// samples apart and never among the first two or last three samples.
// Returns `peaks`.
std::list<Peak>& pickPeaks(std::list<Peak>& peaks, const float* x, int32_t n);

}  // namespace Numeric
