// bench-deps: astcore
// Times the writing of a style file alone (attack, beat and sync points,
// template, audio chunks, the file) from section waves rendered before, so
// that a profile of the writing is not drowned by the rendering. The waves
// are the "AST_temp_<section>.wav" files that ExportBench keeps beside its
// style file; the sections are those of ExportBench: 8 bars of 4/4 at
// 110 BPM in the slots Intro 1, Main A to Main D and Ending 1. Beside the
// wall-clock time the process's CPU time is given; run under `taskset -c N`
// for the figures of one core.
//
// Run from the build's bin/ folder (the template lies in ../Resources).
// Arguments: folder of the section waves, [runs], [a path to keep a copy of
// the style file at].

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "DefaultAnalysisInfoText.h"
#include "IF_styMngr.h"
#include "TempWaveFiles.h"
#include "styMngr.h"

namespace {

const std::vector<std::uint8_t> kUsedSlots = {0, 3, 4, 5, 6, 12};
constexpr std::uint64_t kBars = 8;
constexpr std::uint64_t kTempo = 110;
constexpr std::uint64_t kAttackLimit = 256;  // what the main window sets before an export

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Frames of a 16-bit stereo wave: its "data" chunk's size over 4.
std::uint64_t waveFrames(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray head = f.read(12);
  if (head.size() < 12 || !head.startsWith("RIFF")) return 0;
  for (;;) {
    const QByteArray chunk = f.read(8);
    if (chunk.size() < 8) return 0;
    const auto size = static_cast<std::uint32_t>(static_cast<std::uint8_t>(chunk[4])) |
                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(chunk[5])) << 8 |
                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(chunk[6])) << 16 |
                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(chunk[7])) << 24;
    if (chunk.startsWith("data")) return size / 4;
    if (!f.seek(f.pos() + size + (size & 1))) return 0;
  }
}

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: StyleWriteBench WAVE_FOLDER [runs] [STYLE_COPY]\n");
    return 2;
  }
  const QString waves = QString::fromLocal8Bit(argv[1]);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const QString templatePath = QCoreApplication::applicationDirPath() + "/../Resources/Empty.sty";
  QTemporaryDir work;
  const QString out = work.path() + "/bench.aus";

  ExportSectionInfo info;
  info.tempo = kTempo;
  for (std::uint8_t slot : kUsedSlots) {
    const QString path = TempWaveFiles::sectionPath(waves, slot);
    info.length[slot] = waveFrames(path);
    info.bars[slot] = kBars;
    if (info.length[slot] == 0) {
      std::fprintf(stderr, "no section wave at %s\n", qPrintable(path));
      return 1;
    }
  }
  const std::string text = DefaultAnalysisInfoText::text();

  std::vector<double> wall, cpu;
  QByteArray reference;
  for (int run = 0; run < runs; ++run) {
    std::unique_ptr<IF_styMngr> manager(styMngr::create());
    manager->setTemplatePath(templatePath);
    manager->setMaxAttackPoints(kAttackLimit);
    std::uint64_t written = 0;
    std::uint16_t attack = 0, beat = 0, sync = 0;
    const double c0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    // As the core hands the sections over on an export.
    manager->resetStyle();
    for (std::uint8_t slot : kUsedSlots) {
      const std::string name = utf8(TempWaveFiles::sectionBaseName(slot));
      const std::string path = utf8(TempWaveFiles::sectionPath(waves, slot));
      std::uint8_t volume = 80, pan = 64, reverb = 0;
      const ResultCode rc = manager->setSectionAudio(
          reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
          reinterpret_cast<const std::uint8_t*>(name.data()), name.size(),
          reinterpret_cast<const std::uint8_t*>(path.data()), path.size(), manager->getAudioSectionNumber(slot),
          &volume, &pan, &reverb);
      if (Result::failed(rc)) {
        std::fprintf(stderr, "section %d not taken: %llx\n", slot, static_cast<unsigned long long>(rc));
        return 1;
      }
    }
    ResultCode rc = manager->setSectionFormats(info);
    if (!Result::failed(rc)) rc = manager->writeStyleFile(out.toStdWString(), &written, &attack, &beat, &sync);
    cpu.push_back(processCpuSeconds() - c0);
    wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    if (Result::failed(rc)) {
      std::fprintf(stderr, "writing failed: %llx %s\n", static_cast<unsigned long long>(rc),
                   qPrintable(manager->lastError()));
      return 1;
    }
    QFile f(out);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (reference.isEmpty()) {
      reference = bytes;
      if (argc > 3) QFile::copy(out, QString::fromLocal8Bit(argv[3]));
      std::printf("style file: %llu bytes\n", static_cast<unsigned long long>(written));
    } else if (bytes != reference) {
      std::fprintf(stderr, "the style file differs between runs\n");
      return 1;
    }
  }
  auto report = [](const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-30s min %.3f s  median %.3f s  max %.3f s\n", what, v.front(), v[v.size() / 2], v.back());
  };
  report("writing the style file, wall", wall);
  report("writing the style file, CPU", cpu);
  return 0;
}
