#include "WholeWrite.h"

#include <cerrno>
#include <cstring>

namespace WholeWrite {

bool writeAll(QFileDevice& file, const char* data, qint64 size) {
  qint64 done = 0;
  while (done < size) {
    const qint64 n = file.write(data + done, size - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

QString reason(const QFileDevice& file) {
  if (file.error() != QFileDevice::NoError && !file.errorString().isEmpty()) return file.errorString();
  return reason(errno);
}

QString reason(int systemError) { return QString::fromLocal8Bit(std::strerror(systemError)); }

QString cannotCreate(const QString& path, const QString& why) {
  return QString("Cannot create \"%1\": %2").arg(path, why);
}

QString cannotWrite(const QString& path, const QString& why) {
  return QString("Cannot write \"%1\": %2").arg(path, why);
}

}  // namespace WholeWrite
