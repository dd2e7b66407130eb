#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "CBandStretcher.h"
#include "CFrameAnalyzer.h"
#include "CSMSAnalysisParams.h"
#include "CSoundFile.h"
#include "CTimeMachineParams.h"

namespace {

// A band as the engine sets it up: analysis hop and window length in hops,
// Kaiser (alpha 2) windows, 50 % overlap.
struct BandConfig {
  int rate;
  int hop;
  int hops;
};

std::vector<float> whiteNoise(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-8000.0f, 8000.0f);
  std::vector<float> x(n);
  for (float& v : x) v = u(rng);
  return x;
}

// Analyses x frame by frame (frame k centred on sample k x hop) and
// synthesises every frame at once; returns the band's output.
std::vector<float> analyseAndResynthesise(const BandConfig& band, const std::vector<float>& x) {
  CSMSAnalysisParams analysis;
  analysis.sampleRate = static_cast<float>(band.rate);
  analysis.SetParam(CSMSAnalysisParams::kFrameRate, 44100.0f / 256.0f, CEnvelope::kAllTimes);
  analysis.SetParam(CSMSAnalysisParams::frameAnalysisMode, 4.0f, CEnvelope::kAllTimes);
  analysis.SetParam(CSMSAnalysisParams::kWindowHops, static_cast<float>(band.hops), 0.0);
  analysis.SetParam(CSMSAnalysisParams::kWindowType, 4.0f, 0.0);
  // The ring holds the whole signal with silence on both sides.
  const std::int64_t pad = static_cast<std::int64_t>(band.hop) * band.hops;
  std::vector<float> ring(x.size() + pad, 0.0f);
  std::copy(x.begin(), x.end(), ring.begin());
  CFrameAnalyzer analyser(&analysis, ring.data(), band.rate, static_cast<std::int64_t>(ring.size()));
  EXPECT_EQ(analyser.hop(), band.hop);

  CTimeMachineParams stretch;
  stretch.trailer.sampleRate = static_cast<float>(band.rate);
  stretch.trailer.windowType = 4;
  stretch.trailer.zeroPadFactor = static_cast<float>(band.hops);
  stretch.trailer.windowSize = band.hop;
  CSoundFile* out = nullptr;
  CBandStretcher stretcher(&stretch, &out);
  std::unique_ptr<CSoundFile> owned(out);

  const std::int64_t frames = static_cast<std::int64_t>(x.size()) / band.hop + 2;
  for (std::int64_t k = 0; k < frames; ++k) {
    SMSFrame frame;
    frame.time = static_cast<double>(k * band.hop) / band.rate;
    SMSFrame* list[] = {&frame};
    analyser.NextFrame(list);
    EXPECT_EQ(stretcher.SynthesizeFrame(&frame, false, band.rate / 2.0), 0);
  }
  return std::vector<float>(out->storage, out->storage + out->length);
}

TEST(BandResynthesis, WhiteNoiseComesBackAtUnitGainThroughBothEngineBands) {
  // The lower band of the two-band mode (a quarter of the rate, 16-hop
  // window) and the upper band (full rate, 8-hop window).
  for (const BandConfig band : {BandConfig{11025, 64, 16}, BandConfig{44100, 256, 8}}) {
    const std::vector<float> x = whiteNoise(static_cast<std::size_t>(band.hop) * 24, 11);
    const std::vector<float> y = analyseAndResynthesise(band, x);
    ASSERT_GE(y.size(), x.size());
    double error = 0, signal = 0;
    for (std::size_t j = 0; j < x.size(); ++j) {
      error += (y[j] - x[j]) * double(y[j] - x[j]);
      signal += x[j] * double(x[j]);
    }
    EXPECT_LT(10 * std::log10(error / signal), -40.0) << band.rate;
  }
}

}  // namespace
