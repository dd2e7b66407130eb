#include "ApplicationMain.h"

#include <QApplication>
#include <QStyleFactory>

#include <memory>

#include "Application.h"
#include "MainWindow.h"
#include "TemporaryWaves.h"

int runApplication(int& argc, char** argv, const std::function<int(MainWindow&)>& eventLoop,
                   const std::function<void()>& started) {
  int result = -1;
  try {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    std::unique_ptr<Application> app;
    std::unique_ptr<MainWindow> window;
    try {
      app = std::make_unique<Application>(argc, argv);
      if (started) started();
      window = std::make_unique<MainWindow>();
      app->fileOpenReceiver = window.get();
      // Linux sends no file-open events for a program's arguments; the
      // files named on the command line take the same route instead.
      app->sendFileOpenEvents();
      window->show();
      result = eventLoop(*window);
    } catch (...) {
      result = -1;
    }
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
