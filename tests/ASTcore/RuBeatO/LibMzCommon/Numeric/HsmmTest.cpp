// The semi-Markov model against an enumeration of every cell path of tiny
// models (likelihood, posteriors, expected counts, best path), closed forms
// of the all-zero model, and the guards on bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Hsmm.h"

namespace {

using Numeric::Hsmm;
using Matrix = Hsmm::Matrix;

struct Model {
  int N = 0;
  int D = 0;
  Matrix transition;
  Matrix duration;
  Matrix emission;
};

Model randomModel(int N, int D, int T, unsigned seed, double lo = -1.0, double hi = 0.0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(lo, hi);
  Model m;
  m.N = N;
  m.D = D;
  m.transition = Matrix::NullaryExpr(N, N, [&]() { return u(gen); });
  m.duration = Matrix::NullaryExpr(N, D, [&]() { return u(gen); });
  m.emission = Matrix::NullaryExpr(T, N, [&]() { return u(gen); });
  return m;
}

// Every admissible cell path with its log weight: frame 0 is free, a cell
// (i, d > 0) continues to (i, d - 1), a cell (i, 0) enters any (j, d) with
// weight transition(i, j) + duration(j, d), and frames from 1 on add their
// emission.
struct Enumeration {
  std::vector<std::vector<int>> paths;  // cell indices i*D + d per frame
  std::vector<double> logWeights;
  double logTotal = 0.0;
};

Enumeration enumerate(const Model& m) {
  Enumeration out;
  const int T = static_cast<int>(m.emission.rows());
  const int D = m.D;
  std::vector<int> path;
  std::function<void(int, double)> extend = [&](int t, double w) {
    if (t == T) {
      out.paths.push_back(path);
      out.logWeights.push_back(w);
      return;
    }
    const int prev = path.back();
    const int pi = prev / D;
    const int pd = prev % D;
    if (pd > 0) {
      path.push_back(prev - 1);
      extend(t + 1, w + m.emission(t, pi));
      path.pop_back();
      return;
    }
    for (int j = 0; j < m.N; ++j) {
      for (int d = 0; d < D; ++d) {
        path.push_back(j * D + d);
        extend(t + 1, w + m.transition(pi, j) + m.duration(j, d) + m.emission(t, j));
        path.pop_back();
      }
    }
  };
  for (int c = 0; c < m.N * D; ++c) {
    path.assign(1, c);
    extend(1, 0.0);
  }
  const double top = *std::max_element(out.logWeights.begin(), out.logWeights.end());
  double sum = 0.0;
  for (double w : out.logWeights) sum += std::exp(w - top);
  out.logTotal = top + std::log(sum);
  return out;
}

struct Expectations {
  Matrix posteriors;
  Matrix transitionCounts;
  Matrix durationCounts;
};

Expectations expectationsOf(const Model& m, const Enumeration& en) {
  const int T = static_cast<int>(m.emission.rows());
  const int D = m.D;
  Expectations x;
  x.posteriors = Matrix::Zero(T, m.N);
  x.transitionCounts = Matrix::Zero(m.N, m.N);
  x.durationCounts = Matrix::Zero(m.N, D);
  for (size_t p = 0; p < en.paths.size(); ++p) {
    const double w = std::exp(en.logWeights[p] - en.logTotal);
    const std::vector<int>& path = en.paths[p];
    for (int t = 0; t < T; ++t) x.posteriors(t, path[t] / D) += w;
    for (int t = 1; t < T; ++t) {
      if (path[t - 1] % D != 0) continue;
      x.transitionCounts(path[t - 1] / D, path[t] / D) += w;
      x.durationCounts(path[t] / D, path[t] % D) += w;
    }
  }
  return x;
}

Hsmm modelFor(const Model& m) {
  Hsmm h(m.N, m.D);
  h.setTransition(m.transition);
  h.setDuration(m.duration);
  return h;
}

double rowLogSumExp(const Matrix& a, Eigen::Index r) {
  const double top = a.row(r).maxCoeff();
  return top + std::log((a.row(r).array() - top).exp().sum());
}

// Tiny shapes covering single states, single-frame segments and paths
// shorter and longer than the longest segment.
struct Shape {
  int N, D, T;
};
const Shape kShapes[] = {{1, 1, 4}, {1, 3, 5}, {2, 1, 5}, {2, 2, 5},
                         {2, 3, 6}, {3, 2, 4}, {3, 3, 4}, {2, 4, 3}};

TEST(Hsmm, LogLikelihoodEqualsTheSumOverAllSegmentations) {
  unsigned seed = 1;
  for (const Shape& s : kShapes) {
    const Model m = randomModel(s.N, s.D, s.T, seed++, -2.0, 1.0);
    Hsmm h = modelFor(m);
    const double ll = h.infer(m.emission);
    EXPECT_NEAR(ll, enumerate(m).logTotal, 1e-10) << s.N << " " << s.D << " " << s.T;
  }
}

TEST(Hsmm, StatePosteriorsEqualEnumeratedMarginals) {
  unsigned seed = 100;
  for (const Shape& s : kShapes) {
    const Model m = randomModel(s.N, s.D, s.T, seed++, -2.0, 1.0);
    Hsmm h = modelFor(m);
    h.infer(m.emission);
    Matrix post;
    h.statePosteriors(post);
    const Expectations ref = expectationsOf(m, enumerate(m));
    ASSERT_EQ(post.rows(), s.T);
    ASSERT_EQ(post.cols(), s.N);
    EXPECT_LT((post - ref.posteriors).cwiseAbs().maxCoeff(), 1e-10) << s.N << " " << s.D << " " << s.T;
  }
}

TEST(Hsmm, ExpectedCountsEqualEnumeratedSegmentBoundaries) {
  unsigned seed = 200;
  for (const Shape& s : kShapes) {
    // Mild weights keep every frame's boundaries within reach of its
    // continuations, so no frame is left out of the counts.
    const Model m = randomModel(s.N, s.D, s.T, seed++, -0.5, 0.0);
    Hsmm h = modelFor(m);
    h.infer(m.emission);
    Matrix trans, dur;
    h.collectStats(trans, dur);
    const Expectations ref = expectationsOf(m, enumerate(m));
    ASSERT_EQ(trans.rows(), s.N);
    ASSERT_EQ(trans.cols(), s.N);
    ASSERT_EQ(dur.rows(), s.N);
    ASSERT_EQ(dur.cols(), s.D);
    EXPECT_LT((trans - ref.transitionCounts).cwiseAbs().maxCoeff(), 1e-10);
    EXPECT_LT((dur - ref.durationCounts).cwiseAbs().maxCoeff(), 1e-10);
  }
}

TEST(Hsmm, SingleFrameSegmentsMakeCountsEqualSumsOfPosteriors) {
  // With D = 1 every frame after the first starts a segment: the segments
  // entering j are the frames in j, those leaving i the earlier frames in i.
  const Model m = randomModel(3, 1, 7, 7, -3.0, 2.0);
  Hsmm h = modelFor(m);
  h.infer(m.emission);
  Matrix post, trans, dur;
  h.statePosteriors(post);
  h.collectStats(trans, dur);
  for (int j = 0; j < 3; ++j) {
    EXPECT_NEAR(dur(j, 0), post.col(j).tail(6).sum(), 1e-10);
    EXPECT_NEAR(trans.col(j).sum(), post.col(j).tail(6).sum(), 1e-10);
    EXPECT_NEAR(trans.row(j).sum(), post.col(j).head(6).sum(), 1e-10);
  }
}

TEST(Hsmm, ViterbiPathIsTheBestEnumeratedSegmentation) {
  unsigned seed = 300;
  for (const Shape& s : kShapes) {
    const Model m = randomModel(s.N, s.D, s.T, seed++, -2.0, 1.0);
    const Enumeration en = enumerate(m);
    const size_t best =
        std::max_element(en.logWeights.begin(), en.logWeights.end()) - en.logWeights.begin();
    Hsmm h = modelFor(m);
    Hsmm::IntVector durIdx, state;
    h.decode(durIdx, state, m.emission);
    ASSERT_EQ(durIdx.size(), s.T);
    ASSERT_EQ(state.size(), s.T);
    for (int t = 0; t < s.T; ++t) {
      EXPECT_EQ(state(t) * s.D + durIdx(t), en.paths[best][t]) << "frame " << t;
    }
  }
}

TEST(Hsmm, AllZeroWeightsOverTwoFramesGiveTheCountedPathTotal) {
  for (int N = 1; N <= 4; ++N) {
    for (int D = 2; D <= 5; ++D) {
      Hsmm h(N, D);
      const double ll = h.infer(Matrix::Zero(2, N));
      EXPECT_NEAR(ll, std::log(double(N) * ((D - 1) * (N + 1) + N)), 1e-12) << N << " " << D;
    }
  }
}

TEST(Hsmm, ForwardRowsAreNormalisedAndPosteriorsSumToOneUnderExtremeWeights) {
  const Model m = randomModel(20, 8, 60, 17, -40.0, 5.0);
  Hsmm h = modelFor(m);
  const double ll = h.infer(m.emission);
  EXPECT_TRUE(std::isfinite(ll));
  const Matrix& f = h.forwardTable();
  ASSERT_EQ(f.rows(), 60);
  ASSERT_EQ(f.cols(), 160);
  EXPECT_EQ(f.row(0).cwiseAbs().maxCoeff(), 0.0);
  EXPECT_EQ(h.backwardTable().row(59).cwiseAbs().maxCoeff(), 0.0);
  EXPECT_EQ(h.scales()(0), 0.0);
  EXPECT_NEAR(h.scales().sum(), ll, 1e-9);
  for (Eigen::Index t = 1; t < 60; ++t) EXPECT_NEAR(rowLogSumExp(f, t), 0.0, 1e-9) << t;
  Matrix post;
  h.statePosteriors(post);
  for (Eigen::Index t = 0; t < 60; ++t) {
    EXPECT_NEAR(post.row(t).sum(), 1.0, 1e-9) << t;
    EXPECT_GE(post.row(t).minCoeff(), 0.0);
  }
}

TEST(Hsmm, DecodedSegmentsCountDownAndNeverExceedTheLongestDuration) {
  const Model m = randomModel(5, 4, 80, 23, -3.0, 3.0);
  Hsmm h = modelFor(m);
  Hsmm::IntVector durIdx, state;
  h.decode(durIdx, state, m.emission);
  int segmentLength = 1;
  for (int t = 1; t < 80; ++t) {
    ASSERT_GE(durIdx(t), 0);
    ASSERT_LT(durIdx(t), 4);
    if (durIdx(t - 1) > 0) {
      EXPECT_EQ(state(t), state(t - 1));
      EXPECT_EQ(durIdx(t), durIdx(t - 1) - 1);
      ++segmentLength;
    } else {
      segmentLength = 1;
    }
    EXPECT_LE(segmentLength, 4);
  }
}

TEST(Hsmm, DecodingTiesKeepTheContinuationThenTheLowestStateThenTheFirstFinalCell) {
  Hsmm h(3, 3);
  Hsmm::IntVector durIdx, state;
  h.decode(durIdx, state, Matrix::Zero(5, 3));
  const std::vector<int> expectedDur = {1, 0, 2, 1, 0};
  for (int t = 0; t < 5; ++t) {
    EXPECT_EQ(state(t), 0) << t;
    EXPECT_EQ(durIdx(t), expectedDur[t]) << t;
  }
}

TEST(Hsmm, OneFrameGivesZeroLikelihoodNoCountsAndTheFirstCell) {
  const Model m = randomModel(3, 4, 1, 5, -2.0, 2.0);
  Hsmm h = modelFor(m);
  EXPECT_EQ(h.infer(m.emission), 0.0);
  Matrix trans, dur, post;
  h.collectStats(trans, dur);
  EXPECT_EQ(trans.cwiseAbs().maxCoeff(), 0.0);
  EXPECT_EQ(dur.cwiseAbs().maxCoeff(), 0.0);
  h.statePosteriors(post);
  ASSERT_EQ(post.rows(), 1);
  EXPECT_NEAR(post.sum(), 1.0, 1e-12);
  Hsmm::IntVector durIdx, state;
  h.decode(durIdx, state, m.emission);
  ASSERT_EQ(state.size(), 1);
  EXPECT_EQ(state(0), 0);
  EXPECT_EQ(durIdx(0), 0);
}

TEST(Hsmm, EmptySequenceGivesEmptyResults) {
  Hsmm h(2, 3);
  EXPECT_EQ(h.infer(Matrix(0, 2)), 0.0);
  Matrix post;
  h.statePosteriors(post);
  EXPECT_EQ(post.rows(), 0);
  EXPECT_EQ(post.cols(), 2);
  Hsmm::IntVector durIdx(3), state(3);
  h.decode(durIdx, state, Matrix(0, 2));
  EXPECT_EQ(durIdx.size(), 0);
  EXPECT_EQ(state.size(), 0);
}

TEST(Hsmm, FramesWhoseBoundariesAreFarBelowTheirContinuationsAddNoCounts) {
  Model m = randomModel(2, 2, 2, 31, -0.1, 0.0);
  m.transition.setConstant(-10.0);
  Hsmm h = modelFor(m);
  h.infer(m.emission);
  Matrix trans, dur;
  h.collectStats(trans, dur);
  // The exact expectation is small but not zero; the frame is left out.
  EXPECT_GT(expectationsOf(m, enumerate(m)).transitionCounts.sum(), 1e-5);
  EXPECT_EQ(trans.cwiseAbs().maxCoeff(), 0.0);
  EXPECT_EQ(dur.cwiseAbs().maxCoeff(), 0.0);
}

TEST(Hsmm, WronglyShapedInputsAreRefusedAndChangeNothing) {
  Hsmm h(2, 3);
  EXPECT_THROW(h.setTransition(Matrix::Constant(3, 2, -1.0)), std::domain_error);
  EXPECT_THROW(h.setDuration(Matrix::Constant(2, 2, -1.0)), std::domain_error);
  EXPECT_EQ(h.transitionWeights(), Matrix::Zero(2, 2));
  EXPECT_EQ(h.durationWeights(), Matrix::Zero(2, 3));
  h.setTransition(Matrix::Constant(2, 2, -1.5));
  h.setDuration(Matrix::Constant(2, 3, -2.5));
  EXPECT_EQ(h.transitionWeights(), Matrix::Constant(2, 2, -1.5));
  EXPECT_EQ(h.durationWeights(), Matrix::Constant(2, 3, -2.5));

  Hsmm::IntVector durIdx, state;
  EXPECT_THROW(h.infer(Matrix::Zero(4, 3)), std::domain_error);
  EXPECT_THROW(h.decode(durIdx, state, Matrix::Zero(4, 4)), std::domain_error);
}

TEST(Hsmm, ModelsWithoutStatesOrDurationsAreRejected) {
  EXPECT_THROW(Hsmm(0, 3), std::domain_error);
  EXPECT_THROW(Hsmm(2, 0), std::domain_error);
  EXPECT_THROW(Hsmm(-1, 3), std::domain_error);
}

TEST(Hsmm, UnreachableCellsStayFiniteInBothPasses) {
  // A forbidden transition (log weight -inf) into state 1 from everywhere:
  // state 1 can only be the start state; nothing becomes NaN.
  Model m = randomModel(2, 3, 8, 41, -1.0, 0.0);
  m.transition.col(1).setConstant(-std::numeric_limits<double>::infinity());
  Hsmm h = modelFor(m);
  const double ll = h.infer(m.emission);
  EXPECT_NEAR(ll, enumerate(m).logTotal, 1e-10);
  EXPECT_FALSE(h.forwardTable().hasNaN());
  EXPECT_FALSE(h.backwardTable().hasNaN());
  Matrix post;
  h.statePosteriors(post);
  EXPECT_FALSE(post.hasNaN());
  EXPECT_NEAR(post(7, 1), 0.0, 1e-12);
}

}  // namespace
