#include "StateEmission.h"

#include "NumericUtilities.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace Numeric {

namespace {

// ln(3.14159): the constant the structure models were tuned with, slightly
// below ln(pi) and far from ln(2 pi).
constexpr double kLogPiApprox = 1.1447290411851783;

Eigen::Index checkedSize(std::int32_t n) {
  if (n < 0) throw std::bad_alloc();
  return static_cast<Eigen::Index>(n);
}

}  // namespace

StateEmission::StateEmission(std::int32_t dim_, double beta0, double b0, double c0)
    : priorMean(Vector::Zero(checkedSize(dim_))),
      priorRate(Vector::Constant(checkedSize(dim_), c0)),
      priorBeta(beta0),
      priorShape(b0),
      dim(dim_) {
  drawMean();
  beta = priorBeta;
  shape = priorShape;
  rate = priorRate;
}

void StateEmission::drawMean() {
  // The rand() draws are discarded on purpose: they keep the process-wide
  // rand() sequence where other users of it expect it.
  for (std::int32_t k = 0; k < dim; ++k) (void)std::rand();
  mean.resize(dim);
  for (std::int32_t k = 0; k < dim; ++k) {
    const float r = static_cast<float>(randomInt(0));
    mean[k] = static_cast<double>(2.0f * r * 4.656613e-10f - 1.0f);
  }
}

StateEmission::Vector StateEmission::logLikOffsets() const {
  const double common = 1.0 / beta - digamma(shape) + kLogPiApprox;
  return rate.array().log() + common;
}

void StateEmission::expectedLogLik(const Matrix& X, Vector& out) const {
  if (X.cols() != dim || mean.size() != dim || rate.size() != dim)
    throw std::invalid_argument("StateEmission::expectedLogLik: column count differs from dim");
  const Vector L = logLikOffsets();
  const Eigen::ArrayXd precision = shape / rate.array();
  out.resize(X.rows());
  for (Eigen::Index t = 0; t < X.rows(); ++t) {
    const Eigen::ArrayXd dev = X.row(t).transpose().array() - mean.array();
    out[t] = -0.5 * (dev.square() * precision + L.array()).sum();
  }
}

StateEmission::Vector StateEmission::expectedLogLik(const Matrix& X) const {
  Vector out;
  expectedLogLik(X, out);
  return out;
}

double StateEmission::expectedLogLikFrame(const Vector& x) const {
  if (x.size() != dim || mean.size() != dim || rate.size() != dim)
    throw std::invalid_argument("StateEmission::expectedLogLikFrame: frame size differs from dim");
  const Vector L = logLikOffsets();
  const Eigen::ArrayXd dev = x.array() - mean.array();
  return -0.5 * (dev.square() * (shape / rate.array()) + L.array()).sum();
}

void StateEmission::update(const Vector& xbar, const Vector& s, double n) {
  if (xbar.size() != dim || s.size() != dim || priorMean.size() != dim || priorRate.size() != dim)
    throw std::invalid_argument("StateEmission::update: statistics differ in size from dim");
  if (n > 0.0) {
    const double beta0 = priorBeta;
    mean = (xbar * n + priorMean * beta0) / (beta0 + n);
    beta = beta0 + n;
    shape = priorShape + 0.5 * n;
    const double shrink = beta0 * n / (beta0 + n);
    rate = priorRate.array() +
           0.5 * (n * s.array() + shrink * (mean - xbar).array().square());
  } else {
    drawMean();
    beta = priorBeta;
    shape = priorShape;
    rate = priorRate;
  }
}

double StateEmission::klDivergence() const {
  const Eigen::Index terms = priorMean.size();
  if (terms == 0) return 0.0;
  if (mean.size() < terms || rate.size() < terms || priorRate.size() < terms)
    throw std::invalid_argument("StateEmission::klDivergence: parameters differ in size");
  const double b0 = priorShape;
  const double b = shape;
  const double K0 = (b0 + b - 1.0) * digamma(b) + logGamma(b) + 0.5 * std::log(beta);
  double value = 0.0;
  for (Eigen::Index k = 0; k < terms; ++k) {
    const double c = rate[k];
    const double dm = mean[k] - priorMean[k];
    value += K0 + (b0 - 1.0) * std::log(c) - b * (priorRate[k] / c + 1.0) -
             0.5 * priorBeta / beta - (b / c) * priorBeta / 2.0 * dm * dm;
  }
  return value;
}

}  // namespace Numeric
