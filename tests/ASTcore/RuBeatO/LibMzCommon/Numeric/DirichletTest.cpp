// The Dirichlet posterior against references computed another way: Beta
// integrals by quadrature for the expected logarithms and the divergence,
// closed forms through boost::math special functions, and the
// Dirichlet-multinomial evidence, which the bound must reach after an update.
// The digamma of the numeric utilities is good to about 1e-7, hence the
// tolerances.

#include <gtest/gtest.h>

#include <boost/math/distributions/beta.hpp>
#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <random>
#include <stdexcept>

#include "Dirichlet.h"

namespace {

using Numeric::Dirichlet;
using Vector = Dirichlet::Vector;
using Matrix = Dirichlet::Matrix;

Vector vec(std::initializer_list<double> values) {
  Vector v(static_cast<Eigen::Index>(values.size()));
  Eigen::Index i = 0;
  for (double x : values) v[i++] = x;
  return v;
}

// A Dirichlet whose posterior is exactly `posterior` (prior plus counts).
Dirichlet withPosterior(const Vector& prior, const Vector& posterior) {
  Dirichlet d(prior);
  d.update(posterior - prior);
  return d;
}

double integrate01(const std::function<double(double)>& f) {
  boost::math::quadrature::tanh_sinh<double> integrator;
  return integrator.integrate(f, 0.0, 1.0);
}

// ln B(a) = sum lgamma(a_k) - lgamma(sum a), by boost.
double logMultiBeta(const Vector& a) {
  double s = 0.0;
  for (Eigen::Index k = 0; k < a.size(); ++k) s += boost::math::lgamma(a[k]);
  return s - boost::math::lgamma(a.sum());
}

// KL(Dir(q) || Dir(p)) in its usual closed form, by boost.
double closedFormKl(const Vector& q, const Vector& p) {
  const double psiSum = boost::math::digamma(q.sum());
  double kl = logMultiBeta(p) - logMultiBeta(q);
  for (Eigen::Index k = 0; k < q.size(); ++k)
    kl += (q[k] - p[k]) * (boost::math::digamma(q[k]) - psiSum);
  return kl;
}

TEST(Dirichlet, FreshPosteriorIsThePriorPlusWholeHundredths) {
  const Dirichlet d(3, 1.0f);
  ASSERT_EQ(d.prior.size(), 3);
  ASSERT_EQ(d.posterior.size(), 3);
  double sumExp = 0.0;
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(d.prior[k], 1.0);
    EXPECT_GE(d.posterior[k], 1.0);
    EXPECT_LE(d.posterior[k], 1.99 + 1e-12);
    const double hundredths = (d.posterior[k] - 1.0) * 100.0;
    EXPECT_NEAR(hundredths, std::round(hundredths), 1e-9);
    EXPECT_LT(d.expectedLog[k], 0.0);
    sumExp += std::exp(d.expectedLog[k]);
  }
  EXPECT_LT(sumExp, 1.0);
}

TEST(Dirichlet, VectorPriorIsKeptAndPerturbedUpwards) {
  const Vector prior = vec({0.5, 2.0, 7.25, 1e-3});
  const Dirichlet d(prior);
  EXPECT_EQ(d.prior, prior);
  for (Eigen::Index k = 0; k < prior.size(); ++k) {
    const double offset = d.posterior[k] - prior[k];
    EXPECT_GE(offset, 0.0);
    EXPECT_LE(offset, 0.99 + 1e-12);
  }
  EXPECT_EQ(d.expectedLog.size(), prior.size());
}

TEST(Dirichlet, ExpectedLogOfTwoOutcomesMatchesBetaIntegral) {
  const Vector posterior = vec({2.5, 4.0});
  const Dirichlet d = withPosterior(vec({1.0, 1.0}), posterior);
  const boost::math::beta_distribution<double> beta(posterior[0], posterior[1]);
  const double eLogX = integrate01([&](double x) { return std::log(x) * boost::math::pdf(beta, x); });
  const double eLog1mX =
      integrate01([&](double x) { return std::log1p(-x) * boost::math::pdf(beta, x); });
  const Vector e = d.getExpectedLog();
  EXPECT_NEAR(e[0], eLogX, 1e-6);
  EXPECT_NEAR(e[1], eLog1mX, 1e-6);
}

TEST(Dirichlet, ExpectedLogMatchesBoostDigammaForManyOutcomes) {
  const Vector posterior = vec({0.3, 1.0, 2.75, 10.0, 55.5, 0.02});
  const Dirichlet d = withPosterior(Vector::Constant(6, 0.01), posterior);
  const double psiSum = boost::math::digamma(posterior.sum());
  for (Eigen::Index k = 0; k < posterior.size(); ++k)
    EXPECT_NEAR(d.expectedLog[k], boost::math::digamma(posterior[k]) - psiSum, 1e-6) << k;
}

TEST(Dirichlet, BoundIsMinusKlDivergenceByQuadratureForTwoOutcomes) {
  const Vector p = vec({1.5, 2.5});
  const Vector q = vec({3.2, 1.7});
  const boost::math::beta_distribution<double> qb(q[0], q[1]);
  const boost::math::beta_distribution<double> pb(p[0], p[1]);
  const double kl = integrate01([&](double x) {
    const double qx = boost::math::pdf(qb, x);
    if (qx <= 0.0) return 0.0;
    return qx * (std::log(qx) - std::log(boost::math::pdf(pb, x)));
  });
  EXPECT_NEAR(Dirichlet::negativeKl(q, p), -kl, 1e-6);
  EXPECT_NEAR(withPosterior(p, q).bound(), -kl, 1e-6);
}

TEST(Dirichlet, BoundMatchesClosedFormKlAndIsNeverPositive) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.05, 20.0);
  for (int trial = 0; trial < 20; ++trial) {
    const Vector p = Vector::NullaryExpr(5, [&]() { return u(gen); });
    const Vector q = Vector::NullaryExpr(5, [&]() { return u(gen); });
    const double kl = closedFormKl(q, p);
    const float bound = Dirichlet::negativeKl(q, p);
    EXPECT_NEAR(bound, -kl, 1e-5 * std::max(1.0, kl)) << trial;
    EXPECT_LE(bound, 1e-5f) << trial;
  }
}

TEST(Dirichlet, ZeroCountsReturnThePosteriorToThePriorWithZeroBound) {
  const Vector prior = vec({0.7, 3.0, 1.2});
  Dirichlet d(prior);
  d.update(Vector::Zero(3));
  EXPECT_EQ(d.posterior, prior);
  EXPECT_NEAR(d.bound(), 0.0f, 1e-6f);
}

TEST(Dirichlet, UpdateRebuildsFromThePriorInsteadOfAccumulating) {
  Dirichlet d(4, 0.5f);
  const Vector counts = vec({3.0, 0.0, 1.5, 8.0});
  d.update(counts);
  const Vector once = d.posterior;
  const float boundOnce = d.bound();
  d.update(counts);
  EXPECT_EQ(d.posterior, once);
  EXPECT_EQ(d.bound(), boundOnce);
  EXPECT_EQ(once, Vector::Constant(4, 0.5) + counts);
}

// For counts n of a multinomial, E_q[log p(n | pi)] + bound is the
// variational lower bound of the Dirichlet-multinomial evidence; the update
// gives the exact posterior, so the bound reaches ln B(alpha0 + n) - ln B(alpha0).
TEST(Dirichlet, UpdateRaisesTheBoundToTheExactEvidence) {
  const Vector prior = vec({1.0, 0.5, 2.0, 1.0});
  const Vector counts = vec({4.0, 0.0, 9.0, 2.0});
  Dirichlet d(prior);
  const double before = d.expectedLogDot(counts) + d.bound();
  d.update(counts);
  const double after = d.expectedLogDot(counts) + d.bound();
  const double evidence = logMultiBeta(prior + counts) - logMultiBeta(prior);
  EXPECT_NEAR(after, evidence, 1e-4);
  EXPECT_GE(after, before - 1e-5);

  // Any other posterior stays below.
  Dirichlet other = d;
  other.posterior = d.posterior + vec({0.4, 0.1, -0.5, 1.0});
  other.updateExpectations();
  EXPECT_LT(other.expectedLogDot(counts) + other.bound(), after);
  // The copy was changed alone.
  EXPECT_EQ(d.posterior, prior + counts);
}

TEST(Dirichlet, ExpectedLogProductIsTheDotOfEveryRow) {
  const Dirichlet d = withPosterior(Vector::Ones(3), vec({2.0, 5.0, 1.5}));
  Matrix M(4, 3);
  M << 1, 0, 0, 0, 1, 0, 0.5, 0.25, 0.25, 3, -1, 2;
  Vector out = Vector::Constant(9, 42.0);
  d.expectedLogProduct(M, out);
  const Vector returned = d.expectedLogProduct(M);
  ASSERT_EQ(out.size(), 4);
  ASSERT_EQ(returned.size(), 4);
  for (Eigen::Index t = 0; t < 4; ++t) {
    double expected = 0.0;
    for (Eigen::Index k = 0; k < 3; ++k) expected += d.expectedLog[k] * M(t, k);
    EXPECT_NEAR(out[t], expected, 1e-12);
    EXPECT_EQ(returned[t], out[t]);
    EXPECT_NEAR(d.expectedLogDot(M.row(t).transpose()), expected, 1e-5);
  }
}

TEST(Dirichlet, ExpectedLogDotCoversOnlyTheGivenEntries) {
  const Dirichlet d = withPosterior(Vector::Ones(3), vec({2.0, 5.0, 1.5}));
  EXPECT_EQ(d.expectedLogDot(Vector()), 0.0f);
  EXPECT_NEAR(d.expectedLogDot(vec({2.0})), 2.0 * d.expectedLog[0], 1e-6);
}

TEST(Dirichlet, EmptyDistributionHasEmptyVectorsAndZeroBound) {
  const Dirichlet d(0, 1.0f);
  EXPECT_EQ(d.prior.size(), 0);
  EXPECT_EQ(d.posterior.size(), 0);
  EXPECT_EQ(d.expectedLog.size(), 0);
  EXPECT_EQ(d.bound(), 0.0f);
  EXPECT_EQ(d.expectedLogProduct(Matrix(2, 0)), Vector::Zero(2));
}

TEST(Dirichlet, NegativeSizeThrowsBadAlloc) {
  EXPECT_THROW(Dirichlet(-1, 1.0f), std::bad_alloc);
}

TEST(Dirichlet, MisshapedArgumentsThrowAndChangeNothing) {
  Dirichlet d(3, 1.0f);
  const Vector posterior = d.posterior;
  const float bound = d.bound();
  EXPECT_THROW(d.update(Vector::Ones(2)), std::invalid_argument);
  EXPECT_THROW(d.update(Vector::Ones(4)), std::invalid_argument);
  EXPECT_EQ(d.posterior, posterior);
  EXPECT_EQ(d.bound(), bound);
  EXPECT_THROW(d.expectedLogProduct(Matrix::Ones(2, 2)), std::invalid_argument);
  EXPECT_THROW(d.expectedLogDot(Vector::Ones(4)), std::invalid_argument);
  EXPECT_THROW(Dirichlet::negativeKl(Vector::Ones(2), Vector::Ones(3)), std::invalid_argument);
}

TEST(LogAdd, EqualArgumentsAddLogTwo) {
  for (double a : {-700.0, -3.5, 0.0, 2.0, 800.0})
    EXPECT_NEAR(Numeric::logAdd(a, a), a + std::log(2.0), 1e-12 * std::max(1.0, std::fabs(a)));
}

TEST(LogAdd, FarSmallerTermVanishes) {
  EXPECT_EQ(Numeric::logAdd(0.0, -1000.0), 0.0);
  EXPECT_EQ(Numeric::logAdd(-1000.0, 0.0), 0.0);
}

TEST(LogAdd, MatchesDirectSumAndAvoidsOverflow) {
  for (double a : {-5.0, -0.3, 0.0, 1.7, 20.0})
    for (double b : {-8.0, 0.0, 0.9, 15.0})
      EXPECT_NEAR(Numeric::logAdd(a, b), std::log(std::exp(a) + std::exp(b)), 1e-12);
  EXPECT_NEAR(Numeric::logAdd(1000.0, 999.0), 1000.0 + std::log1p(std::exp(-1.0)), 1e-12);
}

}  // namespace
