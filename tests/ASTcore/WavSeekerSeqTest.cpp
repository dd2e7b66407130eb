// Reading working WAV files as float frames: sample scaling, partial reads,
// rewinding and seeking, and files that are missing, foreign or cut short.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "TempDir.h"
#include "TestAudio.h"
#include "WavBytes.h"
#include "WavSeekerSeq.h"

namespace {

// Frame f holds (f, -f - 1) modulo 16-bit, so every frame is recognisable.
TestAudio::Stereo16 ramp(std::size_t frames) {
  TestAudio::Stereo16 s;
  for (std::size_t f = 0; f < frames; ++f) {
    s.push_back(static_cast<std::int16_t>(f));
    s.push_back(static_cast<std::int16_t>(-static_cast<long>(f) - 1));
  }
  return s;
}

QString rampFile(const QString& name, std::size_t frames) {
  const QString path = TestEnv::tempPath(name);
  EXPECT_TRUE(TestAudio::writeWav(path, ramp(frames)));
  return path;
}

float scaled(std::int16_t s) { return static_cast<float>(s) / 32768.0f; }

void expectFrames(const std::vector<float>& buf, std::size_t firstFrame, std::size_t count) {
  const TestAudio::Stereo16 ref = ramp(firstFrame + count);
  for (std::size_t i = 0; i < count; ++i) {
    ASSERT_EQ(buf[2 * i], scaled(ref[2 * (firstFrame + i)])) << "frame " << firstFrame + i;
    ASSERT_EQ(buf[2 * i + 1], scaled(ref[2 * (firstFrame + i) + 1])) << "frame " << firstFrame + i;
  }
}

}  // namespace

TEST(WavSeekerSeq, FullScaleSamplesMapOntoMinusOneToJustBelowOne) {
  const QString path = TestEnv::tempPath("extremes.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, {-32768, 32767, 1, -1, 0, 16384}));
  WavSeekerSeq src(path);
  ASSERT_TRUE(src.isOpen());
  EXPECT_EQ(src.length(), 3u);
  EXPECT_EQ(src.channels(), 2u);
  EXPECT_EQ(src.sampleRate(), 44100.0f);
  std::vector<float> buf(6, 9.0f);
  ASSERT_EQ(src.read(buf.data(), 3), 3u);
  EXPECT_EQ(buf[0], -1.0f);
  EXPECT_FLOAT_EQ(buf[1], 0.9999695f);
  EXPECT_EQ(buf[1], 32767.0f / 32768.0f);
  EXPECT_EQ(buf[2], 3.0517578125e-5f);
  EXPECT_EQ(buf[3], -3.0517578125e-5f);
  EXPECT_EQ(buf[4], 0.0f);
  EXPECT_EQ(buf[5], 0.5f);
}

TEST(WavSeekerSeq, ABlockPastTheEndIsFilledWithZeros) {
  const QString path = rampFile("partial.wav", 3048);
  WavSeekerSeq src(path);
  std::vector<float> buf(2048, 9.0f);
  ASSERT_EQ(src.read(buf.data(), 1024), 1024u);
  ASSERT_EQ(src.read(buf.data(), 1024), 1024u);
  std::fill(buf.begin(), buf.end(), 9.0f);
  ASSERT_EQ(src.read(buf.data(), 1024), 1000u);
  expectFrames(buf, 2048, 1000);
  for (std::size_t i = 2000; i < 2048; ++i) EXPECT_EQ(buf[i], 0.0f) << i;

  std::fill(buf.begin(), buf.end(), 9.0f);
  EXPECT_EQ(src.read(buf.data(), 1024), 0u);
  for (float v : buf) ASSERT_EQ(v, 0.0f);
}

// Reads of every size, including ones larger than the reader's own block,
// deliver the file's frames in order without gaps or repeats.
TEST(WavSeekerSeq, ReadsOfAnySizeDeliverEveryFrameOnce) {
  const std::size_t total = 30000;
  const QString path = rampFile("blocks.wav", total);
  WavSeekerSeq src(path);
  ASSERT_EQ(src.length(), total);
  std::size_t done = 0;
  const std::size_t sizes[] = {1, 3, 4095, 4096, 4097, 9000, 1};
  for (std::size_t n : sizes) {
    std::vector<float> buf(2 * n);
    ASSERT_EQ(src.read(buf.data(), n), n);
    expectFrames(buf, done, n);
    done += n;
  }
  std::vector<float> rest(2 * total);
  ASSERT_EQ(src.read(rest.data(), total), total - done);
  expectFrames(rest, done, total - done);
}

TEST(WavSeekerSeq, SeekZeroRewindsAfterTheEnd) {
  const QString path = rampFile("rewind.wav", 500);
  WavSeekerSeq src(path);
  std::vector<float> buf(2 * 600);
  ASSERT_EQ(src.read(buf.data(), 600), 500u);
  ASSERT_EQ(src.read(buf.data(), 10), 0u);
  src.seek(0);
  ASSERT_EQ(src.read(buf.data(), 10), 10u);
  expectFrames(buf, 0, 10);
}

TEST(WavSeekerSeq, SeekMovesWithinTheDataAndClampsToItsEnd) {
  const QString path = rampFile("seek.wav", 10000);
  WavSeekerSeq src(path);
  std::vector<float> buf(2 * 100);
  src.seek(5000);
  ASSERT_EQ(src.read(buf.data(), 100), 100u);
  expectFrames(buf, 5000, 100);
  // Backwards, not to the start.
  src.seek(17);
  ASSERT_EQ(src.read(buf.data(), 3), 3u);
  expectFrames(buf, 17, 3);
  src.seek(9990);
  ASSERT_EQ(src.read(buf.data(), 100), 10u);
  expectFrames(buf, 9990, 10);
  src.seek(123456789);
  EXPECT_EQ(src.read(buf.data(), 100), 0u);
  src.seek(0);
  ASSERT_EQ(src.read(buf.data(), 2), 2u);
  expectFrames(buf, 0, 2);
}

TEST(WavSeekerSeq, SeekZeroSeesAFileRewrittenMeanwhile) {
  const QString path = rampFile("rewritten.wav", 100);
  WavSeekerSeq src(path);
  ASSERT_EQ(src.length(), 100u);
  TestAudio::Stereo16 other(2 * 300, 1234);
  ASSERT_TRUE(TestAudio::writeWav(path, other));
  src.seek(0);
  EXPECT_EQ(src.length(), 300u);
  std::vector<float> buf(2);
  ASSERT_EQ(src.read(buf.data(), 1), 1u);
  EXPECT_EQ(buf[0], scaled(1234));
}

TEST(WavSeekerSeq, ChunksAfterTheDataAreNotReadAsSamples) {
  const QString path = rampFile("trailer.wav", 50);
  QByteArray bytes = WavBytes::readAll(path);
  bytes.append("LIST", 4);
  bytes.append(QByteArray("\x10\0\0\0INFOISFT\x04\0\0\0abcd", 20));
  ASSERT_TRUE(WavBytes::writeAll(path, bytes));

  WavSeekerSeq src(path);
  EXPECT_EQ(src.length(), 50u);
  std::vector<float> buf(2 * 60, 9.0f);
  ASSERT_EQ(src.read(buf.data(), 60), 50u);
  expectFrames(buf, 0, 50);
  for (std::size_t i = 100; i < 120; ++i) EXPECT_EQ(buf[i], 0.0f);
  EXPECT_EQ(src.read(buf.data(), 60), 0u);
  // Seeking near the end does not open the way to the trailer either.
  src.seek(45);
  EXPECT_EQ(src.read(buf.data(), 60), 5u);
}

TEST(WavSeekerSeq, ATruncatedFileReportsTheFramesItHolds) {
  const QString path = rampFile("cut.wav", 1000);
  const QByteArray bytes = WavBytes::readAll(path);
  ASSERT_TRUE(WavBytes::writeAll(path, bytes.left(44 + 4 * 600 + 3)));
  WavSeekerSeq src(path);
  ASSERT_TRUE(src.isOpen());
  EXPECT_EQ(src.length(), 600u);
  std::vector<float> buf(2 * 1000, 9.0f);
  ASSERT_EQ(src.read(buf.data(), 1000), 600u);
  expectFrames(buf, 0, 600);
  for (std::size_t i = 1200; i < 2000; ++i) ASSERT_EQ(buf[i], 0.0f);
}

TEST(WavSeekerSeq, MissingOrForeignFilesReadAsEmptyAndSaySo) {
  WavSeekerSeq missing(TestEnv::tempPath("nothing-here.wav"));
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.openResult(), 0x80000001u);
  EXPECT_EQ(missing.length(), 0u);
  EXPECT_EQ(missing.sampleRate(), 44100.0f);
  EXPECT_EQ(missing.channels(), 2u);
  std::vector<float> buf(8, 9.0f);
  EXPECT_EQ(missing.read(buf.data(), 4), 0u);
  for (float v : buf) EXPECT_EQ(v, 0.0f);
  missing.seek(0);
  missing.seek(10);
  EXPECT_EQ(missing.read(buf.data(), 4), 0u);

  const QString monoPath = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(monoPath, TestAudio::sine(0.01, 440.0), 1));
  WavSeekerSeq mono(monoPath);
  EXPECT_FALSE(mono.isOpen());
  EXPECT_EQ(mono.openResult(), 0x80000002u | (0x80000007ull << 4));
  EXPECT_EQ(mono.length(), 0u);
  EXPECT_EQ(mono.read(buf.data(), 4), 0u);

  // A file that appears later is picked up by the rewind.
  const QString late = TestEnv::tempPath("late.wav");
  WavSeekerSeq later(late);
  EXPECT_FALSE(later.isOpen());
  ASSERT_TRUE(TestAudio::writeWav(late, ramp(10)));
  later.seek(0);
  EXPECT_TRUE(later.isOpen());
  EXPECT_EQ(later.length(), 10u);
}
