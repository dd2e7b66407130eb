#include "SoundFile.h"

#include <QFile>
#include <QString>

SNDFILE* openSoundFile(const std::wstring& path, int mode, SF_INFO& info) {
  // The name goes to the file system the way Qt gave it to us: a name whose
  // bytes are not UTF-8 (valid in a Latin-1 locale) must still open.
  const QByteArray local = QFile::encodeName(QString::fromStdWString(path));
  return sf_open(local.constData(), mode, &info);
}

SF_INFO workCopyFormat() {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  info.sections = 1;
  return info;
}
