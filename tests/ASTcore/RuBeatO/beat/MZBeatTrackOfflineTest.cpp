// The offline tracker's observations against a reference recomputed from
// scratch per frame: band energies from the table-free log-band routine,
// the rise of each band's log energy over the analysis window, the z-score
// over the last 20 sums in double precision, and the strongest value of
// each decimated step.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "MZBeatTrackOffline.h"
#include "SparseFilterBank.h"

namespace {

using RuBeatO::MZBeatTrackOffline;

constexpr int kFramelen = 1024;
constexpr float kFs = 44100.0f;
constexpr float kFps = 44100.0f / 180.0f;

std::vector<std::vector<float>> randomSpectra(int frames, unsigned seed) {
  std::mt19937 gen(seed);
  std::exponential_distribution<float> mag(0.05f);
  std::vector<std::vector<float>> out(frames, std::vector<float>(kFramelen, 0.0f));
  for (int f = 0; f < frames; ++f)
    for (int b = 0; b < kFramelen / 2; ++b) out[f][b] = mag(gen) * (f % 7 == 0 ? 4.0f : 1.0f);
  return out;
}

std::vector<double> referenceObservations(const std::vector<std::vector<float>>& spectra,
                                          int lag, int decimation) {
  const int dim = 10;
  std::vector<std::vector<float>> energy;
  std::vector<double> sums;
  std::vector<double> z;
  for (const auto& s : spectra) {
    std::vector<float> e(dim);
    Numeric::logFrequencyBands(e.data(), dim, s.data(), kFramelen / 2, kFramelen, kFs, 8000.0f,
                               50.0f);
    energy.push_back(e);
    const size_t t = energy.size() - 1;
    double sum = 0.0;
    for (int b = 0; b < dim; ++b) {
      const double before = t >= size_t(lag - 1) ? energy[t - (lag - 1)][b] : 0.0;
      sum += std::max(0.0, std::log(e[b] + 100.0) - std::log(before + 100.0));
    }
    sums.push_back(sum);
    double mean = 0.0;
    double var = 0.0;
    for (int k = 0; k < 20; ++k) mean += t >= size_t(k) ? sums[t - k] : 0.0;
    mean /= 20.0;
    for (int k = 0; k < 20; ++k) {
      const double v = (t >= size_t(k) ? sums[t - k] : 0.0) - mean;
      var += v * v;
    }
    var /= 20.0;
    z.push_back(var > 1e-12 ? (sum - mean) / std::sqrt(var) : 0.0);
  }
  std::vector<double> obs;
  for (size_t t = 0; t < z.size(); t += decimation) {
    double o = 0.0;
    for (int k = 0; k < decimation; ++k)
      if (t >= size_t(k)) o = std::max(o, z[t - k]);
    obs.push_back(o);
  }
  return obs;
}

TEST(MZBeatTrackOffline, ObservationsMatchAFromScratchReference) {
  const auto spectra = randomSpectra(150, 11);
  MZBeatTrackOffline tracker(kFramelen, 10, 3, kFs, kFps, 60.0f, 200.0f);
  for (const auto& s : spectra) tracker.addData(s.data(), kFramelen / 2);
  EXPECT_EQ(tracker.getNumFrames(), 150);

  const auto expected = referenceObservations(spectra, 5, 3);
  const auto& model = tracker.getModel();
  ASSERT_EQ(model.getNumSteps(), expected.size());
  for (size_t t = 0; t < expected.size(); ++t)
    EXPECT_NEAR(model.getObservation(t), expected[t], 2e-3 * (1.0 + expected[t])) << t;

  int dim = 0;
  const float* feature = tracker.getFeature(&dim);
  ASSERT_EQ(dim, 10);
  std::vector<float> bands(10);
  Numeric::logFrequencyBands(bands.data(), 10, spectra.back().data(), kFramelen / 2, kFramelen,
                             kFs, 8000.0f, 50.0f);
  for (int b = 0; b < 10; ++b) EXPECT_NEAR(feature[b], bands[b], 1e-4f * (1.0f + bands[b]));
}

TEST(MZBeatTrackOffline, AWindowOfOneHopAndSilenceGiveNoOnsets) {
  const auto spectra = randomSpectra(60, 5);
  // A window as long as the hop compares each frame with itself.
  MZBeatTrackOffline oneHop(256, 10, 3, kFs, kFs / 256.0f, 60.0f, 200.0f);
  for (const auto& s : spectra) oneHop.addData(s.data(), 128);
  MZBeatTrackOffline silent(kFramelen, 10, 3, kFs, kFps, 60.0f, 200.0f);
  const std::vector<float> zeros(kFramelen, 0.0f);
  for (int f = 0; f < 60; ++f) silent.addData(zeros.data(), kFramelen / 2);
  for (size_t t = 0; t < 20; ++t) {
    EXPECT_EQ(oneHop.getModel().getObservation(t), 0.0f);
    EXPECT_EQ(silent.getModel().getObservation(t), 0.0f);
  }
}

TEST(MZBeatTrackOffline, DerivedTempoRangeAndQueries) {
  MZBeatTrackOffline tracker(kFramelen, 10, 3, kFs, kFps, 60.0f, 200.0f);
  EXPECT_EQ(tracker.getMinPeriod(), 73);
  EXPECT_EQ(tracker.getMaxPeriod(), 246);
  int states = 0;
  for (int fpb = 73; fpb <= 246; ++fpb) states += fpb / 3;
  EXPECT_EQ(tracker.getModel().getStateCount(), states);
  const std::vector<float> zeros(kFramelen, 0.0f);
  for (int f = 0; f < 7; ++f) tracker.addData(zeros.data(), kFramelen / 2);
  int period = 0;
  int phase = 0;
  EXPECT_THROW(tracker.getInfoAtFrame(0, &period, &phase), std::logic_error);
  tracker.infer();
  tracker.getInfoAtFrame(8, &period, &phase);  // step 2 of 3 pushed
  EXPECT_GE(period, 73);
  EXPECT_LE(period, 246);
  EXPECT_THROW(tracker.getInfoAtFrame(9, &period, &phase), std::domain_error);
  EXPECT_THROW(tracker.getInfoAtFrame(-1, &period, &phase), std::domain_error);
}

TEST(MZBeatTrackOffline, ConstructionRefusesBadParametersInOrder) {
  struct Case {
    int framelen, dim, decim;
    float fs, fps, bpmMin, bpmMax;
    const char* message;
  };
  const Case cases[] = {
      {1024, 10, 3, kFs, kFps, 0.0f, 200.0f, "0<bpmMin<bpmMax is not satisfied"},
      {1024, 10, 3, kFs, kFps, 120.0f, 120.0f, "0<bpmMin<bpmMax is not satisfied"},
      {0, 10, 3, kFs, kFps, 60.0f, 200.0f, "Framelen must be >0 and <=32768"},
      {-4, 10, 3, kFs, kFps, 60.0f, 200.0f, "Framelen must be >0 and <=32768"},
      {1024, 10, 3, 200000.0f, kFps, 60.0f, 200.0f, "Fs should be >0 and <=192kHz"},
      {1024, 10, 3, kFs, 0.0f, 60.0f, 200.0f, "fps should be greater than 0"},
      {1024, 1024, 3, kFs, kFps, 60.0f, 200.0f, "_mfccDim should be >0 and <framelen"},
      {1024, 10, 0, kFs, kFps, 60.0f, 200.0f, "decim_factor should be greater than 0"},
      {1024, 10, 3, kFs, 10000.0f, 60.0f, 200.0f, "Comb Filter Dimension should be positive"},
  };
  for (const Case& c : cases) {
    try {
      MZBeatTrackOffline t(c.framelen, c.dim, c.decim, c.fs, c.fps, c.bpmMin, c.bpmMax);
      ADD_FAILURE() << c.message;
    } catch (const std::domain_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace
