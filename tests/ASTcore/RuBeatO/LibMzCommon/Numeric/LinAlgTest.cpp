// Cholesky factor and forward substitution checked by multiplying back.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "LinAlg.h"

namespace {

namespace ublas = boost::numeric::ublas;

template <typename T>
ublas::matrix<T> randomSpd(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  ublas::matrix<T> b(n, n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) b(i, j) = T(dist(rng));
  ublas::matrix<T> a = ublas::prod(b, ublas::trans(b));
  for (std::size_t i = 0; i < n; ++i) a(i, i) += T(n);
  return a;
}

template <typename T>
void checkFactorRebuildsTheMatrix(double tolerance) {
  for (std::size_t n : {1u, 2u, 5u, 9u}) {
    const ublas::matrix<T> a = randomSpd<T>(n, unsigned(n));
    ublas::matrix<T> l;  // wrong size on purpose: the factor sizes it
    Numeric::LinAlg::cholesky(l, a);
    ASSERT_EQ(l.size1(), n);
    ASSERT_EQ(l.size2(), n);
    const ublas::matrix<T> back = ublas::prod(l, ublas::trans(l));
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_GT(l(i, i), T(0));
      for (std::size_t j = 0; j < n; ++j) {
        if (j > i) {
          EXPECT_EQ(l(i, j), T(0));
        }
        EXPECT_NEAR(back(i, j), a(i, j), tolerance);
      }
    }
  }
}

TEST(LinAlgCholesky, FactorTimesItsTransposeRebuildsTheMatrix) {
  checkFactorRebuildsTheMatrix<double>(1e-12);
  checkFactorRebuildsTheMatrix<float>(1e-4);
}

TEST(LinAlgCholesky, NonSquareMatricesAreRefused) {
  ublas::matrix<double> a(2, 3), l;
  EXPECT_THROW(Numeric::LinAlg::cholesky(l, a), std::invalid_argument);
}

TEST(LinAlgForwardSolve, SolutionSatisfiesTheTriangularSystem) {
  const std::size_t n = 6;
  ublas::matrix<double> l;
  Numeric::LinAlg::cholesky(l, randomSpd<double>(n, 3));
  ublas::vector<double> b(n), x(n);
  for (std::size_t i = 0; i < n; ++i) b(i) = double(i) - 2.5;
  Numeric::LinAlg::forward_solve(x, b, l);
  const ublas::vector<double> back = ublas::prod(l, x);
  for (std::size_t i = 0; i < n; ++i) EXPECT_NEAR(back(i), b(i), 1e-12);
}

TEST(LinAlgForwardSolve, TooSmallRightHandSideOrMatrixIsRefused) {
  ublas::matrix<double> l = ublas::identity_matrix<double>(3);
  ublas::vector<double> x(4), b(4), shortB(2);
  EXPECT_THROW(Numeric::LinAlg::forward_solve(x, b, l), std::invalid_argument);
  ublas::vector<double> x3(3);
  EXPECT_THROW(Numeric::LinAlg::forward_solve(x3, shortB, l), std::invalid_argument);
}

}  // namespace
