// bench-deps: kelo beat mzcommon
// The chord and key engine stage of an import over a generated 4-minute
// song at 44100 Hz (kick, snare, hats, bass and chord tones at 120 BPM,
// G C D Em changing every bar), set up and fed as the song analysis feeds
// it: KeloSemiOffline with the program's lag, 180-sample mono blocks, two
// partial decodes and the final analysis with every callback set.
// "x_realtime" is seconds of audio analysed per second; "engine_peak_MiB"
// is the peak resident memory above what the process held before the
// engine ran (the song itself included there), "peak_rss_MiB" the
// process's peak.

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "KeloSemiOffline.h"

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 240.0;

const std::vector<float>& monoSong() {
  static const std::vector<float> song = [] {
    const size_t frames = static_cast<size_t>(kSeconds * kRate);
    std::vector<float> s(frames);
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const double beat = 0.5;
    const int roots[4] = {7, 0, 2, 4};  // G C D Em
    for (size_t f = 0; f < frames; ++f) {
      const double t = static_cast<double>(f) / kRate;
      const double inBeat = std::fmod(t, beat);
      const int beatNo = static_cast<int>(t / beat);
      const int root = roots[(beatNo / 4) % 4];
      const double third = root == 4 ? 3.0 : 4.0;
      const double hz = 130.81 * std::pow(2.0, root / 12.0);
      const double kick = (beatNo % 2 == 0) ? 0.6 * std::exp(-inBeat * 30.0) * std::sin(2 * M_PI * 55.0 * inBeat) : 0.0;
      const double snare = (beatNo % 2 == 1) ? 0.3 * std::exp(-inBeat * 40.0) * noise(gen) : 0.0;
      const double hat = 0.08 * std::exp(-std::fmod(t, beat / 2) * 120.0) * noise(gen);
      const double bass = 0.2 * std::sin(M_PI * hz * t);
      const double env = std::exp(-inBeat * 3.0);
      const double pad = 0.15 * env *
                         (std::sin(4 * M_PI * hz * t) + std::sin(4 * M_PI * hz * std::pow(2.0, third / 12.0) * t) +
                          std::sin(4 * M_PI * hz * std::pow(2.0, 7.0 / 12.0) * t));
      s[f] = static_cast<float>(kick + snare + hat + bass + pad);
    }
    return s;
  }();
  return song;
}

double residentMiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Counts {
  long tatums = 0, chords = 0, bars = 0, keys = 0, done = 0;
};
int onChord(kelo::t_chord, double, void* u) { return ++static_cast<Counts*>(u)->chords, 0; }
int onBarline(kelo::t_barline, double, void* u) { return ++static_cast<Counts*>(u)->bars, 0; }
int onTatum(kelo::t_tatum, void* u) { return ++static_cast<Counts*>(u)->tatums, 0; }
int onBeat(kelo::t_beat, double, void*) { return 0; }
int onKeysig(kelo::t_keysig, double, void* u) { return ++static_cast<Counts*>(u)->keys, 0; }
int onDone(int, void* u) { return ++static_cast<Counts*>(u)->done, 0; }

void BM_EngineStage(benchmark::State& state) {
  const std::vector<float>& song = monoSong();
  const double before = residentMiB();
  Counts counts;
  for (auto _ : state) {
    kelo::KeloSemiOffline engine;
    if (engine.init(0, "", kelo::KeloSemiOffline::kBlock, kelo::BeatsPerBarNotGiven, 0.0) != 0) {
      state.SkipWithError("KELO Cannot be initialized");
      return;
    }
    engine.setLag(15);
    engine.setMeter(0, -1, kelo::MeterNotGiven);
    engine.onChord = &onChord;
    engine.onBarline = &onBarline;
    engine.onTatum = &onTatum;
    engine.onBeat = &onBeat;
    engine.onKeysig = &onKeysig;
    engine.onDoneAnalysis = &onDone;
    engine.userChord = engine.userBarline = engine.userTatum = engine.userBeat = &counts;
    engine.userKeysig = engine.userDoneAnalysis = &counts;
    const int block = kelo::KeloSemiOffline::kBlock;
    for (size_t at = 0; at + block <= song.size(); at += block) engine.process(song.data() + at, block);
    if (engine.finish() != 0) {
      state.SkipWithError("Cannot load KELO");
      return;
    }
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["engine_peak_MiB"] = peakMiB() - before;
  state.counters["peak_rss_MiB"] = peakMiB();
  state.counters["chords_per_run"] = static_cast<double>(counts.chords) / static_cast<double>(state.iterations());
  state.counters["bars_per_run"] = static_cast<double>(counts.bars) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineStage)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
