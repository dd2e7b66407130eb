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
  return QString::fromLocal8Bit(std::strerror(errno));
}

}  // namespace WholeWrite
