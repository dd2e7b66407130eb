// One round of the structure model and the rounds fused into segments:
// repeatability from one seed, the decoded countdowns, and planted
// A A B A feature rows found as four parts.

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "NumericUtilities.h"
#include "SongStructure.h"
#include "StructureInference.h"

namespace {

using Matrix = StructureInference::Matrix;

// 8 bars each of A, A, B, A: a part is a fixed 5-value pattern plus a
// little noise per bar.
Matrix plantedAaba() {
  std::mt19937 gen(7);
  std::normal_distribution<double> noise(0.0, 0.15);
  const double a[5] = {1.0, -0.5, 0.8, 0.0, -1.0};
  const double b[5] = {-1.2, 0.9, -0.6, 1.1, 0.7};
  Matrix x(32, 5);
  for (int bar = 0; bar < 32; ++bar)
    for (int j = 0; j < 5; ++j) x(bar, j) = ((bar / 8) == 2 ? b[j] : a[j]) + noise(gen);
  return x;
}

StructureInference analyzerModel() {
  StructureInference m(20, 8, 5);
  m.setObservationPriors(1.0, 0.01, 0.01).setMixtureWeightPrior(0.01).setInferenceParamC(0.1).setInferenceParamD(0.9);
  return m;
}

}  // namespace

TEST(StructureInference, TheSameSeedGivesTheSameRoundAndCountdownsFallToZero) {
  const Matrix x = plantedAaba();
  Numeric::seedRandomInt(32768);
  StructureInference first = analyzerModel();
  const double score = first.estimate(x);
  Numeric::seedRandomInt(32768);
  StructureInference second = analyzerModel();
  EXPECT_EQ(second.estimate(x), score);
  EXPECT_EQ(first.getLabels(), second.getLabels());
  EXPECT_EQ(first.getCountdown(), second.getCountdown());
  EXPECT_LE(first.iterationsRun(), 20);

  const auto& c = first.getCountdown();
  ASSERT_EQ(c.size(), 32);
  for (int t = 1; t < 32; ++t) {
    if (c[t - 1] != 0) {
      EXPECT_EQ(c[t], c[t - 1] - 1) << t;
      EXPECT_EQ(first.getLabels()[t], first.getLabels()[t - 1]);
    }
    EXPECT_LT(c[t], 8);
  }
}

TEST(SongStructure, PlantedAabaRowsGiveFourPartsWithTheAsSharingALabel) {
  const Matrix x = plantedAaba();
  Numeric::seedRandomInt(32768);
  std::vector<int> countdown, labels;
  // Four rounds keep the test short; every round must agree on a label.
  ASSERT_TRUE(inferSongStructure(x, StructureSettings(), 4, countdown, labels, nullptr));
  ASSERT_EQ(labels.size(), 32u);

  std::vector<double> barTimes;
  std::vector<std::int32_t> barTatums;
  for (int b = 0; b <= 32; ++b) barTimes.push_back(2.0 * b);
  for (int b = 0; b < 32; ++b) barTatums.push_back(4 * b);
  const std::vector<SongSegment> segments = segmentsOfBars(barTimes, barTatums, countdown, labels);
  ASSERT_FALSE(segments.empty());
  EXPECT_EQ(segments.front().start, 0.0f);
  EXPECT_EQ(segments.back().end, 64.0f);

  // Every planted boundary has a segment start within one bar, and the
  // label at the middle of each A part is the same, B's another.
  for (double boundary : {16.0, 32.0, 48.0}) {
    bool found = false;
    for (const SongSegment& s : segments) found = found || std::abs(s.start - boundary) <= 2.0;
    EXPECT_TRUE(found) << boundary;
  }
  const auto labelAt = [&](double t) {
    for (const SongSegment& s : segments)
      if (s.start <= t && t < s.end) return s.label;
    return -1;
  };
  EXPECT_EQ(labelAt(8.0), labelAt(24.0));
  EXPECT_EQ(labelAt(8.0), labelAt(56.0));
  EXPECT_NE(labelAt(8.0), labelAt(40.0));
  for (std::size_t i = 1; i < segments.size(); ++i) EXPECT_EQ(segments[i].start, segments[i - 1].end);
}

TEST(SongStructure, NoBarsGiveNoSegmentsAndAStopLeavesTheOutputs) {
  std::vector<int> countdown{1}, labels{1};
  EXPECT_TRUE(inferSongStructure(Matrix(0, 5), StructureSettings(), 10, countdown, labels, nullptr));
  EXPECT_TRUE(countdown.empty());
  EXPECT_TRUE(segmentsOfBars({3.5}, {}, countdown, labels).empty());
  EXPECT_TRUE(segmentsOfBars({}, {}, {0}, {0}).empty());

  countdown = {7};
  int asked = 0;
  EXPECT_FALSE(inferSongStructure(plantedAaba(), StructureSettings(), 10, countdown, labels, [&](int round) {
    ++asked;
    return round < 1;
  }));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(countdown, std::vector<int>{7});
}

TEST(SongStructure, SegmentsSplitAtEveryEndEvenBetweenEqualLabels) {
  // Two bars of one label with a segment end between them are two segments;
  // the last ends at the end of the recording, not at a bar line.
  const std::vector<SongSegment> s = segmentsOfBars({1.0, 3.0, 5.0, 9.5}, {4, 8, 12}, {0, 1, 0}, {3, 3, 3});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].start, 1.0f);
  EXPECT_EQ(s[0].end, 3.0f);
  EXPECT_EQ(s[1].barTatum, 8);
  EXPECT_EQ(s[1].end, 9.5f);
  EXPECT_EQ(s[0].label, s[1].label);
}

TEST(StructureInference, SettersIgnoreValuesNotAboveZeroAndAClearSignalStopsEarly) {
  const Matrix x = plantedAaba();
  Numeric::seedRandomInt(32768);
  StructureInference plain = analyzerModel();
  const double score = plain.estimate(x);
  // A clear signal settles within a few iterations: the loop ends when two
  // scores differ by less than 0.01, well before the cap of 20.
  EXPECT_LT(plain.iterationsRun(), 20);
  EXPECT_GE(plain.iterationsRun(), 2);

  Numeric::seedRandomInt(32768);
  StructureInference ignored = analyzerModel();
  ignored.setObservationPriors(0.0, -1.0, 0.0).setMixtureWeightPrior(0.0).setInferenceParamC(-2.0).setInferenceParamD(0.0);
  EXPECT_EQ(ignored.estimate(x), score);
  EXPECT_EQ(ignored.getLabels(), plain.getLabels());

  // Each prior alone is taken when it is above zero.
  Numeric::seedRandomInt(32768);
  StructureInference changed = analyzerModel();
  changed.setObservationPriors(-1.0, 0.5, -1.0);
  EXPECT_NE(changed.estimate(x), score);
  Numeric::seedRandomInt(32768);
  StructureInference concentrated = analyzerModel();
  concentrated.setInferenceParamD(5.0);
  EXPECT_NE(concentrated.estimate(x), score);
}

TEST(StructureInference, PrintWritesEveryPosteriorAsPriorColonPosterior) {
  Numeric::seedRandomInt(32768);
  StructureInference m(3, 4, 2);
  m.setInferenceParamD(0.9);
  m.estimate(plantedAaba());
  std::ostringstream captured;
  std::streambuf* const old = std::cerr.rdbuf(captured.rdbuf());
  m.print();
  std::cerr.rdbuf(old);
  const std::string text = captured.str();
  EXPECT_EQ(text.rfind("StructureInference Instance at ", 0), 0u);
  const std::size_t transitions = text.find("[Transition]\n");
  const std::size_t durations = text.find("[Duration]\n");
  ASSERT_NE(transitions, std::string::npos);
  ASSERT_NE(durations, std::string::npos);
  EXPECT_LT(transitions, durations);
  for (const char* label : {"TR(0):", "TR(1):", "TR(2):", "DR(0):", "DR(1):", "DR(2):"})
    EXPECT_NE(text.find(label), std::string::npos) << label;
  EXPECT_EQ(text.find("TR(3)"), std::string::npos);
  // The prior of state 0: 1.1 x 0.9 to itself, 0.9 to the others, one value
  // a line in the matrix library's own layout (right-aligned), then ":".
  EXPECT_NE(text.find("TR(0):0.99\n 0.9\n 0.9:"), std::string::npos) << text;
  // The duration prior of at most 4 bars: 0.1, 0.1, 0.9, 1.
  EXPECT_NE(text.find("DR(0):0.1\n0.1\n0.9\n  1:"), std::string::npos) << text;
}

TEST(StructureInference, WithoutIterationsTheUntrainedStartIsDecodedAndScoresZero) {
  const Matrix x = plantedAaba();
  for (int iterations : {0, -3}) {
    Numeric::seedRandomInt(32768);
    StructureInference m = analyzerModel();
    m.maxIterations = iterations;
    EXPECT_EQ(m.estimate(x), 0.0) << iterations;
    EXPECT_EQ(m.iterationsRun(), 0);
    // Every bar still gets a label and a countdown that falls to 0 within
    // its segment.
    const auto& c = m.getCountdown();
    ASSERT_EQ(c.size(), 32) << iterations;
    ASSERT_EQ(m.getLabels().size(), 32) << iterations;
    EXPECT_EQ(c[31], 0);
    for (int t = 1; t < 32; ++t) {
      if (c[t - 1] != 0) {
        EXPECT_EQ(c[t], c[t - 1] - 1) << t;
      }
    }
    for (int t = 0; t < 32; ++t) {
      EXPECT_GE(m.getLabels()[t], 0);
      EXPECT_LT(m.getLabels()[t], 20);
    }
  }
}

TEST(StructureInference, TheDurationPriorFavoursThreeAndFourBarsUnlessEightIsTheLongest) {
  const auto prior = [](int d) {
    const Eigen::VectorXd p = StructureInference::durationPrior(d);
    return std::vector<double>(p.data(), p.data() + p.size());
  };
  EXPECT_EQ(prior(6), (std::vector<double>{0.1, 0.1, 0.9, 1.0, 0.1, 0.1}));
  EXPECT_EQ(prior(4), (std::vector<double>{0.1, 0.1, 0.9, 1.0}));
  EXPECT_EQ(prior(8), std::vector<double>(8, 0.8));
  EXPECT_EQ(prior(3), std::vector<double>(3, 1e-10));
}
