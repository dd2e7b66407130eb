// Playing the current section from the main window through the virtual
// output pumped by hand: the looped range with bar and beat clicks at the
// slider's level, the play line, stop, a recording that has gone, and the
// choice of the output device.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTimer>

#include "ASTprotoSettings.h"
#include "AudioSetupEditor.h"
#include "MainWindow.h"
#include "ManualOutput.h"
#include "ModalDriver.h"
#include "SectionProject.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "VirtualBackend.h"
#include "wavPainterLocation.h"

using FusionStyle::hal::VirtualBackend;
using TestOutput::deviceLevel;
using TestOutput::manualOutput;
using TestOutput::readStereo;
using TestOutput::resource;

namespace {

using SectionProject::kBeat;

QString writeProject(const QString& recording) {
  const QString path = SectionProject::write(recording, "play.qmproj");
  EXPECT_FALSE(path.isEmpty());
  return path;
}

// Opening a project does not show its section's wave yet: the view is
// loaded as a change of section would.
void openAndShow(MainWindow& window, const QString& project) {
  window.openProjectFile(project);
  window.loadSectionWaveView(true);
}

wavPainterLocation* playLine(MainWindow& window) {
  for (QObject* child : window.mFrameWav->children()) {
    if (auto* line = dynamic_cast<wavPainterLocation*>(child)) return line;
  }
  return nullptr;
}

}  // namespace

TEST(Playback, PlayLoopsTheRangeWithBarClicksOnBarStartsAndBeatClicksBetweenAtTheSliderLevel) {
  VirtualBackend* backend = manualOutput();
  ASSERT_NE(backend, nullptr);
  const QString project = writeProject(TestEnv::tempPath("take.wav"));
  MainWindow window;
  ModalDriver driver;
  openAndShow(window, project);
  ASSERT_EQ(window.mCmbTrimSec->currentIndex(), 3);
  ASSERT_EQ(window.selectionStart(), 0);
  ASSERT_EQ(window.selectionEnd(), 8 * kBeat);
  window.mSliderMetro->setValue(50);

  window.releasedBtnPlayLoop();
  ASSERT_TRUE(window.isPlaying());
  EXPECT_FALSE(window.mChkTimeStretch->isEnabled()) << "time stretch cannot be switched while playing";
  const int cycles = 50;  // past the loop's end at 88200 frames
  ASSERT_TRUE(backend->pump(1, cycles));
  const std::vector<float> left = backend->capturedChannel(1, 0);
  ASSERT_EQ(left.size(), std::size_t(cycles) * 2048);
  const std::vector<float> bar = readStereo(resource("Metro1.wav"));
  const std::vector<float> beat = readStereo(resource("Metro2.wav"));
  for (std::size_t f = 0; f < left.size(); ++f) {
    const std::int64_t offset = static_cast<std::int64_t>(f) % (8 * kBeat);
    const std::vector<float>& click = (offset / kBeat) % 4 == 0 ? bar : beat;
    const std::size_t into = std::size_t(offset % kBeat);
    const double mix = 0.25 * 0.5 + (into < click.size() / 2 ? click[2 * into] : 0.0);
    ASSERT_EQ(left[f], deviceLevel(mix)) << f;
  }

  // The device's position reports reach the play line.
  QCoreApplication::processEvents();
  wavPainterLocation* line = playLine(window);
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->mForegroundOn);
  EXPECT_GE(line->mLocationX, 0);

  window.releasedBtnPlayLoop();
  EXPECT_FALSE(window.isPlaying());
  EXPECT_FALSE(window.audition().isPlaying());
  EXPECT_TRUE(window.mChkTimeStretch->isEnabled());
  EXPECT_FALSE(line->mForegroundOn);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(Playback, ARecordingThatHasGoneIsReportedAndNothingPlays) {
  VirtualBackend* backend = manualOutput();
  ASSERT_NE(backend, nullptr);
  const QString recording = TestEnv::tempPath("gone.wav");
  const QString project = writeProject(recording);
  MainWindow window;
  openAndShow(window, project);
  ASSERT_TRUE(QFile::remove(recording));
  ModalDriver driver;
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnPlayLoop();
  ASSERT_EQ(driver.seen().size(), 1u);
  EXPECT_TRUE(driver.seen()[0].text.startsWith("Internal Error #0077 [")) << driver.seen()[0].text.toStdString();
  EXPECT_FALSE(window.isPlaying());
  EXPECT_FALSE(window.audition().isPlaying());
}

TEST(Playback, TheOutputChosenInTheSetupDialogIsRememberedAndCancelKeepsTheOldOne) {
  VirtualBackend* backend = manualOutput();
  ASSERT_NE(backend, nullptr);
  VirtualBackend::DeviceSpec second;
  second.name = QStringLiteral("Second Output");
  backend->addDevice(second);
  // Answers the setup dialog once it is up: picks `index`, then OK or Cancel.
  auto answerSetup = [](int index, bool ok) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, index, ok] {
      auto* dialog = qobject_cast<AudioSetupEditor*>(QApplication::activeModalWidget());
      if (!dialog) return;
      timer->stop();
      timer->deleteLater();
      dialog->m_pAudioOutBox->setCurrentIndex(index);
      (ok ? dialog->m_pOkButton : dialog->m_pCancelButton)->click();
    });
    timer->start(10);
  };
  {
    MainWindow window;
    EXPECT_EQ(window.audition().deviceName(), "Virtual Output");
    answerSetup(1, true);
    window.audioDeviceSetting();
    EXPECT_EQ(window.audition().deviceName(), "Second Output");
  }
  EXPECT_EQ(loadAudioDeviceName(), "Second Output");
  {
    MainWindow window;
    EXPECT_EQ(window.audition().deviceName(), "Second Output");
    answerSetup(0, false);
    window.audioDeviceSetting();
  }
  EXPECT_EQ(loadAudioDeviceName(), "Second Output");
}
