#include "Ui_AudioSetupEditor.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPalette>

void Ui_AudioSetupEditor::setupUi(QDialog* dialog) {
  dialog->setObjectName(QStringLiteral("AudioSetupEditor"));
  dialog->setEnabled(true);
  dialog->resize(400, 120);
  dialog->setMinimumSize(400, 120);
  dialog->setMaximumSize(400, 120);
  QPalette palette;
  const QBrush white(QColor(255, 255, 255, 255), Qt::SolidPattern);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setBrush(group, QPalette::Base, white);
    palette.setBrush(group, QPalette::Window, white);
  }
  dialog->setPalette(palette);
  QFont font;
  font.setFamily(QStringLiteral("Arial"));
  dialog->setFont(font);
  QIcon icon;
  icon.addFile(QStringLiteral(":/img/icon36.png"), QSize(), QIcon::Normal, QIcon::Off);
  dialog->setWindowIcon(icon);
  dialog->setAutoFillBackground(true);

  m_pCancelButton = new QPushButton(dialog);
  m_pCancelButton->setObjectName(QStringLiteral("m_pCancelButton"));
  m_pCancelButton->setGeometry(300, 90, 81, 23);
  m_pOkButton = new QPushButton(dialog);
  m_pOkButton->setObjectName(QStringLiteral("m_pOkButton"));
  m_pOkButton->setEnabled(true);
  m_pOkButton->setGeometry(200, 90, 81, 23);
  m_pOkButton->setDefault(false);
  m_pAudioOutputDeviceGroupBox = new QGroupBox(dialog);
  m_pAudioOutputDeviceGroupBox->setObjectName(QStringLiteral("m_pAudioOutputDeviceGroupBox"));
  m_pAudioOutputDeviceGroupBox->setGeometry(10, 20, 371, 61);
  m_pAudioOutBox = new QComboBox(m_pAudioOutputDeviceGroupBox);
  m_pAudioOutBox->setObjectName(QStringLiteral("m_pAudioOutBox"));
  m_pAudioOutBox->setGeometry(15, 20, 341, 22);

  QWidget::setTabOrder(m_pCancelButton, m_pOkButton);
  QWidget::setTabOrder(m_pCancelButton, m_pAudioOutBox);

  retranslateUi(dialog);
  QObject::connect(m_pCancelButton, SIGNAL(clicked()), dialog, SLOT(clickedCancel()));
  QObject::connect(m_pOkButton, SIGNAL(clicked()), dialog, SLOT(clickedOk()));
  QObject::connect(m_pAudioOutBox, SIGNAL(currentIndexChanged(int)), dialog, SLOT(currentMidiOutBoxChanged(int)));
  QMetaObject::connectSlotsByName(dialog);
}

void Ui_AudioSetupEditor::retranslateUi(QDialog* dialog) {
  dialog->setWindowTitle(QCoreApplication::translate("AudioSetupEditor", "Audio Setup"));
  m_pCancelButton->setText(QCoreApplication::translate("AudioSetupEditor", "Cancel"));
  m_pOkButton->setText(QCoreApplication::translate("AudioSetupEditor", "OK"));
  m_pAudioOutputDeviceGroupBox->setTitle(QCoreApplication::translate("AudioSetupEditor", "Audio Output Device"));
}
