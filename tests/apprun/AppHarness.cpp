// A program that runs the application object the way the real program does,
// for the tests that need their own QApplication: the file-open route and
// the whole run with files named on the command line. Prints what it saw.
//
//   app_harness route
//   app_harness run [files...]
//   app_harness stay [files...]       (as run, then the event loop until
//                                     something ends it)
//   app_harness export <audio> <style>  (imports, then exports the proposal)
//   app_harness hold <bytes>         (a work copy of <bytes> bytes and an
//                                     unsaved change, then the event loop
//                                     until something ends it)
//   app_harness screens <folder>     (PNG pictures of the windows, with a
//                                     rendered song imported)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QLineEdit>
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Application.h"
#include "ApplicationMain.h"
#include "MainWindow.h"
#include "MessageDialog.h"
#include "TempWaveFiles.h"
#include "TestSong.h"

namespace {

// Where the screenshot run renders its song.
QString gSongFolder;

}  // namespace

namespace TestEnv {

QString tempDir() { return gSongFolder; }
QString tempPath(const QString& name) { return gSongFolder + "/" + name; }

}  // namespace TestEnv

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

// Gives a file dialog `file` and accepts it once the dialog itself hands
// that file back. selectFile() is no sure route: it leaves the name field
// alone while the field has the focus, which it gets some time after the
// dialog shows, and the dialog then hands back its folder, takes an accept
// as a step into that folder and stays open. So the folder is set, the name
// goes into the name field itself, and the answer waits for the dialog to
// agree; until then the next tick tries again.
void answerFileDialog(QFileDialog* dialog, const QString& file) {
  const bool first = !dialog->property("shown").toBool();
  if (first) {
    dialog->setProperty("shown", true);
    std::printf("dialog=%s\n", qPrintable(dialog->windowTitle()));
    std::fflush(stdout);
  }
  if (file.isEmpty()) {
    // Whatever the dialog holds, once.
    if (first) static_cast<QDialog*>(dialog)->accept();
    return;
  }
  const QFileInfo target(file);
  if (QFileInfo(dialog->directory().absolutePath()) != QFileInfo(target.absolutePath()))
    dialog->setDirectory(target.absolutePath());
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  if (name && name->text() != target.fileName()) name->setText(target.fileName());
  if (QFileInfo(dialog->selectedFiles().value(0)) != target) return;
  static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept
}

// Prints the text of every message box as it is shown and answers it with
// its default button, so a run meets no box it cannot get past; a file
// dialog is given `file`.
void answerBoxes(const QString& file = QString()) {
  auto* timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, [file] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      answerFileDialog(dialog, file);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    std::printf("box=%s\n", qPrintable(box->text()));
    std::fflush(stdout);
    QAbstractButton* button = box->defaultButton();
    if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
    if (button) QTimer::singleShot(0, button, &QAbstractButton::click);
  });
  timer->start(20);
}

// `run` is the harness's word, not a file for the program: the arguments
// after it are the program's own. With `stay` the program then runs until a
// signal ends it.
int run(int argc, char** argv, bool stay) {
  std::vector<char*> args{argv[0]};
  for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  const int code = runApplication(
      count, args.data(),
      [stay](MainWindow& window) {
        std::printf("name=%s path=%s state=%d waves=%u\n", qPrintable(window.mLEditProjectFileName->text()),
                    qPrintable(window.projectPath()), window.projectState(),
                    static_cast<unsigned>(window.core().waveCount()));
        std::printf("work=%s\n", qPrintable(TempWaveFiles::workFolder()));
        std::fflush(stdout);
        return stay ? QApplication::exec() : 7;
      },
      [] { answerBoxes(); });
  std::printf("exit=%d\n", code);
  std::fflush(stdout);
  return stay ? code : 0;
}

// Whether `path` holds a whole style: MThd, tracks, CASM, AASM and AFil
// chunks, each as long as its header says, up to the file's end.
bool isStyleFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  QByteArrayList ids;
  for (qint64 at = 0; at < bytes.size();) {
    if (bytes.size() - at < 8) return false;
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    const qint64 size = (qint64{header[4]} << 24) | (header[5] << 16) | (header[6] << 8) | header[7];
    if (size > bytes.size() - at - 8) return false;
    ids << bytes.mid(at, 4);
    at += 8 + size;
  }
  ids.removeAll("MTrk");
  return ids == QByteArrayList{"MThd", "CASM", "AASM", "AFil"};
}

// Imports the recording the way a file named on the command line is
// imported (analysed when it has no analysis yet) and exports the proposed
// style to the given file through the export command. The exit code is the
// run's, or 1 when the run ended without a whole style file at <style>.
int exportStyle(char** argv) {
  const QString style = QString::fromLocal8Bit(argv[3]);
  std::vector<char*> args{argv[0], argv[2], nullptr};
  int count = 2;
  const int code = runApplication(
      count, args.data(),
      [](MainWindow& window) {
        std::printf("waves=%u\n", static_cast<unsigned>(window.core().waveCount()));
        window.releasedBtnExportSty();
        return 0;
      },
      [style] { answerBoxes(style); });
  std::printf("exit=%d\n", code);
  const bool exported = isStyleFile(style);
  std::printf("style=%s\n", exported ? "whole" : "missing");
  std::fflush(stdout);
  if (code != 0) return code;
  return exported ? 0 : 1;
}

// A running copy with a work copy in its work folder and unsaved work, as
// after an import and an edit, that runs until it is ended from outside.
int hold(char** argv) {
  const qint64 bytes = QByteArray(argv[2]).toLongLong();
  std::vector<char*> args{argv[0], nullptr};
  int count = 1;
  const int code = runApplication(
      count, args.data(),
      [bytes](MainWindow& window) {
        const QString folder = TempWaveFiles::workFolder();
        QFile copy(TempWaveFiles::sourcePath(folder));
        const QByteArray block(65536, '\x11');
        bool written = copy.open(QIODevice::WriteOnly);
        for (qint64 left = bytes; written && left > 0; left -= block.size())
          written = copy.write(block.constData(), std::min<qint64>(left, block.size())) > 0;
        copy.close();
        window.core().setVolume(10);
        std::printf("work=%s written=%d modified=%d\n", qPrintable(folder), written, window.core().isModified());
        std::fflush(stdout);
        return QApplication::exec();
      },
      [] { answerBoxes(); });
  std::printf("exit=%d\n", code);
  std::fflush(stdout);
  return code;
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

// A rendered song imported (and analysed) as a file-open request: the whole
// recording, zoomed in and scrolled, a second section chosen, and the
// first one after x2.
bool songScreens(MainWindow& window, const QString& dir) {
  gSongFolder = dir + "/song";
  QDir().mkpath(gSongFolder);
  const QString song = TestSong::render(16, 100, "song");
  if (song.isEmpty()) {
    std::printf("no song rendered (fluidsynth or its sound font missing)\n");
    return false;
  }
  QFileOpenEvent open(song);
  QCoreApplication::sendEvent(&window, &open);
  settle(500);
  bool ok = window.core().waveCount() == 1 && window.grab().save(dir + "/main_loaded.png");
  window.releasedBtnHorZoomIn();
  window.releasedBtnHorZoomIn();
  window.mScrollBar->setValue(window.mScrollBar->maximum() / 3);
  settle(300);
  ok = window.grab().save(dir + "/main_zoom4.png") && ok;
  window.releasedBtnHorZoomOut();
  window.releasedBtnHorZoomOut();
  const int first = window.mCmbTrimSec->currentIndex();
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    SecInfo* sec = nullptr;
    if (slot == first || window.core().getSecInfo(slot, &sec) != 0 || !sec || !sec->used) continue;
    window.mCmbTrimSec->setCurrentIndex(slot);
    break;
  }
  settle(300);
  ok = window.mCmbTrimSec->currentIndex() != first && window.grab().save(dir + "/main_section2.png") && ok;
  // The first section again, its beats split in two by x2: twice the
  // tempo, twice the bars, the same range.
  window.mCmbTrimSec->setCurrentIndex(first);
  settle(300);
  const auto tempo = window.core().getCommonInfo().tempo;
  window.mBtnBeatAnaDouble->click();
  settle(300);
  std::printf("x2: tempo %u -> %u\n", static_cast<unsigned>(tempo),
              static_cast<unsigned>(window.core().getCommonInfo().tempo));
  ok = window.grab().save(dir + "/main_x2.png") && ok;
  return ok;
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
  ok = songScreens(window, dir) && ok;
  std::printf("%s\n", ok ? "screens written" : "screens missing");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "route") == 0) return route(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], "run") == 0) return run(argc, argv, false);
  if (argc >= 2 && std::strcmp(argv[1], "stay") == 0) return run(argc, argv, true);
  if (argc >= 3 && std::strcmp(argv[1], "screens") == 0) return screens(argc, argv);
  if (argc == 4 && std::strcmp(argv[1], "export") == 0) return exportStyle(argv);
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) return hold(argv);
  std::fprintf(stderr,
               "usage: app_harness route | run [files...] | stay [files...] | screens <folder> | export <audio> "
               "<style> | hold <bytes>\n");
  return 2;
}
