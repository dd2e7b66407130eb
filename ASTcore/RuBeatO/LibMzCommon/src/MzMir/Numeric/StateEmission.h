// One mixture component of a state's observation model in the song-structure
// inference: a diagonal Gaussian over feature vectors of dimension dim with
// a Normal-Gamma prior and variational posterior (a mean and a Gamma rate per
// dimension; one Gamma shape and one mean-precision scale for all of them).
//
// With these, E[lambda_k] = shape / rate_k and
// E[log lambda_k] = psi(shape) - log(rate_k) for the precision of dimension k.
// A plain value, copied member by member; the fields are open for the
// inference to read.

#pragma once

#include <Eigen/Dense>

#include <cstdint>

namespace Numeric {

class StateEmission {
public:
  using Vector = Eigen::VectorXd;
  using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

  // Prior mean zero, prior rate c0 in every dimension, mean scale beta0 and
  // shape b0; the posterior starts at the prior except for a random mean in
  // [-1, 1] per dimension. Consumes dim values of the process-wide rand()
  // sequence (discarded; kept so the sequences stay where the tuned models
  // had them) and dim values of Numeric::randomInt. A negative dim throws
  // std::bad_alloc.
  StateEmission(std::int32_t dim, double beta0, double b0, double c0);

  // Expected log-likelihood of every row of X (T x dim) into out (resized to
  // T). X must have dim columns (std::invalid_argument otherwise).
  void expectedLogLik(const Matrix& X, Vector& out) const;
  Vector expectedLogLik(const Matrix& X) const;
  // The same for one frame of dim values.
  double expectedLogLikFrame(const Vector& x) const;

  // Posterior from weighted statistics: xbar the weighted mean of the
  // frames, s the weighted mean of the squared deviations from xbar, n the
  // total weight. A non-positive or NaN n resets the component to the prior
  // with a fresh random mean (same draws as the constructor). xbar and s
  // must have dim entries (std::invalid_argument otherwise; nothing changes).
  void update(const Vector& xbar, const Vector& s, double n);

  // This component's lower-bound term, summed over the dimensions of
  // priorMean; 0.0 for dim = 0.
  double klDivergence() const;

  Vector priorMean;
  Vector priorRate;
  Vector mean;
  Vector rate;
  double beta = 0.0;
  double priorBeta = 0.0;
  double shape = 0.0;
  double priorShape = 0.0;
  std::int32_t dim = 0;

private:
  void drawMean();
  // log(c_k) + 1/beta - psi(b) + ln(3.14159) per dimension.
  Vector logLikOffsets() const;
};

}  // namespace Numeric
