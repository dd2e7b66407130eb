// Frame feature extractors against a frame rebuilt naively from the stream:
// shifting and zero fill, the semitone extractor's timing and values (the
// front end run on that frame), the beat extractor feeding the detector, and
// the spectrum extractor against a plain DFT.

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>
#include <complex>
#include <stdexcept>
#include <vector>

#include "BeatFrameFeatureExtractor.h"
#include "Hpcp/CHpcp.h"
#include "Hpcp/DecimationFilter.h"
#include "SemitoneFrameFeatureExtractor.h"
#include "SpectrumFrameFeatureExtractor.h"
#include "beat/CBeatDetect.h"

namespace {

const double kPi = 3.14159265358979323846;

class PlainExtractor : public kelo::FrameFeatureExtractor {
 public:
  using FrameFeatureExtractor::FrameFeatureExtractor;
  void clearFeatures() override {}
};

// The last `length` samples of a zero history followed by `stream`.
std::vector<float> tailOf(std::vector<float> stream, int length) {
  stream.insert(stream.begin(), static_cast<std::size_t>(length), 0.0f);
  return std::vector<float>(stream.end() - length, stream.end());
}

// Pushes `count` samples of a test signal as one hop and records what the
// frame should have received.
void pushHop(kelo::FrameFeatureExtractor& e, std::vector<float>& stream, int count) {
  std::vector<float> hop(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) hop[i] = static_cast<float>(0.4 * std::sin(0.061 * (stream.size() + i)) + 0.01 * i);
  e.pushSamples(hop.data(), count);
  hop.resize(static_cast<std::size_t>(e.getHop()), 0.0f);  // cut, or zero-filled
  stream.insert(stream.end(), hop.begin(), hop.end());
}

boost::shared_ptr<Hpcp::CHpcp> frontEnd(int frameLength) {
  return boost::make_shared<Hpcp::CHpcp>(12, 6, "C0", frameLength, false, 10, false, 3, 0, true, 44100.0f, 48.0f);
}

}  // namespace

TEST(FrameFeatureExtractor, FrameHoldsTheLatestHopsWithShortPushesZeroFilledAndLongOnesCut) {
  for (int hop : {3, 8}) {  // 8: each push replaces the whole frame
    PlainExtractor e(hop, 8);
    std::vector<float> stream;
    for (int count : {3, 5, 1, 0, 12, 8}) {
      pushHop(e, stream, count);
      EXPECT_EQ(std::vector<float>(e.getFrame(), e.getFrame() + 8), tailOf(stream, 8)) << count;
    }
  }
  EXPECT_THROW(PlainExtractor(0, 8), std::invalid_argument);
  EXPECT_THROW(PlainExtractor(9, 8), std::invalid_argument);
  PlainExtractor e(3, 8);
  EXPECT_THROW(e.pushSamples(nullptr, 3), std::invalid_argument);
}

TEST(FrameFeatureExtractor, ThePlainExtractorCanBeMadeAndItsClearKeepsTheFrame) {
  kelo::FrameFeatureExtractor e(2, 4);
  const float hop[2] = {0.25f, -0.5f};
  e.pushSamples(hop, 2);
  e.pushSamples(hop, 1);
  const std::vector<float> before(e.getFrame(), e.getFrame() + 4);
  EXPECT_EQ(before, (std::vector<float>{0.25f, -0.5f, 0.25f, 0.0f}));
  e.clearFeatures();
  EXPECT_EQ(std::vector<float>(e.getFrame(), e.getFrame() + 4), before);
  kelo::FrameFeatureExtractor& base = e;
  base.clearFeatures();  // through the virtual slot: still nothing to clear
  EXPECT_EQ(std::vector<float>(e.getFrame(), e.getFrame() + 4), before);
}

TEST(SemitoneFrameFeatureExtractor, VectorsComeOnPush49ThenEveryFourthAndHoldTheFrontEndsPowers) {
  // 16384 / (2 * 180) = 45 pushes of wind-up, then 4 per vector.
  kelo::FeatureList list;
  kelo::SemitoneFrameFeatureExtractor e(180, 16384, 4, frontEnd(16384), &list);
  std::vector<float> stream;
  for (int push = 1; push <= 57; ++push) {
    pushHop(e, stream, 180);
    ASSERT_EQ(list.size(), push < 49 ? 0u : 1u + (push - 49) / 4) << push;
  }
  const auto reference = frontEnd(16384);
  reference->process(tailOf(stream, 16384).data(), 16384);
  ASSERT_EQ(list.back().size(), 72u);
  for (int j = 0; j < 72; ++j) EXPECT_FLOAT_EQ(static_cast<float>(list.back()[j]), reference->getData(3)[j]) << j;

  e.clearFeatures();
  EXPECT_TRUE(list.empty());
  for (int push = 1; push <= 49; ++push) pushHop(e, stream, 180);
  EXPECT_EQ(list.size(), 1u);  // the wind-up starts again

  kelo::SemitoneFrameFeatureExtractor wide(600, 1024, 3, frontEnd(1024), &list);  // hop above half the frame
  list.clear();
  for (int push = 1; push <= 7; ++push) pushHop(wide, stream, 600);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_THROW(kelo::SemitoneFrameFeatureExtractor(180, 1024, 0, frontEnd(1024), &list), std::invalid_argument);
}

TEST(SemitoneFrameFeatureExtractor, TheFrameIsTheStreamLowPassedOnceAndTheVectorsTheFrontEndOnIt) {
  // Long past the first full frame, with short pushes and a clear between:
  // the frame is the whole stream run once through the low-pass, its end.
  kelo::FeatureList list;
  kelo::SemitoneFrameFeatureExtractor e(180, 16384, 4, frontEnd(16384), &list);
  std::vector<float> stream;
  auto push = [&](int count) {
    std::vector<float> hop(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(stream.size() + i) / 44100.0;
      // A = 220 Hz with its fifth, and 9 kHz that only the low-pass keeps
      // from folding into the analysed band.
      hop[i] = static_cast<float>(0.4 * std::sin(2 * kPi * 220.0 * t) + 0.2 * std::sin(2 * kPi * 329.63 * t) +
                                  0.3 * std::sin(2 * kPi * 9000.0 * t));
    }
    e.pushSamples(hop.data(), count);
    hop.resize(180, 0.0f);
    stream.insert(stream.end(), hop.begin(), hop.end());
  };
  for (int p = 1; p <= 130; ++p) push(p % 17 == 0 ? 100 : 180);
  e.clearFeatures();
  for (int p = 1; p <= 49; ++p) push(180);
  ASSERT_EQ(list.size(), 1u);

  std::vector<float> filtered = stream;
  Hpcp::lowPassForDecimation(filtered.data(), static_cast<int32_t>(filtered.size()));
  const std::vector<float> frame = tailOf(filtered, 16384);
  EXPECT_EQ(std::vector<float>(e.getFrame(), e.getFrame() + 16384), frame);
  const auto reference = frontEnd(16384);
  reference->processLowPassed(frame.data(), 16384);
  for (int j = 0; j < 72; ++j) EXPECT_EQ(static_cast<float>(list.back()[j]), reference->getData(3)[j]) << j;

  // Filtering the frame alone from a cleared history instead differs only
  // by the filter's start-up, which the window all but hides: the same
  // strongest semitones, levels within a few hundredths of a decibel.
  const auto perFrame = frontEnd(16384);
  perFrame->process(tailOf(stream, 16384).data(), 16384);
  for (int j = 0; j < 72; ++j)
    EXPECT_NEAR(static_cast<float>(list.back()[j]), perFrame->getData(3)[j], 0.05) << j;
  const float* powers = reference->getData(3);
  EXPECT_EQ(std::max_element(powers, powers + 72) - powers, 33);  // A3, semitone 33 above C0
  EXPECT_THROW(e.pushSamples(nullptr, 180), std::invalid_argument);
}

TEST(BeatFrameFeatureExtractor, EveryPushIsOneDetectorFrameAndClearingResetsTheDetector) {
  auto detector = boost::make_shared<RuBeatO::CBeatDetect>(1024, 180, 3, true, 44100.0f, 60.0f, 200.0f);
  kelo::BeatFrameFeatureExtractor e(180, 180, detector);
  std::vector<float> stream;
  for (int i = 0; i < 5; ++i) pushHop(e, stream, 180);
  EXPECT_EQ(detector->getNumFrames(), 5);

  kelo::FeatureList bands;
  e.setFeatureList(&bands);
  pushHop(e, stream, 180);
  int dimension = 0;
  const float* latest = detector->getFeature(&dimension);
  ASSERT_EQ(bands.size(), 1u);
  ASSERT_EQ(bands.back().size(), static_cast<std::size_t>(dimension));
  for (int i = 0; i < dimension; ++i) EXPECT_EQ(bands.back()[i], latest[i]);

  e.clearFeatures();
  EXPECT_EQ(detector->getNumFrames(), 0);
  EXPECT_TRUE(bands.empty());
}

TEST(SpectrumFrameFeatureExtractor, SpectrumOfTheHammingWindowedFrameMatchesAPlainDft) {
  kelo::FeatureList list;
  kelo::SpectrumFrameFeatureExtractor e(16, 64, 2, &list);
  std::vector<float> stream;
  for (int push = 1; push <= 5; ++push) {
    pushHop(e, stream, 16);
    ASSERT_EQ(list.size(), static_cast<std::size_t>((push - 1) / 2)) << push;  // pushes 3 and 5
  }
  const auto frame = tailOf(stream, 64);
  const auto& v = list.back();
  ASSERT_EQ(v.size(), 64u);
  for (int k = 0; k < 64; ++k) {
    std::complex<double> sum = 0;
    for (int n = 0; n < 64 && k < 32; ++n)
      sum += (0.54 - 0.46 * std::cos(2 * kPi * n / 63.0)) * frame[n] * std::polar(1.0, -2 * kPi * k * n / 64.0);
    EXPECT_NEAR(v[k], 2 * std::abs(sum), 1e-3 * (1 + 2 * std::abs(sum))) << k;  // upper half zero
  }
}
