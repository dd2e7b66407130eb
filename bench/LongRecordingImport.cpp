// bench-deps: qmaudio astcore kelo rubeato mzcommon PkgConfig::SNDFILE Qt5::Core
// Measuring program, not part of the program: the import of a recording
// longer than the analysis takes, with real audio on the disk.
//
//   LongRecordingImport [DIR] [--minutes N] [--keep]
//
// Writes DIR/longN.wav (default DIR: a folder under the temporary folder;
// N = 61), a 16-bit stereo 44100 Hz click track at 120 BPM, then imports it
// as the program does (the analysis worker, which writes the ".awi" beside
// the recording) and prints what the import says: its result code, its
// message, whether an ".awi" was left, how many times the onset detector
// printed "interval buffer overflow!" (its output is caught while the
// import runs), and the seconds the writing and the import took. The
// recording and anything written beside it are removed afterwards unless
// --keep is given.

#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryFile>

#include "AnalysedWaveName.h"
#include "TempWaveFiles.h"
#include "anaThreadObj.h"
#include "audioFileMngr.h"

namespace {

constexpr int kRate = 44100;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A click (2 ms, decaying) on every beat at 120 BPM, louder on every
// fourth, written a second at a time.
bool writeClickTrack(const QString& path, int minutes) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  if (!file) return false;
  std::vector<short> second(2 * kRate);
  const int clickFrames = kRate / 500;
  bool ok = true;
  for (long s = 0; s < 60L * minutes && ok; ++s) {
    std::fill(second.begin(), second.end(), short{0});
    for (int half = 0; half < 2; ++half) {
      const long beat = 2 * s + half;
      const double level = beat % 4 == 0 ? 24000.0 : 12000.0;
      for (int i = 0; i < clickFrames; ++i) {
        const auto v = static_cast<short>(level * (1.0 - static_cast<double>(i) / clickFrames) * ((i % 2) ? -1 : 1));
        second[2 * (half * kRate / 2 + i)] = v;
        second[2 * (half * kRate / 2 + i) + 1] = v;
      }
    }
    ok = sf_writef_short(file, second.data(), kRate) == kRate;
  }
  sf_close(file);
  return ok;
}

// Catches what the program prints on the standard output while it runs.
class StdoutCatcher {
 public:
  StdoutCatcher() {
    std::fflush(stdout);
    if (!sink.open()) return;
    saved = dup(STDOUT_FILENO);
    dup2(sink.handle(), STDOUT_FILENO);
  }
  // The caught text; the standard output is restored.
  QByteArray release() {
    std::fflush(stdout);
    if (saved >= 0) {
      dup2(saved, STDOUT_FILENO);
      close(saved);
      saved = -1;
    }
    sink.seek(0);
    return sink.readAll();
  }

 private:
  QTemporaryFile sink;
  int saved = -1;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString dir = QDir::tempPath() + "/quillmere-long-import";
  int minutes = 61;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--minutes" && i + 1 < argc) {
      minutes = std::atoi(argv[++i]);
    } else if (arg == "--keep") {
      keep = true;
    } else {
      dir = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (minutes < 1 || !QDir().mkpath(dir)) {
    std::cerr << "usage: LongRecordingImport [DIR] [--minutes N >= 1] [--keep]\n";
    return 2;
  }
  const QString audio = QDir(dir).absoluteFilePath(QString("long%1.wav").arg(minutes));
  const QString awi = AnalysedWaveName::pathFor(audio);
  QFile::remove(awi);

  auto start = std::chrono::steady_clock::now();
  if (!writeClickTrack(audio, minutes)) {
    std::cerr << "cannot write " << audio.toStdString() << "\n";
    return 1;
  }
  const double writing = secondsSince(start);

  anaThreadObj worker(audioFileMngr::create());
  StdoutCatcher catcher;
  start = std::chrono::steady_clock::now();
  const ResultCode code = worker.analyzeProcTh({}, {audio});
  const double importing = secondsSince(start);
  const QByteArray printed = catcher.release();

  std::printf("recording          %s (%d min, %.0f MB)\n", audio.toUtf8().constData(), minutes,
              QFileInfo(audio).size() / 1e6);
  std::printf("written in         %.2f s\n", writing);
  std::printf("import result      %llx\n", static_cast<unsigned long long>(code));
  std::printf("import message     %s\n", worker.errorString().toUtf8().constData());
  std::printf(".awi left          %s\n", QFileInfo::exists(awi) ? "yes" : "no");
  std::printf("overflow lines     %d\n", printed.count("interval buffer overflow!"));
  std::printf("import took        %.2f s\n", importing);

  if (!keep) {
    QFile::remove(audio);
    QFile::remove(awi);
  }
  TempWaveFiles::removeWorkFolder();
  return 0;
}
