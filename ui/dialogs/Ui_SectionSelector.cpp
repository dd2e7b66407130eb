#include "Ui_SectionSelector.h"

#include <QCoreApplication>
#include <QIcon>

void Ui_SectionSelector::setupUi(QDialog* dialog) {
  dialog->setObjectName(QStringLiteral("SectionSelector"));
  dialog->setFixedSize(300, 120);
  dialog->setWindowIcon(QIcon(QStringLiteral(":/img/icon36.png")));

  m_pGroupBox = new QGroupBox(dialog);
  m_pGroupBox->setObjectName(QStringLiteral("m_pGroupBox"));
  m_pGroupBox->setGeometry(10, 6, 280, 62);
  m_pCmbSection = new QComboBox(m_pGroupBox);
  m_pCmbSection->setObjectName(QStringLiteral("m_pCmbSection"));
  m_pCmbSection->setGeometry(10, 24, 260, 26);

  m_pCancelButton = new QPushButton(dialog);
  m_pCancelButton->setObjectName(QStringLiteral("m_pCancelButton"));
  m_pCancelButton->setGeometry(100, 80, 90, 30);
  m_pOkButton = new QPushButton(dialog);
  m_pOkButton->setObjectName(QStringLiteral("m_pOkButton"));
  m_pOkButton->setGeometry(200, 80, 90, 30);
  m_pOkButton->setDefault(false);

  retranslateUi(dialog);
  QObject::connect(m_pCancelButton, SIGNAL(clicked()), dialog, SLOT(clickedCancel()));
  QObject::connect(m_pOkButton, SIGNAL(clicked()), dialog, SLOT(clickedOk()));
  // The chooser has no such slot; Qt refuses this connection with a warning
  // and the combo box's changes go nowhere, as they always have.
  QObject::connect(m_pCmbSection, SIGNAL(currentIndexChanged(int)), dialog, SLOT(currentMidiOutBoxChanged(int)));
  QMetaObject::connectSlotsByName(dialog);
}

void Ui_SectionSelector::retranslateUi(QDialog* dialog) {
  dialog->setWindowTitle(QCoreApplication::translate("SectionSelector", "Section"));
  m_pCancelButton->setText(QCoreApplication::translate("SectionSelector", "Cancel"));
  m_pOkButton->setText(QCoreApplication::translate("SectionSelector", "OK"));
  m_pGroupBox->setTitle(QCoreApplication::translate("SectionSelector", "Section"));
}
