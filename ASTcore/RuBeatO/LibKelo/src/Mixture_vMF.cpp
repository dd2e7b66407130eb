#include "Mixture_vMF.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>

#include <boost/numeric/ublas/io.hpp>
#include <boost/numeric/ublas/matrix_proxy.hpp>

#include "VectorText.h"

namespace {

const double kMinusInfinity = -std::numeric_limits<double>::infinity();
const int kIterations = 20;
const int kSeparationIterations = 10;

// m + log sum exp(l - m), m the maximum starting from the first term; the
// caller guarantees at least one term.
template <typename Terms>
double logSumExp(const Terms& l, std::size_t count) {
  double m = l[0];
  for (std::size_t k = 1; k < count; ++k)
    if (l[k] > m) m = l[k];
  if (!std::isfinite(m)) return kMinusInfinity;
  double sum = 0.0;
  for (std::size_t k = 0; k < count; ++k) sum += std::exp(l[k] - m);
  return m + std::log(sum);
}

const char* const kCountMismatch =
    "ERROR: Mixture_vMF does not have same number of elemnts for pdfs and "
    "weight";

// K comes from the weights; a component list that cannot serve them would
// be indexed past its end.
std::size_t componentCount(const Mixture_vMF& mixture) {
  if (mixture.components.size() != mixture.weights.size())
    throw std::length_error(kCountMismatch);
  return mixture.weights.size();
}

}  // namespace

Mixture_vMF::Mixture_vMF(std::int32_t numComponents)
    : weights(numComponents > 0 ? std::size_t(numComponents) : 0u),
      components(weights.size()),
      bestPeak(0) {
  weights.clear();
}

void Mixture_vMF::setNumComponents(std::int32_t numComponents) {
  const std::size_t k = numComponents > 0 ? std::size_t(numComponents) : 0u;
  weights.resize(k, true);
  components.resize(k);
  randomInit();
}

void Mixture_vMF::print(std::ostream& out) const {
  componentCount(*this);
  out << weights << '\n';
  for (std::size_t k = 0; k < components.size(); ++k) {
    if (k > 0) out << '\n';
    components[k].print(out);
  }
}

void Mixture_vMF::read(std::istream& in) {
  kelo::readVectorText(in, weights);
  components.resize(weights.size());
  for (Vmf& component : components) component.read(in);
}

void Mixture_vMF::randomInit() {
  const std::size_t count = componentCount(*this);
  for (std::size_t k = 0; k < count; ++k) {
    Vmf& c = components[k];
    c.randomizeMean(1.0f);
    c.setKappa(double(float(std::rand() % 100) / 100.0f) + 0.001);
  }
  double total = 0.0;
  for (std::size_t k = 0; k < count; ++k) {
    weights(k) = double(std::rand() % 50 + 1);
    total += weights(k);
  }
  for (std::size_t k = 0; k < count; ++k) weights(k) /= total;
}

double Mixture_vMF::logLikelihood(const Vector& x) {
  const std::size_t count = componentCount(*this);
  bestPeak = 0;
  if (count == 0) return kMinusInfinity;
  std::vector<double> l(count);
  double best = -1e80;
  for (std::size_t k = 0; k < count; ++k) {
    l[k] = std::log(weights(k)) + components[k].logPdf(x);
    if (l[k] > best) {
      best = l[k];
      bestPeak = components[k].peakIndex;
    }
  }
  return logSumExp(l, count);
}

void Mixture_vMF::eStep(Vector& l, Matrix& R, const Matrix& X) const {
  const std::size_t count = componentCount(*this);
  const std::size_t rows = X.size1();
  if (l.size() != count) l.resize(count, false);
  if (R.size1() != count || R.size2() != rows) R.resize(count, rows, false);
  if (count == 0) return;

  Vector x(X.size2());
  for (std::size_t n = 0; n < rows; ++n) {
    x = boost::numeric::ublas::row(X, n);
    for (std::size_t k = 0; k < count; ++k)
      l(k) = std::log(weights(k)) + components[k].logPdf(x);
    const double total = logSumExp(l, count);
    for (std::size_t k = 0; k < count; ++k) {
      if (std::isfinite(total))
        R(k, n) = std::isfinite(l(k)) ? std::exp(l(k) - total) : 0.0;
      else
        R(k, n) = 1.0 / double(count);
    }
  }
}

void Mixture_vMF::mStep(const Matrix& R, const Matrix& X) {
  const std::size_t count = componentCount(*this);
  const std::size_t rows = X.size1();
  if (R.size1() != count || R.size2() != rows)
    throw std::invalid_argument(
        "Mixture_vMF::mStep: responsibilities do not match the data");

  std::vector<double> norms(rows);
  for (std::size_t n = 0; n < rows; ++n)
    norms[n] = boost::numeric::ublas::norm_2(boost::numeric::ublas::row(X, n));

  Vector r(X.size2());
  for (std::size_t k = 0; k < count; ++k) {
    r.clear();
    double w = 0.0;
    for (std::size_t n = 0; n < rows; ++n) {
      if (!(norms[n] > 0.0)) continue;
      r += (R(k, n) / norms[n]) * boost::numeric::ublas::row(X, n);
      w += R(k, n);
    }
    components[k].fit(r, w);
  }

  double total = 0.0;
  for (std::size_t k = 0; k < count; ++k) {
    double sum = 0.0;
    for (std::size_t n = 0; n < rows; ++n) sum += R(k, n);
    weights(k) = sum + double(1e-10f);
    total += weights(k);
  }
  for (std::size_t k = 0; k < count; ++k) weights(k) /= total;
}

void Mixture_vMF::perturbMean(std::int32_t k, float scale) {
  if (k < 0 || std::size_t(k) >= components.size())
    throw std::out_of_range("Mixture_vMF::perturbMean: no such component");
  Vector& m = components[std::size_t(k)].mean;
  for (std::size_t i = 0; i < m.size(); ++i)
    m(i) += double(float((std::rand() % 256) - 128) * scale * 0.0078125f);
  m /= (boost::numeric::ublas::norm_2(m) + 1e-10);
}

double Mixture_vMF::fit(const Matrix& X) {
  const std::size_t count = componentCount(*this);
  const std::size_t rows = X.size1();
  Matrix R(count, rows);
  Vector l(count);
  randomInit();

  for (int iteration = 0; iteration < kIterations; ++iteration) {
    // Coinciding components would stay together for ever; pull them apart
    // while the means are still moving a lot.
    if (iteration < kSeparationIterations) {
      for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
          const double distance = boost::numeric::ublas::norm_2(
              components[i].mean - components[j].mean);
          if (distance < 0.001) {
            perturbMean(std::int32_t(j), 1.0f);
            for (std::size_t k = 0; k < count; ++k)
              weights(k) = 1.0 / double(count);
            std::cerr << "Change u" << std::endl;
          }
        }
      }
    }

    eStep(l, R, X);

    for (std::size_t n = 0; n < rows; ++n) {
      double sum = 0.0;
      for (std::size_t k = 0; k < count; ++k) sum += R(k, n);
      if (std::fabs(sum - 1.0) > 0.001) {
        std::cerr << "Warning : Normalization constant for the Mixture is invalid."
                  << std::endl;
        break;
      }
    }

    mStep(R, X);
  }

  double total = 0.0;
  Vector x(X.size2());
  for (std::size_t n = 0; n < rows; ++n) {
    x = boost::numeric::ublas::row(X, n);
    const double value = logLikelihood(x);
    if (value != kMinusInfinity) total += value;
  }
  return total;
}
