// bench-deps: astcore qmaudio
// Times a style export of a project with six used sections of 8 bars each,
// cut from a generated 100-second recording at 120 BPM and stretched to a
// project tempo of 110, over several runs: the rendering of the sections one
// after the other and side by side, and the writing of the style file
// (attack and sync points, chunks, file). Beside the wall-clock times the
// process's CPU time (all threads) is given; run under `taskset -c N` for
// the figures of one core. Every run checks that the side-by-side rendering
// wrote the same style file bytes as the one-by-one rendering. Last, a
// stop is given half-way through a side-by-side rendering and the time it
// takes the rendering to end is printed.
//
// Run from the build's bin/ folder (the template lies in ../Resources).
// With the first argument "long" it exports instead a project of all 15
// slots, each on a recording of its own of [minutes] (10) minutes, as the
// export does it: the recordings checked again, each copied to the work
// copy before its sections are rendered side by side, then the style
// written; it prints the times and the process's peak memory (max RSS, to be read together with
// `/usr/bin/time -v`), and keeps the style file at [path] when one is given.
// With "long-one" the 15 slots are cut from one recording of [minutes]
// instead, as when a user takes every phrase from one song.
// Run it in a process of its own: the peak is that of the whole process.
// With "open" it saves the project of "long" instead and times its opening
// as the window does it: the project file read, then the audio of each of
// its 15 recordings measured (the fingerprint a swapped take is told by),
// over three runs with the recordings in the page cache.
// Otherwise the arguments are: [runs] [threads for the side-by-side rendering, 0 = the
// program's own choice (all six at once on up to twice as many processors
// as sections)] [a path to keep a copy of the style file at; the sections'
// working waves are kept beside it]. Each run's figures are printed as it
// ends, the summary after the last.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "RecordingCheck.h"
#include "TempWaveFiles.h"
#include "audioFileMngr.h"

namespace {

constexpr int kRate = 44100;
constexpr std::uint64_t kBeat = kRate / 2;  // 120 BPM
const std::vector<std::uint8_t> kUsedSlots = {0, 3, 4, 5, 6, 12};

// Drum-like hits on every beat over a chord of three tones.
std::vector<std::uint8_t> music(double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<std::uint8_t> bytes(frames * 4);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double sinceBeat = std::fmod(t, 0.5);
    const double hit = std::exp(-sinceBeat * 40.0) * noise(gen) * 0.5;
    const double chord = 0.12 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t) +
                                 std::sin(2 * M_PI * 329.6 * t));
    const auto v = static_cast<std::int16_t>(std::lround(std::clamp(hit + chord, -1.0, 1.0) * 30000));
    for (int c = 0; c < 2; ++c) {
      bytes[4 * i + 2 * c] = static_cast<std::uint8_t>(v & 0xFF);
      bytes[4 * i + 2 * c + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    }
  }
  return bytes;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Wall and CPU seconds of one timed step.
struct Timing {
  std::vector<double> wall, cpu;
  template <typename F>
  auto measure(F&& step) {
    const double c0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    auto result = step();
    wall.push_back(seconds(std::chrono::steady_clock::now() - t0));
    cpu.push_back(processCpuSeconds() - c0);
    return result;
  }
};

bool setUpProject(CASTcore& core, const QString& dir) {
  core.setPath(0, 255, dir);
  auto* wave = new WavInfo;
  wave->fileName = L"music.wav";
  for (int k = 0; k <= 400; ++k) wave->beatTime.push_back(0.25f * k);
  wave->onsetTime = {0.0f, 100.0f};
  core.addWavList(wave);
  for (std::size_t i = 0; i < kUsedSlots.size(); ++i) {
    SecInfo s;
    s.used = 1;
    s.wavNo = 0;
    s.startAdrs = static_cast<std::uint64_t>(i) * 32 * kBeat;
    s.endAdrs = s.startAdrs + 32 * kBeat;
    if (Result::failed(core.setSecInfo(kUsedSlots[i], s))) return false;
  }
  core.updateTempo(110);
  core.setStyleParam1(256);
  return true;
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// --- Fifteen slots on fifteen long recordings ---

// One bar where a fill-in or the break allows no more, eight elsewhere.
std::uint16_t barsOfSlot(std::uint8_t slot) { return slot >= 7 && slot <= 11 ? 1 : 8; }

void putLittleEndian(QByteArray& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// `seconds` of music like the one above, its chord a little higher for each
// `index`, as a 16-bit stereo WAV, written a block at a time so that making
// it adds nothing to the process's peak memory.
bool writeLongRecording(const QString& path, double seconds, int index) {
  const auto frames = static_cast<std::uint64_t>(seconds * kRate);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QByteArray header("RIFF");
  putLittleEndian(header, static_cast<std::uint32_t>(36 + frames * 4), 4);
  header.append("WAVEfmt ");
  putLittleEndian(header, 16, 4);
  putLittleEndian(header, 1, 2);
  putLittleEndian(header, 2, 2);
  putLittleEndian(header, kRate, 4);
  putLittleEndian(header, kRate * 4, 4);
  putLittleEndian(header, 4, 2);
  putLittleEndian(header, 16, 2);
  header.append("data");
  putLittleEndian(header, static_cast<std::uint32_t>(frames * 4), 4);
  if (file.write(header) != header.size()) return false;
  std::mt19937 gen(static_cast<unsigned>(11 + index));
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double lift = 1.0 + index / 30.0;
  QByteArray block;
  for (std::uint64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hit = std::exp(-std::fmod(t, 0.5) * 40.0) * noise(gen) * 0.5;
    const double chord = 0.12 * (std::sin(2 * M_PI * 220 * lift * t) + std::sin(2 * M_PI * 277.2 * lift * t) +
                                 std::sin(2 * M_PI * 329.6 * lift * t));
    const auto v = static_cast<std::int16_t>(std::lround(std::clamp(hit + chord, -1.0, 1.0) * 30000));
    putLittleEndian(block, static_cast<std::uint16_t>(v), 2);
    putLittleEndian(block, static_cast<std::uint16_t>(v), 2);
    if (block.size() >= (1 << 20) || i + 1 == frames) {
      if (file.write(block) != block.size()) return false;
      block.clear();
    }
  }
  return true;
}

// Slot n on recording n, its range at a place of its own in the recording.
bool setUpLongProject(CASTcore& core, const QString& dir, const std::vector<QString>& recordings, double seconds) {
  core.setPath(0, 255, dir);
  const auto beats = static_cast<int>(seconds * 2);
  for (const QString& recording : recordings) {
    auto* wave = new WavInfo;
    wave->fileName = recording.toStdWString();
    for (int k = 0; k <= 2 * beats; ++k) wave->beatTime.push_back(0.25f * k);
    wave->onsetTime = {0.0f, static_cast<float>(seconds)};
    if (Result::failed(core.addWavList(wave))) return false;
  }
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    SecInfo s;
    s.used = 1;
    s.wavNo = static_cast<std::uint8_t>(slot % recordings.size());
    const std::uint64_t length = 4ull * barsOfSlot(slot) * kBeat;
    const std::uint64_t room = static_cast<std::uint64_t>(beats - 8) * kBeat - length;
    s.startAdrs = (static_cast<std::uint64_t>(slot) * 77 * kRate) % room / kBeat * kBeat;
    s.endAdrs = s.startAdrs + length;
    if (Result::failed(core.setSecInfo(slot, s))) return false;
  }
  core.updateTempo(110);
  core.setStyleParam1(256);
  return true;
}

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int exportLongRecordings(int argc, char** argv, int recordingCount) {
  const double minutes = argc > 2 ? std::max(0.5, std::atof(argv[2])) : 10.0;
  const double length = minutes * 60.0;
  QTemporaryDir work;
  const QString dir = work.path();
  std::vector<QString> recordings;
  for (int i = 0; i < recordingCount; ++i) {
    recordings.push_back(dir + QString("/take%1.wav").arg(i + 1));
    if (!writeLongRecording(recordings.back(), length, i)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(recordings.back()));
      return 1;
    }
  }
  const long before = peakResidentKiB();
  CASTcore core;
  if (!setUpLongProject(core, dir, recordings, length)) return 1;
  // As the export's preparation does it: each recording's work copy made
  // before the sections on it are rendered.
  auto copyRecording = [&core, &dir](std::uint8_t slot) -> ResultCode {
    SecInfo* sec = nullptr;
    WavInfo* wave = nullptr;
    if (Result::failed(core.getSecWave(slot, &sec, &wave)) || !sec || !wave) return Result::fail(1);
    std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
    if (!files) return Result::fail(2);
    return files->copyFile(wave->fileName, TempWaveFiles::sourcePath(dir));
  };
  std::vector<std::uint8_t> allSlots(15);
  for (std::uint8_t slot = 0; slot < 15; ++slot) allSlots[slot] = slot;
  Timing check, render, write;
  // The export's preparation first checks every section's recording again.
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  if (!files) return 1;
  const ResultCode unchanged = check.measure([&] { return RecordingCheck::checkSections(core, *files); });
  if (Result::failed(unchanged)) {
    std::fprintf(stderr, "check failed: %s\n", qPrintable(core.lastError));
    return 1;
  }
  std::printf("checking the recordings %.2f ms\n", 1000.0 * check.wall.back());
  std::uint8_t ratio = 0;
  const ResultCode rendered = render.measure([&] { return core.renderSections(allSlots, copyRecording, &ratio); });
  if (Result::failed(rendered) || ratio) {
    std::fprintf(stderr, "rendering failed: %llx %s\n", static_cast<unsigned long long>(rendered),
                 qPrintable(core.lastError));
    return 1;
  }
  std::uint64_t written = 0;
  std::uint16_t attack = 0, beat = 0, sync = 0;
  const QString path = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir + "/long.aus";
  const ResultCode rc =
      write.measure([&] { return core.exportStyle(path.toStdWString(), &written, &attack, &beat, &sync); });
  if (Result::failed(rc)) {
    std::fprintf(stderr, "export failed: %llx %s\n", static_cast<unsigned long long>(rc), qPrintable(core.lastError));
    return 1;
  }
  std::printf("15 slots on %d recording(s) of %.1f min: style file %llu bytes\n", recordingCount, minutes,
              static_cast<unsigned long long>(written));
  std::printf("rendering side by side %.3f s (CPU %.3f s), writing %.3f s (CPU %.3f s), whole export %.3f s\n",
              render.wall.back(), render.cpu.back(), write.wall.back(), write.cpu.back(),
              render.wall.back() + write.wall.back());
  std::printf("peak memory (max RSS): %ld KiB before the export, %ld KiB after it\n", before, peakResidentKiB());
  return 0;
}

int openLongProject(int argc, char** argv) {
  const double minutes = argc > 2 ? std::max(0.5, std::atof(argv[2])) : 10.0;
  QTemporaryDir work;
  const QString dir = work.path();
  std::vector<QString> recordings;
  for (int i = 0; i < 15; ++i) {
    recordings.push_back(dir + QString("/take%1.wav").arg(i + 1));
    if (!writeLongRecording(recordings.back(), minutes * 60.0, i)) return 1;
  }
  const QString project = dir + "/long.qmproj";
  {
    CASTcore core;
    if (!setUpLongProject(core, dir, recordings, minutes * 60.0) ||
        Result::failed(core.saveProject(project.toStdWString())))
      return 1;
  }
  std::unique_ptr<IF_audioFileMngr> files(audioFileMngr::create());
  if (!files) return 1;
  Timing read, measure;
  for (int run = 0; run < 3; ++run) {
    CASTcore core;
    if (Result::failed(read.measure([&] { return core.openProject(project.toStdWString()); }))) return 1;
    const ResultCode measured = measure.measure([&] {
      for (const auto& wave : core.getAllInfo().waves()) {
        RecordingFingerprint audio;
        const ResultCode rc = files->fingerprint(wave->fileName, audio);
        if (Result::failed(rc)) return rc;
      }
      return Result::kOk;
    });
    if (Result::failed(measured)) return 1;
    std::printf("run %d: project read %.2f ms, 15 recordings of %.1f min measured %.3f s (CPU %.3f s)\n", run + 1,
                1000.0 * read.wall.back(), minutes, measure.wall.back(), measure.cpu.back());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The core's trace lines and the engine's length notes would drown the figures.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
  });
  if (argc > 1 && std::string(argv[1]) == "long") return exportLongRecordings(argc, argv, 15);
  if (argc > 1 && std::string(argv[1]) == "long-one") return exportLongRecordings(argc, argv, 1);
  if (argc > 1 && std::string(argv[1]) == "open") return openLongProject(argc, argv);
  QTemporaryDir work;
  const QString dir = work.path();
  const std::vector<std::uint8_t> audio = music(100.0);
  AnalysisUtil util;
  if (Result::failed(util.writeWavFile(TempWaveFiles::sourcePath(dir).toStdWString(), audio.data(),
                                       static_cast<std::uint32_t>(audio.size())))) {
    std::fprintf(stderr, "cannot write the recording\n");
    return 1;
  }

  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::max(0, std::atoi(argv[2]))) : 0;
  Timing renderOne, renderMany, write;
  QByteArray reference;
  for (int run = 0; run < runs; ++run) {
    for (const bool sideBySide : {false, true}) {
      CASTcore core;
      if (!setUpProject(core, dir)) return 1;
      std::uint8_t ratio = 0;
      Timing& render = sideBySide ? renderMany : renderOne;
      const ResultCode rendered = render.measure(
          [&] { return core.renderSections(kUsedSlots, nullptr, &ratio, nullptr, sideBySide ? threads : 1); });
      if (Result::failed(rendered) || ratio) {
        std::fprintf(stderr, "rendering failed: %s\n", qPrintable(core.lastError));
        return 1;
      }
      std::uint64_t written = 0;
      std::uint16_t attack = 0, beat = 0, sync = 0;
      const QString path = dir + "/bench.aus";
      const ResultCode rc = write.measure(
          [&] { return core.exportStyle(path.toStdWString(), &written, &attack, &beat, &sync); });
      if (Result::failed(rc)) {
        std::fprintf(stderr, "export failed: %llx %s\n", static_cast<unsigned long long>(rc),
                     qPrintable(core.lastError));
        return 1;
      }
      const QByteArray bytes = readFile(path);
      if (reference.isEmpty()) {
        reference = bytes;
        if (argc > 3) {
          const QString kept = QString::fromLocal8Bit(argv[3]);
          QFile::copy(path, kept);
          for (std::uint8_t slot : kUsedSlots) {
            const QString wave = TempWaveFiles::sectionPath(dir, slot);
            QFile::copy(wave, QFileInfo(kept).dir().filePath(QFileInfo(wave).fileName()));
          }
        }
        std::printf("style file: %llu bytes\n", static_cast<unsigned long long>(written));
      } else if (bytes != reference) {
        std::fprintf(stderr, "the style file differs between runs\n");
        return 1;
      }
    }
    std::printf("run %d: one by one %.3f s (CPU %.3f s), side by side %.3f s (CPU %.3f s), writing %.3f s "
                "(CPU %.3f s), whole export %.3f s\n",
                run + 1, renderOne.wall.back(), renderOne.cpu.back(), renderMany.wall.back(), renderMany.cpu.back(),
                write.wall.back(), write.cpu.back(), renderMany.wall.back() + write.wall.back());
  }
  auto report = [](const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-36s min %.3f s  median %.3f s  max %.3f s\n", what, v.front(), v[v.size() / 2], v.back());
  };
  report("rendering one by one, wall", renderOne.wall);
  report("rendering one by one, CPU", renderOne.cpu);
  report("rendering side by side, wall", renderMany.wall);
  report("rendering side by side, CPU", renderMany.cpu);
  report("writing the style file, wall", write.wall);
  report("writing the style file, CPU", write.cpu);
  report("whole export side by side, wall", [&] {
    std::vector<double> sum;
    for (std::size_t i = 0; i < renderMany.wall.size(); ++i) {
      sum.push_back(renderMany.wall[i] + write.wall[2 * i + 1]);
    }
    return sum;
  }());

  // A stop half-way through the side-by-side rendering: how long the
  // rendering takes to end after it.
  {
    CASTcore core;
    if (!setUpProject(core, dir)) return 1;
    std::atomic<std::uint8_t> stop{0};
    std::uint8_t ratio = 0;
    ResultCode stopped = 0;
    std::chrono::steady_clock::time_point ended;
    std::thread rendering([&] {
      stopped = core.renderSections(kUsedSlots, nullptr, &ratio, &stop, threads);
      ended = std::chrono::steady_clock::now();
    });
    const double half = renderMany.wall.empty() ? 0.5 : renderMany.wall.front() / 2;
    std::this_thread::sleep_for(std::chrono::duration<double>(half));
    const auto pressed = std::chrono::steady_clock::now();
    stop = 1;
    rendering.join();
    std::printf("stop %.3f s into the rendering: ended %.1f ms later (code %llx)\n", half,
                1000.0 * seconds(ended - pressed), static_cast<unsigned long long>(stopped));
  }
  return 0;
}
