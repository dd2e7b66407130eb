#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/CSoundFile.h"

namespace {

// An output object the way the engine prepares one: owned, zeroed storage.
void giveStorage(CSoundFile& f, std::int64_t capacity) {
  f.storage = new float[static_cast<std::size_t>(capacity)]();
  f.capacity = capacity;
}

std::vector<float> contents(const CSoundFile& f) { return std::vector<float>(f.storage, f.storage + f.length); }

std::vector<float> ramp(std::size_t n, float start, float step) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = start + step * static_cast<float>(i);
  return v;
}

// Overlap-add over a plain vector: samples up to the cursor are summed and
// limited, later ones are appended as they are, gaps are zero.
struct VectorOverlapAdd {
  std::vector<float> samples;
  std::int64_t cursor = -1;
  void add(const std::vector<float>& frame, std::int64_t position) {
    const std::size_t end = static_cast<std::size_t>(position) + frame.size();
    if (samples.size() < end) samples.resize(end, 0.0f);
    for (std::size_t i = 0; i < frame.size(); ++i) {
      const std::int64_t at = position + static_cast<std::int64_t>(i);
      float& s = samples[static_cast<std::size_t>(at)];
      s = at <= cursor ? std::clamp(s + frame[i], -32768.0f, 32767.0f) : frame[i];
    }
    cursor = std::max<std::int64_t>(cursor, static_cast<std::int64_t>(end) - 1);
    samples.resize(static_cast<std::size_t>(cursor + 1));
  }
};

}  // namespace

TEST(SoundFile, OverlapAddMatchesAPlainVectorModelThroughGapsOverlapsAndLongFrames) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> value(-25000.0f, 25000.0f);
  std::uniform_int_distribution<int> size(1, 40000);
  std::uniform_int_distribution<int> shift(-30000, 30000);
  CSoundFile f(nullptr);
  giveStorage(f, 1000);
  VectorOverlapAdd ref;
  std::int64_t position = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<float> frame(static_cast<std::size_t>(size(gen)));
    for (float& v : frame) v = value(gen);
    position = std::max<std::int64_t>(0, std::min<std::int64_t>(ref.cursor + 1 + shift(gen), ref.cursor + 20000));
    ASSERT_EQ(f.AddToSoundFile(frame.data(), static_cast<int>(frame.size()), position), 0);
    ref.add(frame, position);
    ASSERT_EQ(f.addCursor, ref.cursor);
    ASSERT_EQ(f.length, static_cast<std::int64_t>(ref.samples.size()));
    ASSERT_LE(f.length, f.capacity);
  }
  EXPECT_EQ(contents(f), ref.samples);
}

TEST(SoundFile, FirstFrameLeavesZerosBeforeItAndTheNextFrameSumsOnlyTheOverlap) {
  testing::internal::CaptureStderr();
  CSoundFile f(nullptr);
  EXPECT_NE(f.Logger(), nullptr) << "every buffer carries the engine's log";
  giveStorage(f, 4096);
  const std::vector<float> a = ramp(1024, 1.0f, 1.0f);
  f.AddToSoundFile(a.data(), 1024, 512);
  EXPECT_EQ(f.length, 1536);
  EXPECT_EQ(f.addCursor, 1535);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(f.storage[i], 0.0f);
  const std::vector<float> b(1024, 30000.0f);
  f.AddToSoundFile(b.data(), 1024, 1024);
  EXPECT_EQ(f.length, 2048);
  EXPECT_EQ(f.addCursor, 2047);
  for (int i = 1024; i < 1536; ++i)
    ASSERT_EQ(f.storage[i], std::min(32767.0f, a[static_cast<std::size_t>(i - 512)] + 30000.0f)) << i;
  for (int i = 1536; i < 2048; ++i) ASSERT_EQ(f.storage[i], 30000.0f);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "overlap-adding prints nothing";
}

TEST(SoundFile, OnlySummedSamplesAreLimitedToSixteenBitRange) {
  CSoundFile f(nullptr);
  giveStorage(f, 100);
  const float big[3] = {20000.0f, -20000.0f, 40000.0f};
  f.AddToSoundFile(big, 3, 0);
  EXPECT_EQ(f.storage[2], 40000.0f);
  f.AddToSoundFile(big, 2, 0);
  EXPECT_EQ(f.storage[0], 32767.0f);
  EXPECT_EQ(f.storage[1], -32768.0f);
}

TEST(SoundFile, ReadInsideTheDataHandsOutAPointerUnlessACopyIsAsked) {
  CSoundFile f(nullptr);
  const std::vector<float> data = ramp(100000, -50000.0f, 1.0f);
  f.WriteToSoundFileAt(data.data(), 100000, 0);
  float* p = nullptr;
  EXPECT_EQ(f.ReadFromSoundFile(&p, 512, 1000, 2), 0);
  EXPECT_EQ(p, f.storage + 1000);
  std::vector<float> mine(512);
  float* q = mine.data();
  EXPECT_EQ(f.ReadFromSoundFile(&q, 512, 1000, 1), 0);
  EXPECT_EQ(q, mine.data());
  EXPECT_EQ(mine, std::vector<float>(data.begin() + 1000, data.begin() + 1512));
}

TEST(SoundFile, ReadAcrossTheEndFadesTheLastSampleToZero) {
  CSoundFile f(nullptr);
  const std::vector<float> data = ramp(100000, 1.0f, 0.25f);
  f.WriteToSoundFileAt(data.data(), 100000, 0);
  const float s = data.back();
  float* p = nullptr;
  ASSERT_EQ(f.ReadFromSoundFile(&p, 512, 99800, 2), 2);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(p[i], data[static_cast<std::size_t>(99800 + i)]);
  for (int j = 0; j < 312; ++j) EXPECT_FLOAT_EQ(p[200 + j], s * static_cast<float>(311 - j) / 312.0f) << j;
  EXPECT_EQ(p[511], 0.0f);
  delete[] p;

  // Into the caller's array the same samples come with code 0.
  std::vector<float> mine(512, -1.0f);
  float* q = mine.data();
  ASSERT_EQ(f.ReadFromSoundFile(&q, 512, 99800, 0), 0);
  EXPECT_FLOAT_EQ(mine[201], s * 310.0f / 312.0f);
}

TEST(SoundFile, ReadOfAnEmptyObjectAtItsEndIsSilent) {
  CSoundFile f(nullptr);
  giveStorage(f, 10);
  std::vector<float> mine(8, 5.0f);
  float* q = mine.data();
  EXPECT_EQ(f.ReadFromSoundFile(&q, 8, 0, 0), 0);
  EXPECT_EQ(mine, std::vector<float>(8, 0.0f));
}

TEST(SoundFile, ReadBeforeTheStartPadsWithZeros) {
  CSoundFile f(nullptr);
  const std::vector<float> data = ramp(1000, 7.0f, 3.0f);
  f.WriteToSoundFileAt(data.data(), 1000, 0);
  float* p = nullptr;
  ASSERT_EQ(f.ReadFromSoundFile(&p, 128, -64, 2), 2);
  std::vector<float> expected(64, 0.0f);
  expected.insert(expected.end(), data.begin(), data.begin() + 64);
  EXPECT_EQ(std::vector<float>(p, p + 128), expected);
  delete[] p;

  std::vector<float> mine(32, 9.0f);
  float* q = mine.data();
  ASSERT_EQ(f.ReadFromSoundFile(&q, 32, -100, 0), 0);
  EXPECT_EQ(mine, std::vector<float>(32, 0.0f));
}

TEST(SoundFile, ReadPastTheEndGivesZeros) {
  CSoundFile f(nullptr);
  const std::vector<float> data(50, 3.0f);
  f.WriteToSoundFileAt(data.data(), 50, 0);
  float* p = nullptr;
  ASSERT_EQ(f.ReadFromSoundFile(&p, 64, 51, 2), 3);
  EXPECT_EQ(std::vector<float>(p, p + 64), std::vector<float>(64, 0.0f));
  delete[] p;
  std::vector<float> mine(64, 1.0f);
  float* q = mine.data();
  ASSERT_EQ(f.ReadFromSoundFile(&q, 64, 60, 0), 0);
  EXPECT_EQ(mine, std::vector<float>(64, 0.0f));
  float* none = nullptr;
  EXPECT_THROW(f.ReadFromSoundFile(&none, 64, 60, 0), int);
}

TEST(SoundFile, BorrowedInputIsReadInPlace) {
  std::vector<float> input = ramp(2000, 0.0f, 2.0f);
  CSoundFile f(nullptr);
  f.storage = input.data();
  f.length = 2000;
  float* p = nullptr;
  EXPECT_EQ(f.ReadFromSoundFile(&p, 256, 512, 2), 0);
  EXPECT_EQ(p, input.data() + 512);
  f.storage = nullptr;
}

TEST(SoundFile, WritesMatchPlainVectorAppendsAndOverwrites) {
  std::mt19937 gen(9);
  std::uniform_int_distribution<int> size(0, 300000);
  std::uniform_int_distribution<int> where(0, 2500000);
  CSoundFile f(nullptr);
  std::vector<float> ref;
  float next = 1.0f;
  for (int round = 0; round < 30; ++round) {
    std::vector<float> chunk(static_cast<std::size_t>(size(gen)));
    for (float& v : chunk) v = (next += 1.0f);
    if (round % 3 == 1) {
      ASSERT_EQ(f.WriteToSoundFile(chunk.data(), static_cast<int>(chunk.size())), 0);
      ref.insert(ref.end(), chunk.begin(), chunk.end());
    } else {
      const std::size_t at = static_cast<std::size_t>(where(gen));
      ASSERT_EQ(f.WriteToSoundFileAt(chunk.data(), static_cast<int>(chunk.size()), static_cast<std::int64_t>(at)), 0);
      if (ref.size() < at + chunk.size()) ref.resize(at + chunk.size(), 0.0f);
      std::copy(chunk.begin(), chunk.end(), ref.begin() + static_cast<std::ptrdiff_t>(at));
    }
    ASSERT_EQ(f.length, static_cast<std::int64_t>(ref.size()));
    ASSERT_EQ(f.capacity % CSoundFile::kGrowthStep, 0);
    ASSERT_LE(f.length, f.capacity);
  }
  EXPECT_EQ(contents(f), ref);
}

TEST(SoundFile, AppendBeyondTheCapacityGrowsToTheNextMillionAndZeroesTheRest) {
  CSoundFile f(nullptr);
  giveStorage(f, 1000000);
  f.length = 999995;
  f.storage[999994] = 42.0f;
  const std::vector<float> ten(10, 7.0f);
  f.WriteToSoundFile(ten.data(), 10);
  EXPECT_EQ(f.capacity, 2000000);
  EXPECT_EQ(f.length, 1000005);
  EXPECT_EQ(f.storage[999994], 42.0f);
  for (std::int64_t i = 999995; i < 1000005; ++i) ASSERT_EQ(f.storage[i], 7.0f);
  for (std::int64_t i = 1000005; i < 2000000; ++i) ASSERT_EQ(f.storage[i], 0.0f);
}

TEST(SoundFile, AppendWithoutStorageFailsAndChangesNothing) {
  CSoundFile f(nullptr);
  const float x[4] = {1, 2, 3, 4};
  testing::internal::CaptureStderr();
  EXPECT_EQ(f.WriteToSoundFile(x, 4), CSoundFile::kRefused);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error in WriteToSoundFile()\n");
  EXPECT_EQ(f.storage, nullptr);
  EXPECT_EQ(f.length, 0);
}

TEST(SoundFile, DisabledOrNamedObjectsIgnoreWrites) {
  const float x[4] = {1, 2, 3, 4};
  CSoundFile off(nullptr);
  off.enabled = 0;
  EXPECT_EQ(off.WriteToSoundFileAt(x, 4, 0), 0);
  EXPECT_EQ(off.AddToSoundFile(x, 4, 0), 0);
  EXPECT_EQ(off.storage, nullptr);
  EXPECT_EQ(off.addCursor, -1);

  const std::string longName(300, 'n');
  CSoundFile named(longName.c_str());
  EXPECT_EQ(named.mode, CSoundFile::kNamed);
  EXPECT_EQ(std::string(named.name), longName.substr(0, 250));
  EXPECT_EQ(named.WriteToSoundFileAt(x, 4, 0), 0);
  EXPECT_EQ(named.storage, nullptr);
  EXPECT_EQ(named.length, 0);

  CSoundFile unnamed("");
  EXPECT_EQ(unnamed.mode, CSoundFile::kMemory);
  EXPECT_EQ(unnamed.sampleRate, 44100);
  EXPECT_EQ(unnamed.channels, 1);
  EXPECT_EQ(unnamed.bitsPerSample, 16);
}

TEST(SoundFile, NegativeCountsAndPositionsAreRefused) {
  CSoundFile f(nullptr);
  giveStorage(f, 100);
  const float x[4] = {1, 2, 3, 4};
  EXPECT_EQ(f.WriteToSoundFileAt(x, 4, -1), 1);
  EXPECT_EQ(f.WriteToSoundFileAt(x, -4, 0), 1);
  EXPECT_EQ(f.WriteToSoundFile(x, -1), 1);
  EXPECT_EQ(f.AddToSoundFile(x, 4, -2), 1);
  float* p = nullptr;
  EXPECT_EQ(f.ReadFromSoundFile(&p, -1, 0, 2), 1);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(f.length, 0);
  EXPECT_EQ(f.addCursor, -1);
}
