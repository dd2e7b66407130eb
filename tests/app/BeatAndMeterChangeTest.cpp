// The beat resolution buttons and the time-signature field of the main
// window on a generated song: x2 and /2 change the tempo exactly two-fold
// with the section's seconds kept, and a new meter leaves no section counted
// in the old one.

#include <gtest/gtest.h>

#include <cmath>

#include "AnalysisUtil.h"
#include "ModalDriver.h"
#include "SectionWaveInfo.h"
#include "TempoRatio.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

constexpr double kBeatSeconds = 0.6;  // 100 BPM
constexpr double kSongSeconds = 20.4;

// A click track at 100 BPM whose analysis lists half-beat entries every
// 0.3 s and an onset on every click, "Main A" over its first eight bars
// (19.2 s) and the tempo 100, as an import would leave it.
void loadHundredBpmSong(MainWindow& window) {
  const QString wav = TestEnv::tempPath("hundred.wav");
  ASSERT_TRUE(TestAudio::writeWav(wav, TestAudio::clickTrack(kSongSeconds, kBeatSeconds)));
  auto* info = new WavInfo;
  info->fileName = wav.toStdWString();
  for (int k = 0; k * kBeatSeconds / 2 <= kSongSeconds + 1e-9; ++k)
    info->beatTime.push_back(static_cast<float>(k * kBeatSeconds / 2));
  for (int k = 0; k * kBeatSeconds <= kSongSeconds + 1e-9; ++k)
    info->onsetTime.push_back(static_cast<float>(k * kBeatSeconds));
  const std::uint64_t eightBars = AnalysisUtil().secondsToSamples(info->beatTime[64]);  // 32 beats, 19.2 s
  ASSERT_EQ(window.core().addWavList(info), 0u);
  SecInfo mainA;
  mainA.used = 1;
  mainA.wavNo = 0;
  mainA.endAdrs = eightBars;
  ASSERT_EQ(window.core().setSecInfo(3, mainA), 0u);
  ASSERT_EQ(window.core().updateTempo(100), 0u);
  show(window);
}

// The stretch in percent the window's checks compute for Main A: its
// range against its bars at the project tempo.
double mainAStretch(MainWindow& window) {
  const SectionWaveInfo info(&window.core(), 3);
  const double sectionSeconds = calcTempo(info.numerator, info.denominator, info.bars, info.tempo);
  return 100.0 * calcRatio(sectionSeconds, info.secondSeconds - info.startSeconds);
}

}  // namespace

TEST(BeatResolution, DoublingAndHalvingChangeTheTempoTwoFoldAndKeepTheSectionsSeconds) {
  VirtualAudio audio;
  MainWindow window;
  loadHundredBpmSong(window);
  const SecInfo before = sectionRecord(window, 3);
  ASSERT_EQ(before.barNum, 8);
  ModalDriver driver;

  const struct {
    DvPushButton* button;
    std::uint64_t tempo;
    std::uint16_t bars;
  } steps[] = {{window.mBtnBeatAnaDouble, 200, 16}, {window.mBtnBeatAnaHalf, 100, 8},
               {window.mBtnBeatAnaHalf, 50, 4},     {window.mBtnBeatAnaDouble, 100, 8}};
  for (const auto& step : steps) {
    const int undoSteps = window.core().undoCount();
    step.button->click();
    const SecInfo now = sectionRecord(window, 3);
    EXPECT_EQ(window.core().getCommonInfo().tempo, step.tempo) << step.button->text().toStdString();
    EXPECT_EQ(now.barNum, step.bars) << step.tempo;
    EXPECT_EQ(now.startAdrs, before.startAdrs) << step.tempo;
    EXPECT_EQ(now.endAdrs, before.endAdrs) << step.tempo;
    EXPECT_NEAR(mainAStretch(window), 100.0, 0.01) << step.tempo;
    EXPECT_EQ(window.core().undoCount(), undoSteps + 1) << step.tempo;
  }
  EXPECT_TRUE(driver.seen().empty());
}

namespace {

// A recording of 32 beats at 120 BPM whose structure has three parts, so
// that the proposal fills "Main A" to "Main C" only.
void loadProposedSong(MainWindow& window) {
  const QString wav = TestEnv::tempPath("parts.wav");
  ASSERT_TRUE(TestAudio::writeWav(wav, TestAudio::sine(16.0, 220.0)));
  auto* info = new WavInfo;
  info->fileName = wav.toStdWString();
  for (int k = 0; k <= 64; ++k) info->beatTime.push_back(0.25f * k);
  info->onsetTime = {0.0f, 16.0f};
  info->segLblOrg = {{0.0f, 1}, {4.0f, 2}, {8.0f, 3}};
  info->segLbl = info->segLblOrg;
  ASSERT_EQ(window.core().addWavList(info), 0u);
  ASSERT_EQ(window.core().makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
}

}  // namespace

TEST(TimeSignature, AfterThreeFourNoSectionIsCountedInTheOldMeter) {
  VirtualAudio audio;
  MainWindow window;
  loadProposedSong(window);
  // The user's own Fill In A over twelve beats: three bars of 4/4.
  storeSection(window, 7, 16, 28);
  ASSERT_EQ(sectionRecord(window, 7).barNum, 3);
  show(window);

  ModalDriver driver;
  driver.pressButton(QMessageBox::Reset);
  window.mLEditBeat->setText("3/4");
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].text, "Changing the beat will reset all settings of all sections. Continue?");
  std::uint8_t num = 0;
  std::uint8_t den = 0;
  ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
  ASSERT_EQ(num, 3);

  // Each used section is whole bars of 3/4, counted as such; the slot the
  // proposal does not fill is reset, as the question said.
  int used = 0;
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    const SecInfo sec = sectionRecord(window, slot);
    if (!sec.used) continue;
    ++used;
    const auto beats = static_cast<std::uint32_t>(std::lround((sec.endAdrs - sec.startAdrs) / (0.5 * 44100.0)));
    EXPECT_EQ(beats % 3, 0u) << int(slot);
    EXPECT_EQ(sec.barNum, beats / 3) << int(slot);
  }
  EXPECT_GT(used, 0);
  EXPECT_EQ(sectionRecord(window, 7).used, 0) << "Fill In A kept its 4/4 bars";

  // One Undo brings the user's section back.
  window.actionUndo->trigger();
  EXPECT_EQ(sectionRecord(window, 7).used, 1);
  EXPECT_EQ(sectionRecord(window, 7).barNum, 3);
  EXPECT_EQ(driver.unexpected(), 0);
}
