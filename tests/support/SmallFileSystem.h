#pragma once

// A file system that really runs out of space, for the tests of what a full
// disk does: the test runs again in a child process with user and mount
// namespaces of its own (`unshare -rm`), where it may mount a small tmpfs
// without being root. Where the system lets a process make no such
// namespace, the test is skipped.
//
//   TEST(Suite, Name) {
//     if (!TestEnv::inSmallFileSystemChild("Suite.Name")) return;
//     QString folder = ...;
//     if (!TestEnv::mountSmallFileSystem(folder, "size=256k")) return;
//     ... the checks, in the child ...
//   }

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace TestEnv {

namespace detail {

constexpr char kSmallFileSystemChild[] = "QM_SMALL_FILE_SYSTEM_CHILD";
constexpr char kMounted[] = "[small tmpfs mounted]";

// Runs the test in the child and reports its verdict as this test's own.
inline void runInChild(const char* testName) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(kSmallFileSystemChild, "1");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start("unshare", {"-rm", "--", QCoreApplication::applicationFilePath(),
                          QString("--gtest_filter=%1").arg(testName)});
  if (!child.waitForStarted(10000)) GTEST_SKIP() << "no unshare here";
  ASSERT_TRUE(child.waitForFinished(120000));
  const QString out = QString::fromLocal8Bit(child.readAll());
  if (!out.contains(kMounted)) GTEST_SKIP() << "no mount namespace here: " << out.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}

}  // namespace detail

// True in the child, where the test's body goes on; in the parent it runs
// the child, takes over its verdict and returns false.
inline bool inSmallFileSystemChild(const char* testName) {
  if (qEnvironmentVariableIsSet(detail::kSmallFileSystemChild)) return true;
  detail::runInChild(testName);
  return false;
}

// In the child: mounts a tmpfs of the given options (such as "size=1m") on
// the folder. False (and the test ends unjudged, which the parent reads as
// a skip) where the mount is refused.
inline bool mountSmallFileSystem(const QString& folder, const char* options) {
  if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options) != 0) {
    std::printf("mount: %s\n", std::strerror(errno));
    return false;
  }
  std::printf("%s\n", detail::kMounted);
  std::fflush(stdout);
  return true;
}

}  // namespace TestEnv
