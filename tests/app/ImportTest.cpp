// Importing recordings through the main window: the cached analysis, the
// analysis under its progress dialog, its errors and its cancellation.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

#include "ASTprotoSettings.h"
#include "AnalysedRecording.h"
#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TempWaveFiles.h"
#include "TestAudio.h"

namespace {

// Watches every analysis progress dialog the application shows: how many
// appeared, the highest value its bar reached, and optionally presses its
// Cancel button as soon as it is up.
class ProgressWatch : public QObject {
 public:
  explicit ProgressWatch(bool cancel = false) : cancel(cancel) { qApp->installEventFilter(this); }
  ~ProgressWatch() override { qApp->removeEventFilter(this); }

  int shown = 0;
  int highest = -1;
  // Called once the dialog is up, before a cancel.
  std::function<void()> whileShown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<QProgressDialog*>(watched);
    if (!dialog || event->type() != QEvent::Show) return false;
    ++shown;
    if (auto* bar = dialog->findChild<QProgressBar*>()) {
      QObject::connect(bar, &QProgressBar::valueChanged, this, [this](int v) { highest = std::max(highest, v); });
    }
    if (cancel || whileShown) {
      // Runs inside the dialog's modal loop, while the analysis is under way.
      QTimer::singleShot(0, dialog, [this, dialog] {
        if (whileShown) whileShown();
        if (!cancel) return;
        if (auto* button = dialog->findChild<QPushButton*>()) button->click();
      });
    }
    return false;
  }

 private:
  bool cancel;
};

QString workCopy() {
  return TempWaveFiles::sourcePath(TempWaveFiles::workFolder());
}

}  // namespace

TEST(Import, AnExistingAnalysisIsUsedWithoutProgressDialogAndTheWaveAppears) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString audio = recordingWithAnalysis("take.wav");
  MainWindow window;
  ProgressWatch watch;
  ModalDriver driver;
  driver.chooseFile(audio);
  window.releasedBtnOpenWav();

  EXPECT_EQ(watch.shown, 0);
  ASSERT_EQ(driver.seen().size(), 1u) << "only the file dialog";
  EXPECT_EQ(driver.seen()[0].title, "Open Audio File");
  ASSERT_EQ(window.core().waveCount(), 1u);
  ASSERT_EQ(window.mCmbWav->count(), 1);
  EXPECT_EQ(window.mCmbWav->currentText(), "take.wav");
  EXPECT_EQ(window.mCmbWav->toolTip(), audio);
  EXPECT_EQ(window.core().getCommonInfo().tempo, 97u) << "the analysis brings its tempo";
  EXPECT_EQ(window.mCmbTrimSec->currentIndex(), 3);
  EXPECT_EQ(window.mLEditProjectFileName->text(), "New Audio Style");
  EXPECT_FALSE(window.core().canUndo());
  EXPECT_EQ(loadAudioFilePath(), QFileInfo(audio).path());

  // The same recording again is only selected, not added a second time.
  driver.chooseFile(audio);
  window.releasedBtnImportAudio();
  EXPECT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(Import, ARefusedRecordingOrAnalysisLeavesTheProjectAsItWas) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString kept = recordingWithAnalysis("kept.wav");
  // A mono file whose analysis exists passes the import step and fails the
  // file check.
  const QString mono = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(mono, TestAudio::sine(2.0, 440.0), 1));
  ASSERT_TRUE(QFile::copy(AnalysedWaveName::pathFor(kept), AnalysedWaveName::pathFor(mono)));
  MainWindow window;
  ModalDriver driver;
  driver.chooseFile(kept);
  window.releasedBtnOpenWav();
  ASSERT_EQ(window.core().waveCount(), 1u);

  driver.chooseFile(mono);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnImportAudio();
  ASSERT_EQ(driver.seen().size(), 3u);
  EXPECT_EQ(driver.seen()[2].text, "Internal Error #0100 ");
  EXPECT_EQ(window.core().waveCount(), 1u);

  // A new project from a recording whose analysis has beats past its end
  // fails after the old recordings were let go: the previous project comes
  // back whole.
  const QString shorter = TestEnv::tempPath("shorter.wav");
  ASSERT_TRUE(TestAudio::writeWav(shorter, TestAudio::sine(2.0, 440.0)));
  {
    CASTcore writer;
    auto* wave = new WavInfo;
    wave->fileName = shorter.toStdWString();
    for (int k = 0; k < 32; ++k) wave->beatTime.push_back(0.25f * k);
    wave->onsetTime = {0.0f, 2.0f};
    ASSERT_EQ(writer.addWavList(wave), 0u);
    ASSERT_EQ(writer.saveAwi(AnalysedWaveName::pathFor(shorter).toStdWString(), 0), 0u);
  }
  driver.pressText("Yes");
  driver.chooseFile(shorter);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnOpenWav();
  ASSERT_EQ(driver.seen().size(), 6u);
  EXPECT_EQ(driver.seen()[5].text, "Internal Error #0100 ");
  ASSERT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(window.mCmbWav->currentText(), "kept.wav");
  EXPECT_EQ(window.core().getCommonInfo().tempo, 97u);
  bool mainA = false;
  window.core().getAllInfo().isSecUsed(3, &mainA);
  EXPECT_TRUE(mainA);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(Import, AWorkerErrorIsShownThenTheImportCountsAsCancelled) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  // No analysis exists, so the worker runs, and refuses the mono file.
  const QString mono = TestEnv::tempPath("unanalysed.wav");
  ASSERT_TRUE(TestAudio::writeWav(mono, TestAudio::sine(2.0, 440.0), 1));
  MainWindow window;
  ProgressWatch watch;
  ModalDriver driver;
  driver.chooseFile(mono);
  driver.pressButton(QMessageBox::Ok);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnImportAudio();

  EXPECT_EQ(watch.shown, 1);
  ASSERT_EQ(driver.seen().size(), 3u);
  EXPECT_EQ(driver.seen()[1].title, "Quillmere");
  EXPECT_EQ(driver.seen()[1].text, "Internal Error #0096 ");
  EXPECT_EQ(driver.seen()[2].title, "Import Audio File");
  EXPECT_EQ(driver.seen()[2].text, "The import operation has been canceled.");
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_EQ(window.core().waveCount(), 0u);
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(mono)));
  EXPECT_TRUE(window.actionNewAudioStyleProject->isEnabled()) << "no job counts as running afterwards";
}

TEST(Import, CancellingTheAnalysisLeavesNoAnalysisNoWorkCopyAndTheProjectAsItWas) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString kept = recordingWithAnalysis("kept.wav");
  const QString longer = TestEnv::tempPath("longer.wav");
  ASSERT_TRUE(TestAudio::writeWav(longer, TestAudio::clickTrack(60.0, 0.5, 0.0, 4)));
  MainWindow window;
  ModalDriver driver;
  driver.chooseFile(kept);
  window.releasedBtnOpenWav();
  ASSERT_EQ(window.core().waveCount(), 1u);

  // A new project from the longer recording, cancelled at once: only the
  // cancel text appears and the previous project is untouched.
  // The imported recording is unsaved work: leaving it is confirmed first.
  ProgressWatch watch(true);
  driver.pressText("Yes");
  driver.chooseFile(longer);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnOpenWav();
  EXPECT_EQ(watch.shown, 1);
  ASSERT_EQ(driver.seen().size(), 4u);
  EXPECT_EQ(driver.seen()[1].text, "Project data have been changed. Do you wish to proceed without saving?");
  EXPECT_EQ(driver.seen()[3].text, "The import operation has been canceled.");
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(longer)));
  EXPECT_FALSE(QFileInfo::exists(workCopy()));
  EXPECT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(window.mCmbWav->currentText(), "kept.wav");
}

TEST(Import, ARenderedSongIsAnalysedThroughTheWindowAndItsSectionsProposed) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString song = TestEnv::tempPath("song.wav");
  if (!TestAudio::renderSong(song, 4, 120)) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  MainWindow window;
  ProgressWatch watch;
  ModalDriver driver;
  driver.chooseFile(song);
  window.releasedBtnOpenWav();

  EXPECT_EQ(watch.shown, 1);
  EXPECT_EQ(watch.highest, 100);
  EXPECT_EQ(driver.unexpected(), 0);
  EXPECT_TRUE(QFileInfo::exists(AnalysedWaveName::pathFor(song)));
  ASSERT_EQ(window.core().waveCount(), 1u);
  int used = 0;
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    bool on = false;
    window.core().getAllInfo().isSecUsed(slot, &on);
    used += on ? 1 : 0;
  }
  EXPECT_GE(used, 1) << "the analysis proposes sections";
  bool mainA = false;
  window.core().getAllInfo().isSecUsed(3, &mainA);
  EXPECT_TRUE(mainA) << "the current section gets the new recording";
  EXPECT_EQ(window.mCmbWav->currentText(), "song.wav");
}

TEST(Import, WhileAnAnalysisRunsTheProjectCommandsAndTheHistoryAreUnavailable) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString kept = recordingWithAnalysis("kept.wav");
  const QString fresh = TestEnv::tempPath("fresh.wav");
  ASSERT_TRUE(TestAudio::writeWav(fresh, TestAudio::clickTrack(4.0, 0.5, 0.0, 4)));
  MainWindow window;
  ModalDriver driver;
  driver.chooseFile(kept);
  window.releasedBtnOpenWav();
  window.mSpinTempo->setValue(100);
  const QList<QAction*> actions{window.actionNewAudioStyleProject, window.actionNewAudioStyleProject_with_Import,
                                window.actionOpenAudioStyleProject, window.actionSaveAudioStyleProject,
                                window.actionSaveAudioStyleProject_as, window.actionExport_as_AudioStyleFile,
                                window.actionQuit, window.actionUndo};
  for (QAction* action : actions) ASSERT_TRUE(action->isEnabled()) << action->objectName().toStdString();

  ProgressWatch watch(true);
  QStringList enabledWhileBusy;
  watch.whileShown = [&] {
    for (QAction* action : actions + QList<QAction*>{window.actionRedo}) {
      if (action->isEnabled()) enabledWhileBusy << action->objectName();
    }
  };
  driver.chooseFile(fresh);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnImportAudio();

  EXPECT_EQ(watch.shown, 1);
  EXPECT_TRUE(enabledWhileBusy.isEmpty()) << enabledWhileBusy.join(", ").toStdString();
  // The cancelled analysis leaves the window usable as before.
  for (QAction* action : actions) EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
  EXPECT_EQ(window.core().waveCount(), 1u);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(Import, AFailedImportIntoAProjectLeavesItAsItWasFromTheButtonAndTheCommandLine) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  // A recording of one frame is analysed, but no section can hold it: the
  // import fails after the analysis.
  const QString kept = recordingWithAnalysis("kept.wav");
  const struct {
    const char* road;
    bool commandLine;
  } roads[] = {{"import button", false}, {"command line", true}};
  for (const auto& road : roads) {
    const QString one = TestEnv::tempPath(QString("one frame by %1.wav").arg(road.road));
    ASSERT_TRUE(TestAudio::writeWav(one, TestAudio::Stereo16{1000, -1000}));
    MainWindow window;
    ModalDriver driver;
    driver.chooseFile(kept);
    window.releasedBtnOpenWav();
    ASSERT_EQ(window.core().waveCount(), 1u);
    if (!road.commandLine) driver.chooseFile(one);
    driver.pressButton(QMessageBox::Ok);  // the section already has a recording
    driver.pressButton(QMessageBox::Ok);  // the error
    if (road.commandLine) {
      QFileOpenEvent event(one);
      QCoreApplication::sendEvent(&window, &event);
    } else {
      window.releasedBtnImportAudio();
    }
    EXPECT_EQ(driver.seen().back().text.toStdString(), "Internal Error #0100 ") << road.road;
    EXPECT_EQ(window.core().waveCount(), 1u) << road.road;
    EXPECT_EQ(window.mCmbWav->currentText(), "kept.wav") << road.road;
    EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(one))) << road.road;
    EXPECT_EQ(driver.unexpected(), 0) << road.road;
  }
}
