#pragma once
// The form of the section chooser, written by hand.

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

class Ui_SectionSelector {
 public:
  QPushButton* m_pCancelButton = nullptr;
  QPushButton* m_pOkButton = nullptr;
  QGroupBox* m_pGroupBox = nullptr;
  QComboBox* m_pCmbSection = nullptr;

  void setupUi(QDialog* dialog);
  void retranslateUi(QDialog* dialog);
};

namespace Ui {
class SectionSelector : public Ui_SectionSelector {};
}  // namespace Ui
