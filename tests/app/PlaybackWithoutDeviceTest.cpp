// Play in the main window with no output device at all: the play fails
// with its message and every control stays idle, never a playing state
// that sounds nothing.

#include <gtest/gtest.h>

#include <QIcon>

#include "ASTAudition.h"
#include "IconImage.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "TempDir.h"
#include "VirtualBackend.h"
#include "wavPainterLocation.h"

TEST(PlaybackWithoutDevice, PlayFailsWithItsMessageAndEveryControlStaysIdle) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "none");
  if (FusionStyle::hal::activeVirtualBackend()) GTEST_SKIP() << "another sound system was chosen in this process";
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "play.qmproj");
  ASSERT_FALSE(project.isEmpty());
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);  // the start-up box about the device
  MainWindow window;
  ASSERT_EQ(driver.seen().size(), 1u);
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  ASSERT_EQ(window.selectionEnd(), 8 * SectionProject::kBeat);
  const QImage playIcon = iconImage(QIcon(QStringLiteral(":/img/btn_play.png")));
  ASSERT_FALSE(playIcon.isNull());

  for (int press = 0; press < 2; ++press) {
    driver.pressButton(QMessageBox::Ok);
    window.releasedBtnPlayLoop();
    ASSERT_EQ(driver.seen().size(), 2u + press);
    EXPECT_TRUE(driver.seen().back().text.startsWith("Internal Error #0077")) << driver.seen().back().text.toStdString();
    EXPECT_FALSE(window.isPlaying());
    EXPECT_FALSE(window.audition().isPlaying());
    EXPECT_EQ(iconImage(window.mPushButtonPlay->icon()), playIcon) << "the play button shows play";
    EXPECT_TRUE(window.mChkTimeStretch->isEnabled());
  }
  for (QObject* child : window.mFrameWav->children()) {
    if (auto* line = dynamic_cast<wavPainterLocation*>(child)) {
      EXPECT_FALSE(line->mForegroundOn) << "no play line";
    }
  }
  EXPECT_EQ(driver.unexpected(), 0);
}
