#pragma once
// The program's whole run, from the widget style to the removal of the
// temporary waves. `eventLoop` runs while the main window is shown (the
// program passes QApplication::exec); its result is the exit code. Any
// exception makes the exit code -1 after the objects built so far are
// destroyed and the temporary waves removed.

#include <functional>

class MainWindow;

int runApplication(int& argc, char** argv, const std::function<int(MainWindow&)>& eventLoop);
