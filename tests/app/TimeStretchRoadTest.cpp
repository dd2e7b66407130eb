// The time-stretched road of the play control: the worker renders the
// section under its progress dialog, the viewer opens playing it, a refusal
// is shown as the worker's text, and after the viewer has closed the main
// window still plays and hears the end of playback.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cmath>

#include "AudioDeviceASFF.h"
#include "MainWindow.h"
#include "ManualOutput.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "VirtualBackend.h"
#include "ViewerWatch.h"

using FusionStyle::hal::VirtualBackend;
using TestOutput::manualOutput;

namespace {

// As a click of the user's: the box and the kept choice.
void switchTimeStretch(MainWindow& window, bool on) {
  window.mChkTimeStretch->setChecked(on);
  window.clickedChkTimeStretch(on);
}

float peak(const std::vector<float>& v) {
  float p = 0.0f;
  for (float x : v) p = std::max(p, std::fabs(x));
  return p;
}

}  // namespace

TEST(TimeStretchRoad, TwoStretchedPlaysOpenTheViewerAndTheWindowPlaysAgainAfterwards) {
  VirtualBackend* backend = manualOutput();
  ASSERT_NE(backend, nullptr);
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "stretch.qmproj");
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  ModalDriver driver;
  ViewerWatch watch([&](TimeStretchWindow& viewer) {
    EXPECT_TRUE(viewer.isPlaying());
    EXPECT_EQ(viewer.selectionStart(), 0);
    EXPECT_NEAR(viewer.selectionEnd(), 2 * 44100, 441);
    backend->clearCapture(1);
    EXPECT_TRUE(backend->pump(1, 2));
    EXPECT_GT(peak(backend->capturedChannel(1, 0)), 0.1f) << "the rendered section is heard";
  });
  switchTimeStretch(window, true);
  window.releasedBtnPlayLoop();
  window.releasedBtnPlayLoop();  // a second run replaces the first worker and thread
  EXPECT_EQ(watch.opened, 2);
  EXPECT_FALSE(window.isPlaying()) << "the stretched road does not enter the window's playing state";

  switchTimeStretch(window, false);
  window.releasedBtnPlayLoop();
  ASSERT_TRUE(window.isPlaying());
  backend->clearCapture(1);
  ASSERT_TRUE(backend->pump(1, 2));
  EXPECT_GT(peak(backend->capturedChannel(1, 0)), 0.2f);
  // The end of playback reaches the window again: the audition relays it.
  emit window.audition().audioDevice()->signalStop();
  QCoreApplication::processEvents();
  EXPECT_FALSE(window.isPlaying());
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(TimeStretchRoad, AWorkerRefusalIsShownAsItsTextAndNoViewerOpens) {
  manualOutput();
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "refused.qmproj");
  ASSERT_FALSE(project.isEmpty());
  MainWindow window;
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  window.mCmbTrimSec->setCurrentIndex(5);  // "Main C": nothing assigned
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  ViewerWatch watch([](TimeStretchWindow&) {});
  switchTimeStretch(window, true);
  window.releasedBtnPlayLoop();
  EXPECT_EQ(watch.opened, 0);
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].title, "Quillmere");
  EXPECT_EQ(driver.seen()[0].text, "no section is specified!");
}
