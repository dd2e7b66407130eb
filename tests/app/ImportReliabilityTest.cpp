// The import meets a damaged or stale analysis beside a recording, or a
// worker error, the way a user can get past: the recording is analysed
// again, the error box is the window in front with the focus and names the
// cause, and a failed import leaves no analysis behind.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include "AnalysedRecording.h"
#include "AnalysedWaveName.h"
#include "MainWindow.h"
#include "ModalDriver.h"
#include "TempDir.h"
#include "TestAudio.h"

namespace {

// Counts the analysis progress dialogs the application shows.
class ProgressCount : public QObject {
 public:
  ProgressCount() { qApp->installEventFilter(this); }
  ~ProgressCount() override { qApp->removeEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched)) ++shown;
    return false;
  }
};

std::uint64_t framesOf(const QString& audio) { return static_cast<std::uint64_t>((QFileInfo(audio).size() - 44) / 4); }

}  // namespace

TEST(ImportReliability, ADamagedOrForeignAnalysisIsMadeAnewAndTheRecordingImported) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString audio = TestEnv::tempPath("short.wav");
  ASSERT_TRUE(TestAudio::writeWav(audio, TestAudio::clickTrack(4.0, 0.5, 0.0, 4)));
  const QString awi = AnalysedWaveName::pathFor(audio);
  // Another recording's analysis under this recording's name, as a second
  // copy of the program could leave it.
  const QString other = recordingWithAnalysis("other.wav");
  ASSERT_TRUE(QFile::copy(AnalysedWaveName::pathFor(other), awi));
  ASSERT_FALSE(AnalysedWaveName::isUsable(awi, framesOf(audio)));

  MainWindow window;
  ProgressCount progress;
  ModalDriver driver;
  driver.chooseFile(audio);
  window.releasedBtnOpenWav();
  EXPECT_EQ(progress.shown, 1) << "analysed again";
  ASSERT_EQ(driver.seen().size(), 1u) << "no error box";
  EXPECT_EQ(window.core().waveCount(), 1u);
  QString why;
  EXPECT_TRUE(AnalysedWaveName::isUsable(awi, framesOf(audio), &why)) << "rewritten: " << why.toStdString();

  // Cut short (a copy killed while writing it): analysed again once more.
  {
    QFile f(awi);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(f.size() / 2));
  }
  driver.chooseFile(audio);
  window.releasedBtnImportAudio();
  EXPECT_EQ(progress.shown, 2);
  EXPECT_EQ(driver.seen().size(), 2u);
  EXPECT_EQ(window.core().waveCount(), 1u);
  EXPECT_TRUE(AnalysedWaveName::isUsable(awi, framesOf(audio)));
  EXPECT_EQ(driver.unexpected(), 0);

  // A whole analysis of this recording is used as it is.
  driver.chooseFile(audio);
  window.releasedBtnImportAudio();
  EXPECT_EQ(progress.shown, 2);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(ImportReliability, TheWorkersErrorBoxIsInFrontWithTheFocusNotBehindTheProgressDialog) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  const QString mono = TestEnv::tempPath("mono.wav");
  ASSERT_TRUE(TestAudio::writeWav(mono, TestAudio::sine(2.0, 440.0), 1));
  MainWindow window;
  window.show();

  // Chooses the file, then looks at what stands on the screen once the error
  // box has come up (and the window system has had time to activate it),
  // and answers every box.
  bool looked = false;
  bool boxActive = false, progressCovers = true, parentIsProgress = false;
  QString text;
  QStringList boxes;
  int ticks = 0;
  QPointer<QMessageBox> errorBox;
  QTimer watch;
  watch.setInterval(5);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      dialog->selectFile(mono);
      static_cast<QDialog*>(dialog)->accept();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || !box->isVisible()) return;
    if (!looked) {
      if (box != errorBox) {
        errorBox = box;
        ticks = 0;
        text = box->text();
        parentIsProgress = qobject_cast<QProgressDialog*>(box->parentWidget()) != nullptr;
        progressCovers = false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
          if (qobject_cast<QProgressDialog*>(top) && top->isVisible()) progressCovers = true;
        }
      }
      boxActive = QApplication::activeWindow() == box;
      if (!boxActive && ++ticks < 100) return;
      looked = true;
    }
    if (box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    boxes << box->text();
    QTimer::singleShot(0, box->button(QMessageBox::Ok), &QAbstractButton::click);
  });
  watch.start();
  window.releasedBtnImportAudio();

  ASSERT_TRUE(looked);
  EXPECT_EQ(text, "Internal Error #0096 ");
  EXPECT_TRUE(parentIsProgress) << "the box belongs to the import's progress dialog";
  EXPECT_TRUE(boxActive) << "the box has the focus";
  EXPECT_FALSE(progressCovers) << "no frameless progress dialog left above the box";
  EXPECT_EQ(boxes, QStringList({"Internal Error #0096 ", "The import operation has been canceled."}));
  EXPECT_EQ(window.core().waveCount(), 0u);
}

TEST(ImportReliability, ARecordingChangedAfterItsAnalysisIsAnalysedAgain) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  // The analysis beside it fits the recording's length but says 97 BPM; the
  // recording is a 120 BPM click track, saved (touched) after the analysis.
  const QString audio = recordingWithAnalysis("take.wav");
  const QString awi = AnalysedWaveName::pathFor(audio);
  {
    QFile f(awi);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QFileInfo(audio).lastModified().addSecs(-60), QFileDevice::FileModificationTime));
  }
  ASSERT_TRUE(AnalysedWaveName::isUsable(awi, framesOf(audio))) << "the length alone does not tell";
  QString why;
  EXPECT_FALSE(AnalysedWaveName::isUsableFor(awi, audio, framesOf(audio), &why));
  EXPECT_TRUE(why.contains("changed")) << why.toStdString();

  MainWindow window;
  ProgressCount progress;
  ModalDriver driver;
  driver.chooseFile(audio);
  window.releasedBtnOpenWav();
  EXPECT_EQ(progress.shown, 1) << "analysed again";
  ASSERT_EQ(window.core().waveCount(), 1u);
  EXPECT_NE(window.core().getCommonInfo().tempo, 97u) << "not the old analysis";
  EXPECT_GE(QFileInfo(awi).lastModified(), QFileInfo(audio).lastModified());
  EXPECT_TRUE(AnalysedWaveName::isUsableFor(awi, audio, framesOf(audio)));

  // The analysis just made is used as it is.
  driver.chooseFile(audio);
  window.releasedBtnImportAudio();
  EXPECT_EQ(progress.shown, 1);
  EXPECT_EQ(driver.unexpected(), 0);
}

TEST(ImportReliability, AFailedImportLeavesNoAnalysisAndSaysWhy) {
  qputenv("QUILLMERE_AUDIO_BACKEND", "virtual");
  // A header-only WAV (a recording stopped before its first sample): the
  // analysis refuses it with its reason.
  const QString empty = TestEnv::tempPath("empty.wav");
  ASSERT_TRUE(TestAudio::writeWav(empty, {}));
  MainWindow window;
  ModalDriver driver;
  driver.chooseFile(empty);
  driver.pressButton(QMessageBox::Ok);
  driver.pressButton(QMessageBox::Ok);
  window.releasedBtnOpenWav();
  ASSERT_EQ(driver.seen().size(), 3u);
  EXPECT_EQ(driver.seen()[1].text, "The recording holds no audio.");
  EXPECT_EQ(driver.seen()[2].text, "The import operation has been canceled.");
  EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(empty)));
  EXPECT_EQ(window.core().waveCount(), 0u);

  // A recording emptied while its analysis was being written: the analysis
  // no longer fits it, and the import that made it takes it away again.
  const QString song = TestEnv::tempPath("song.wav");
  ASSERT_TRUE(TestAudio::writeWav(song, TestAudio::clickTrack(4.0, 0.5, 0.0, 4)));
  struct EmptyOnFinish : QObject {
    QString path;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Hide && qobject_cast<QProgressDialog*>(watched)) {
        EXPECT_TRUE(TestAudio::writeWav(path, {}));
      }
      return false;
    }
  } emptier;
  emptier.path = song;
  qApp->installEventFilter(&emptier);
  for (bool newProject : {true, false}) {
    driver.chooseFile(song);
    driver.pressButton(QMessageBox::Ok);
    ASSERT_TRUE(TestAudio::writeWav(song, TestAudio::clickTrack(4.0, 0.5, 0.0, 4)));
    const std::size_t before = driver.seen().size();
    if (newProject)
      window.releasedBtnOpenWav();
    else
      window.releasedBtnImportAudio();
    ASSERT_EQ(driver.seen().size(), before + 2) << newProject;
    EXPECT_EQ(driver.seen().back().text, "Illegal analyzed file!") << newProject;
    EXPECT_FALSE(QFileInfo::exists(AnalysedWaveName::pathFor(song))) << newProject;
    EXPECT_EQ(window.core().waveCount(), 0u) << newProject;
  }
  qApp->removeEventFilter(&emptier);
  EXPECT_EQ(driver.unexpected(), 0);
}
