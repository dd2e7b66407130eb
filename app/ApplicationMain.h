#pragma once
// The program's whole run, from the widget style to the removal of the
// temporary waves. `eventLoop` runs while the main window is shown (the
// program passes QApplication::exec); its result is the exit code. Any
// exception makes the exit code -1 after the objects built so far are
// destroyed and the temporary waves removed. `started`, when given, runs
// once the application object exists, before the main window is built and
// the files named on the command line are opened. The start removes the work
// folders that killed or crashed copies left behind; SIGTERM, SIGINT and
// SIGHUP end the run as an orderly quit (QuitOnSignal) whose exit code is
// 128 + the signal's number.

#include <functional>

class MainWindow;

int runApplication(int& argc, char** argv, const std::function<int(MainWindow&)>& eventLoop,
                   const std::function<void()>& started = {});
