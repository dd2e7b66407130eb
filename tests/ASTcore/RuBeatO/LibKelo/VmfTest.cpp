// One von Mises-Fisher component against numerical integration over the
// circle and the sphere, the closed-form mean resultant length on the
// sphere, and its text form.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "Vmf.h"

namespace {

using Vector = Vmf::Vector;
const double kPi = 3.14159265358979323846;

Vector vec(std::initializer_list<double> values) {
  Vector v(values.size());
  std::size_t i = 0;
  for (double x : values) v(i++) = x;
  return v;
}

Vmf component(int dimension, double kappa, const Vector& mean) {
  Vmf c(dimension);
  c.setKappa(kappa);
  c.setMean(mean);
  return c;
}

// Composite Simpson rule over [a, b] with n (even) intervals.
template <typename F>
double simpson(F f, double a, double b, int n) {
  const double h = (b - a) / n;
  double sum = f(a) + f(b);
  for (int i = 1; i < n; ++i) sum += f(a + i * h) * (i % 2 ? 4.0 : 2.0);
  return sum * h / 3.0;
}

// Periodic integrand: the plain trapezoid rule converges fast.
template <typename F>
double aroundTheCircle(F f, int n = 20000) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += f(2.0 * kPi * i / n);
  return sum * 2.0 * kPi / n;
}

Vector onSphere(double polar, double azimuth) {
  return vec({std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth),
              std::cos(polar)});
}

}  // namespace

TEST(VmfNormalizer, MatchesIntegralsOverTheCircleAndTheSphere) {
  for (double kappa : {0.01, 0.5, 3.0, 25.0, 300.0}) {
    const double circle = -std::log(
        aroundTheCircle([&](double a) { return std::exp(kappa * std::cos(a)); }));
    const double sphere = -std::log(aroundTheCircle([&](double azimuth) {
      return simpson([&](double t) { return std::exp(kappa * onSphere(t, azimuth)(2)) *
                                            std::sin(t); },
                     0.0, kPi, 4000);
    }, 8));
    Vmf c2(2), c3(3);
    c2.setKappa(kappa);
    c3.setKappa(kappa);
    EXPECT_NEAR(c2.logNormalizer, circle, 1e-6 * std::max(1.0, std::fabs(circle)));
    EXPECT_NEAR(c3.logNormalizer, sphere, 1e-6 * std::max(1.0, std::fabs(sphere)));
    EXPECT_EQ(c3.kappa, kappa);
  }
}

TEST(VmfNormalizer, DefaultComponentHasTwelveDimensionsAndKappaTen) {
  // Over S^11 the slice at polar angle t is a sphere S^10 of radius sin(t).
  const double areaS10 = 2.0 * std::pow(kPi, 5.5) / std::tgamma(5.5);
  const double integral = areaS10 * simpson([](double t) {
    return std::exp(10.0 * std::cos(t)) * std::pow(std::sin(t), 10);
  }, 0.0, kPi, 20000);
  const Vmf fresh;
  EXPECT_EQ(fresh.mean.size(), 12u);
  EXPECT_EQ(fresh.kappa, 10.0);
  EXPECT_NEAR(fresh.logNormalizer, -std::log(integral), 1e-6);
  EXPECT_EQ(fresh.logNormalizer, double(float(-6.1700195793)));  // single precision
}

TEST(VmfDensity, IntegratesToOneOverTheCircleAndTheSphere) {
  for (double kappa : {0.3, 5.0, 20.0}) {
    const Vmf c2 = component(2, kappa, vec({-0.6, 0.8}));
    EXPECT_NEAR(aroundTheCircle([&](double a) {
      return std::exp(c2.logPdf(vec({std::cos(a), std::sin(a)})));
    }), 1.0, 1e-6);
    const Vmf c3 = component(3, kappa, vec({1.0, -2.0, 0.5}));  // not unit length
    const double total = aroundTheCircle([&](double azimuth) {
      return simpson([&](double t) {
        return std::exp(c3.logPdf(onSphere(t, azimuth))) * std::sin(t);
      }, 0.0, kPi, 600);
    }, 600);
    EXPECT_NEAR(total, 1.0, 1e-5) << "kappa " << kappa;
  }
}

TEST(VmfDensity, DependsOnlyOnDirectionAndIsZeroForZeroVectors) {
  const Vmf c = component(3, 7.0, vec({0.0, 0.6, 0.8}));
  const Vector x = vec({0.3, -0.1, 0.7});
  EXPECT_NEAR(c.logPdf(x), c.logPdf(5.0 * x), 1e-12);
  EXPECT_NEAR(c.logPdf(vec({0.0, -0.6, -0.8})), -7.0 + c.logNormalizer, 1e-12);
  EXPECT_EQ(c.logPdf(vec({0.0, 0.0, 0.0})), 0.0);
  EXPECT_EQ(Vmf(3).logPdf(x), 0.0);  // zero mean
}

TEST(VmfDensity, VectorsOfTheWrongSizeAreRejected) {
  Vmf c = component(3, 7.0, vec({0.0, 0.6, 0.8}));
  EXPECT_THROW(c.logPdf(vec({1.0, 0.0})), std::invalid_argument);
  EXPECT_THROW(c.logPdf(vec({1.0, 0.0, 0.0, 0.0})), std::invalid_argument);
  EXPECT_THROW(c.setMean(vec({1.0, 2.0})), std::invalid_argument);
  c.setMean(vec({1.0, 2.0, 3.0, 4.0}));  // longer: the first values count
  EXPECT_EQ(c.mean.size(), 3u);
  EXPECT_EQ(c.mean(2), 3.0);
}

TEST(VmfKappa, BadKappaOrBesselOverflowLeavesTheComponentAsItWas) {
  Vmf c(12);
  for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) c.setKappa(bad);
  EXPECT_THROW(c.setKappa(1e5), std::overflow_error);
  EXPECT_EQ(c.kappa, 10.0);
  EXPECT_EQ(c.logNormalizer, double(float(-6.1700195793)));
}

TEST(VmfFit, RecoversKappaFromTheSphereMeanResultant) {
  const Vector direction = vec({2.0 / 3.0, -1.0 / 3.0, 2.0 / 3.0});
  for (double kappa : {0.5, 2.0, 5.0, 40.0, 200.0}) {
    const double rbar = 1.0 / std::tanh(kappa) - 1.0 / kappa;  // A_3(kappa)
    Vmf c(3);
    c.fit(rbar * 7.0 * direction, 7.0);
    EXPECT_NEAR(c.kappa, kappa, 1e-4 * kappa);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(c.mean(i), direction(i), 1e-9);
  }
}

TEST(VmfFit, ConcentratedDataClampsKappaAndZeroWeightUsesTheResultantLength) {
  Vmf c(12);
  Vector r(12);
  r.clear();
  r(4) = 3.0;
  c.fit(r, 3.0);
  EXPECT_EQ(c.kappa, 500.0);

  Vmf withoutWeight(3), weighted(3);
  withoutWeight.fit(vec({0.0, 0.56, 0.42}), 0.0);
  weighted.fit(vec({0.0, 1.12, 0.84}), 2.0);
  EXPECT_EQ(withoutWeight.kappa, weighted.kappa);
}

TEST(VmfFit, LongerResultantIsReportedAndShorterRejected) {
  Vmf c(2);
  testing::internal::CaptureStdout();
  c.fit(vec({0.3, 0.4, 100.0}), 1.0);
  EXPECT_THROW(c.fit(vec({0.3}), 1.0), std::invalid_argument);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error: m.size()!=mean.size!\nError: m.size()!=mean.size!\n");
  EXPECT_NEAR(c.mean(1), 0.8, 1e-9);
}

TEST(VmfText, DefaultFormatIsSixDigitsInTheVectorSyntax) {
  const Vmf c = component(3, 2.5, vec({0.25, -1.0 / 3.0, 1e-7}));
  std::ostringstream out, expected;
  c.print(out);
  expected << "2.5 " << c.logNormalizer << "\n[3](0.25,-0.333333,1e-07)";
  EXPECT_EQ(out.str(), expected.str());
}

TEST(VmfText, FullPrecisionRoundTripKeepsEveryValueAndSetsThePeak) {
  const Vmf original = component(4, 3.25, vec({0.1, 0.9, 0.123456789012345, 0.9}));
  std::ostringstream out;
  out.precision(17);
  original.print(out);
  Vmf copy(1);
  std::istringstream in(out.str());
  copy.read(in);
  ASSERT_FALSE(in.fail());
  EXPECT_EQ(copy.kappa, original.kappa);
  EXPECT_EQ(copy.logNormalizer, original.logNormalizer);
  ASSERT_EQ(copy.mean.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(copy.mean(i), original.mean(i));
  EXPECT_EQ(copy.peakIndex, 1);  // the first of two equal largest
}

TEST(VmfText, MalformedTextFailsTheStreamAndKeepsWhatWasNotRead) {
  const char* const bad[] = {
      "1 2 3](1,2,3)", "1 2 [3(1,2,3)",  "1 2 [3]1,2,3)", "1 2 [3](1,2)",
      "1 2 [3](1;2;3)", "1 2 [3](1,2,3", "1 2 [-1](1)",   "1 2 [4000000000000](1,2)",
      "1 2 [18446744073709551615](1)", "1 2 [2](1,x)", "abc",
  };
  for (const char* text : bad) {
    Vmf c = component(3, 4.0, vec({0.0, 0.0, 1.0}));
    std::istringstream in(text);
    c.read(in);
    EXPECT_TRUE(in.fail()) << text;
    ASSERT_EQ(c.mean.size(), 3u) << text;
    EXPECT_EQ(c.mean(2), 1.0) << text;
    if (text[0] == 'a') {
      EXPECT_EQ(c.kappa, 4.0);
    }
  }
}
