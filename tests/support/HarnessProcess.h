#pragma once
// The harness program (tests/apprun) started as a process of its own, with
// the test's environment (its temporary folder is the test's own), the
// offscreen platform and the virtual audio device.

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <memory>

inline std::unique_ptr<QProcess> startHarness(const QStringList& arguments) {
  auto process = std::make_unique<QProcess>();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QUILLMERE_AUDIO_BACKEND", "virtual");
  process->setProcessEnvironment(env);
  process->start(QCoreApplication::applicationDirPath() + "/app_harness", arguments);
  return process;
}
