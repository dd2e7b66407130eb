// The fixed-lag chord/key decoder against the whole-sequence decoder on a
// toy model built so that both search the same path space, its transition
// normalisation, emission gating and bass tracker, and the model factory's
// handling of a model that cannot load.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include <boost/make_shared.hpp>

#include "BassNoteTracker.h"
#include "FixedLagHmm.h"
#include "KeloHmm.h"
#include "OfflineHmm.h"

namespace {

using kelo::FixedLagHmm;
using kelo::JointHpcpPowPdf;
using kelo::OfflineHmm;
using Vector = JointHpcpPowPdf::Vector;

Vector unitVector(std::mt19937& rng) {
  std::normal_distribution<double> normal;
  Vector v(12);
  for (std::size_t i = 0; i < 12; ++i) v(i) = normal(rng);
  return v / boost::numeric::ublas::norm_2(v);
}

Mixture_vMF randomMixture(std::mt19937& rng) {
  std::uniform_real_distribution<double> uniform(0.2, 1.0);
  Mixture_vMF m{2};
  for (std::size_t i = 0; i < 2; ++i) {
    m.weights(i) = uniform(rng);
    m.components[i].setKappa(10.0 * uniform(rng));
    m.components[i].setMean(unitVector(rng));
  }
  m.weights /= boost::numeric::ublas::sum(m.weights);
  return m;
}

std::vector<float> randomFeature(std::mt19937& rng) {
  std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
  std::vector<float> f(26);
  for (float& v : f) v = uniform(rng);
  f[25] = 0.5f + uniform(rng);  // audible
  return f;
}

// Two classes; every (mode, position) table is circulant over the 24 chord
// parts with its own permutation of one set of weights and no
// self-transition. Every row then sums to 1 in every table and every target
// has the same best incoming weight, so the two decoders' different
// normalisations and start rows shift all paths alike, and the
// whole-sequence decoder's self-transition boost never applies.
template <typename Decoder>
void loadToyModel(Decoder& d, std::mt19937 rng,
                  const std::vector<boost::shared_ptr<JointHpcpPowPdf>>& pdfs) {
  const int S = 24;
  std::vector<double> weights(S - 1);
  for (int i = 0; i < S - 1; ++i) weights[i] = 1.0 + i * i;
  double total = 0.0;
  for (double w : weights) total += w;
  for (double& w : weights) w /= total;
  for (std::size_t c = 0; c < pdfs.size(); ++c) d.setEmission(std::int32_t(c), pdfs[c]);
  for (int mode = 0; mode < 2; ++mode) {
    for (int position = 0; position < 4; ++position) {
      std::shuffle(weights.begin(), weights.end(), rng);
      for (int from = 0; from < S; ++from)
        for (int shift = 1; shift < S; ++shift)
          ASSERT_EQ(d.setTransition(mode, position, from, (from + shift) % S, weights[shift - 1]), 0);
    }
  }
}

TEST(FixedLagHmm, AgreesWithTheWholeSequenceDecoderForEveryLagUpToTheSequence) {
  std::mt19937 rng(7);
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> pdfs;
  for (int c = 0; c < 2; ++c) {
    auto pdf = boost::make_shared<JointHpcpPowPdf>();
    pdf->bassMixture = randomMixture(rng);
    pdf->trebleMixture = randomMixture(rng);
    pdfs.push_back(pdf);
  }
  const int T = 6;
  std::vector<std::vector<float>> features;
  for (int t = 0; t < T; ++t) features.push_back(randomFeature(rng));

  OfflineHmm offline(2, 4);
  loadToyModel(offline, rng, pdfs);
  for (const auto& f : features) {
    Vector v(26);
    for (int i = 0; i < 26; ++i) v(i) = f[i];
    offline.addFeature(v);
  }
  offline.decode();

  for (int lag = 2; lag <= T; ++lag) {
    FixedLagHmm online(lag, 12, 2);
    loadToyModel(online, rng, pdfs);
    online.prepare();
    for (const auto& f : features) online.pushFeature(f.data(), 26);
    const int frame = T - lag;
    const int expected = offline.stateAt(frame) % 24;
    int root = -1, chordClass = -1;
    online.chord(root, chordClass);
    EXPECT_EQ(chordClass * 12 + root, expected) << "lag " << lag;
  }
}

TEST(FixedLagHmm, NormalisesCountsOverEachSourcesRowAndRefusesNonPositiveCounts) {
  FixedLagHmm d(2, 12, 1);
  EXPECT_EQ(d.setTransition(0, 1, 3, 4, 0.0), -1);
  EXPECT_EQ(d.setTransition(0, 1, 3, 4, -2.0), -1);
  EXPECT_EQ(d.setTransition(0, 1, 3, 4, std::nan("")), 0);
  EXPECT_EQ(d.setTransition(2, 1, 3, 4, 1.0), -1);
  EXPECT_EQ(d.setTransition(0, 4, 3, 4, 1.0), -1);
  EXPECT_EQ(d.setTransition(0, 0, 12, 4, 1.0), -1);
  EXPECT_EQ(d.setTransition(0, 1, 3, 4, 1.0), 0);
  EXPECT_EQ(d.setTransition(0, 1, 3, 5, 3.0), 0);
  d.prepare();
  EXPECT_NEAR(d.transitionLogProbability(0, 1, 3, 4), std::log(0.25), 1e-12);
  EXPECT_NEAR(d.transitionLogProbability(0, 1, 3, 5), std::log(0.75), 1e-12);
  EXPECT_TRUE(std::isnan(d.transitionLogProbability(1, 1, 3, 4)));
}

TEST(FixedLagHmm, QuietFramesScoreZeroAndTheRootRotationPresentsThePeakAtZero) {
  std::mt19937 rng(3);
  FixedLagHmm d(2, 12, 1);
  auto pdf = boost::make_shared<JointHpcpPowPdf>();
  pdf->bassMixture = randomMixture(rng);
  pdf->trebleMixture = randomMixture(rng);
  d.setEmission(0, pdf);
  d.prepare();

  std::vector<float> quiet = randomFeature(rng);
  quiet[25] = 0.2f;
  d.pushFeature(quiet.data(), 26);
  for (int s = 0; s < 12; ++s) EXPECT_EQ(d.newestEmission(s), 0.0);

  std::vector<float> peak(26, 0.0f);
  peak[4] = 1.0f;
  peak[16] = 1.0f;
  peak[25] = 1.0f;
  d.pushFeature(peak.data(), 26);
  Vector atZero(26);
  atZero.clear();
  atZero(0) = 1.0;
  atZero(12) = 1.0;
  atZero(25) = 1.0;
  EXPECT_NEAR(d.newestEmission(4), pdf->logPdf(atZero), 1e-9);
}

TEST(FixedLagHmm, StateIndexRoundTripsAndMatchesTheModelLayout) {
  FixedLagHmm d(3, 12, 5);
  kelo::KeloHmm model(true, 0, 4);
  for (int c = 0; c < 5; ++c) model.addClass(c, c);
  ASSERT_EQ(d.numStates(), std::int32_t(model.stateCount()));
  for (int index : {0, 1, 59, 60, 1234, d.numStates() - 1}) {
    int r, c, b, m, k;
    d.decomposeState(r, c, b, m, k, index);
    EXPECT_EQ(d.stateIndex(r, c, b, m, k), index);
    EXPECT_EQ(std::int32_t(model.stateIndex(r, c, m, b, k)), index);
  }
}

TEST(FixedLagHmm, RefusesShortFeaturesMissingDensitiesAndTooShortLags) {
  EXPECT_THROW(FixedLagHmm(1, 12, 2), std::invalid_argument);
  EXPECT_THROW(FixedLagHmm(4, 11, 2), std::invalid_argument);
  FixedLagHmm d(2, 12, 1);
  d.prepare();
  std::vector<float> f(26, 0.5f);
  EXPECT_THROW(d.pushFeature(f.data(), 26), std::logic_error);
  EXPECT_THROW(d.pushFeature(f.data(), 25), std::invalid_argument);
  EXPECT_EQ(d.setEmission(1, boost::make_shared<JointHpcpPowPdf>()), -1);
}

TEST(BassNoteTracker, SilentBassStaysUniformAndAClearNoteWins) {
  kelo::BassNoteTracker tracker(4);
  std::vector<float> silent(26, 0.0f);
  for (int i = 0; i < 6; ++i) tracker.update(silent.data(), 26, i % 4);
  EXPECT_EQ(tracker.bestNote(), 0);

  std::vector<float> g(26, 0.0f);
  g[7] = 3.0f;
  for (int i = 0; i < 4; ++i) tracker.update(g.data(), 26, i % 4);
  EXPECT_EQ(tracker.bestNote(), 7);
  EXPECT_LT(kelo::BassNoteTracker::stayProbability(0), kelo::BassNoteTracker::stayProbability(1));
}

TEST(CreateFixedLagHmm, BuiltInModelLoadsAndAMissingFolderIsReportedNotDecoded) {
  std::uint32_t status = 99;
  auto model = kelo::createFixedLagHmm("", 3, 4, &status);
  ASSERT_TRUE(model);
  EXPECT_EQ(status, 0u);
  auto decoder = kelo::asFixedLagHmm(model->decoder());
  ASSERT_TRUE(decoder);
  EXPECT_EQ(decoder->lag(), 3);

  auto missing = kelo::createFixedLagHmm("/nonexistent/model", 3, 4, &status);
  EXPECT_FALSE(missing);
  EXPECT_EQ(status, 1u);
  EXPECT_THROW(kelo::createFixedLagHmm("", 1, 4), std::invalid_argument);
  EXPECT_THROW(kelo::createFixedLagHmm("", 3, 5), std::invalid_argument);
}

TEST(FixedLagHmm, TwoDecodersInOneProcessDoNotInterfere) {
  auto a = kelo::asFixedLagHmm(kelo::createFixedLagHmm("", 3, 4)->decoder());
  auto model = kelo::createFixedLagHmm("", 3, 4);
  auto b = kelo::asFixedLagHmm(model->decoder());
  auto reference = kelo::asFixedLagHmm(kelo::createFixedLagHmm("", 3, 4)->decoder());
  std::mt19937 rng(11);
  for (int t = 0; t < 8; ++t) {
    const std::vector<float> f = randomFeature(rng);
    std::vector<float> other = randomFeature(rng);
    a->pushFeature(other.data(), 26);
    b->pushFeature(f.data(), 26);
    reference->pushFeature(f.data(), 26);
    int r1, c1, b1, m1, k1, r2, c2, b2, m2, k2, bass1, bass2;
    b->result(r1, c1, b1, m1, k1);
    reference->result(r2, c2, b2, m2, k2);
    b->bassNote(bass1);
    reference->bassNote(bass2);
    EXPECT_EQ(std::vector<int>({r1, c1, b1, m1, k1, bass1}), std::vector<int>({r2, c2, b2, m2, k2, bass2}));
  }
}

}  // namespace
