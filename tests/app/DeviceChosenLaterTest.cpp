// An output device that could not be opened when the window started can be
// chosen later in "Audio Device Setting ...", and the section then plays
// through it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "ASTAudition.h"
#include "AudioSetupEditor.h"
#include "MainWindow.h"
#include "ManualOutput.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "TempDir.h"
#include "VirtualBackend.h"

using FusionStyle::hal::VirtualBackend;

TEST(DeviceChosenLater, AfterAFailedOpenAtStartTheSettingChoosesADeviceThatPlays) {
  VirtualBackend* backend = TestOutput::manualOutput();
  ASSERT_NE(backend, nullptr);
  backend->setFailDeviceList(true);  // the sound system is not ready at start
  const QString project = SectionProject::write(TestEnv::tempPath("take.wav"), "play.qmproj");
  ASSERT_FALSE(project.isEmpty());
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  MainWindow window;
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_TRUE(driver.seen()[0].text.startsWith("Cannot open the audio output device"));

  backend->setFailDeviceList(false);
  bool listed = false;
  auto* timer = new QTimer(&window);
  QObject::connect(timer, &QTimer::timeout, [timer, &listed] {
    auto* dialog = qobject_cast<AudioSetupEditor*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer->stop();
    listed = dialog->m_pAudioOutBox->count() == 1;
    dialog->m_pAudioOutBox->setCurrentIndex(0);
    dialog->m_pOkButton->click();
  });
  timer->start(10);
  window.audioDeviceSetting();
  ASSERT_TRUE(listed) << "the setting opens and lists the device";
  EXPECT_EQ(window.audition().deviceName(), "Virtual Output");

  window.openProjectFile(project);
  window.loadSectionWaveView(true);
  window.releasedBtnPlayLoop();
  ASSERT_TRUE(window.isPlaying());
  ASSERT_TRUE(backend->pump(1, 2));
  const std::vector<float> left = backend->capturedChannel(1, 0);
  ASSERT_EQ(left.size(), 4096u);
  EXPECT_EQ(left[3000], 0.25f) << "the recording sounds";
  window.releasedBtnPlayLoop();
  EXPECT_FALSE(window.isPlaying());
  EXPECT_EQ(driver.unexpected(), 0);
}
