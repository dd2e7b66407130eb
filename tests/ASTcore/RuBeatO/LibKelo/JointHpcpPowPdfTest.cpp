// The joint bass and treble chroma density: training recovers the
// parameters of a known von Mises-Fisher distribution sampled by Wood's
// rejection method, scoring is the sum of the two mixtures' naive
// likelihoods, and the text goes through a real file and back.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <boost/numeric/ublas/matrix_proxy.hpp>

#include "JointHpcpPowPdf.h"
#include "TempDir.h"

namespace {

using kelo::JointHpcpPowPdf;
using Vector = JointHpcpPowPdf::Vector;
using Matrix = JointHpcpPowPdf::Matrix;

Vector unitVector(std::mt19937& rng, std::size_t d) {
  std::normal_distribution<double> normal;
  Vector v(d);
  for (std::size_t i = 0; i < d; ++i) v(i) = normal(rng);
  return v / boost::numeric::ublas::norm_2(v);
}

// One draw from vMF(mu, kappa) on the unit sphere of R^d (Wood, 1994).
Vector sampleVmf(std::mt19937& rng, const Vector& mu, double kappa) {
  const double d = double(mu.size());
  const double b = (-2.0 * kappa + std::sqrt(4.0 * kappa * kappa + (d - 1) * (d - 1))) / (d - 1);
  const double x0 = (1.0 - b) / (1.0 + b);
  const double c = kappa * x0 + (d - 1) * std::log(1.0 - x0 * x0);
  std::gamma_distribution<double> gamma((d - 1) / 2.0, 1.0);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  double w = 0.0;
  for (;;) {
    const double g1 = gamma(rng), g2 = gamma(rng);
    const double z = g1 / (g1 + g2);
    w = (1.0 - (1.0 + b) * z) / (1.0 - (1.0 - b) * z);
    if (kappa * w + (d - 1) * std::log(1.0 - x0 * w) - c >= std::log(uniform(rng))) break;
  }
  Vector v = unitVector(rng, mu.size());
  v -= boost::numeric::ublas::inner_prod(v, mu) * mu;
  v /= boost::numeric::ublas::norm_2(v);
  return w * mu + std::sqrt(1.0 - w * w) * v;
}

Mixture_vMF randomMixture(std::mt19937& rng, std::size_t k) {
  std::uniform_real_distribution<double> uniform(0.1, 1.0);
  Mixture_vMF m{std::int32_t(k)};
  for (std::size_t i = 0; i < k; ++i) {
    m.weights(i) = uniform(rng);
    m.components[i].setKappa(40.0 * uniform(rng));
    m.components[i].setMean(unitVector(rng, 12));
  }
  m.weights /= boost::numeric::ublas::sum(m.weights);
  return m;
}

double naiveLogLikelihood(const Mixture_vMF& m, const Vector& x) {
  long double sum = 0.0L;
  for (std::size_t k = 0; k < m.components.size(); ++k)
    sum += (long double)m.weights(k) * std::exp((long double)m.components[k].logPdf(x));
  return double(std::log(sum));
}

Vector part(const Vector& x, std::size_t first) {
  Vector p(12);
  for (std::size_t i = 0; i < 12; ++i) p(i) = x(first + i);
  return p;
}

}  // namespace

TEST(JointHpcpPowPdfFit, RecoversKappaAndMeanOfBothChromasFromSamples) {
  std::mt19937 rng(7);
  const Vector bassMean = unitVector(rng, 12), trebleMean = unitVector(rng, 12);
  const double bassKappa = 25.0, trebleKappa = 60.0;
  const std::size_t n = 3000;
  Matrix X(n, 26);
  std::uniform_real_distribution<double> scale(0.2, 5.0);
  for (std::size_t r = 0; r < n; ++r) {
    // Magnitudes differ row to row: only directions may count.
    const Vector bass = scale(rng) * sampleVmf(rng, bassMean, bassKappa);
    const Vector treble = scale(rng) * sampleVmf(rng, trebleMean, trebleKappa);
    for (std::size_t i = 0; i < 12; ++i) {
      X(r, i) = bass(i);
      X(r, 12 + i) = treble(i);
    }
    X(r, 24) = scale(rng);
    X(r, 25) = scale(rng);
  }
  JointHpcpPowPdf pdf;
  pdf.setNumComponents(1, 1);
  const double total = pdf.fit(X);

  const Vmf& bass = pdf.bassMixture.components[0];
  const Vmf& treble = pdf.trebleMixture.components[0];
  EXPECT_NEAR(bass.kappa, bassKappa, 0.05 * bassKappa);
  EXPECT_NEAR(treble.kappa, trebleKappa, 0.05 * trebleKappa);
  EXPECT_GT(boost::numeric::ublas::inner_prod(bass.mean, bassMean), 0.995);
  EXPECT_GT(boost::numeric::ublas::inner_prod(treble.mean, trebleMean), 0.995);

  double expected = 0.0;
  for (std::size_t r = 0; r < n; ++r) expected += pdf.logPdf(boost::numeric::ublas::row(X, r));
  EXPECT_NEAR(total, expected, 1e-6 * std::fabs(expected));
}

TEST(JointHpcpPowPdfFit, MatrixOfAnotherWidthIsRefusedUntouched) {
  JointHpcpPowPdf pdf;
  pdf.setNumComponents(2, 3);
  std::ostringstream before;
  pdf.print(before);
  for (std::size_t columns : {24u, 25u, 27u}) {
    Matrix X(10, columns, 0.5);
    EXPECT_THROW(pdf.fit(X), std::invalid_argument) << columns;
  }
  std::ostringstream after;
  pdf.print(after);
  EXPECT_EQ(before.str(), after.str());
}

TEST(JointHpcpPowPdfScore, IsTheSumOfBothMixturesAndIgnoresTheSums) {
  std::mt19937 rng(3);
  JointHpcpPowPdf pdf;
  pdf.bassMixture = randomMixture(rng, 3);
  pdf.trebleMixture = randomMixture(rng, 5);
  for (int trial = 0; trial < 20; ++trial) {
    Vector x = unitVector(rng, 26);
    const double expected =
        naiveLogLikelihood(pdf.bassMixture, part(x, 0)) + naiveLogLikelihood(pdf.trebleMixture, part(x, 12));
    EXPECT_NEAR(pdf.logPdf(x), expected, 1e-9);
    x(24) = 1e6;
    x(25) = -3.0;
    EXPECT_NEAR(pdf.logPdf(x), expected, 1e-9);
  }
  // Identical mixtures and equal halves: twice one mixture.
  pdf.trebleMixture = pdf.bassMixture;
  Vector x(26, 0.0);
  const Vector half = unitVector(rng, 12);
  for (std::size_t i = 0; i < 12; ++i) x(i) = x(12 + i) = half(i);
  EXPECT_NEAR(pdf.logPdf(x), 2.0 * naiveLogLikelihood(pdf.bassMixture, half), 1e-9);
  // A silent bass adds the log of the weight sum, 0 for normalised weights.
  for (std::size_t i = 0; i < 12; ++i) x(i) = 0.0;
  EXPECT_NEAR(pdf.logPdf(x), naiveLogLikelihood(pdf.bassMixture, half), 1e-9);
}

TEST(JointHpcpPowPdfScore, ShortFeatureAndMismatchedMixtureThrow) {
  std::mt19937 rng(5);
  JointHpcpPowPdf pdf;
  pdf.bassMixture = randomMixture(rng, 2);
  pdf.trebleMixture = randomMixture(rng, 2);
  EXPECT_THROW(pdf.logPdf(Vector(23, 1.0)), std::invalid_argument);
  EXPECT_NO_THROW(pdf.logPdf(Vector(24, 1.0)));
  pdf.trebleMixture.components.pop_back();
  EXPECT_THROW(pdf.logPdf(Vector(26, 1.0)), std::length_error);
  std::ostringstream out;
  EXPECT_THROW(pdf.print(out), std::length_error);
}

TEST(JointHpcpPowPdfText, PrintedFileLoadsToTheSameDensity) {
  std::mt19937 rng(11);
  JointHpcpPowPdf pdf;
  pdf.bassMixture = randomMixture(rng, 4);
  pdf.trebleMixture = randomMixture(rng, 2);
  const std::string path = TestEnv::tempPath("pdf.txt").toStdString();
  {
    std::ofstream out(path);
    out.precision(12);
    pdf.print(out);
  }
  JointHpcpPowPdf loaded;
  std::ifstream in(path);
  loaded.load(in);
  ASSERT_FALSE(in.fail());
  ASSERT_EQ(loaded.bassMixture.components.size(), 4u);
  ASSERT_EQ(loaded.trebleMixture.components.size(), 2u);
  for (int trial = 0; trial < 10; ++trial) {
    const Vector x = unitVector(rng, 26);
    EXPECT_NEAR(loaded.logPdf(x), pdf.logPdf(x), 1e-8);
  }

  // A text cut inside the treble mixture fails the stream.
  std::ostringstream text;
  pdf.print(text);
  const std::string full = text.str();
  std::istringstream cut(full.substr(0, full.size() - 20));
  JointHpcpPowPdf truncated;
  truncated.load(cut);
  EXPECT_TRUE(cut.fail());
}
