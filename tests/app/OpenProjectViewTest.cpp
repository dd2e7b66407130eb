// What the wave view shows right after a project is opened: the opened
// section's own recording and range, not what the window showed before.

#include <gtest/gtest.h>

#include "ModalDriver.h"
#include "WaveViewProject.h"

namespace {

using WaveViewProject::samples;

class OpenProjectView : public ::testing::Test {
 protected:
  WaveViewProject::VirtualAudio audio;
};

}  // namespace

TEST_F(OpenProjectView, OpenedSectionRecordingAndRangeReplaceThePreviousView) {
  const QString project = TestEnv::tempPath("Opened.qmproj");
  {
    MainWindow saved;
    WaveViewProject::addRecording(saved, WaveViewProject::kSeconds, 0, "opened.wav");
    WaveViewProject::storeSection(saved, 3, 4, 12);  // 2 s to 6 s
    WaveViewProject::storeSection(saved, 5, 14, 18);
    ASSERT_EQ(saved.core().saveProject(project.toStdWString()), 0u);
  }

  // The window first shows another, shorter recording, zoomed and scrolled,
  // with a range elsewhere.
  MainWindow window;
  WaveViewProject::addRecording(window, 6.0, 0, "before.wav");
  WaveViewProject::storeSection(window, 3, 1, 3);
  WaveViewProject::show(window);
  window.releasedBtnHorZoomIn();
  window.releasedBtnHorZoomIn();
  ASSERT_EQ(window.shownSampleCount(), samples(6.0));
  ASSERT_GT(window.zoom(), 1u);

  ModalDriver driver;
  driver.pressText("Yes");  // drop the unsaved changes
  window.openProjectFile(project);
  EXPECT_EQ(driver.unexpected(), 0);

  EXPECT_EQ(window.mCmbTrimSec->currentIndex(), 3);
  EXPECT_EQ(window.shownSampleCount(), samples(WaveViewProject::kSeconds));
  EXPECT_EQ(window.selectionStart(), static_cast<int>(samples(2.0)));
  EXPECT_EQ(window.selectionEnd(), static_cast<int>(samples(6.0)));
  EXPECT_EQ(window.zoom(), 1u);
  EXPECT_EQ(window.scrollOffset(), 0.0);
  // Both sections on the opened recording are marked on it.
  ASSERT_EQ(window.sectionMarkers().size(), 2u);
  EXPECT_EQ(window.sectionMarkers()[0].start, static_cast<std::int64_t>(samples(2.0)));
  EXPECT_EQ(window.sectionMarkers()[1].end, static_cast<std::int64_t>(samples(9.0)));
  EXPECT_FALSE(window.actionUndo->isEnabled());
}

TEST_F(OpenProjectView, ShowingTheWaveWithoutASectionIsRefused) {
  MainWindow window;
  WaveViewProject::addRecording(window);
  WaveViewProject::show(window);
  window.mCmbTrimSec->setCurrentIndex(-1);
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnViewerWav();
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_EQ(driver.seen()[0].text, "Internal Error #0097 ");
}
