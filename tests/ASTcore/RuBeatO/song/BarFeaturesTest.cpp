// The per-bar structure features against references computed another way:
// a cell pooled by plain loops (mean, log, cosine sums written out), and the
// reduction against the eigenvectors of the bars' Gram matrix, which span
// what the left singular vectors of the standardised bar rows span.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include <Eigen/Eigenvalues>

#include "BarFeatures.h"
#include "FrameFeatureMaker.h"

namespace {

using MzMir::FeatureMatrix;
constexpr int kBands = MzMir::FrameFeatureMaker::kBands;
constexpr int kWidth = MzMir::FrameFeatureMaker::kFeatures;

// Column standardisation written out: minus the mean, over the population
// deviation plus 0.01.
FeatureMatrix standardised(FeatureMatrix m) {
  for (Eigen::Index j = 0; j < m.cols(); ++j) {
    double mean = 0.0;
    for (Eigen::Index i = 0; i < m.rows(); ++i) mean += m(i, j);
    mean /= static_cast<double>(m.rows());
    double var = 0.0;
    for (Eigen::Index i = 0; i < m.rows(); ++i) var += (m(i, j) - mean) * (m(i, j) - mean);
    const double sd = std::sqrt(var / static_cast<double>(m.rows())) + 0.01;
    for (Eigen::Index i = 0; i < m.rows(); ++i) m(i, j) = (m(i, j) - mean) / sd;
  }
  return m;
}

FeatureMatrix randomCells(int rows, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  FeatureMatrix cells(rows, kWidth);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kWidth; ++c) cells(r, c) = u(rng);
  return cells;
}

TEST(BarFeatures, ACellIsTheMeanWithItsBandsAsCosineSumsOfLogEnergies) {
  MzMir::FrameFeatureMaker maker(8192);
  const std::vector<double>& D = maker.cosineMatrix();
  ASSERT_EQ(D.size(), static_cast<std::size_t>(kBands * kBands));
  // The matrix as the pooling defines it: 2 cos(3.14159 m / 44), m = k (2n + 1).
  for (int k = 0; k < kBands; ++k)
    for (int n = 0; n < kBands; ++n)
      EXPECT_NEAR(D[static_cast<std::size_t>(k * kBands + n)],
                  2.0 * std::cos(3.14159 * static_cast<float>(k * (2 * n + 1)) / 44.0), 1e-12);

  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.0, 2.0);
  for (int count : {1, 3, 8}) {
    std::vector<Eigen::VectorXd> hops(static_cast<std::size_t>(count), Eigen::VectorXd(kWidth));
    for (auto& h : hops)
      for (int j = 0; j < kWidth; ++j) h[j] = u(rng);
    const Eigen::VectorXd pooled = MzMir::poolCell(hops, D);
    ASSERT_EQ(pooled.size(), kWidth);

    std::vector<double> mean(kWidth, 0.0);
    for (const auto& h : hops)
      for (int j = 0; j < kWidth; ++j) mean[static_cast<std::size_t>(j)] += h[j] / count;
    for (int k = 0; k < kBands; ++k) {
      double sum = 0.0;
      for (int n = 0; n < kBands; ++n)
        sum += D[static_cast<std::size_t>(k * kBands + n)] * std::log(mean[static_cast<std::size_t>(n)] + 0.0001);
      EXPECT_NEAR(pooled[k], sum, 1e-9) << count << " hops, band " << k;
    }
    for (int j = kBands; j < kWidth; ++j)
      EXPECT_NEAR(pooled[j], mean[static_cast<std::size_t>(j)], 1e-12) << count << " hops, pitch class " << j;
  }
}

TEST(BarFeatures, ReducedBarsSpanTheLeadingEigenvectorsOfTheBarsGramMatrix) {
  const int gridPerBar = 4, ndim = 3, bars = 12;
  // Two cells past the last whole bar are dropped.
  const FeatureMatrix cells = randomCells(bars * gridPerBar + 2, 11);
  const FeatureMatrix features = MzMir::reduceBarFeatures(cells, gridPerBar, ndim);
  ASSERT_EQ(features.rows(), bars);
  ASSERT_EQ(features.cols(), ndim);

  FeatureMatrix joined(bars, gridPerBar * kWidth);
  for (int b = 0; b < bars; ++b)
    for (int c = 0; c < gridPerBar; ++c)
      for (int j = 0; j < kWidth; ++j) joined(b, c * kWidth + j) = cells(b * gridPerBar + c, j);
  const FeatureMatrix L = standardised(joined);
  const Eigen::MatrixXd gram = L * L.transpose();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(gram);
  // Eigenvalues rise; the leading vectors are the last columns.
  for (int d = 0; d < ndim; ++d) {
    const Eigen::VectorXd v = eig.eigenvectors().col(bars - 1 - d);
    FeatureMatrix column(bars, 1);
    column.col(0) = v;
    const Eigen::VectorXd expected = standardised(column).col(0);
    const Eigen::VectorXd got = features.col(d);
    // Equal up to the sign of the singular vector.
    const double dot = got.normalized().dot(expected.normalized());
    EXPECT_NEAR(std::abs(dot), 1.0, 1e-6) << "column " << d;
  }
  // Every column comes out standardised.
  for (int d = 0; d < ndim; ++d) EXPECT_NEAR(features.col(d).mean(), 0.0, 1e-9);
}

TEST(BarFeatures, NoMoreBarsThanColumnsKeepsTheFirstStandardisedColumnsAndNoBarGivesNoRows) {
  const int gridPerBar = 2, ndim = 5;
  const FeatureMatrix cells = randomCells(3 * gridPerBar, 3);
  const FeatureMatrix features = MzMir::reduceBarFeatures(cells, gridPerBar, ndim);
  ASSERT_EQ(features.rows(), 3);
  ASSERT_EQ(features.cols(), ndim);
  FeatureMatrix joined(3, gridPerBar * kWidth);
  for (int b = 0; b < 3; ++b)
    for (int c = 0; c < gridPerBar; ++c)
      for (int j = 0; j < kWidth; ++j) joined(b, c * kWidth + j) = cells(b * gridPerBar + c, j);
  const FeatureMatrix expected = standardised(standardised(joined).leftCols(ndim));
  EXPECT_LT((features - expected).cwiseAbs().maxCoeff(), 1e-12);

  const FeatureMatrix none = MzMir::reduceBarFeatures(randomCells(gridPerBar - 1, 5), gridPerBar, ndim);
  EXPECT_EQ(none.rows(), 0);
  EXPECT_EQ(none.cols(), ndim);
}

}  // namespace
