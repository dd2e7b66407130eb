#pragma once
// Answers the modal message boxes a test provokes. Arm it before the call
// that opens them: a timer polls for the active modal widget from inside the
// nested event loop, records its title and text, and presses the button the
// expectation names (by standard button or by text). A box that arrives when
// no expectation is left is recorded as unexpected and closed with Escape.

#include <QAbstractButton>
#include <QApplication>
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

  const std::deque<Seen>& seen() const { return boxes; }
  int unexpected() const { return unexpectedCount; }

 private:
  struct Answer {
    QMessageBox::StandardButton button;
    QString text;
  };

  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == last) return;
    last = box;
    boxes.push_back({box->windowTitle(), box->text()});
    QPointer<QMessageBox> guard(box);
    if (answers.empty()) {
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
  QPointer<QMessageBox> last;
  int unexpectedCount = 0;
};
