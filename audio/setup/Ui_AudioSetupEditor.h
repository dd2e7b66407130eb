#pragma once
// The form of the audio setup dialog, written by hand.

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

class Ui_AudioSetupEditor {
 public:
  QPushButton* m_pCancelButton = nullptr;
  QPushButton* m_pOkButton = nullptr;
  QGroupBox* m_pAudioOutputDeviceGroupBox = nullptr;
  QComboBox* m_pAudioOutBox = nullptr;

  void setupUi(QDialog* dialog);
  void retranslateUi(QDialog* dialog);
};

namespace Ui {
class AudioSetupEditor : public Ui_AudioSetupEditor {};
}  // namespace Ui
