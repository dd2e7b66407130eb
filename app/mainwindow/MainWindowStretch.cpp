// MainWindow: the time-stretched road of the play control. The current
// section is rendered stretched to the project tempo by a worker on its own
// thread while a modal progress dialog waits; the result opens in the
// viewer.

#include <QGuiApplication>
#include <QThread>

#include "ASTAudition.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "SectionNameTable.h"
#include "TempWaveFiles.h"
#include "TimeStretchWindow.h"
#include "TimeStretcher.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");

}  // namespace

void MainWindow::releasedBtnPlayLoopTS() { startTimeStretch(); }

void MainWindow::releaseWorker(QObject*& worker, QThread*& thread) {
  // A thread object must not go while its thread runs: the previous run's
  // loop is asked to end and waited for first.
  if (thread) {
    thread->quit();
    thread->wait();
  }
  delete thread;
  thread = nullptr;
  delete worker;
  worker = nullptr;
}

void MainWindow::startTimeStretch() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const int section = mCmbTrimSec->currentIndex();
  const int wave = mCmbWav->currentIndex();
  QString folder;
  mCore.getPath(0, folder);
  const QString path = TempWaveFiles::sectionPath(folder, section);

  releaseWorker(mStretcher, mStretchThread);
  auto* worker = new TimeStretcher(&mCore, &mAudition, path, static_cast<std::uint32_t>(section),
                                   static_cast<std::uint32_t>(wave), this);
  mStretcher = worker;
  connect(worker, SIGNAL(done(unsigned long, QString)), this, SLOT(timeStretchDone(unsigned long, QString)));
  mStretchThread = new QThread();
  worker->moveToThread(mStretchThread);
  mStretchThread->start(QThread::InheritPriority);
  QMetaObject::invokeMethod(worker, "doTimeStretch", Qt::QueuedConnection);
  showTimeStretchProgress(section);
}

void MainWindow::showTimeStretchProgress(int section) {
  runJobProgress(mStretchProgress,
                 tr("Processing. Please wait.\nTime stretch audio file : %1").arg(SectionNameTable::name(section)),
                 tr("Time Stretch Audio File"));
}

void MainWindow::closeTimeStretchProgress() { closeJobProgress(mStretchProgress); }

void MainWindow::timeStretchDone(unsigned long lErr, QString errorStr) {
  closeJobProgress(mStretchProgress);
  if (mStretchThread) mStretchThread->exit(0);
  QGuiApplication::restoreOverrideCursor();
  QString message = errorStr;
  if (message.isEmpty() && lErr != 0) message = QStringLiteral("time stretch error!");
  if (!message.isEmpty()) {
    showMessage(this, kTitle, message, QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  auto* worker = static_cast<TimeStretcher*>(mStretcher);
  std::uint8_t numerator = 4, denominator = 4;
  mCore.getTimeSig(numerator, denominator);
  mStretchGrid = worker->gridList();
  delete mStretchViewer;
  mStretchViewer = nullptr;
  auto* viewer = new TimeStretchWindow(worker->path().toStdWString(), static_cast<int>(worker->section()),
                                       static_cast<int>(worker->wave()),
                                       static_cast<std::int64_t>(worker->sampleCount()), numerator, &mStretchGrid, 1,
                                       &mAudition, mChkManual->isChecked(), &mSourceLevel, &mClickOn, &mClick2On,
                                       this, this);
  mStretchViewer = viewer;
  viewer->installEventFilter(this);
  viewer->exec();
  mStretchViewer = nullptr;
  delete viewer;
  // The viewer closed the output on its way out; the main window's own
  // playback opens it again and hears its end again.
  if (mAudioDeviceOn) mAudition.init(mAudioDeviceName);
  updateActionStates();
  updateUndoRedoActions();
  refreshSectionView();
}
