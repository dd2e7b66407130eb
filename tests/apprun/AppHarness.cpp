// A program that runs the application object the way the real program does,
// for the tests that need their own QApplication: the file-open route and
// the whole run with files named on the command line. Prints what it saw.
//
//   app_harness route
//   app_harness run [files...]
//   app_harness screens <folder>     (PNG pictures of the windows)

#include <QApplication>
#include <QDir>
#include <QFileOpenEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "Application.h"
#include "ApplicationMain.h"
#include "MainWindow.h"
#include "MessageDialog.h"

namespace {

class Receiver : public QObject {
 public:
  int received = 0;
  QString file;
  bool spontaneous = true;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != QEvent::FileOpen) return QObject::event(e);
    ++received;
    file = static_cast<QFileOpenEvent*>(e)->file();
    spontaneous = e->spontaneous();
    return true;
  }
};

int route(int argc, char** argv) {
  Application app(argc, argv);
  Receiver receiver;
  QFileOpenEvent early("early.qmproj");
  const bool earlyResult = QCoreApplication::sendEvent(&app, &early);
  std::printf("before result=%d received=%d\n", earlyResult, receiver.received);
  app.fileOpenReceiver = &receiver;
  QFileOpenEvent late("late.qmproj");
  const bool lateResult = QCoreApplication::sendEvent(&app, &late);
  std::printf("after result=%d received=%d file=%s spontaneous=%d\n", lateResult, receiver.received,
              qPrintable(receiver.file), receiver.spontaneous);
  QEvent other(QEvent::User);
  std::printf("other result=%d\n", QCoreApplication::sendEvent(&app, &other));
  return 0;
}

int run(int argc, char** argv) {
  const int code = runApplication(argc, argv, [](MainWindow& window) {
    std::printf("name=%s path=%s state=%d waves=%u\n", qPrintable(window.mLEditProjectFileName->text()),
                qPrintable(window.projectPath()), window.projectState(),
                static_cast<unsigned>(window.core().waveCount()));
    return 7;
  });
  std::printf("exit=%d\n", code);
  return 0;
}

// Saves the next modal box as a picture once it is shown, then presses Ok.
void grabNextBox(const QString& file) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, file] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    QTimer::singleShot(300, box, [box, file] {
      box->grab().save(file);
      box->button(QMessageBox::Ok)->click();
    });
  });
  timer->start(20);
}

void settle(int ms) {
  QTimer wait;
  wait.setSingleShot(true);
  wait.start(ms);
  while (wait.isActive()) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

int screens(int argc, char** argv) {
  Application app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(dir);
  MainWindow window;
  window.show();
  settle(500);
  bool ok = window.grab().save(dir + "/main_empty.png");
  grabNextBox(dir + "/about.png");
  window.openInformation();
  grabNextBox(dir + "/msg_internal_error.png");
  showMessage(&window, "Quillmere", "#0098 no section is trimmed!", QMessageBox::Ok, QMessageBox::Ok);
  ok = ok && QFile::exists(dir + "/about.png") && QFile::exists(dir + "/msg_internal_error.png");
  std::printf("%s\n", ok ? "screens written" : "screens missing");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "route") == 0) return route(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "run") == 0) return run(argc, argv);
  if (argc >= 3 && std::strcmp(argv[1], "screens") == 0) return screens(argc, argv);
  std::fprintf(stderr, "usage: app_harness route | run [files...] | screens <folder>\n");
  return 2;
}
