#pragma once
// Answers the modal message boxes and file dialogs a test provokes. Arm it
// before the call that opens them: a timer polls for the active modal widget
// from inside the nested event loop, records its title and text, and answers
// with the next queued answer: a button (by standard button or by text), or
// for a file dialog a chosen path or a cancel. A dialog that arrives when no
// answer is left, or that stays open after its answer (a path it refused),
// is recorded as unexpected and closed.
//
// A dialog is answered only from inside its own event loop. A dialog that
// is answered after it is shown but before exec() has started its loop is
// hidden with no loop to end, and exec() then waits for ever: the poll can
// run there whenever anything processes events in between. So a dialog is
// answered only once the event loops run deeper than where it was shown,
// and only when it was the active modal widget at the poll before as well
// (for a dialog shown before the driver was armed, the second rule alone).

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <deque>
#include <utility>
#include <vector>

class ModalDriver : public QObject {
 public:
  struct Seen {
    QString title;
    QString text;
  };

  ModalDriver() {
    qApp->installEventFilter(this);
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
    timer.start();
  }
  ~ModalDriver() override { qApp->removeEventFilter(this); }
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  // The next box is answered with this standard button.
  void pressButton(QMessageBox::StandardButton button) { answers.push_back({button, QString()}); }
  // The next box is answered with the button of this text.
  void pressText(const QString& text) { answers.push_back({QMessageBox::NoButton, text}); }
  // The next file dialog chooses this path (an empty path cancels it).
  void chooseFile(const QString& path) { answers.push_back({QMessageBox::NoButton, path, true}); }

  const std::deque<Seen>& seen() const { return boxes; }
  int unexpected() const { return unexpectedCount; }
  // How often the timer has looked for a dialog so far.
  int polls() const { return pollCount; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && widget->isWindow() && (qobject_cast<QMessageBox*>(widget) || qobject_cast<QFileDialog*>(widget)))
        noteShown(widget);
    }
    return false;
  }

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
      close(dialog);
      return;
    }
    const QString path = answers.front().text;
    answers.pop_front();
    if (path.isEmpty()) {
      dialog->reject();
      return;
    }
    // The dialog leaves a focused name field as it is, so the chosen name
    // would not reach it and the dialog would take the folder instead.
    if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept checks the choice
  }

  static void close(QWidget* modal) {
    QPointer<QWidget> guard(modal);
    if (qobject_cast<QMessageBox*>(modal)) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(modal, &escape);
    }
    if (auto* dialog = qobject_cast<QDialog*>(guard.data())) {
      if (dialog->isVisible()) dialog->reject();
    }
  }

  static int loopLevel() { return QThread::currentThread()->loopLevel(); }

  void noteShown(QWidget* widget) {
    std::vector<std::pair<QPointer<QWidget>, int>> kept;
    for (auto& entry : shownAt) {
      if (entry.first && entry.first != widget) kept.push_back(entry);
    }
    kept.emplace_back(widget, loopLevel());
    shownAt.swap(kept);
    // Shown again (a box run a second time) is a new dialog to answer.
    if (last == widget) last = nullptr;
  }

  // Whether the modal widget's own event loop is running.
  bool inItsOwnLoop(QWidget* modal) const {
    for (const auto& entry : shownAt) {
      if (entry.first == modal) return loopLevel() > entry.second;
    }
    return true;
  }

  void poll() {
    ++pollCount;
    QWidget* modal = QApplication::activeModalWidget();
    const bool seenBefore = modal && modal == previous;
    previous = modal;
    if (!modal || !seenBefore || !inItsOwnLoop(modal)) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!box && !dialog) return;  // the program's own windows are the test's to close
    if (modal == last) {
      // An answer the dialog did not take leaves it open, and the test
      // would wait for ever: it is closed and counted as unexpected.
      if (++pollsSinceAnswer >= 2) {
        pollsSinceAnswer = 0;
        ++unexpectedCount;
        close(modal);
      }
      return;
    }
    last = modal;
    pollsSinceAnswer = 0;
    if (dialog) {
      answerFileDialog(dialog);
      return;
    }
    boxes.push_back({box->windowTitle(), box->text()});
    if (answers.empty() || answers.front().file) {
      ++unexpectedCount;
      close(box);
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
  std::vector<std::pair<QPointer<QWidget>, int>> shownAt;  // each dialog's loop level when shown
  QPointer<QWidget> previous;  // the active modal widget at the last poll
  QPointer<QWidget> last;      // the last dialog answered
  int unexpectedCount = 0;
  int pollCount = 0;
  int pollsSinceAnswer = 0;
};
