// The keyboard after an import from the menu, on a desktop with a window
// manager: the program itself, on a virtual X server under openbox, driven
// with real key presses. The file dialog and the frameless analysis dialog
// come and go while the window manager keeps the main window active; the
// window's shortcuts must still answer without a click into it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include "TempDir.h"
#include "TestAudio.h"
#include "WindowManagerSession.h"

TEST(KeyboardUnderWindowManager, ShortcutsAnswerAfterAnImportFromTheMenuThatRanTheAnalysis) {
  const QString missing = WindowManagerSession::missingPrograms();
  ASSERT_TRUE(missing.isEmpty()) << "not installed: " << missing.toStdString() << " (scripts/setup installs them)";
  const QString song = TestEnv::tempPath("take.wav");
  ASSERT_TRUE(TestAudio::writeWav(song, TestAudio::clickTrack(20.0, 0.5, 0.0, 4)));
  const QString analysis = TestEnv::tempPath("take.awi");

  WindowManagerSession desktop;
  ASSERT_TRUE(desktop.started());
  QProcess program;
  QProcessEnvironment env = desktop.environment();
  env.insert("QUILLMERE_AUDIO_BACKEND", "virtual");
  // The X keyboard library reads strings in ways the strict string check
  // of a sanitized build takes for overflows; it is not ours to mend.
  if (env.contains("ASAN_OPTIONS")) env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":strict_string_checks=0");
  program.setProcessEnvironment(env);
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.start(QCoreApplication::applicationDirPath() + "/Quillmere", QStringList());
  ASSERT_TRUE(program.waitForStarted(30000));

  QString window;
  WindowManagerSession::waitUntil(
      [&] { return !(window = desktop.visibleWindow("^Quillmere")).isEmpty() || program.state() != QProcess::Running; },
      120000);
  ASSERT_FALSE(window.isEmpty()) << "the program ended or showed no window";
  ASSERT_TRUE(WindowManagerSession::waitUntil([&] { return desktop.xdotool({"getactivewindow"}) == window; }, 30000));

  desktop.xdotool({"key", "ctrl+i"});
  ASSERT_FALSE(desktop.waitForWindow("^Open Audio File$", 60000).isEmpty());
  QThread::msleep(500);  // the dialog ready for typing, as a user sees it
  desktop.xdotool({"type", "--delay", "5", song});
  desktop.xdotool({"key", "Return"});
  ASSERT_TRUE(WindowManagerSession::waitUntil(
      [&] { return QFileInfo::exists(analysis) && desktop.visibleWindow("^Import Audio File$").isEmpty(); }, 300000));
  // A user reads the result before typing on; Qt's own grace for a focus
  // event still to come is over by then.
  QThread::msleep(1500);
  // The window manager has had the main window as its active window all
  // along: it hands out no focus of its own now.
  EXPECT_EQ(desktop.xdotool({"getactivewindow"}), window);

  desktop.xdotool({"key", "ctrl+s"});
  EXPECT_FALSE(desktop.waitForWindow("^Save Project File$", 20000).isEmpty())
      << "Control+S opened no save dialog after the import";

  program.kill();
  program.waitForFinished(10000);
}
