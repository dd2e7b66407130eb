#pragma once
// A small modal chooser for one of the 15 section slots.

#include <QDialog>

#include "Ui_SectionSelector.h"

class SectionSelector : public QDialog, public Ui::SectionSelector {
  Q_OBJECT
 public:
  explicit SectionSelector(QWidget* parent = nullptr);

  // The chosen slot 0..14; 15 until OK was clicked.
  int selectedIndex() const { return mSelectedIndex; }

 public slots:
  void clickedCancel();
  void clickedOk();

 private:
  int mSelectedIndex = 15;
};
