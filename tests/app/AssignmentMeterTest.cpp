// A recording chosen for a section of a project whose meter was changed
// after the import: the section's bars are counted in the project's meter,
// not in the meter the recording's analysis was proposed in.

#include <gtest/gtest.h>

#include "AnalysedWaveName.h"
#include "ModalDriver.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

namespace {

constexpr double kBeatSeconds = 0.5;

// A 16 s recording with its analysis beside it, as an import under 4/4
// leaves it: beats every 0.5 s, three parts of 4 s, 4 s and 8 s, "Main A"
// to "Main C" proposed as bars of 4/4.
QString songAnalysedInFourFour() {
  const QString audio = TestEnv::tempPath("parts.wav");
  EXPECT_TRUE(TestAudio::writeWav(audio, TestAudio::sine(16.0, 220.0)));
  CASTcore writer;
  auto* wave = new WavInfo;
  wave->fileName = audio.toStdWString();
  wave->beatDiv = 1;
  for (int k = 0; k <= 64; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 16.0f};
  wave->segLblOrg = {{0.0f, 1}, {4.0f, 2}, {8.0f, 3}};
  wave->segLbl = wave->segLblOrg;
  EXPECT_EQ(writer.addWavList(wave), 0u);
  EXPECT_EQ(writer.makeInitSecAsgnBySegLbl(0, 0, 0), 0u);
  EXPECT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(audio).toStdWString(), 0), 0u);
  return audio;
}

}  // namespace

TEST(WaveAssignment, AFillInGetsBarsOfTheMeterSetAfterTheImport) {
  const struct {
    const char* meter;
    int beatsPerBar;
  } cases[] = {{"3/4", 3}, {"2/4", 2}};
  for (const auto& c : cases) {
    VirtualAudio audio;
    const QString song = songAnalysedInFourFour();
    MainWindow window;
    ModalDriver driver;
    driver.chooseFile(song);
    window.releasedBtnOpenWav();
    ASSERT_EQ(window.core().waveCount(), 1u) << c.meter;
    show(window);
    driver.pressButton(QMessageBox::Reset);
    window.mLEditBeat->setText(c.meter);
    std::uint8_t num = 0;
    std::uint8_t den = 0;
    ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
    ASSERT_EQ(num, c.beatsPerBar) << c.meter;

    window.mCmbTrimSec->setCurrentIndex(7);
    ASSERT_EQ(sectionRecord(window, 7).used, 0) << c.meter;
    ASSERT_EQ(window.mCmbWav->currentIndex(), -1) << c.meter;
    window.mCmbWav->setCurrentIndex(0);

    const SecInfo fill = sectionRecord(window, 7);
    ASSERT_EQ(fill.used, 1) << c.meter;
    ASSERT_GT(fill.barNum, 0) << c.meter;
    const double barSeconds = (fill.endAdrs - fill.startAdrs) / 44100.0 / fill.barNum;
    EXPECT_NEAR(barSeconds, c.beatsPerBar * kBeatSeconds, 0.01) << c.meter;
    ASSERT_EQ(window.core().getTimeSig(num, den), 0u);
    EXPECT_EQ(num, c.beatsPerBar) << c.meter << ": the project's meter stays";
    EXPECT_EQ(driver.unexpected(), 0) << c.meter;
  }
}
