// A copy started with a quit signal ignored (under nohup, or in the
// background of a shell) keeps running when that signal comes, with its
// unsaved work; the signals it did not start ignoring still end it as a quit.

#include <gtest/gtest.h>

#include <sys/types.h>

#include <QProcess>

#include <csignal>
#include <memory>

#include "HarnessProcess.h"

namespace {

// A running copy with unsaved work, started with `number` ignored as nohup
// or a shell leaves it: the disposition is inherited through fork and exec.
std::unique_ptr<QProcess> startIgnoring(int number, QString& output) {
  struct sigaction ignore {}, before {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(number, &ignore, &before);
  auto copy = startHarness({"hold", "4096"});
  const bool started = copy->waitForStarted(60000);
  sigaction(number, &before, nullptr);
  EXPECT_TRUE(started);
  while (!output.contains('\n') && copy->waitForReadyRead(120000))
    output += QString::fromUtf8(copy->readAllStandardOutput());
  EXPECT_TRUE(output.contains(" modified=1")) << output.toStdString();
  return copy;
}

}  // namespace

TEST(IgnoredQuitSignal, ASignalIgnoredAtTheStartLeavesTheCopyRunningAndTheOthersStillQuit) {
  for (int number : {SIGHUP, SIGINT}) {
    SCOPED_TRACE(number);
    QString output;
    const auto copy = startIgnoring(number, output);
    const auto pid = static_cast<pid_t>(copy->processId());
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, number), 0);
    // Caught, the signal ends the copy within a moment (exit 129 or 130).
    if (copy->waitForFinished(1500)) {
      ADD_FAILURE() << "ended by the ignored signal: exit " << copy->exitCode();
      continue;
    }
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(copy->waitForFinished(120000));
    output += QString::fromUtf8(copy->readAllStandardOutput());
    EXPECT_EQ(copy->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy->exitCode(), 128 + SIGTERM) << output.toStdString();
  }
}
