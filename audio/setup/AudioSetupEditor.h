#pragma once
// The dialog that chooses the output device: lists the application device's
// devices with the selected one current, and on OK selects and opens the
// chosen one.

#include <QDialog>

#include "Ui_AudioSetupEditor.h"

class AudioSetupEditor : public QDialog, public Ui::AudioSetupEditor {
  Q_OBJECT

 public:
  explicit AudioSetupEditor(QWidget* parent = nullptr);

 public slots:
  void clickedCancel();
  void clickedOk();
  void currentMidiOutBoxChanged(int index);
};
