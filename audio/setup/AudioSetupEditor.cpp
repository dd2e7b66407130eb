#include "AudioSetupEditor.h"

#include "AudioDeviceASFF.h"

AudioSetupEditor::AudioSetupEditor(QWidget* parent) : QDialog(parent) {
  setupUi(this);
  setWindowModality(Qt::ApplicationModal);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  for (QWidget* w : {static_cast<QWidget*>(m_pCancelButton), static_cast<QWidget*>(m_pOkButton),
                     static_cast<QWidget*>(m_pAudioOutputDeviceGroupBox), static_cast<QWidget*>(m_pAudioOutBox)}) {
    QFont font = w->font();
    font.setPixelSize(12);
    w->setFont(font);
  }
  const auto device = AudioDeviceASFF::instance();
  if (!device) return;
  std::int64_t count = 0;
  device->deviceCount(count);
  // No output device when the program started (none attached, or the sound
  // system busy): the system is asked again, so one attached since can be
  // chosen. Only OK chooses it: a cancelled dialog leaves no device selected.
  if (count == 0 && Result::succeeded(device->listDevices())) device->deviceCount(count);
  for (std::int64_t i = 0; i < count; ++i) {
    QString name;
    device->deviceName(i, name);
    m_pAudioOutBox->addItem(name);
  }
  m_pAudioOutBox->setCurrentIndex(static_cast<int>(device->selectedIndex()));
}

void AudioSetupEditor::clickedCancel() { reject(); }

void AudioSetupEditor::clickedOk() {
  accept();
  const auto device = AudioDeviceASFF::instance();
  // With no device in the list there is nothing to choose: the current
  // index is then -1.
  const int index = m_pAudioOutBox->currentIndex();
  if (!device || index < 0) return;
  device->selectDevice(index);
  device->open(2048, 44100.0);
}

void AudioSetupEditor::currentMidiOutBoxChanged(int) {}
