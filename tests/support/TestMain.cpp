// Test entry point shared by every suite.
//
// CTest runs each test case in a process of its own; before Qt starts, the
// process gets a fresh folder that serves as HOME, XDG_DATA_HOME,
// XDG_CONFIG_HOME and TMPDIR, so no test reads or writes the user's files or
// sees what another test left behind.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "TempDir.h"

namespace {

QString gTempDir;

std::string makePrivateDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qmtest-XXXXXX";
  if (!mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    std::exit(2);
  }
  return tmpl;
}

// The core traces every undo step to the debug log; tests stay readable
// unless QM_TEST_VERBOSE is set.
void quietDebug(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
  if (type == QtDebugMsg && !std::getenv("QM_TEST_VERBOSE")) return;
  (void)context;
  fprintf(stderr, "%s\n", qPrintable(msg));
}

}  // namespace

// Allocations Qt's platform and font plumbing keeps until the process ends;
// built in so a plain ctest run under the leak checker needs no options.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libQt5Gui\nleak:libQt5Core\nleak:libglib\nleak:libqoffscreen\n";
}

namespace TestEnv {

QString tempDir() { return gTempDir; }

QString tempPath(const QString& name) { return gTempDir + "/" + name; }

}  // namespace TestEnv

int main(int argc, char** argv) {
  const std::string dir = makePrivateDir();
  for (const char* var : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "TMPDIR"}) {
    setenv(var, dir.c_str(), 1);
  }
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  gTempDir = QString::fromStdString(dir);

  qInstallMessageHandler(quietDebug);
  int result = 0;
  {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  // By bytes, not through Qt: some tests write names that are not text in
  // the locale's encoding, which a QString cannot name to delete.
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  return result;
}
