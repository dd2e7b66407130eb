// MainWindow: bringing recordings into the project. A recording is analysed
// once, on its own thread under a modal progress dialog; its analysed-wave
// file is then added to the project, either as a new project or as one more
// recording for the current section.

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressBar>
#include <QRegExp>
#include <QStandardPaths>
#include <QtDebug>

#include <memory>

#include "ASTprotoSettings.h"
#include "AnalysedWaveName.h"
#include "AnalysisOptions.h"
#include "FileDialogs.h"
#include "FocusReturn.h"
#include "IF_audioFileMngr.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "TempWaveFiles.h"
#include "anaThread.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");

void waitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
void restoreCursor() { QGuiApplication::restoreOverrideCursor(); }

// A stopped analysis must not leave a result that a later import would take
// for a finished one, nor its work copy.
void discardAnalysisOutput(const QString& awiPath) {
  QFile::remove(awiPath);
  QFile::remove(TempWaveFiles::sourcePath(TempWaveFiles::workFolder()));
}

// "#nnnn..." texts are internal errors of the worker.
bool isNumberedText(const QString& text) {
  static const int kPatternLength = QStringLiteral("#nnnn").size();
  if (text.size() < kPatternLength) return false;
  return QRegExp(QStringLiteral("^#[0-9]+"), Qt::CaseSensitive).exactMatch(text.left(kPatternLength));
}

}  // namespace

void setChildFontSize(QWidget* parent, int pixelSize) {
  for (QObject* child : parent->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget) continue;
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    widget->setFont(font);
  }
}

void MainWindow::setDialogChildFonts(QWidget* dialog) {
  for (QObject* child : dialog->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget) continue;
    widget->setFont(font());
    QFont sized = font();
    sized.setPixelSize(11);
    widget->setFont(sized);
  }
}

ResultCode MainWindow::checkAudioFile(QString path, qint64& frames) {
  frames = 0;
  if (!mAudioFileMngr) return Result::fail(1);
  std::uint64_t length = 0;
  const ResultCode code = mAudioFileMngr->checkFile(path.toStdWString(), length);
  if (code == 0) frames = static_cast<qint64>(length);
  return code;
}

ResultCode MainWindow::checkIncomingAudio(const QString& path, qint64& frames) {
  mCore.clearLastError();
  mMemoryFull = 0;
  return checkAudioFile(path, frames);
}

void MainWindow::showImportError(ResultCode code) {
  if (mMemoryFull) {
    showMemoryFull();
    return;
  }
  showMessage(this, kTitle,
              tr("#0100 opening audio file process returns some error! [%1] ").arg(code, 0, 16) + mCore.lastError,
              QMessageBox::Ok, QMessageBox::Ok);
}

void MainWindow::failImport(ResultCode code, const QString& audioPath, const QString& awiPath, bool analysedNow) {
  if (analysedNow && findWaveIndexByFileName(audioPath) < 0) {
    // Left beside the recording, it would be taken for the analysis of an
    // earlier import next time, and the failure would stand behind "#0100".
    discardAnalysisOutput(awiPath);
    if (!mMemoryFull && !mCore.lastError.isEmpty()) {
      showMessage(this, kTitle, mCore.lastError, QMessageBox::Ok, QMessageBox::Ok);
      return;
    }
  }
  showImportError(code);
}

bool MainWindow::isCurrentAnalysisSignal() const {
  // A report queued by a thread that an earlier import already stopped must
  // not end the dialog of the next import.
  const QObject* from = sender();
  return !from || (mAnaThread && from == mAnaThread->worker());
}

void MainWindow::releaseAnalysisThread() {
  if (!mAnaThread) return;
  mAnaThread->abort();
  mAnaThread->wait();
  mAnaThread->exit(0);
  delete mAnaThread;
  mAnaThread = nullptr;
}

ResultCode MainWindow::startAnalysis(const QStringList& folders, const QStringList& files) {
  if (!mAnaThread) {
    try {
      mAnaThread = new anaThread(audioFileMngr::create());
    } catch (...) {
      mAnaThread = nullptr;
    }
    // A thread without its worker would wait for a report that never comes.
    if (mAnaThread && !mAnaThread->worker()) releaseAnalysisThread();
    if (!mAnaThread) {
      showMessage(this, kTitle, tr("#0112 memory full"), QMessageBox::Ok, QMessageBox::Ok);
      return Result::fail(2);
    }
  }
  QObject* worker = mAnaThread->worker();
  connect(worker, SIGNAL(signalAnalyzed()), this, SLOT(analyzed()));
  connect(worker, SIGNAL(signalErr()), this, SLOT(analyzeErr()));
  connect(worker, SIGNAL(signalProgress(const unsigned char, const unsigned char, const unsigned char)), this,
          SLOT(analyzeProgress(const unsigned char, const unsigned char, const unsigned char)));
  if (!mAnaThread->isRunning()) {
    AnalysisOptions options;
    options.segFixedMeter = mAnalysisOptions[0];
    options.segBeatsPerBar = mAnalysisOptions[1];
    options.segBeatUnit = mAnalysisOptions[2];
    options.fixedMeter = mAnalysisOptions[3];
    options.beatsPerBar = mAnalysisOptions[4];
    options.beatUnit = mAnalysisOptions[5];
    mAnaThread->setOptions(options.pack());
    mAnaThread->setFileLists(folders, files);
    mAnaThread->start(QThread::InheritPriority);
  }
  return Result::kOk;
}

bool MainWindow::importAudioFile(QString& audioPath, QString& awiPath) {
  bool analysedNow = false;
  return importAudioFile(audioPath, awiPath, analysedNow);
}

bool MainWindow::importAudioFile(QString& audioPath, QString& awiPath, bool& analysedNow) {
  analysedNow = false;
  if (audioPath.isEmpty()) {
    QString folder = loadAudioFilePath();
    if (folder.isEmpty()) folder = "./";
    audioPath = FileDialogs::openFile(
        this, tr("Open Audio File"), folder,
        tr("Audio Files (*.wav *.aiff *.aif);; Audio Files (*.wav);; Audio Files (*.aiff *.aif);; Audio Files (*.*)"));
    if (audioPath.isEmpty()) return false;
  }
  awiPath = AnalysedWaveName::pathFor(audioPath);
  // Refused by name before anything reads either or writes an analysis over
  // the second.
  if (refuseToRead(audioPath) || refuseToRead(awiPath)) return false;
  if (!acceptRecordingLength(audioPath)) return false;
  saveAudioFilePath(QFileInfo(audioPath).path());
  // The files' dates cannot tell a take copied with its old date from the
  // analysed one; the audio imported before in this run can.
  const bool otherAudio = incomingAudioDiffers(audioPath);
  // An analysis that cannot be read, or that is of another recording (cut
  // short, left by another copy of the program, or older than the recording
  // it stands beside), is made anew instead of failing this recording's
  // every import. A recording that fails its check is refused by the
  // caller.
  if (QFileInfo::exists(awiPath)) {
    qint64 frames = 0;
    QString why;
    if (checkAudioFile(audioPath, frames) != 0 ||
        (!otherAudio && AnalysedWaveName::isUsableFor(awiPath, audioPath, static_cast<std::uint64_t>(frames), &why)))
      return true;
    qDebug() << "analysing again:" << why;
  }
  if (startAnalysis(QStringList(), QStringList{audioPath}) != 0) return false;

  const FocusReturn focusBack(this);
  mAnaProgress = new ProgressDialog(tr("Now analyzing the audio file ...\n%1").arg(audioPath), tr("Cancel"), 0, 100,
                                    this, Qt::Dialog);
  mAnaProgress->installEventFilter(this);
  auto* bar = new QProgressBar(mAnaProgress);
  bar->setStyle(mFusionStyle);
  bar->setTextVisible(true);
  mAnaProgress->setBar(bar);
  updateActionStates();
  updateUndoRedoActions();
  mAnaProgress->setWindowFlags(Qt::WindowFlags(0xd));
  mAnaProgress->setWindowTitle(tr("Import Audio File"));
  mAnaProgress->setSizeGripEnabled(false);
  mAnaProgress->setModal(true);
  mAnaProgress->setAutoClose(false);
  waitCursor();
  setDialogChildFonts(mAnaProgress);
  setChildFontSize(mAnaProgress, 10);

  const int result = mAnaProgress->exec();
  delete mAnaProgress;
  mAnaProgress = nullptr;
  updateActionStates();
  updateUndoRedoActions();
  restoreCursor();
  if (result != 0) {
    analysedNow = true;
    return true;
  }

  releaseAnalysisThread();
  // The analysed-wave file did not exist when the analysis started.
  discardAnalysisOutput(awiPath);
  showMessageBox(this, tr("Import Audio File"), tr("The import operation has been canceled."), QMessageBox::Ok,
                 QMessageBox::Ok);
  return false;
}

void MainWindow::analyzeProgress(const unsigned char, const unsigned char, const unsigned char val) {
  if (!isCurrentAnalysisSignal()) return;
  // A report still queued when an error box hid the dialog must not show it
  // again over the box.
  if (mAnaProgress && mAnaProgress->isVisible()) mAnaProgress->setValue(val);
}

void MainWindow::analyzed() {
  if (!isCurrentAnalysisSignal()) return;
  releaseAnalysisThread();
  if (mAnaProgress) mAnaProgress->done(1);
}

void MainWindow::analyzeErr() {
  if (!isCurrentAnalysisSignal()) return;
  if (mAnaThread) {
    mAnaThread->abort();
    // A failed run ends by itself; its texts are read once it has ended.
    mAnaThread->wait();
    const QString error = mAnaThread->errorString();
    qDebug() << "MainWindow::analyzeErr() - " + error;
    QString text;
    if (mAnaThread->hasEngineException())
      text = tr("#0112 memory full");
    else if (isNumberedText(error))
      text = tr("#0096 MainWindow::analyzeErr() - ") + error;
    else
      text = error;
    QWidget* parent = mAnaProgress ? static_cast<QWidget*>(mAnaProgress) : this;
    // The progress dialog is a frameless window that stays above the others:
    // left up, a window manager shows the box behind it, without the focus.
    // Its work is over; the box takes its place.
    if (mAnaProgress) mAnaProgress->hide();
    showMessage(parent, kTitle, text, QMessageBox::Ok, QMessageBox::Ok);
    releaseAnalysisThread();
  }
  if (mAnaProgress) mAnaProgress->done(0);
}

void MainWindow::releasedBtnOpenWav() {
  if (isProjectModified()) {
    const int answer = confirmDiscardChanges();
    if (answer == QMessageBox::Cancel || answer == 0) return;
    if (answer == QMessageBox::No && !saveProjectFileAs()) return;
  }
  QString audioPath;
  QString awiPath;
  bool analysedNow = false;
  if (!importAudioFile(audioPath, awiPath, analysedNow)) return;

  waitCursor();
  qint64 frames = 0;
  ResultCode code = checkIncomingAudio(audioPath, frames);
  if (code != 0) {
    restoreCursor();
    failImport(code, audioPath, awiPath, analysedNow);
    return;
  }
  // A failed import keeps the previous project as it was, not a project
  // whose recordings are gone while its sections still point at them.
  AllInfo previous;
  previous.assign(mCore.getAllInfo());
  mCore.clearWaveList();
  code = assignImportedWave(audioPath, awiPath, frames);
  restoreCursor();
  if (code != 0) {
    mCore.setAllInfo(previous);
    mCore.clearUndo();
    refreshSectionView();
    failImport(code, audioPath, awiPath, analysedNow);
    return;
  }
  rememberImport(audioPath);
  resetViewState();
  refreshSectionView();
  setProjectName(tr("New Audio Style.qmproj"));
  selectSectionCombo(3);
  // The view state was just reset: the section's recording is loaded anew.
  loadSectionWaveView(true);
  applyManualDefault();
}

void MainWindow::applyManualDefault() {
  const std::uint8_t guard = mComboGuard;
  mComboGuard = 0;
  applyManualBars(mManualDefault != 0);
  mComboGuard = guard;
}

void MainWindow::releasedBtnImportAudio() {
  QString audioPath;
  QString awiPath;
  importAudioToProject(audioPath, awiPath);
}

void MainWindow::importAudioFiles(const QStringList& files) {
  for (const QString& file : files) {
    QString audioPath = file;
    QString awiPath;
    importAudioToProject(audioPath, awiPath);
  }
  refreshAfterSectionEdit();
}

void MainWindow::importAudioToProject(QString& audioPath, QString& awiPath) {
  bool analysedNow = false;
  if (!importAudioFile(audioPath, awiPath, analysedNow)) return;
  qint64 frames = 0;
  ResultCode code = checkIncomingAudio(audioPath, frames);
  if (code != 0) {
    failImport(code, audioPath, awiPath, analysedNow);
    return;
  }
  const int known = findWaveIndexByFileName(audioPath);
  if (known >= 0) {
    mCurrentWave = selectWaveInCombo(known);
    code = takeNewAnalysis(known, awiPath);
    if (code != 0) showImportError(code);
    return;
  }
  SecInfo* section = nullptr;
  const int slot = mCmbTrimSec->currentIndex();
  if (slot < 0 || mCore.getSecInfo(static_cast<std::uint8_t>(slot), &section) != 0 || !section) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    return;
  }
  if (section->used) {
    const auto answer = showMessageBox(
        this, kTitle, tr("This section already has a waveform assignment. Are you sure you want to change it?"),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (answer != QMessageBox::Ok) {
      const int wave = section->wavNo == SecInfo::kNoWave ? -1 : section->wavNo;
      if (mCmbWav->currentIndex() != wave) {
        const std::uint8_t guard = mComboGuard;
        mComboGuard = 1;
        mCmbWav->setCurrentIndex(wave);
        mComboGuard = guard;
      }
      mCurrentWave = section->wavNo;
      return;
    }
  }
  waitCursor();
  code = assignImportedWave(audioPath, awiPath, frames);
  if (mCmbWav->currentIndex() == -1) mCurrentWave = selectWaveInCombo(static_cast<int>(mCore.waveCount()) - 1);
  applyManualDefault();
  restoreCursor();
  if (code != 0)
    failImport(code, audioPath, awiPath, analysedNow);
  else
    rememberImport(audioPath);
}

void MainWindow::currentIdxChangedCmbWav() {
  if (mComboGuard) return;
  const bool wasPlaying = mPlaying != 0;
  if (wasPlaying) releasedBtnStopped();
  WavInfo* wave = nullptr;
  const int index = mCmbWav->currentIndex();
  if (index < 0 || mCore.getWaveInfo(static_cast<std::uint8_t>(index), &wave) != 0 || !wave) return;
  const QString audioPath = QString::fromStdWString(wave->fileName);
  const QString awiPath = AnalysedWaveName::pathFor(audioPath);
  qint64 frames = 0;
  ResultCode code = checkIncomingAudio(audioPath, frames);
  if (code != 0) {
    showImportError(code);
    return;
  }
  waitCursor();
  code = changeSectionWave(audioPath, awiPath, frames);
  restoreCursor();
  if (code != 0) {
    if (mMemoryFull)
      showMemoryFull();
    else
      showMessage(this, kTitle, tr("#0114 changing wave file process returns some error! [%1]").arg(code, 0, 16),
                  QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  removeUnusedWaves(QString());
  resetSectionPanel(false);
  updateAllViews(true);
  for (QWidget* control : {static_cast<QWidget*>(mCmbWav), static_cast<QWidget*>(mBtnBeatAnaHalf),
                           static_cast<QWidget*>(mBtnBeatAnaDouble)}) {
    control->setEnabled(true);
  }
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  updateUndoRedoActions();
  if (wasPlaying) releasedBtnPlayLoop();
}

int MainWindow::findWaveIndexByFileName(const QString& fileName) {
  for (std::size_t i = 0; i < mCore.waveCount(); ++i) {
    WavInfo* wave = nullptr;
    if (mCore.getWaveInfo(static_cast<std::uint8_t>(i), &wave) != 0 || !wave) return -1;
    if (QString::fromStdWString(wave->fileName) == fileName) return static_cast<int>(i);
  }
  return -1;
}
