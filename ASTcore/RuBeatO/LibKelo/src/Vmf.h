#pragma once
// One von Mises-Fisher component: a density over directions in D dimensions,
// f(x) = C_D(kappa) * exp(kappa * <x/|x|, mean/|mean|>). The chord emission
// model scores 12-value pitch-class vectors with it, by direction only.
//
// Text form: "<kappa> <logNormalizer>\n[D](m0,m1,...)". The normaliser is
// stored, never recomputed on reading, so scoring evaluates no Bessel
// function.

#include <cstdint>
#include <istream>
#include <ostream>

#include <boost/numeric/ublas/vector.hpp>

class Vmf {
 public:
  using Vector = boost::numeric::ublas::vector<double>;

  // A component of the given dimension with a zero mean and kappa 10.
  // Throws std::overflow_error if the normaliser cannot be represented.
  explicit Vmf(std::int32_t dimension = 12);

  // Stores kappa and its log normaliser (rounded through single precision).
  // Values that are not > 0 (NaN included) are ignored. Throws an
  // std::overflow_error when the Bessel function overflows; nothing is
  // changed then.
  void setKappa(double kappa);

  // Copies the first D values of `m` into the mean (D = this component's
  // dimension; the dimension never changes). Throws std::invalid_argument
  // when `m` holds fewer than D values.
  void setMean(const Vector& m);

  // log f(x), x of this component's dimension and of any length; 0.0 when x
  // or the mean is the zero vector. Throws std::invalid_argument on a
  // dimension mismatch.
  double logPdf(const Vector& x) const;

  // Maximum-likelihood update from the weighted resultant `r` (sum of
  // weighted unit vectors) and the total weight `w`: the mean becomes the
  // direction of r, kappa a clamped Newton-refined estimate in
  // [0.001, 500]. A resultant longer than D is reported on standard output
  // and its first D values are used; a shorter one throws
  // std::invalid_argument.
  void fit(const Vector& r, double w);

  // Random restarts for training; draw from the process-wide rand().
  void randomizeKappa(float scale);
  void randomizeMean(float scale);

  void print(std::ostream& out) const;
  // Reads kappa, the normaliser and the mean; sets peakIndex. A malformed
  // text fails the stream; the fields not yet read stay as they were.
  void read(std::istream& in);

  double kappa;
  double logNormalizer;
  Vector mean;
  std::int32_t peakIndex;
};
