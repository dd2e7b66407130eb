// The whole-sequence chord/key decoder against a brute-force enumeration of
// every path, mode, phase and tonic of a toy model, under transposition of
// its input, and at the limits of its state space and arguments.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include <boost/make_shared.hpp>

#include "KeloHmm.h"
#include "OfflineHmm.h"

namespace {

using kelo::JointHpcpPowPdf;
using kelo::OfflineHmm;
using Vector = JointHpcpPowPdf::Vector;

Vector unitVector(std::mt19937& rng, std::size_t d) {
  std::normal_distribution<double> normal;
  Vector v(d);
  for (std::size_t i = 0; i < d; ++i) v(i) = normal(rng);
  return v / boost::numeric::ublas::norm_2(v);
}

Mixture_vMF randomMixture(std::mt19937& rng, std::size_t k) {
  std::uniform_real_distribution<double> uniform(0.1, 1.0);
  Mixture_vMF m{std::int32_t(k)};
  for (std::size_t i = 0; i < k; ++i) {
    m.weights(i) = uniform(rng);
    m.components[i].setKappa(20.0 * uniform(rng));
    m.components[i].setMean(unitVector(rng, 12));
  }
  m.weights /= boost::numeric::ublas::sum(m.weights);
  return m;
}

boost::shared_ptr<JointHpcpPowPdf> randomPdf(std::mt19937& rng) {
  auto pdf = boost::make_shared<JointHpcpPowPdf>();
  pdf->bassMixture = randomMixture(rng, 3);
  pdf->trebleMixture = randomMixture(rng, 3);
  return pdf;
}

Vector randomFeature(std::mt19937& rng) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  Vector f(26);
  for (std::size_t i = 0; i < 26; ++i) f(i) = uniform(rng);
  return f;
}

// Pitch class j of both chromas moved to j + k.
Vector transpose(const Vector& f, int k) {
  Vector g(f);
  for (int i = 0; i < 12; ++i) {
    g((i + k) % 12) = f(i);
    g(12 + (i + k) % 12) = f(12 + i);
  }
  return g;
}

// Score of chord state 12c + r: the class density on the feature read from
// root r upwards.
double emission(JointHpcpPowPdf& pdf, const Vector& f, int r) {
  Vector v(f);
  std::vector<double> bass(f.begin(), f.begin() + 12), treble(f.begin() + 12, f.begin() + 24);
  std::rotate(bass.begin(), bass.begin() + r, bass.end());
  std::rotate(treble.begin(), treble.begin() + r, treble.end());
  std::copy(bass.begin(), bass.end(), v.begin());
  std::copy(treble.begin(), treble.end(), v.begin() + 12);
  return pdf.logPdf(v);
}

double selfFactor(int beats, int position) {
  const double triple[3] = {1.0, 1000.0, 10.0}, other[4] = {1.0, 1000.0, 10.0, 1000.0};
  return beats == 3 ? triple[position % 3] : other[position % 4];
}

// A model with every transition weighted at random, loaded into `hmm`
// and kept as dense normalised log tables [mode][position][from][to].
struct RandomModel {
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> pdfs;
  std::vector<std::vector<std::vector<std::vector<double>>>> logTable;
};

RandomModel loadRandomModel(OfflineHmm& hmm, int classes, int beats, std::mt19937& rng, double density) {
  RandomModel model;
  const int n = 12 * classes;
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int c = 0; c < classes; ++c) {
    model.pdfs.push_back(randomPdf(rng));
    EXPECT_EQ(hmm.setEmission(c, model.pdfs.back()), 0);
  }
  model.logTable.assign(2, std::vector<std::vector<std::vector<double>>>(
                               std::size_t(beats), std::vector<std::vector<double>>(
                                                       std::size_t(n), std::vector<double>(std::size_t(n), -INFINITY))));
  for (int m = 0; m < 2; ++m)
    for (int k = 0; k < beats; ++k)
      for (int from = 0; from < n; ++from) {
        std::vector<double> w(std::size_t(n), 0.0);
        double sum = 0.0;
        for (int to = 0; to < n; ++to) {
          if (to != from && uniform(rng) > density) continue;
          const double weight = 1.0 + 100.0 * uniform(rng);
          EXPECT_EQ(hmm.setTransition(m, k, from, to, weight), 0);
          w[std::size_t(to)] = weight * (to == from ? selfFactor(beats, k) : 1.0);
          sum += w[std::size_t(to)];
        }
        for (int to = 0; to < n; ++to)
          if (w[std::size_t(to)] > 0) model.logTable[m][k][from][to] = std::log(w[std::size_t(to)] / sum);
      }
  return model;
}

int relative(int state, int tonic) { return state - state % 12 + ((state % 12 - tonic) % 12 + 12) % 12; }

}  // namespace

TEST(OfflineHmmDecode, MatchesBruteForceOverEveryPathModePhaseAndTonic) {
  const int beats = 2, frames = 4;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937 rng(seed);
    OfflineHmm hmm(1, beats);
    RandomModel model = loadRandomModel(hmm, 1, beats, rng, 1.0);
    std::vector<Vector> features;
    for (int t = 0; t < frames; ++t) {
      features.push_back(randomFeature(rng));
      hmm.addFeature(features.back());
    }
    double e[frames][12];
    for (int t = 0; t < frames; ++t)
      for (int r = 0; r < 12; ++r) e[t][r] = emission(*model.pdfs[0], features[std::size_t(t)], r);

    double best = -INFINITY;
    int bestPath[frames] = {}, bestMode = -1, bestPhase = -1, bestTonic = -1;
    for (int mode = 0; mode < 2; ++mode)
      for (int phase = 0; phase < beats; ++phase)
        for (int tonic = 0; tonic < 12; ++tonic)
          for (int code = 0; code < 12 * 12 * 12 * 12; ++code) {
            const int s[frames] = {code % 12, code / 12 % 12, code / 144 % 12, code / 1728};
            double score = e[0][s[0]];
            for (int t = 1; t < frames; ++t) {
              const int position = (phase + t - 1) % beats;
              score += model.logTable[mode][position][relative(s[t - 1], tonic)][relative(s[t], tonic)] + e[t][s[t]];
            }
            if (score > best) {
              best = score;
              std::copy(s, s + frames, bestPath);
              bestMode = mode;
              bestPhase = phase;
              bestTonic = tonic;
            }
          }

    EXPECT_NEAR(hmm.decode(), best, 1e-9 * std::fabs(best)) << seed;
    int mode = -1, phase = -1, tonic = -1;
    hmm.getChosen(mode, phase, tonic);
    EXPECT_EQ(mode, bestMode);
    EXPECT_EQ(phase, bestPhase);
    EXPECT_EQ(tonic, bestTonic);
    kelo::KeloHmm layout(true, 0, beats);
    layout.addClass(0, 0);
    for (int t = 0; t < frames; ++t) {
      std::uint32_t r, c, m, b, k;
      layout.decomposeState(std::uint32_t(hmm.stateAt(t)), r, c, m, b, k);
      EXPECT_EQ(int(r), bestPath[t]) << "frame " << t;
      EXPECT_EQ(int(m), bestMode);
      EXPECT_EQ(int(k), bestTonic);
      EXPECT_EQ(int(b), (bestPhase + t - 1 + beats) % beats) << "frame " << t;
    }
  }
}

TEST(OfflineHmmDecode, TransposedFeaturesMoveOnlyTheTonicAndTheRoots) {
  std::mt19937 rng(21);
  const int classes = 2, beats = 3, frames = 9;
  OfflineHmm original(classes, beats), moved(classes, beats);
  std::mt19937 twin = rng;
  loadRandomModel(original, classes, beats, rng, 0.3);
  loadRandomModel(moved, classes, beats, twin, 0.3);
  std::vector<Vector> features;
  for (int t = 0; t < frames; ++t) features.push_back(randomFeature(rng));
  for (const Vector& f : features) original.addFeature(f);
  const double score = original.decode();
  int mode, phase, tonic;
  original.getChosen(mode, phase, tonic);
  const int n = 12 * classes;

  for (int k : {1, 5, 11}) {
    moved.clearFeatures();
    for (const Vector& f : features) moved.addFeature(transpose(f, k));
    EXPECT_NEAR(moved.decode(), score, 1e-9 * std::fabs(score)) << k;
    int m2, p2, t2;
    moved.getChosen(m2, p2, t2);
    EXPECT_EQ(m2, mode);
    EXPECT_EQ(p2, phase);
    EXPECT_EQ(t2, (tonic + k) % 12);
    for (int t = 0; t < frames; ++t) {
      const int a = original.stateAt(t) % n, b = moved.stateAt(t) % n;
      EXPECT_EQ(b / 12, a / 12) << "class, frame " << t;
      EXPECT_EQ(b % 12, (a % 12 + k) % 12) << "root, frame " << t;
      EXPECT_EQ(moved.stateAt(t) / n % beats, original.stateAt(t) / n % beats);
    }
  }
}

TEST(OfflineHmmDecode, FixedCoordinatesEmptyQueueAndSingleFrame) {
  std::mt19937 rng(4);
  OfflineHmm hmm(2, 4);
  loadRandomModel(hmm, 2, 4, rng, 0.5);
  EXPECT_EQ(hmm.decode(), 0.0);
  EXPECT_EQ(hmm.numFrames(), 0);
  int mode, phase, tonic;
  hmm.getChosen(mode, phase, tonic);
  EXPECT_EQ(mode + phase + tonic, 0);

  hmm.setFixed(1, 2, 5);
  EXPECT_EQ(hmm.decode(), 0.0);
  hmm.getChosen(mode, phase, tonic);
  EXPECT_EQ(mode, 1);
  EXPECT_EQ(phase, 2);
  EXPECT_EQ(tonic, 5);

  // One frame: the best emission, at beat position phase - 1.
  hmm.setFixed(-1, 0, -1);
  const Vector f = randomFeature(rng);
  hmm.addFeature(f);
  const double score = hmm.decode();
  OfflineHmm reference(2, 4);
  std::mt19937 again(4);
  RandomModel model = loadRandomModel(reference, 2, 4, again, 0.5);
  double best = -INFINITY;
  int bestState = -1;
  for (int s = 0; s < 24; ++s) {
    const double e = emission(*model.pdfs[std::size_t(s / 12)], f, s % 12);
    if (e > best) best = e, bestState = s;
  }
  EXPECT_NEAR(score, best, 1e-12);
  EXPECT_EQ(hmm.stateAt(0) % 24, bestState);
  EXPECT_EQ(hmm.stateAt(0) / 24 % 4, 3);
  EXPECT_THROW(hmm.stateAt(1), std::out_of_range);
}

TEST(OfflineHmmHelpers, ValueAndBeatsAndTheUnmappedValuePassThrough) {
  const OfflineHmm hmm(2, 3);
  std::int32_t value = 0, beats = 0;
  hmm.valueAndBeats(17, value, beats);
  EXPECT_EQ(value, 17);
  EXPECT_EQ(beats, 3);
  hmm.valueAndBeats(-4, value, beats);
  EXPECT_EQ(value, -4);
  for (std::int32_t v : {0, 5, -1, 2147483647}) EXPECT_EQ(OfflineHmm::unmapped(v), v);
}

TEST(OfflineHmmDecode, DensityThatCannotScoreNeverWins) {
  std::mt19937 rng(8);
  OfflineHmm hmm(2, 2);
  loadRandomModel(hmm, 2, 2, rng, 1.0);
  // A component whose concentration is not a number makes class 0, whose
  // states come first, score NaN.
  auto broken = randomPdf(rng);
  broken->bassMixture.components[1].kappa = std::numeric_limits<double>::quiet_NaN();
  ASSERT_TRUE(std::isnan(broken->logPdf(randomFeature(rng))));
  hmm.setEmission(0, broken);
  for (int frames = 1; frames <= 3; ++frames) {
    hmm.clearFeatures();
    for (int t = 0; t < frames; ++t) hmm.addFeature(randomFeature(rng));
    EXPECT_TRUE(std::isfinite(hmm.decode()));
    for (int t = 0; t < frames; ++t) EXPECT_GE(hmm.stateAt(t) % 24, 12) << frames;
  }
}

TEST(OfflineHmmLimits, RefusesWhatItCannotHoldOrScore) {
  EXPECT_NO_THROW(OfflineHmm(21, 4));
  EXPECT_THROW(OfflineHmm(22, 4), std::length_error);
  EXPECT_THROW(OfflineHmm(-1, 4), std::length_error);
  EXPECT_THROW(OfflineHmm(7, 0), std::invalid_argument);

  OfflineHmm hmm(2, 4);
  EXPECT_EQ(hmm.numClasses(), 2);
  EXPECT_EQ(hmm.setEmission(2, boost::make_shared<JointHpcpPowPdf>()), -1);
  EXPECT_THROW(hmm.setEmission(-1, boost::make_shared<JointHpcpPowPdf>()), std::out_of_range);
  for (double w : {0.0, -1.0, std::nan(""), double(INFINITY), 1e308})
    EXPECT_EQ(hmm.setTransition(0, 1, 3, 3, w), -1) << w;
  EXPECT_EQ(hmm.setTransition(0, 1, 3, 4, 1e308), 0);
  EXPECT_EQ(hmm.setTransition(2, 0, 0, 0, 1.0), -1);
  EXPECT_EQ(hmm.setTransition(0, 4, 0, 0, 1.0), -1);
  EXPECT_EQ(hmm.setTransition(0, -1, 0, 0, 1.0), -1);
  EXPECT_EQ(hmm.setTransition(0, 0, 24, 0, 1.0), -1);
  EXPECT_EQ(hmm.setTransition(0, 0, 0, -1, 1.0), -1);

  EXPECT_THROW(hmm.setFixed(2, -1, -1), std::out_of_range);
  EXPECT_THROW(hmm.setFixed(-1, 4, -1), std::out_of_range);
  EXPECT_THROW(hmm.setFixed(-1, -1, 12), std::out_of_range);
  EXPECT_THROW(hmm.addFeature(Vector(25, 0.5)), std::invalid_argument);

  hmm.addFeature(Vector(26, 0.5));
  EXPECT_THROW(hmm.decode(), std::logic_error);
}
