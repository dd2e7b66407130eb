// The pieces of the zero-crossing scan: the delayed moving average, the
// sign-change recorder, and the in-place passes over 16-bit stereo buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "ISeekable.h"
#include "IndexPairBuffer.h"
#include "SignChangeSegmenter.h"
#include "TestAudio.h"
#include "WavBytes.h"

namespace {

std::vector<std::uint64_t> segment(const std::vector<float>& xs, std::uint8_t mode) {
  std::vector<std::uint64_t> out = {42, 43};  // stale content is cleared
  SignChangeSegmenter seg(out, mode);
  for (float x : xs) seg.push(x);
  return out;
}

std::int16_t sampleAt(const std::vector<std::uint8_t>& b, std::size_t frame, int channel) {
  const std::size_t i = frame * 4 + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
}

// Stereo frames whose right channel is the given sequence and left its negation.
std::vector<std::uint8_t> rightChannel(const std::vector<std::int16_t>& right) {
  std::vector<std::int16_t> interleaved;
  for (std::int16_t r : right) {
    interleaved.push_back(static_cast<std::int16_t>(-r));
    interleaved.push_back(r);
  }
  return WavBytes::toBytes(interleaved);
}

std::vector<std::int16_t> runs(std::initializer_list<std::pair<int, std::int16_t>> parts) {
  std::vector<std::int16_t> out;
  for (const auto& [count, value] : parts) out.insert(out.end(), static_cast<std::size_t>(count), value);
  return out;
}

}  // namespace

// Call c queues b while warming up (the first 100 calls), afterwards the mean
// of the midpoints of calls c-100 .. c-1; the value comes out at call c+100,
// and the first 100 results are the zeroed queue.
TEST(IndexPairBuffer, OutputLagsByNCallsAndAveragesThePreviousMidpoints) {
  const int n = 100;
  IndexPairBuffer buf(n);
  std::vector<double> mids;
  std::vector<float> queued;
  for (int c = 0; c < 600; ++c) {
    const bool warm = c < n;
    const float a = static_cast<float>((c * 131) % 2001 - 1000);
    const float b = static_cast<float>((c * 37) % 999 - 500);
    double sum = 0.0;
    for (int j = c - n; j < c; ++j) sum += j >= 0 ? mids[static_cast<std::size_t>(j)] : 0.0;
    queued.push_back(warm ? b : static_cast<float>(sum / n));
    mids.push_back((static_cast<double>(a) + b) / 2.0);
    const float out = buf.pushAverage(warm, a, b);
    EXPECT_EQ(out, c < n ? 0.0f : queued[static_cast<std::size_t>(c - n)]) << c;
  }
}

TEST(IndexPairBuffer, WithoutAWindowItPassesTheMidpoint) {
  for (std::int64_t n : {0, -3}) {
    IndexPairBuffer buf(n);
    EXPECT_EQ(buf.pushAverage(false, 3.0f, 5.0f), 4.0f);
    EXPECT_EQ(buf.pushAverage(true, -2.0f, 1.0f), -0.5f);
  }
}

TEST(SignChangeSegmenter, ModeZeroRecordsRisingCrossings) {
  EXPECT_EQ(segment({-1, 1, -1, 1}, 0), (std::vector<std::uint64_t>{1, 3}));
  // Zeros are skipped: the rise from -1 is completed at index 3.
  EXPECT_EQ(segment({1, -1, 0, 0.5f, 0, -2, 0, 0, 2}, 0), (std::vector<std::uint64_t>{3, 8}));
  EXPECT_TRUE(segment({1, 2, 3, 0, 4}, 0).empty());
}

TEST(SignChangeSegmenter, OtherModesRecordTheSampleBeforeEachChange) {
  EXPECT_EQ(segment({1, 1, -1}, 1), (std::vector<std::uint64_t>{1}));
  // A run of zeros counts as a change for the next non-zero sample.
  EXPECT_EQ(segment({1, 1, 0, 0, -1, -1, -1}, 1), (std::vector<std::uint64_t>{3}));
  // A change on the second sample is recorded even though the list is empty.
  EXPECT_EQ(segment({1, -1}, 2), (std::vector<std::uint64_t>{0}));
  EXPECT_TRUE(segment({-1, -2, -3}, 1).empty());
}

TEST(SignChangeSegmenter, ChangesWithinTenSamplesReplaceThePreviousRecord) {
  std::vector<float> xs;
  auto add = [&xs](int count, float v) { xs.insert(xs.end(), static_cast<std::size_t>(count), v); };
  add(21, 1);   // indices 0..20
  add(5, -1);   // change after 20
  add(20, 1);   // change after 25: within 10 of 20, replaces it
  add(10, -1);  // change after 45: far enough, appended
  add(5, 1);    // change after 55: exactly 10 later, appended
  EXPECT_EQ(segment(xs, 1), (std::vector<std::uint64_t>{25, 45, 55}));
}

// One zero sample must not turn every later sample into a change.
TEST(SignChangeSegmenter, AZeroIsAnsweredOnce) {
  std::vector<float> xs(5, 1.0f);
  xs.push_back(0.0f);
  xs.insert(xs.end(), 60, 1.0f);
  xs.insert(xs.end(), 30, -1.0f);
  EXPECT_EQ(segment(xs, 1), (std::vector<std::uint64_t>{5, 65}));
}

TEST(BufferScan, RecordsCrossingsOfTheRightChannelAsFrameIndices) {
  AnalysisUtil util;
  // Crossings at 30 (outside the scanned range 50 .. count-51), 130, 260,
  // 400 and 460 (outside again).
  const auto bytes = rightChannel(
      runs({{30, 1000}, {100, -1000}, {130, 1000}, {140, -1000}, {60, 1000}, {40, -1000}}));
  ASSERT_EQ(bytes.size() / 4, 500u);
  std::vector<std::uint64_t> out = {7};
  util.scanZeroCross16(bytes.data(), bytes.size(), out, 0);
  EXPECT_EQ(out, (std::vector<std::uint64_t>{130, 400}));
  util.scanZeroCross16(bytes.data(), bytes.size(), out, 1);
  EXPECT_EQ(out, (std::vector<std::uint64_t>{129, 259, 399}));

  const auto tooShort = rightChannel(runs({{60, -5}, {40, 5}}));
  util.scanZeroCross16(tooShort.data(), tooShort.size(), out, 0);
  EXPECT_TRUE(out.empty());
  // Frame 50 alone is scanned in a 101-frame buffer: no crossing possible.
  const auto minimal = rightChannel(runs({{50, -5}, {51, 5}}));
  util.scanZeroCross16(minimal.data(), minimal.size(), out, 0);
  EXPECT_TRUE(out.empty());
}

TEST(BufferScan, MarkingZeroesTheRightSampleOfListedFramesOnly) {
  AnalysisUtil util;
  auto bytes = rightChannel(runs({{20, 300}}));
  util.markFrames16(bytes.data(), bytes.size(), {0, 7, 19, 20, 1000000});
  for (std::size_t f = 0; f < 20; ++f) {
    EXPECT_EQ(sampleAt(bytes, f, 0), -300);
    EXPECT_EQ(sampleAt(bytes, f, 1), (f == 0 || f == 7 || f == 19) ? 0 : 300) << f;
  }
}

// The smoothed buffer against a direct computation in integers: left = the
// truncated mid value, right = the truncated mean of the 100 mid values of
// frames i-50 .. i+49 taken from the original samples.
TEST(BufferSmoothing, MatchesADirectComputationFromTheOriginalSamples) {
  AnalysisUtil util;
  const TestAudio::Stereo16 samples = TestAudio::noise(0.02, 1.0, 11);
  const std::size_t count = samples.size() / 2;
  ASSERT_GT(count, 300u);
  auto bytes = WavBytes::toBytes(samples);
  util.smoothStereo16(bytes.data(), bytes.size());

  auto pairSum = [&samples](std::size_t f) { return samples[2 * f] + samples[2 * f + 1]; };
  for (std::size_t i = 0; i < count; ++i) {
    if (i < 100 || i > count - 51) {
      EXPECT_EQ(sampleAt(bytes, i, 0), samples[2 * i]) << i;
      EXPECT_EQ(sampleAt(bytes, i, 1), samples[2 * i + 1]) << i;
      continue;
    }
    long window = 0;
    for (std::size_t j = i - 50; j < i + 50; ++j) window += pairSum(j);
    EXPECT_EQ(sampleAt(bytes, i, 0), pairSum(i) / 2) << i;
    EXPECT_EQ(sampleAt(bytes, i, 1), static_cast<std::int16_t>(window / 200.0)) << i;
  }
}

TEST(BufferSmoothing, ShortBuffersAreLeftAlone) {
  AnalysisUtil util;
  const TestAudio::Stereo16 samples = TestAudio::noise(150.5 / 44100.0, 1.0, 5);
  ASSERT_EQ(samples.size(), 300u);
  auto bytes = WavBytes::toBytes(samples);
  const auto before = bytes;
  util.smoothStereo16(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, before);
}

namespace {

// A source that hands out at most `chunk` frames per read, as a decoder or
// a network stream may; the end is a read of 0 frames.
class ChunkedSource : public ISeekable<float> {
 public:
  ChunkedSource(std::vector<float> frames, std::uint64_t chunk) : data(std::move(frames)), chunk(chunk) {}
  void seek(std::uint64_t frame) override { pos = std::min<std::uint64_t>(frame, length()); }
  std::uint64_t read(float* dst, std::uint64_t frames) override {
    const std::uint64_t n = std::min({frames, chunk, length() - pos});
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(2 * pos), 2 * n, dst);
    std::fill(dst + 2 * n, dst + 2 * frames, 0.0f);
    pos += n;
    return n;
  }
  std::uint64_t length() override { return data.size() / 2; }
  float sampleRate() override { return 44100.0f; }
  std::uint32_t channels() override { return 2; }

 private:
  std::vector<float> data;
  std::uint64_t chunk;
  std::uint64_t pos = 0;
};

}  // namespace

TEST(CoreScan, ShortReadsAreNotTheEndOfTheSource) {
  // Two seconds of a 5 Hz tone, then the reference: every frame through the
  // same window and recorder one by one.
  std::vector<float> frames;
  for (int i = 0; i < 88200; ++i) {
    const float v = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 5.0 * i / 44100.0));
    frames.push_back(v);
    frames.push_back(-0.25f * v);
  }
  std::vector<std::uint64_t> expected;
  {
    IndexPairBuffer window(100);
    SignChangeSegmenter seg(expected, 0);
    for (std::size_t i = 0; i < frames.size() / 2; ++i) {
      seg.push(window.pushAverage(i < 100, frames[2 * i] * 32768.0f, frames[2 * i + 1] * 32768.0f));
    }
  }
  ASSERT_GE(expected.size(), 9u);

  CASTcore core;
  ChunkedSource source(frames, 1000);
  std::vector<std::uint64_t> out;
  ASSERT_EQ(core.scanZeroCross(source, out, 0), 0u);
  EXPECT_EQ(out, expected);
}
