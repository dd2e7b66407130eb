#include "ApplicationMain.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

#include "Application.h"
#include "MainWindow.h"
#include "QuitOnSignal.h"
#include "TempWaveFiles.h"
#include "TemporaryWaves.h"

int runApplication(int& argc, char** argv, const std::function<int(MainWindow&)>& eventLoop,
                   const std::function<void()>& started) {
  int result = -1;
  // Caught from the start, so a signal at any point still ends in the
  // removal of the work folder below.
  QuitOnSignal quit;
  try {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    std::unique_ptr<Application> app;
    std::unique_ptr<MainWindow> window;
    try {
      // The work folders of copies that were killed or crashed; never one
      // of a copy that still runs.
      TempWaveFiles::removeStaleWorkFolders();
      app = std::make_unique<Application>(argc, argv);
      quit.listen();
      if (started) started();
      window = std::make_unique<MainWindow>();
      app->fileOpenReceiver = window.get();
      // Linux sends no file-open events for a program's arguments; the
      // files named on the command line take the same route instead.
      app->sendFileOpenEvents();
      window->show();
      // A signal during the start (a modal box of the window's construction
      // may have seen it already) ends the run before the loop starts.
      result = quit.requested() ? quit.exitCode() : eventLoop(*window);
    } catch (...) {
      result = -1;
    }
    quit.stopListening();
    if (app) app->fileOpenReceiver = nullptr;
    window.reset();
    app.reset();
  } catch (...) {
    result = -1;
  }
  try {
    removeTemporaryWaves();
  } catch (...) {
    result = -1;
  }
  return result;
}
