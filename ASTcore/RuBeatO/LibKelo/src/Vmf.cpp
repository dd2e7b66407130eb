#include "Vmf.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include <boost/math/special_functions/bessel.hpp>
#include <boost/numeric/ublas/io.hpp>

#include "VectorText.h"

namespace {

const double kLogTwoPi = 1.8378770664093453;
const double kKappaMax = 500.0;
const double kKappaMin = 0.001;

double clampKappa(double kappa) {
  if (kappa > kKappaMax) kappa = kKappaMax;
  if (kappa < kKappaMin) kappa = kKappaMin;
  return kappa;
}

void normalise(Vmf::Vector& v) {
  v /= (boost::numeric::ublas::norm_2(v) + 1e-10);
}

}  // namespace

Vmf::Vmf(std::int32_t dimension)
    : kappa(1.0),
      logNormalizer(1.0),
      mean(dimension > 0 ? std::size_t(dimension) : 0u),
      peakIndex(0) {
  mean.clear();
  setKappa(10.0);
}

void Vmf::setKappa(double newKappa) {
  if (!(newKappa > 0.0)) return;
  const double d = double(mean.size());
  const double nu = d / 2.0 - 1.0;
  // Evaluated before anything is stored, so an overflow leaves us intact.
  const double bessel = boost::math::cyl_bessel_i(nu, newKappa);
  const double value =
      nu * std::log(newKappa) - (d / 2.0) * kLogTwoPi - std::log(bessel);
  logNormalizer = double(float(value));
  kappa = newKappa;
}

void Vmf::setMean(const Vector& m) {
  if (m.size() < mean.size())
    throw std::invalid_argument("Vmf::setMean: vector shorter than the dimension");
  for (std::size_t i = 0; i < mean.size(); ++i) mean(i) = m(i);
}

double Vmf::logPdf(const Vector& x) const {
  if (x.size() != mean.size())
    throw std::invalid_argument("Vmf::logPdf: vector of another dimension");
  const double nx = boost::numeric::ublas::norm_2(x);
  const double nm = boost::numeric::ublas::norm_2(mean);
  if (!(nx * nm > 0.0)) return 0.0;
  return kappa * boost::numeric::ublas::inner_prod(x, mean) / (nx * nm) +
         logNormalizer;
}

void Vmf::fit(const Vector& r, double w) {
  const std::size_t dim = mean.size();
  if (dim != r.size()) {
    std::cout << "Error: m.size()!=mean.size!" << std::endl;
    if (r.size() < dim) throw std::invalid_argument("Error: m.size()!=mean.size!");
  }
  for (std::size_t i = 0; i < dim; ++i) mean(i) = r(i);
  normalise(mean);

  const double normR = boost::numeric::ublas::norm_2(r);
  const double rbar = (w != 0.0) ? normR / w : normR;
  const double d = double(std::int32_t(dim));

  // Closed-form start, then two Newton steps on A_D(kappa) = Rbar, where
  // A_D = I_{D/2} / I_{D/2-1}; the clamps keep the Bessel calls finite.
  double k = rbar * (d - rbar * rbar) / (1.0 - rbar * rbar);
  for (int step = 0; step < 2; ++step) {
    k = clampKappa(k);
    const double a = boost::math::cyl_bessel_i(d / 2.0 - 1.0, k);
    const double b = boost::math::cyl_bessel_i(d / 2.0, k);
    const double ratio = (a != 0.0) ? b / a : b;
    k = k - (ratio - rbar) / (1.0 - ratio * ratio - ((d - 1.0) / k) * ratio);
  }
  setKappa(clampKappa(k));
}

void Vmf::randomizeKappa(float scale) {
  const float drawn = float(std::rand() % 100) * scale / 100.0f;
  setKappa(double(drawn) + 0.001);
}

void Vmf::randomizeMean(float scale) {
  for (std::size_t i = 0; i < mean.size(); ++i)
    mean(i) = double(float((std::rand() % 128) - 64) * 0.015625f * scale);
  normalise(mean);
}

void Vmf::print(std::ostream& out) const {
  out << kappa << ' ' << logNormalizer << '\n';
  out << mean;
}

void Vmf::read(std::istream& in) {
  // A failed extraction would zero its target; keep the old values instead.
  double k = 0.0;
  if (in >> k) kappa = k;
  double n = 0.0;
  if (in >> n) logNormalizer = n;
  kelo::readVectorText(in, mean);
  peakIndex = 0;
  for (std::size_t i = 1; i < mean.size(); ++i)
    if (mean(i) > mean(std::size_t(peakIndex))) peakIndex = std::int32_t(i);
}
