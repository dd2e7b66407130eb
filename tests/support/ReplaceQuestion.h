#pragma once
// A file dialog asked for an existing file asks whether to replace it, from
// inside ModalDriver's answer to the dialog, where the driver's own timer
// cannot run again. While this object lives, a timer of its own says Yes
// to that question.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

class ReplaceQuestion {
 public:
  ReplaceQuestion() {
    QObject::connect(&timer, &QTimer::timeout, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box && qobject_cast<QFileDialog*>(box->parentWidget())) box->button(QMessageBox::Yes)->click();
    });
    timer.start(10);
  }

 private:
  QTimer timer;
};
