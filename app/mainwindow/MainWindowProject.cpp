// MainWindow: the project file commands, the file-open event and closing.

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QGuiApplication>

#include "ASTprotoSettings.h"
#include "FileDialogs.h"
#include "FileKinds.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "RegularFile.h"

namespace {

const QString kTitle = QStringLiteral("Quillmere");

QString hex(ResultCode code) { return QString::number(code, 16); }

void waitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
void restoreCursor() { QGuiApplication::restoreOverrideCursor(); }

}  // namespace

void MainWindow::showMemoryFull() {
  showMessage(this, kTitle, tr("#0112 memory full"), QMessageBox::Ok, QMessageBox::Ok);
}

ResultCode MainWindow::createNewProject() {
  while (mPlaying) {
    const std::uint8_t before = mPlaying;
    releasedBtnStopped();
    if (mPlaying == before) mPlaying = 0;  // nothing to stop yet: do not spin
  }
  mCore.clearLastError();
  mMemoryFull = 0;
  const ResultCode code = mCore.newProject();
  if (code != 0) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    if (mMemoryFull) showMemoryFull();
    return Result::nest(1, code);
  }
  mCore.clearWaveList();
  mCore.resetSections();
  mCore.resetCommonInfo();
  resetViewState();
  setSectionWaveView(mCurrentWave, mCurrentSection, mSampleCount, {}, mZoom, mScrollOffset);
  resetSectionPanel(true);
  refreshSectionView();
  setProjectName(tr("New Audio Style.qmproj"));
  markProjectSaved();
  return Result::kOk;
}

void MainWindow::setProjectName(const QString& path) {
  mLEditProjectFileName->setText(QFileInfo(path).completeBaseName());
}

int MainWindow::confirmDiscardChanges() {
  const QString yes = tr("Yes");
  const QString no = tr("No");
  const QString cancel = tr("Cancel");
  const QString answer = showMessageWithButtons(
      this, kTitle, tr("Project data have been changed. Do you wish to proceed without saving?"),
      {{yes, QMessageBox::YesRole}, {no, QMessageBox::NoRole}, {cancel, QMessageBox::RejectRole}}, cancel);
  if (answer == cancel) return QMessageBox::Cancel;
  if (answer == no) return QMessageBox::No;
  if (answer == yes) return QMessageBox::Yes;
  return 0;
}

void MainWindow::newProject() {
  if (isProjectModified()) {
    const int answer = confirmDiscardChanges();
    if (answer == QMessageBox::Cancel) return;
    if (answer == QMessageBox::No && !saveProjectFileAs()) return;
  }
  waitCursor();
  const ResultCode code = createNewProject();
  restoreCursor();
  if (code != 0) {
    showMessage(this, kTitle, tr("#0109 Resetting Project File Process returns some error! [%1]").arg(hex(code)),
                QMessageBox::Ok, QMessageBox::Ok);
  }
}

void MainWindow::openProject() { openProjectFile(QString()); }

void MainWindow::openProjectFile(const QString& given) {
  if (isProjectModified()) {
    const int answer = confirmDiscardChanges();
    if (answer == QMessageBox::Cancel) return;
    if (answer == QMessageBox::No && !saveProjectFileAs()) return;
  }
  QString folder = loadProjectFilePath();
  if (folder.isEmpty()) folder = "./";
  const QString path = given.isEmpty() ? FileDialogs::openFile(this, tr("Open Project File"), folder,
                                                                tr("Project Files (*.qmproj)"))
                                       : given;
  if (path.isEmpty()) return;
  if (refuseToRead(path)) return;
  mCore.clearLastError();
  mMemoryFull = 0;
  waitCursor();
  const ResultCode code = mCore.openProject(path.toStdWString());
  restoreCursor();
  if (code != 0) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    if (mMemoryFull)
      showMemoryFull();
    else
      showMessage(this, kTitle, tr("#0110 some error occurs!"), QMessageBox::Ok, QMessageBox::Ok);
    return;
  }
  mProjectPath = path;
  saveProjectFilePath(QFileInfo(path).path());
  markProjectSaved();  // the project as read is the unchanged state
  const ResultCode loaded = loadProjectFile();
  if (loaded == Result::fail(1)) {
    newProject();
    mProjectPath = path;
    setProjectName(path);
  } else if (loaded != 0) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    if (mMemoryFull) {
      showMemoryFull();
      return;
    }
  }
  waitCursor();
  rememberOpenedRecordings();
  restoreCursor();
  mProjectState = 2;
  resetSectionPanel(false);
  selectSectionCombo(3);
  updateSectionPanel(3);
  updateSectionControls(3);
  releasedBtnViewerWav();
  setProjectName(QFileInfo(path).fileName());
  mBeatShiftState = 0;
  updateBeatShiftButton();
  updateActionStates();
  updateUndoRedoActions();
  markProjectSaved();
}

ResultCode MainWindow::loadProjectFile() {
  if (mCore.waveCount() == 0) return Result::fail(1);
  for (std::size_t i = 0; i < mCore.waveCount(); ++i) {
    WavInfo* wave = nullptr;
    const ResultCode code = mCore.getWaveInfo(static_cast<std::uint8_t>(i), &wave);
    if (code != 0 || !wave) return Result::nest(2, code);
    const QString file = QString::fromStdWString(wave->fileName);
    QString folder = loadAudioFilePath();
    if (folder.isEmpty()) folder = "./";
    const QFileInfo info(file);
    const QString shownName = info.completeBaseName() + "." + info.suffix();
    while (!QFileInfo::exists(file)) {
      const auto answer =
          showQuestion(this, kTitle, tr("Cannot find the audio file \"%1\". Search the file now?").arg(shownName),
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
      if (answer != QMessageBox::Yes) {
        showMessage(this, kTitle, tr("Cannot find the audio file \"%1\". - fileNo[%2]").arg(shownName).arg(i),
                    QMessageBox::Ok, QMessageBox::Ok);
        break;
      }
      const QString chosen = FileDialogs::openFile(
          this, tr("Open Audio File"), folder,
          tr("Audio Files (*.wav *.aiff *.aif);; Audio Files (*.wav);; Audio Files (*.aiff *.aif);; Audio Files (*.*)"));
      if (chosen.isEmpty() || !QFileInfo::exists(chosen)) continue;
      const ResultCode renamed = mCore.setWaveFileName(static_cast<std::uint8_t>(i), chosen.toStdWString());
      if (renamed != 0) {
        showMessageBox(this, kTitle, tr("Cannot find the audio file.\n [%1]").arg(file), QMessageBox::Ok,
                       QMessageBox::Ok);
        return Result::nest(3, renamed);
      }
      saveAudioFilePath(QFileInfo(chosen).path());
      break;
    }
  }
  return Result::kOk;
}

// A failed save changes nothing: the project keeps its path and counts as
// unsaved, so the next Save or close still asks for it.
ResultCode MainWindow::saveProjectFile(const QString& path) {
  mCore.clearLastError();
  mMemoryFull = 0;
  const ResultCode code = mCore.saveProject(path.toStdWString());
  if (code != 0) {
    mMemoryFull = mCore.hasException() ? 1 : 0;
    if (mMemoryFull) showMemoryFull();
    return Result::nest(1, code);
  }
  mProjectPath = path;
  saveProjectFilePath(QFileInfo(path).path());
  markProjectSaved();
  mProjectState = 2;
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  return Result::kOk;
}

bool MainWindow::refuseToRead(const QString& path) {
  if (RegularFile::absentOrRegular(path)) return false;
  showMessage(this, kTitle, RegularFile::cannotOpen(path), QMessageBox::Ok, QMessageBox::Ok);
  return true;
}

bool MainWindow::refuseSaveOver(const QString& path) {
  const QString refused = RegularFile::cannotReplace(path);
  if (refused.isEmpty()) return false;
  showMessage(this, kTitle, refused, QMessageBox::Ok, QMessageBox::Ok);
  return true;
}

bool MainWindow::saveProjectFileAs() {
  // A project opened from or saved to a file is offered where it lies, under
  // its own name (its path is already whole); a new one under its default
  // name in the folder used last.
  const QString folder = loadProjectFilePath();
  const QString suggested = QFileInfo(mProjectPath).isAbsolute()
                                ? mProjectPath
                                : (folder.isEmpty() ? QString("./") : folder + "/") + mProjectPath;
  const QString path = FileDialogs::saveFile(this, tr("Save Project File"), suggested, tr("Project Files (*.qmproj)"),
                                             QStringLiteral("qmproj"));
  if (path.isEmpty() || refuseSaveOver(path)) return false;
  const ResultCode code = saveProjectFile(path);
  if (code != 0) {
    showMessage(this, kTitle, tr("#0078 Saving Project File Process returns some error! [%1]").arg(hex(code)),
                QMessageBox::Ok, QMessageBox::Ok);
    return false;
  }
  saveProjectFilePath(QFileInfo(path).path());
  setProjectName(QFileInfo(path).fileName());
  return true;
}

void MainWindow::saveProject() {
  if (mProjectPath.isEmpty() || mProjectState == 1) {
    mProjectPath = tr("New Audio Style.qmproj");
    saveProjectAs();
    if (mProjectState == 1) mProjectPath.clear();
    return;
  }
  if (refuseSaveOver(mProjectPath)) return;
  if (QWidget* focused = focusWidget()) focused->clearFocus();
  waitCursor();
  const ResultCode code = saveProjectFile(mProjectPath);
  updateActionStates();
  updateUndoRedoActions();
  refreshSectionView();
  restoreCursor();
  if (code != 0) {
    showMessage(this, kTitle, tr("#0078 Saving Project File Process returns some error! [%1]").arg(hex(code)),
                QMessageBox::Ok, QMessageBox::Ok);
  }
}

void MainWindow::saveProjectAs() {
  if (mProjectPath.isEmpty() || mProjectState == 1) mProjectPath = tr("New Audio Style.qmproj");
  saveProjectFileAs();
  if (mProjectState == 1) mProjectPath.clear();
  updateActionStates();
  updateUndoRedoActions();
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::FileOpen) {
    // The files named on the command line come this way too: a recording
    // is imported into the current project, anything else opened as one.
    const QString file = static_cast<QFileOpenEvent*>(event)->file();
    if (isAudioFileName(file))
      importAudioFiles({file});
    else
      openProjectFile(file);
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!isProjectModified()) {
    const QString yes = tr("Yes");
    const QString no = tr("No");
    const QString answer = showMessageWithButtons(this, kTitle, tr("Do you wish to exit?"),
                                                  {{yes, QMessageBox::YesRole}, {no, QMessageBox::NoRole}}, no);
    if (answer != yes) {
      event->ignore();
      return;
    }
    event->accept();
    return;
  }
  for (;;) {
    const int answer = confirmDiscardChanges();
    if (answer == QMessageBox::Cancel) {
      event->ignore();
      return;
    }
    if (answer == QMessageBox::No && !saveProjectFileAs()) continue;
    break;
  }
  event->accept();
}
