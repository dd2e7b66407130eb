#pragma once
// Answers the modal message boxes and file dialogs a test provokes. Arm it
// before the call that opens them: a timer polls for the active modal widget
// from inside the nested event loop, records its title and text, and answers
// with the next queued answer: a button (by standard button or by text), or
// for a file dialog a chosen path or a cancel. A dialog that arrives when no
// answer is left is recorded as unexpected and closed.

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

class ModalDriver {
 public:
  struct Seen {
    QString title;
    QString text;
  };

  ModalDriver() {
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    timer.start();
  }

  // The next box is answered with this standard button.
  void pressButton(QMessageBox::StandardButton button) { answers.push_back({button, QString()}); }
  // The next box is answered with the button of this text.
  void pressText(const QString& text) { answers.push_back({QMessageBox::NoButton, text}); }
  // The next file dialog chooses this path (an empty path cancels it).
  void chooseFile(const QString& path) { answers.push_back({QMessageBox::NoButton, path, true}); }

  const std::deque<Seen>& seen() const { return boxes; }
  int unexpected() const { return unexpectedCount; }

 private:
  struct Answer {
    QMessageBox::StandardButton button;
    QString text;
    bool file = false;
  };

  void answerFileDialog(QFileDialog* dialog) {
    boxes.push_back({dialog->windowTitle(), dialog->selectedFiles().join(";")});
    if (answers.empty() || !answers.front().file) {
      ++unexpectedCount;
      dialog->reject();
      return;
    }
    const QString path = answers.front().text;
    answers.pop_front();
    if (path.isEmpty()) {
      dialog->reject();
      return;
    }
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept checks the choice
  }

  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == last) return;
    last = modal;
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      answerFileDialog(dialog);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return;
    boxes.push_back({box->windowTitle(), box->text()});
    QPointer<QMessageBox> guard(box);
    if (answers.empty() || answers.front().file) {
      ++unexpectedCount;
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(box, &escape);
      if (guard) box->reject();
      return;
    }
    const Answer answer = answers.front();
    answers.pop_front();
    QAbstractButton* target = nullptr;
    if (answer.button != QMessageBox::NoButton) {
      target = box->button(answer.button);
    } else {
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == answer.text) target = b;
      }
    }
    if (target)
      target->click();
    else
      box->reject();
  }

  QTimer timer;
  std::deque<Answer> answers;
  std::deque<Seen> boxes;
  QPointer<QWidget> last;
  int unexpectedCount = 0;
};
