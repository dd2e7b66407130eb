// Frame feature extractors against a frame rebuilt naively from the stream:
// shifting and zero fill, the semitone extractor's timing and values (the
// front end run on that frame), the beat extractor feeding the detector,
// the spectrum extractor against a plain DFT, and the streaming low-pass.

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cmath>
#include <complex>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "BeatFrameFeatureExtractor.h"
#include "Decimator.h"
#include "Hpcp/CHpcp.h"
#include "SemitoneFrameFeatureExtractor.h"
#include "SpectrumFrameFeatureExtractor.h"
#include "beat/CBeatDetect.h"

namespace {

using kelo::FeatureList;

const double kPi = 3.14159265358979323846;

// A plain base extractor: only the frame.
class PlainExtractor : public kelo::FrameFeatureExtractor {
 public:
  using FrameFeatureExtractor::FrameFeatureExtractor;
  void clearFeatures() override {}
};

// Samples 1, 2, 3, ... so that every position of the stream is recognisable.
std::vector<float> ramp(int n, float from = 1.0f) {
  std::vector<float> v(static_cast<std::size_t>(n));
  std::iota(v.begin(), v.end(), from);
  return v;
}

// The last `length` samples of a zero history followed by `stream`.
std::vector<float> tailOf(const std::vector<float>& stream, int length) {
  std::vector<float> padded(static_cast<std::size_t>(length), 0.0f);
  padded.insert(padded.end(), stream.begin(), stream.end());
  return std::vector<float>(padded.end() - length, padded.end());
}

boost::shared_ptr<Hpcp::CHpcp> frontEnd(int frameLength) {
  return boost::make_shared<Hpcp::CHpcp>(12, 6, "C0", frameLength, false, 10, false, 3, 0, true, 44100.0f, 48.0f);
}

}  // namespace

TEST(FrameFeatureExtractor, FrameHoldsTheLatestHopsWithShortPushesZeroFilledAndLongOnesCut) {
  PlainExtractor e(3, 8);
  std::vector<float> stream;
  const auto check = [&] {
    const auto expected = tailOf(stream, 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(e.getFrame()[i], expected[i]) << i;
  };
  const auto a = ramp(3, 1.0f);
  e.pushSamples(a.data(), 3);
  stream.insert(stream.end(), a.begin(), a.end());
  check();
  const auto b = ramp(5, 10.0f);  // only the first 3 are taken
  e.pushSamples(b.data(), 5);
  stream.insert(stream.end(), b.begin(), b.begin() + 3);
  check();
  const auto c = ramp(1, 20.0f);  // one sample, then two zeros
  e.pushSamples(c.data(), 1);
  stream.insert(stream.end(), {20.0f, 0.0f, 0.0f});
  check();
  e.pushSamples(nullptr, 0);
  stream.insert(stream.end(), 3, 0.0f);
  check();

  PlainExtractor whole(4, 4);  // the beat extractor's shape: each push replaces the frame
  const auto d = ramp(4, 7.0f);
  whole.pushSamples(d.data(), 4);
  EXPECT_EQ(std::vector<float>(whole.getFrame(), whole.getFrame() + 4), d);

  EXPECT_THROW(PlainExtractor(0, 8), std::invalid_argument);
  EXPECT_THROW(PlainExtractor(9, 8), std::invalid_argument);
  EXPECT_THROW(e.pushSamples(nullptr, 3), std::invalid_argument);
}

TEST(SemitoneFrameFeatureExtractor, VectorsComeOnPush49ThenEveryFourthAndHoldTheFrontEndsPowers) {
  // 16384 / (2 * 180) = 45 pushes of wind-up, then 4 per vector.
  FeatureList list;
  kelo::SemitoneFrameFeatureExtractor e(180, 16384, 4, frontEnd(16384), &list);
  std::vector<float> stream;
  const auto reference = frontEnd(16384);
  for (int push = 1; push <= 57; ++push) {
    std::vector<float> hop(180);
    for (int i = 0; i < 180; ++i) hop[i] = static_cast<float>(0.4 * std::sin(2 * kPi * 440.0 * (stream.size() + i) / 44100.0));
    stream.insert(stream.end(), hop.begin(), hop.end());
    e.pushSamples(hop.data(), 180);
    const std::size_t expected = push < 49 ? 0 : 1 + (push - 49) / 4;
    ASSERT_EQ(list.size(), expected) << push;
    if (push == 53) {
      const auto frame = tailOf(stream, 16384);
      reference->process(frame.data(), 16384);
      ASSERT_EQ(list.back().size(), 72u);
      for (int j = 0; j < 72; ++j) EXPECT_FLOAT_EQ(static_cast<float>(list.back()[j]), reference->getData(3)[j]) << j;
    }
  }
  e.clearFeatures();
  EXPECT_TRUE(list.empty());
  const std::vector<float> silence(180, 0.0f);
  for (int push = 1; push <= 49; ++push) {
    e.pushSamples(silence.data(), 180);
    EXPECT_EQ(list.size(), push < 49 ? 0u : 1u) << push;
  }
}

TEST(SemitoneFrameFeatureExtractor, HopAboveHalfTheFrameStartsCountingAtZero) {
  FeatureList list;
  kelo::SemitoneFrameFeatureExtractor e(600, 1024, 3, frontEnd(1024), &list);
  const std::vector<float> hop(600, 0.1f);
  for (int push = 1; push <= 7; ++push) {
    e.pushSamples(hop.data(), 600);
    EXPECT_EQ(list.size(), static_cast<std::size_t>(push / 3)) << push;
  }
  EXPECT_THROW(kelo::SemitoneFrameFeatureExtractor(180, 1024, 0, frontEnd(1024), &list), std::invalid_argument);
  EXPECT_THROW(kelo::SemitoneFrameFeatureExtractor(180, 1024, 4, frontEnd(1024), nullptr), std::invalid_argument);
}

TEST(BeatFrameFeatureExtractor, EveryPushIsOneDetectorFrameAndClearingResetsTheDetector) {
  auto detector = boost::make_shared<RuBeatO::CBeatDetect>(1024, 180, 3, true, 44100.0f, 60.0f, 200.0f);
  kelo::BeatFrameFeatureExtractor e(180, 180, detector);
  const std::vector<float> hop(180, 0.25f);
  for (int i = 0; i < 5; ++i) e.pushSamples(hop.data(), 180);
  EXPECT_EQ(detector->getNumFrames(), 5);

  FeatureList bands;
  e.setFeatureList(&bands);
  e.pushSamples(hop.data(), 180);
  ASSERT_EQ(bands.size(), 1u);
  int dimension = 0;
  const float* latest = detector->getFeature(&dimension);
  ASSERT_EQ(bands.back().size(), static_cast<std::size_t>(dimension));
  for (int i = 0; i < dimension; ++i) EXPECT_EQ(bands.back()[i], latest[i]);

  e.clearFeatures();
  EXPECT_EQ(detector->getNumFrames(), 0);
  EXPECT_TRUE(bands.empty());
  const std::vector<float> odd(181, 0.0f);
  kelo::BeatFrameFeatureExtractor oddHops(181, 181, boost::make_shared<RuBeatO::CBeatDetect>(1024, 181, 3, true, 44100.0f, 60.0f, 200.0f));
  EXPECT_THROW(oddHops.pushSamples(odd.data(), 181), std::invalid_argument);  // "lenData must be even"
}

TEST(SpectrumFrameFeatureExtractor, SpectrumOfTheHammingWindowedFrameMatchesAPlainDft) {
  FeatureList list;
  kelo::SpectrumFrameFeatureExtractor e(16, 64, 2, &list);
  std::vector<float> stream;
  for (int push = 1; push <= 5; ++push) {
    std::vector<float> hop(16);
    for (int i = 0; i < 16; ++i) hop[i] = static_cast<float>(std::cos(0.3 * (stream.size() + i)) + 0.1 * i);
    stream.insert(stream.end(), hop.begin(), hop.end());
    e.pushSamples(hop.data(), 16);
    ASSERT_EQ(list.size(), static_cast<std::size_t>(push < 3 ? 0 : (push == 5 ? 2 : 1))) << push;
  }
  // The vector of push 5 describes the frame after 5 hops.
  const auto frame = tailOf(stream, 64);
  const auto& v = list.back();
  ASSERT_EQ(v.size(), 64u);
  for (int k = 0; k < 32; ++k) {
    std::complex<double> sum = 0;
    for (int n = 0; n < 64; ++n) {
      const double w = 0.54 - 0.46 * std::cos(2 * kPi * n / 63.0);
      sum += w * frame[n] * std::polar(1.0, -2 * kPi * k * n / 64.0);
    }
    EXPECT_NEAR(v[k], 2 * std::abs(sum), 1e-3 * (1 + 2 * std::abs(sum))) << k;
  }
  for (int k = 32; k < 64; ++k) EXPECT_EQ(v[k], 0.0);
  e.clearFeatures();
  EXPECT_EQ(list.size(), 2u);
}

TEST(Decimator, StreamsInPiecesExactlyAsInOneCall) {
  std::vector<float> x(700, 0.0f);
  x[0] = 1.0f;
  for (std::size_t i = 1; i < x.size(); ++i) x[i] = static_cast<float>(std::sin(0.05 * i * i));
  kelo::Decimator whole;
  std::vector<float> expected(x.size());
  kelo::Decimator::process(expected.data(), x.data(), 700, whole, 1);
  EXPECT_FLOAT_EQ(expected[0], 0.0492556095f);

  kelo::Decimator pieces;
  std::vector<float> y(x.size(), -1.0f);
  kelo::Decimator::process(y.data(), x.data(), 0, pieces, 1);
  kelo::Decimator::process(y.data(), x.data(), -5, pieces, 1);
  EXPECT_EQ(y[0], -1.0f);
  int at = 0;
  for (int len : {180, 1, 300, 219}) {
    kelo::Decimator::process(y.data() + at, x.data() + at, len, pieces, 1);
    at += len;
  }
  EXPECT_EQ(y, expected);
}
