// MainWindow: commands whose work is not built yet. Each is connected and
// safe to trigger; it does nothing until its command is written.

#include "MainWindow.h"

void MainWindow::releasedBtnOpenWav() {}
void MainWindow::releasedBtnExportSty() {}
void MainWindow::undo() {}
void MainWindow::redo() {}
void MainWindow::onSelectAll() {}
void MainWindow::onClearAll() {}
void MainWindow::audioDeviceSetting() {}
void MainWindow::beatTextChanged(const QString&) {}
void MainWindow::beatEditingFinished() {}
void MainWindow::valueChangedSpinTempo(int) {}
void MainWindow::releasedBtnPlayLoop() {}
void MainWindow::releasedBtnStopped() {}
void MainWindow::location() {}
void MainWindow::valueChangedSliderMetro(int) {}
void MainWindow::clickedChkTimeStretch(bool) {}
void MainWindow::clickedChkClick(bool) {}
void MainWindow::releasedBtnBeatAnaHalf() {}
void MainWindow::releasedBtnBeatAnaDouble() {}
void MainWindow::currentIdxChangedCmbTrimSec(int) {}
void MainWindow::clickedChkManual(bool) {}
void MainWindow::valueChangedSpinBars(int) {}
void MainWindow::currentIdxChangedCmbWav() {}
void MainWindow::releasedBtnImportAudio() {}
void MainWindow::releasedBtnUnlinkAudio() {}
void MainWindow::valueChangedScrollBar(int) {}
void MainWindow::releasedBtnHorZoomIn() {}
void MainWindow::releasedBtnHorZoomOut() {}
void MainWindow::trimStartTextChanged(const QString&) {}
void MainWindow::trimStartEditingFinished() {}
void MainWindow::trimEndTextChanged(const QString&) {}
void MainWindow::trimEndEditingFinished() {}
void MainWindow::clickedChkFade(bool) {}
void MainWindow::releasedBtnBeatToggleShift() {}
void MainWindow::clickedChkBlank(bool) {}
void MainWindow::valueChangedSpinPickup(int) {}
void MainWindow::trimEditingFinished(QObject*) {}

void MainWindow::updateActionStates() {}
void MainWindow::updateUndoRedoActions() {}
void MainWindow::updateSectionControls(int) {}
void MainWindow::updateSectionPanel(int) {}
void MainWindow::resetSectionPanel(bool clearName) {
  if (clearName) mLEditProjectFileName->clear();
  mCurrentSection = 3;
}
