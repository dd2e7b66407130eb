// The program's entry point.

#include <QApplication>

#include "ApplicationMain.h"

int main(int argc, char** argv) {
  return runApplication(argc, argv, [](MainWindow&) { return QApplication::exec(); });
}
