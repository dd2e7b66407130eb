#include "SoundFile.h"

#include <QFile>
#include <QString>

#include "RegularFile.h"

SNDFILE* openSoundFile(const std::wstring& path, int mode, SF_INFO& info) {
  // The name goes to the file system the way Qt gave it to us: a name whose
  // bytes are not UTF-8 (valid in a Latin-1 locale) must still open.
  const QString name = QString::fromStdWString(path);
  if (mode == SFM_READ) {
    // A user's recording: a FIFO or a device under its name is refused,
    // never waited on. libsndfile closes the descriptor, on failure too.
    const int fd = RegularFile::openForReading(name);
    return fd < 0 ? nullptr : sf_open_fd(fd, mode, &info, SF_TRUE);
  }
  return sf_open(QFile::encodeName(name).constData(), mode, &info);
}

SF_INFO workCopyFormat() {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  info.sections = 1;
  return info;
}
