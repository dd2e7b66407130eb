#include "SoundFile.h"

#include <QString>

SNDFILE* openSoundFile(const std::wstring& path, int mode, SF_INFO& info) {
  const QByteArray utf8 = QString::fromStdWString(path).toUtf8();
  return sf_open(utf8.constData(), mode, &info);
}

SF_INFO workCopyFormat() {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  info.sections = 1;
  return info;
}
