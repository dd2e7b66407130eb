// bench-deps: astcore
// Times a style export of a project with six used sections of 8 bars each,
// cut from a generated 100-second recording at 120 BPM and stretched to a
// project tempo of 110: the rendering of the sections and the writing of
// the style file, each over several runs. Beside the wall-clock times the
// thread's own CPU time is given, which a busy machine disturbs less.
//
// Run from the build's bin/ folder (the template lies in ../Resources).

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "AnalysisUtil.h"
#include "CASTcore.h"
#include "TempWaveFiles.h"

namespace {

constexpr int kRate = 44100;
constexpr std::uint64_t kBeat = kRate / 2;  // 120 BPM

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

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
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
  std::vector<double> render, write, renderCpu, writeCpu;
  for (int run = 0; run < runs; ++run) {
    CASTcore core;
    core.setPath(0, 255, dir);
    auto* wave = new WavInfo;
    wave->fileName = L"music.wav";
    for (int k = 0; k <= 400; ++k) wave->beatTime.push_back(0.25f * k);
    wave->onsetTime = {0.0f, 100.0f};
    core.addWavList(wave);
    const std::uint8_t usedSlots[6] = {0, 3, 4, 5, 6, 12};
    for (int i = 0; i < 6; ++i) {
      SecInfo s;
      s.used = 1;
      s.wavNo = 0;
      s.startAdrs = static_cast<std::uint64_t>(i) * 32 * kBeat;
      s.endAdrs = s.startAdrs + 32 * kBeat;
      if (Result::failed(core.setSecInfo(usedSlots[i], s))) return 1;
    }
    core.updateTempo(110);
    core.setStyleParam1(256);

    const double c0 = threadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    for (std::uint8_t slot : usedSlots) {
      std::uint8_t ratio = 0;
      if (Result::failed(core.renderAudition(slot, &ratio)) || ratio) {
        std::fprintf(stderr, "rendering failed: %s\n", qPrintable(core.lastError));
        return 1;
      }
    }
    const auto t1 = std::chrono::steady_clock::now();
    const double c1 = threadCpuSeconds();
    std::uint64_t written = 0;
    std::uint16_t attack = 0, beat = 0, sync = 0;
    const ResultCode rc =
        core.exportStyle((dir + "/bench.aus").toStdWString(), &written, &attack, &beat, &sync);
    const auto t2 = std::chrono::steady_clock::now();
    const double c2 = threadCpuSeconds();
    if (Result::failed(rc)) {
      std::fprintf(stderr, "export failed: %llx %s\n", static_cast<unsigned long long>(rc), qPrintable(core.lastError));
      return 1;
    }
    render.push_back(seconds(t1 - t0));
    write.push_back(seconds(t2 - t1));
    renderCpu.push_back(c1 - c0);
    writeCpu.push_back(c2 - c1);
    if (run == 0) std::printf("style file: %llu bytes\n", static_cast<unsigned long long>(written));
  }
  auto report = [](const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-28s min %.3f s  median %.3f s  max %.3f s\n", what, v.front(), v[v.size() / 2], v.back());
  };
  report("rendering (6 sections)", render);
  report("writing the style file", write);
  report("rendering, CPU time", renderCpu);
  report("writing, CPU time", writeCpu);
  return 0;
}
