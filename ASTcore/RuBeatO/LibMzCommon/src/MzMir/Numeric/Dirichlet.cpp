#include "Dirichlet.h"

#include "NumericUtilities.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace Numeric {

namespace {

// Eigen asserts (or, without assertions, misbehaves) on a negative size;
// the allocation convention of this library is std::bad_alloc.
Eigen::Index checkedSize(std::int32_t K) {
  if (K < 0) throw std::bad_alloc();
  return static_cast<Eigen::Index>(K);
}

// Prior plus a per-outcome offset in {0, 0.01, ..., 0.99}; the remainder
// goes through single precision as the tuned models expect.
Dirichlet::Vector perturbed(const Dirichlet::Vector& prior) {
  Dirichlet::Vector out = prior;
  for (Eigen::Index k = 0; k < out.size(); ++k) {
    const std::int64_t r = randomInt(0);
    out[k] += static_cast<double>(static_cast<float>(r % 100)) / 100.0;
  }
  return out;
}

}  // namespace

Dirichlet::Dirichlet(std::int32_t K, float alpha)
    : prior(Vector::Constant(checkedSize(K), static_cast<double>(alpha))) {
  posterior = perturbed(prior);
  updateExpectations();
}

Dirichlet::Dirichlet(const Vector& v) : prior(v) {
  posterior = perturbed(prior);
  updateExpectations();
}

void Dirichlet::updateExpectations() {
  const double psiSum = digamma(posterior.sum());
  expectedLog = digamma(posterior).array() - psiSum;
  boundValue = negativeKl(posterior, prior);
}

float Dirichlet::negativeKl(const Vector& q, const Vector& p) {
  if (q.size() != p.size())
    throw std::invalid_argument("Dirichlet::negativeKl: posterior and prior differ in size");
  // Over no outcomes both distributions are the same (empty) one; the
  // general formula would give lgamma(0) - lgamma(0), a NaN.
  if (q.size() == 0) return 0.0f;
  const Vector eLog = digamma(q).array() - digamma(q.sum());
  const double logPrior =
      logGamma(p.sum()) - logGamma(p).sum() + ((p.array() - 1.0) * eLog.array()).sum();
  const double logPosterior =
      logGamma(q.sum()) - logGamma(q).sum() + ((q.array() - 1.0) * eLog.array()).sum();
  return static_cast<float>(logPrior - logPosterior);
}

void Dirichlet::update(const Vector& counts) {
  if (counts.size() != prior.size())
    throw std::invalid_argument("Dirichlet::update: counts differ in size from the prior");
  posterior = prior + counts;
  updateExpectations();
}

void Dirichlet::expectedLogProduct(const Matrix& M, Vector& out) const {
  if (M.cols() != expectedLog.size())
    throw std::invalid_argument("Dirichlet::expectedLogProduct: column count differs from K");
  out = M * expectedLog;
}

Dirichlet::Vector Dirichlet::expectedLogProduct(const Matrix& M) const {
  Vector out;
  expectedLogProduct(M, out);
  return out;
}

float Dirichlet::expectedLogDot(const Vector& v) const {
  if (v.size() > expectedLog.size())
    throw std::invalid_argument("Dirichlet::expectedLogDot: more entries than outcomes");
  double sum = 0.0;
  for (Eigen::Index k = 0; k < v.size(); ++k) sum += expectedLog[k] * v[k];
  return static_cast<float>(sum);
}

double logAdd(double a, double b) {
  return std::log(std::exp(-std::fabs(a - b)) + 1.0) + std::max(a, b);
}

}  // namespace Numeric
