// The von Mises-Fisher mixture against naive sums of weighted densities,
// numerical integration over the sphere, posteriors written out by hand,
// its text form, and training on clustered directions.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "Mixture_vMF.h"

namespace {

using Vector = Mixture_vMF::Vector;
using Matrix = Mixture_vMF::Matrix;
const double kPi = 3.14159265358979323846;
const double kMinusInfinity = -std::numeric_limits<double>::infinity();

Vector vec(std::initializer_list<double> values) {
  Vector v(values.size());
  std::size_t i = 0;
  for (double x : values) v(i++) = x;
  return v;
}

Vector randomVector(std::mt19937& rng, std::size_t dimension) {
  std::normal_distribution<double> normal;
  Vector v(dimension);
  for (std::size_t i = 0; i < dimension; ++i) v(i) = normal(rng);
  return v;
}

Mixture_vMF randomMixture(std::mt19937& rng, std::size_t count, std::size_t dimension) {
  std::uniform_real_distribution<double> uniform(0.05, 1.0);
  Mixture_vMF m{std::int32_t(count)};
  m.components.assign(count, Vmf(std::int32_t(dimension)));
  for (std::size_t k = 0; k < count; ++k) {
    m.weights(k) = uniform(rng);
    m.components[k].setKappa(30.0 * uniform(rng));
    m.components[k].setMean(randomVector(rng, dimension));
  }
  m.weights /= boost::numeric::ublas::sum(m.weights);
  return m;
}

double naiveLogLikelihood(const Mixture_vMF& m, const Vector& x) {
  long double sum = 0.0L;  // long double keeps terms near exp(-1000)
  for (std::size_t k = 0; k < m.components.size(); ++k)
    sum += (long double)m.weights(k) * std::exp((long double)m.components[k].logPdf(x));
  return double(std::log(sum));
}

Mixture_vMF readMixture(const std::string& text, bool* ok = nullptr) {
  Mixture_vMF m(1);
  std::istringstream in(text);
  m.read(in);
  if (ok) *ok = !in.fail();
  return m;
}

Vector row(const Matrix& X, std::size_t n) {
  Vector x(X.size2());
  for (std::size_t i = 0; i < X.size2(); ++i) x(i) = X(n, i);
  return x;
}

}  // namespace

TEST(MixtureVmfLikelihood, EqualsTheLogOfTheWeightedSum) {
  std::mt19937 rng(7);
  for (std::size_t count : {1u, 2u, 5u}) {
    Mixture_vMF m = randomMixture(rng, count, 12);
    for (int i = 0; i < 20; ++i) {
      const Vector x = randomVector(rng, 12);
      EXPECT_NEAR(m.logLikelihood(x), naiveLogLikelihood(m, x), 1e-10);
    }
  }
  // Every term near exp(-1000): zero in a plain double sum.
  Mixture_vMF far = readMixture("[2](1e-200,1)\n500 -480\n[2](1,0)\n500 -480\n[2](1,0)");
  EXPECT_NEAR(far.logLikelihood(vec({-1.0, 0.0})), naiveLogLikelihood(far, vec({-1.0, 0.0})),
              1e-9);
}

TEST(MixtureVmfLikelihood, IntegratesToOneOverTheSphere) {
  Mixture_vMF m = readMixture("[2](0.3,0.7) 1 0 [3](0,0,1) 1 0 [3](1,1,0)");
  m.components[0].setKappa(12.0);
  m.components[1].setKappa(2.0);
  const int steps = 600;
  const double h = kPi / steps;
  double total = 0.0;
  for (int i = 0; i <= steps; ++i) {
    const double t = i * h;
    double ring = 0.0;
    for (int j = 0; j < steps; ++j) {
      const double p = 2.0 * kPi * j / steps;
      ring += std::exp(m.logLikelihood(
          vec({std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)})));
    }
    const double simpson = (i == 0 || i == steps) ? 1.0 : (i % 2 ? 4.0 : 2.0);
    total += simpson * ring * (2.0 * kPi / steps) * std::sin(t);
  }
  EXPECT_NEAR(total * h / 3.0, 1.0, 1e-5);
}

TEST(MixtureVmfLikelihood, BestPeakComesFromTheFirstBestComponent) {
  Mixture_vMF m = readMixture(
      "[3](0.2,0.5,0.3)\n"
      "5 -1\n[4](0.1,0.9,0.2,0.3)\n"
      "5 -1\n[4](0.8,0.1,0.1,0.1)\n"
      "5 -1\n[4](0.1,0.1,0.2,0.7)");
  m.logLikelihood(vec({0.0, 0.0, 0.0, 1.0}));
  EXPECT_EQ(m.bestPeak, 3);
  m.logLikelihood(vec({1.0, 0.0, 0.0, 0.0}));
  EXPECT_EQ(m.bestPeak, 0);
  Mixture_vMF tie = readMixture("[2](0.5,0.5)\n5 -1\n[3](0,1,0)\n5 -1\n[3](0,0,1)");
  tie.logLikelihood(vec({0.0, 1.0, 1.0}));
  EXPECT_EQ(tie.bestPeak, 1);
}

TEST(MixtureVmfLikelihood, DegenerateMixturesScoreAsTheirWeightsSay) {
  Mixture_vMF zero = readMixture("[1](0)\n5 -1\n[3](0,1,0)");
  zero.bestPeak = 2;
  EXPECT_EQ(zero.logLikelihood(vec({0.0, 1.0, 0.0})), kMinusInfinity);
  EXPECT_EQ(zero.bestPeak, 0);

  Mixture_vMF two = readMixture("[2](0.25,0.5)\n5 -1\n[3](0,1,0)\n9 -4\n[3](0,0,1)");
  EXPECT_NEAR(two.logLikelihood(vec({0.0, 0.0, 0.0})), std::log(0.75), 1e-15);

  bool ok = false;
  Mixture_vMF empty = readMixture("[0]()", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(empty.logLikelihood(vec({1.0, 0.0})), kMinusInfinity);
}

TEST(MixtureVmfLikelihood, MismatchedCountsAreRejectedEverywhere) {
  Mixture_vMF m(2);
  m.weights(0) = m.weights(1) = 0.5;
  m.components.pop_back();
  std::ostringstream out;
  try {
    m.print(out);
    FAIL() << "printed a mismatched mixture";
  } catch (const std::length_error& e) {
    EXPECT_STREQ(e.what(),
                 "ERROR: Mixture_vMF does not have same number of elemnts for pdfs "
                 "and weight");
  }
  EXPECT_TRUE(out.str().empty());
  EXPECT_THROW(m.logLikelihood(Vector(12, 0.0)), std::length_error);
  EXPECT_THROW(m.randomInit(), std::length_error);
}

TEST(MixtureVmfText, PrintAndReadRoundTrip) {
  std::mt19937 rng(3);
  const Mixture_vMF original = randomMixture(rng, 3, 12);
  std::ostringstream full, plain;
  full.precision(17);
  original.print(full);
  original.print(plain);
  const std::string text = plain.str();
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);

  bool ok = false;
  Mixture_vMF copy = readMixture(full.str(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(copy.components.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(copy.weights(k), original.weights(k));
    EXPECT_EQ(copy.components[k].kappa, original.components[k].kappa);
    EXPECT_EQ(copy.components[k].logNormalizer, original.components[k].logNormalizer);
    for (std::size_t i = 0; i < 12; ++i)
      EXPECT_EQ(copy.components[k].mean(i), original.components[k].mean(i));
  }
  Mixture_vMF rounded = readMixture(text, &ok);
  ASSERT_TRUE(ok);
  Mixture_vMF same = original;
  for (int i = 0; i < 10; ++i) {
    const Vector x = randomVector(rng, 12);
    EXPECT_NEAR(rounded.logLikelihood(x), same.logLikelihood(x), 1e-4);
  }
}

TEST(MixtureVmfText, ReadingKeepsTheWrittenNormalizerAndStopsAfterTheMixture) {
  Mixture_vMF m(4);
  std::istringstream in(
      "[2](0.5,0.5) 10 -6.17002 [12](0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,0.1,0.2,0.3)\n"
      "3 -4 [2](0,1)\n[1](1) 5 -6 [2](1,1)");
  m.read(in);
  ASSERT_FALSE(in.fail());
  ASSERT_EQ(m.components.size(), 2u);
  EXPECT_EQ(m.components[0].logNormalizer, -6.17002);  // not what kappa 10 implies
  EXPECT_EQ(m.components[0].peakIndex, 8);
  Mixture_vMF next(1);
  next.read(in);
  ASSERT_FALSE(in.fail());
  EXPECT_EQ(next.components[0].kappa, 5.0);
}

TEST(MixtureVmfText, TruncatedOrOversizedTextFailsTheStream) {
  const std::string full = "[2](0.5,0.5)\n1 -2\n[2](1,0)\n3 -4\n[2](0,1)";
  for (std::size_t cut = 0; cut + 1 < full.size(); ++cut) {
    bool ok = true;
    readMixture(full.substr(0, cut), &ok);
    EXPECT_FALSE(ok) << "cut at " << cut;
  }
  bool ok = true;
  EXPECT_EQ(readMixture("[999999999999](0.5,0.5)", &ok).components.size(), 1u);
  EXPECT_FALSE(ok);
}

TEST(MixtureVmfTraining, RandomInitGivesUnitMeansAndNormalisedWeights) {
  Mixture_vMF m(1);
  m.setNumComponents(6);
  ASSERT_EQ(m.components.size(), 6u);
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_GT(m.weights(k), 0.0);
    EXPECT_NEAR(boost::numeric::ublas::norm_2(m.components[k].mean), 1.0, 1e-9);
    EXPECT_GE(m.components[k].kappa, 0.001);
    EXPECT_LT(m.components[k].kappa, 1.001);
  }
  EXPECT_NEAR(boost::numeric::ublas::sum(m.weights), 1.0, 1e-12);
}

TEST(MixtureVmfTraining, ExpectationGivesThePosteriorOfEachComponent) {
  std::mt19937 rng(11);
  const Mixture_vMF m = randomMixture(rng, 3, 4);
  Matrix X(6, 4, 0.0);  // the last row stays zero: it scores 0 everywhere
  for (std::size_t n = 0; n < 5; ++n)
    for (std::size_t i = 0; i < 4; ++i) X(n, i) = randomVector(rng, 1)(0);
  Vector l;
  Matrix R;  // wrong sizes on purpose: the step sizes them
  m.eStep(l, R, X);
  ASSERT_EQ(R.size1(), 3u);
  ASSERT_EQ(R.size2(), 6u);
  for (std::size_t n = 0; n < 6; ++n) {
    const Vector x = row(X, n);
    const double evidence = std::exp(naiveLogLikelihood(m, x));
    for (std::size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(R(k, n), m.weights(k) * std::exp(m.components[k].logPdf(x)) / evidence,
                  1e-12);
  }

  Mixture_vMF hopeless = readMixture("[2](0,0)\n1 -1\n[4](1,0,0,0)\n1 -1\n[4](0,1,0,0)");
  hopeless.eStep(l, R, X);
  EXPECT_EQ(R(0, 0), 0.5);
  EXPECT_EQ(R(1, 0), 0.5);
}

TEST(MixtureVmfTraining, MaximisationWithHardAssignmentsAveragesEachCluster) {
  Mixture_vMF m(2);
  m.components.assign(2, Vmf(3));
  Matrix X(5, 3, 0.0);
  X(0, 0) = 2.0;
  X(1, 1) = 1.0;  // row 2 stays zero: it counts for the weight only
  X(3, 2) = 5.0;
  X(4, 2) = 1.0;
  Matrix R(2, 5, 0.0);
  R(0, 0) = R(0, 1) = R(0, 2) = 1.0;
  R(1, 3) = R(1, 4) = 1.0;
  m.mStep(R, X);

  Vmf expected(3);
  expected.fit(vec({1.0, 1.0, 0.0}), 2.0);
  EXPECT_NEAR(m.components[0].mean(0), 1.0 / std::sqrt(2.0), 1e-9);
  EXPECT_EQ(m.components[0].kappa, expected.kappa);
  EXPECT_EQ(m.components[1].kappa, 500.0);
  EXPECT_NEAR(m.weights(0), 0.6, 1e-9);
  EXPECT_NEAR(m.weights(1), 0.4, 1e-9);

  EXPECT_THROW(m.mStep(Matrix(2, 3), X), std::invalid_argument);
  EXPECT_THROW(m.mStep(Matrix(3, 5), X), std::invalid_argument);
  EXPECT_THROW(m.perturbMean(2, 1.0f), std::out_of_range);
}

TEST(MixtureVmfTraining, FitFindsTwoClustersOfDirections) {
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 0.08);
  const Vector first = vec({0.0, 0.0, 1.0});
  const Vector second = vec({0.6, 0.8, 0.0});
  Matrix X(200, 3);
  for (std::size_t n = 0; n < 200; ++n) {
    const Vector& centre = n % 4 == 0 ? first : second;  // a quarter, three quarters
    const double length = 0.5 + double(n % 7);           // length must not matter
    for (std::size_t i = 0; i < 3; ++i) X(n, i) = length * (centre(i) + noise(rng));
  }
  Mixture_vMF m(2);
  m.components.assign(2, Vmf(3));
  testing::internal::CaptureStderr();
  const double total = m.fit(X);
  testing::internal::GetCapturedStderr();

  const std::size_t a = m.components[0].mean(2) > m.components[1].mean(2) ? 0 : 1;
  EXPECT_GT(boost::numeric::ublas::inner_prod(m.components[a].mean, first), 0.99);
  EXPECT_GT(boost::numeric::ublas::inner_prod(m.components[1 - a].mean, second), 0.99);
  EXPECT_NEAR(m.weights(a), 0.25, 0.02);

  double reference = 0.0;
  for (std::size_t n = 0; n < 200; ++n) reference += naiveLogLikelihood(m, row(X, n));
  EXPECT_NEAR(total, reference, 1e-8 * std::fabs(reference));
}

TEST(MixtureVmfTraining, CoincidingMeansAreReportedAndPulledApart) {
  // In one dimension a random unit mean is -1, 0 or +1, so four components
  // always start with two equal means.
  Mixture_vMF m(4);
  m.components.assign(4, Vmf(1));
  Matrix X(4, 1);
  X(0, 0) = 1.0;
  X(1, 0) = -2.0;
  X(2, 0) = 0.5;
  X(3, 0) = 3.0;
  testing::internal::CaptureStderr();
  m.fit(X);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Change u\n"), std::string::npos);
  EXPECT_NEAR(boost::numeric::ublas::sum(m.weights), 1.0, 1e-12);
}
