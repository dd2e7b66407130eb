// The onset analyzer manager over generated work copies: onset times of a
// click track, the frame count, appending to the caller's list, and the
// message of a failed run.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "ResultCode.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "onsetAnalyzer.h"

namespace {

std::unique_ptr<IF_onsetAnalyzer> makeAnalyzer() { return std::unique_ptr<IF_onsetAnalyzer>(onsetAnalyzer::create()); }

const QString kMessage = "onset analyze process returens some error!";

}  // namespace

TEST(OnsetAnalyzer, AClickEveryHalfSecondGivesAnOnsetOnEachClick) {
  const QString path = TestEnv::tempPath("clicks.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(10.0, 0.5, 0.25)));
  auto a = makeAnalyzer();
  std::uint64_t frames = 0;
  std::vector<float> times;
  ASSERT_EQ(a->analyse(path, frames, times), Result::kOk);
  EXPECT_EQ(frames, 441000u);
  ASSERT_EQ(times.size(), 20u);
  for (std::size_t k = 0; k < times.size(); ++k) EXPECT_NEAR(times[k], 0.25 + 0.5 * static_cast<double>(k), 0.01) << k;
  EXPECT_TRUE(a->lastError().isEmpty());
}

TEST(OnsetAnalyzer, OnsetsAreAppendedBehindWhatTheListHolds) {
  const QString path = TestEnv::tempPath("clicks.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(3.0, 1.0, 0.5)));
  auto a = makeAnalyzer();
  std::uint64_t frames = 0;
  std::vector<float> times{-7.0f};
  ASSERT_EQ(a->analyse(path, frames, times), Result::kOk);
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[0], -7.0f);
  for (std::size_t k = 1; k < times.size(); ++k) EXPECT_NEAR(times[k], static_cast<double>(k) - 0.5, 0.01);
}

TEST(OnsetAnalyzer, SilenceGivesNoOnsets) {
  const QString path = TestEnv::tempPath("silence.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::Stereo16(2 * 44100 * 2, 0)));
  auto a = makeAnalyzer();
  std::uint64_t frames = 0;
  std::vector<float> times;
  EXPECT_EQ(a->analyse(path, frames, times), Result::kOk);
  EXPECT_EQ(frames, 88200u);
  EXPECT_TRUE(times.empty());
}

TEST(OnsetAnalyzer, AnUnreadableWorkCopyFailsAndItsMessageStaysUntilCleared) {
  auto a = makeAnalyzer();
  std::uint64_t frames = 99;
  std::vector<float> times{1.0f};
  EXPECT_EQ(a->analyse(TestEnv::tempPath("missing.wav"), frames, times), Result::fail(3));
  EXPECT_EQ(frames, 0u);
  EXPECT_EQ(times, std::vector<float>{1.0f});
  EXPECT_EQ(a->lastError(), kMessage);
  EXPECT_FALSE(a->hasException());

  const QString path = TestEnv::tempPath("clicks.wav");
  ASSERT_TRUE(TestAudio::writeWav(path, TestAudio::clickTrack(2.0, 0.5)));
  EXPECT_EQ(a->analyse(path, frames, times), Result::kOk);
  EXPECT_EQ(a->lastError(), kMessage);
  a->clearError();
  EXPECT_TRUE(a->lastError().isEmpty());
  EXPECT_FALSE(a->hasException());
}
