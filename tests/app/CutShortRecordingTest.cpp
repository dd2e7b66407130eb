// A recording whose file ends before the length its header gives: the
// import says so with both lengths before anything is written, Yes imports
// what is there, No leaves the project and the folder as they were.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "AnalysedWaveName.h"
#include "ModalDriver.h"
#include "WaveViewProject.h"

using namespace WaveViewProject;

TEST(CutShortRecording, TheImportAsksWithBothLengthsAndTakesTheAnswer) {
  constexpr double kWhole = 8.0;
  const struct {
    double cut;
    QMessageBox::StandardButton answer;
    const char* question;
  } cases[] = {
      {3.0, QMessageBox::No, "The recording is shorter than its header says: 3.0 s of 8.0 s. Import what is there?"},
      {3.0, QMessageBox::Yes, "The recording is shorter than its header says: 3.0 s of 8.0 s. Import what is there?"},
      {6.5, QMessageBox::No, "The recording is shorter than its header says: 6.5 s of 8.0 s. Import what is there?"},
      {6.5, QMessageBox::Yes, "The recording is shorter than its header says: 6.5 s of 8.0 s. Import what is there?"},
  };
  int n = 0;
  for (const auto& c : cases) {
    VirtualAudio audio;
    const QString song = TestEnv::tempPath(QString("cut%1.wav").arg(n++));
    ASSERT_TRUE(TestAudio::writeWav(song, TestAudio::clickTrack(kWhole, 0.5, 0.0, 4)));
    QFile file(song);
    const qint64 header = file.size() - qint64(kWhole * 44100) * 4;
    ASSERT_TRUE(file.resize(header + qint64(c.cut * 44100) * 4));

    MainWindow window;
    ModalDriver driver;
    driver.chooseFile(song);
    driver.pressButton(c.answer);
    window.releasedBtnOpenWav();

    ASSERT_EQ(driver.seen().size(), 2u) << c.cut;
    EXPECT_EQ(driver.seen()[1].text, c.question);
    const bool yes = c.answer == QMessageBox::Yes;
    EXPECT_EQ(window.core().waveCount(), yes ? 1u : 0u) << c.question;
    EXPECT_EQ(QFileInfo::exists(AnalysedWaveName::pathFor(song)), yes) << c.question;
    if (yes) {
      EXPECT_EQ(window.shownSampleCount(), std::uint64_t(c.cut * 44100)) << "what is there";
    }
    EXPECT_EQ(driver.unexpected(), 0) << c.question;
  }
}
