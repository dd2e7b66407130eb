// MainWindow: exporting the style file. Every section is checked before
// anything is written and all problems are reported in one box; then the
// export worker renders what is not rendered yet and writes the file on a
// thread of its own while a modal progress dialog waits, and the outcome
// is reported.

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>

#include <cmath>
#include <map>
#include <vector>

#include "ASTAudition.h"
#include "ASTprotoSettings.h"
#include "ExportStyle.h"
#include "FileDialogs.h"
#include "FocusReturn.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "RecordingCheck.h"
#include "SectionNameTable.h"
#include "SectionWaveInfo.h"
#include "TempoRatio.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");
// Playback control entries one section may carry in the exported style.
constexpr std::uint64_t kControlEntriesPerSection = 256;

// Section bit -> slot; walking it in key order visits the slots 0 to 14.
const std::map<int, int>& sectionBitToIndex() {
  static const std::map<int, int> table = [] {
    std::map<int, int> t;
    for (int n = 0; n < 15; ++n) t[1 << n] = n;
    return t;
  }();
  return table;
}

void appendName(QString& list, int slot) {
  if (!list.isEmpty()) list += QStringLiteral(", ");
  list += SectionNameTable::name(slot);
}

}  // namespace

QString MainWindow::exportCheckMessage() {
  QString overBars, tooShort, ratio;
  for (const auto& entry : sectionBitToIndex()) {
    const SectionWaveInfo record(&mCoreWork, static_cast<std::uint32_t>(entry.second));
    if (record.sectionIndex == -1) continue;
    const double length = record.secondSeconds - record.startSeconds;
    const double sectionSeconds = calcTempo(static_cast<unsigned>(record.numerator),
                                            static_cast<unsigned>(record.denominator),
                                            static_cast<unsigned>(record.bars), record.tempo);
    const double percent = calcRatio(sectionSeconds, std::fabs(length)) * 100.0;
    if (sectionBarsExceedLimit(record))
      appendName(overBars, entry.second);
    else if (length * 10000.0 < 1.0)
      appendName(tooShort, entry.second);
    else if (isRatioOutOfRange(percent))
      appendName(ratio, entry.second);
  }
  QStringList parts;
  if (!overBars.isEmpty())
    parts << tr("The \"Bar\" value of the following sections exceeds the limit of each section. \n  section: %1.")
                 .arg(overBars);
  if (!tooShort.isEmpty())
    parts << tr("Selected range of waveform of the following sections is too short.\n  section: %1.").arg(tooShort);
  if (!ratio.isEmpty())
    parts << tr("Time stretch ratio of the following sections exceeds the limits.\n  section: %1.").arg(ratio);
  if (parts.isEmpty()) return QString();
  return parts.join(QStringLiteral("\n\n")) +
         QStringLiteral("\n\nThe project cannot be exported.\nPlease adjust the tempo, or adjust the waveform "
                        "selection range and the \"Bar\" value of the section.");
}

void MainWindow::releasedBtnExportSty() {
  bool used = false;
  mCore.isAnySectionUsed(used);
  if (!used) {
    showMessageBox(this, kTitle, tr("#0098 no section is trimmed!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  mCoreWork.copyFrom(mCore);
  const QString problems = exportCheckMessage();
  if (!problems.isEmpty()) {
    showMessage(this, kTitle, problems, QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  QString folder = loadAudioStyleFilePath();
  if (folder.isEmpty()) folder = loadProjectFilePath();
  if (folder.isEmpty()) folder = QStringLiteral("./");
  const QString path = FileDialogs::saveFile(this, tr("Export file"), folder, tr("Style File (*.aus);; All Files (*)"),
                                             QStringLiteral("aus"));
  // Refused before the sections are rendered, not after the wait.
  if (path.isEmpty() || refuseSaveOver(path)) return;

  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  mCore.setStyleParam1(kControlEntriesPerSection);
  releaseWorker(mExportStyle, mExportThread);
  auto* worker = new ExportStyle([this] { return prepareExportWaves(); }, &mCore, path, this);
  mExportStyle = worker;
  connect(worker, SIGNAL(done(unsigned long)), this, SLOT(releasedBtnExportStyDone(unsigned long)));
  connect(worker, SIGNAL(errorOnPreparation(unsigned long)), this,
          SLOT(releasedBtnExportStyErrorOnPreparation(unsigned long)));
  mExportThread = new QThread();
  worker->moveToThread(mExportThread);
  mExportThread->start(QThread::InheritPriority);
  QMetaObject::invokeMethod(worker, "doExport", Qt::QueuedConnection);
  showExportProgress(path);
}

std::uint64_t MainWindow::prepareExportWaves() {
  std::uint8_t ratioError = 0;
  std::vector<std::uint8_t> pending;
  for (std::uint8_t n = 0; n < 15; ++n) {
    SecInfo* sec = nullptr;
    const ResultCode code = mCore.getSecInfo(n, &sec);
    if (code != 0) return 0x80000001ull | (code << 4);
    if (!sec) return 0x80000001ull;
    if (!sec->used || mCore.isSecRendered(n)) continue;
    if (!mAudioFileMngr) return 0x80000001ull;
    pending.push_back(n);
  }
  // Every section is cut along the grid of its recording as it was
  // analysed: a recording changed since stops the export, whether its
  // sections are still to be rendered or were rendered before.
  const ResultCode unchanged = RecordingCheck::checkSections(mCore, *mAudioFileMngr, recordingCheckContext());
  if (unchanged != 0) return 0x80000004ull | (unchanged << 4);
  // Side by side; what is recorded is what rendering them in turn records.
  const ResultCode rendered = mAudition.makeStretchedSectionWaves(&mCore, pending, &ratioError);
  if (rendered != 0) return 0x80000002ull | (rendered << 4);
  return ratioError ? 0x80000003ull : 0;
}

void MainWindow::runJobProgress(ProgressDialog*& slot, const QString& label, const QString& title) {
  // The export's and the stretch's dialogs are as frameless as the
  // analysis's and leave the keyboard nowhere when they close.
  const FocusReturn focusBack(this);
  delete slot;
  slot = new ProgressDialog(label, tr("Cancel"), 0, -1, this, Qt::Dialog);
  slot->setCancelButton(nullptr);
  slot->setWindowFlags(Qt::ToolTip);
  slot->setWindowTitle(title);
  slot->setSizeGripEnabled(false);
  slot->setModal(true);
  setDialogChildFonts(slot);
  setChildFontSize(slot, 10);
  slot->installEventFilter(this);
  updateActionStates();
  updateUndoRedoActions();
  slot->exec();
}

void MainWindow::closeJobProgress(ProgressDialog*& slot) {
  ProgressDialog* dialog = slot;
  if (dialog) {
    dialog->closable = true;
    dialog->close();
    slot = nullptr;
    delete dialog;
  }
  updateActionStates();
  updateUndoRedoActions();
}

void MainWindow::showExportProgress(const QString& path) {
  runJobProgress(mExportProgress, tr("Processing. Please wait.\nExport audio style file : %1").arg(path),
                 tr("Export Audio Style File"));
}

void MainWindow::closeExportProgress() { closeJobProgress(mExportProgress); }

void MainWindow::releasedBtnExportStyDone(unsigned long lErr) {
  closeExportProgress();
  if (mExportThread) mExportThread->exit(0);
  QGuiApplication::restoreOverrideCursor();
  if (lErr != 0) return;
  auto* worker = static_cast<ExportStyle*>(mExportStyle);
  saveAudioStyleFilePath(QFileInfo(worker->path()).path());
  const QString title = tr("Export Audio Style File");
  if (QFileInfo(worker->path()).size() == static_cast<qint64>(worker->written()))
    showNotice(this, title, tr("Export operation has been finished."), QMessageBox::Ok, QMessageBox::Ok);
  else
    showMessage(this, title, tr("#0113 Creation working wav failed!"), QMessageBox::Ok, QMessageBox::Ok);
}

void MainWindow::releasedBtnExportStyErrorOnPreparation(unsigned long lErr) {
  closeExportProgress();
  if (mExportThread) mExportThread->exit(0);
  QGuiApplication::restoreOverrideCursor();
  auto* worker = static_cast<ExportStyle*>(mExportStyle);
  const QString title = tr("Export Audio Style File");
  const std::uint16_t mask = worker->attackOverflow();
  QString limited;
  for (const auto& entry : sectionBitToIndex()) {
    if (entry.second <= 14 && (mask & entry.first) == entry.first) appendName(limited, entry.second);
  }
  if (!limited.isEmpty()) limited += QStringLiteral(".");
  mMemoryFull = mCore.hasException() ? 1 : 0;
  QString text;
  if (mMemoryFull)
    text = tr("#0112 memory full");
  else if (mask != 0 && !limited.isEmpty())
    text = tr("Waveform playback time of some sections is too long, so the quantity of playback control information "
              "of the section exceeds the limit. This may result in degraded sound quality when playing back the "
              "exported Audio Style on the instrument.\n\n section: %1")
               .arg(limited);
  else if (!mCore.lastError.isEmpty())
    text = mCore.lastError;
  else
    text = tr("#0113 Creation working wav failed! [%1]").arg(static_cast<qulonglong>(lErr), 0, 16);
  if (!limited.isEmpty()) {
    showMessageBox(this, title, text, QMessageBox::Ok, QMessageBox::Ok);
    saveAudioStyleFilePath(QFileInfo(worker->path()).path());
  } else {
    showMessage(this, title, text, QMessageBox::Ok, QMessageBox::Ok);
  }
}
