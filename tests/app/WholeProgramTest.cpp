// The whole road once, in the real window, as a new user takes it: start,
// import a rendered song (analysed under its progress dialog), look at the
// proposed sections, change one and undo it, audition it through the
// virtual output, stretch it and look at the result, export the style,
// save the project and open it again. Every box the program shows on the
// way is answered and must be one the road expects.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>

#include "AnalysedWaveName.h"
#include "AudioDeviceASFF.h"
#include "MainWindow.h"
#include "ManualOutput.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "VirtualBackend.h"
#include "ViewerWatch.h"

using FusionStyle::hal::VirtualBackend;

namespace {

float peak(const std::vector<float>& v) {
  float p = 0.0f;
  for (float x : v) p = std::max(p, std::fabs(x));
  return p;
}

std::vector<std::uint8_t> usedSections(CASTcore& core) {
  std::vector<std::uint8_t> used;
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    bool on = false;
    core.getAllInfo().isSecUsed(slot, &on);
    if (on) used.push_back(slot);
  }
  return used;
}

QString boxes(const ModalDriver& driver) {
  QStringList all;
  for (const auto& seen : driver.seen()) all << seen.title + ": " + seen.text;
  return all.join(" | ");
}

}  // namespace

TEST(WholeProgram, ImportProposeEditAuditionStretchExportSaveAndReopen) {
  VirtualBackend* backend = TestOutput::manualOutput();
  ASSERT_NE(backend, nullptr);
  const QString song = TestEnv::tempPath("song.wav");
  if (!TestAudio::renderSong(song, 8, 120)) GTEST_SKIP() << "fluidsynth or its sound font is not installed";

  MainWindow window;
  window.show();
  QCoreApplication::processEvents();

  // Import: the analysis runs once and proposes sections.
  {
    ModalDriver driver;
    driver.chooseFile(song);
    window.releasedBtnOpenWav();
    EXPECT_EQ(driver.unexpected(), 0) << boxes(driver).toStdString();
  }
  ASSERT_TRUE(QFileInfo::exists(AnalysedWaveName::pathFor(song)));
  ASSERT_EQ(window.core().waveCount(), 1u);
  const std::vector<std::uint8_t> proposed = usedSections(window.core());
  ASSERT_FALSE(proposed.empty()) << "the analysis proposes sections";
  EXPECT_EQ(window.mCmbTrimSec->currentIndex(), 3);
  ASSERT_TRUE(window.selectionEnd() > window.selectionStart()) << "Main A's range is shown";

  // An edit and its undo: bars change only with manual bars on, so two
  // steps, undone one by one.
  SecInfo* mainA = nullptr;
  ASSERT_EQ(window.core().getSecInfo(3, &mainA), 0u);
  const int bars = mainA->barNum;
  const SecInfo proposedMainA = *mainA;
  {
    ModalDriver driver;
    window.mChkManual->setChecked(true);
    window.clickedChkManual(true);
    window.mSpinBars->setValue(bars + 1);
    EXPECT_EQ(driver.seen().size(), 0u) << boxes(driver).toStdString();
  }
  ASSERT_EQ(window.core().getSecInfo(3, &mainA), 0u);
  EXPECT_EQ(mainA->barNum, bars + 1);
  EXPECT_TRUE(window.actionUndo->isEnabled());
  window.undo();
  window.undo();
  ASSERT_EQ(window.core().getSecInfo(3, &mainA), 0u);
  EXPECT_EQ(mainA->barNum, bars);
  EXPECT_EQ(mainA->manualBar, proposedMainA.manualBar);
  EXPECT_EQ(window.mSpinBars->value(), bars);
  EXPECT_FALSE(window.mChkManual->isChecked());

  // Audition: the section plays and is heard; Play again stops.
  {
    ModalDriver driver;
    window.releasedBtnPlayLoop();
    EXPECT_EQ(driver.seen().size(), 0u) << boxes(driver).toStdString();
    ASSERT_TRUE(window.isPlaying());
    ASSERT_TRUE(backend->pump(1, 8));
    EXPECT_GT(peak(backend->capturedChannel(1, 0)), 0.05f);
    QCoreApplication::processEvents();
    window.releasedBtnPlayLoop();
    EXPECT_FALSE(window.isPlaying());
  }

  // Stretched: the viewer opens playing the rendered section.
  {
    ModalDriver driver;
    ViewerWatch watch([&](TimeStretchWindow& viewer) {
      EXPECT_TRUE(viewer.isPlaying());
      backend->clearCapture(1);
      EXPECT_TRUE(backend->pump(1, 4));
      EXPECT_GT(peak(backend->capturedChannel(1, 0)), 0.05f);
    });
    window.mChkTimeStretch->setChecked(true);
    window.clickedChkTimeStretch(true);
    window.releasedBtnPlayLoop();
    EXPECT_EQ(watch.opened, 1) << boxes(driver).toStdString();
    window.mChkTimeStretch->setChecked(false);
    window.clickedChkTimeStretch(false);
  }

  // Export.
  const QString style = TestEnv::tempPath("song.aus");
  {
    ModalDriver driver;
    driver.chooseFile(style);
    driver.pressButton(QMessageBox::Ok);
    window.releasedBtnExportSty();
    ASSERT_EQ(driver.seen().size(), 2u) << boxes(driver).toStdString();
    EXPECT_EQ(driver.seen()[1].text, "Export operation has been finished.");
  }
  EXPECT_GT(QFileInfo(style).size(), 1000);

  // Save, then open it again in a new window.
  const QString project = TestEnv::tempPath("song.qmproj");
  {
    ModalDriver driver;
    driver.chooseFile(project);
    window.saveProjectAs();
    EXPECT_EQ(driver.unexpected(), 0) << boxes(driver).toStdString();
  }
  ASSERT_TRUE(QFileInfo::exists(project));
  const std::uint64_t tempo = window.core().getCommonInfo().tempo;
  MainWindow reopened;
  {
    ModalDriver driver;
    reopened.openProjectFile(project);
    EXPECT_EQ(driver.seen().size(), 0u) << boxes(driver).toStdString();
  }
  EXPECT_EQ(reopened.mLEditProjectFileName->text(), "song");
  EXPECT_EQ(reopened.core().waveCount(), 1u);
  EXPECT_EQ(usedSections(reopened.core()), proposed);
  EXPECT_EQ(reopened.core().getCommonInfo().tempo, tempo);
  SecInfo* again = nullptr;
  ASSERT_EQ(reopened.core().getSecInfo(3, &again), 0u);
  EXPECT_EQ(again->barNum, bars);
  EXPECT_EQ(again->startAdrs, proposedMainA.startAdrs);
  EXPECT_EQ(again->endAdrs, proposedMainA.endAdrs);
}
