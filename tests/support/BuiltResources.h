#pragma once
// The application's own resources ("Empty.sty", "Metro1.wav", ...) as the
// build places them beside the test executables.

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

inline QString resourcePath(const QString& name) {
  return QCoreApplication::applicationDirPath() + "/../Resources/" + name;
}

// The resource's bytes; empty when the build did not make it.
inline std::vector<std::uint8_t> resourceBytes(const QString& name) {
  QFile file(resourcePath(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray all = file.readAll();
  return std::vector<std::uint8_t>(all.begin(), all.end());
}
