// bench-deps: beat
// The beat detector over a generated 4-minute stereo song at 44100 Hz
// (drum-like noise bursts, bass and chord tones at 120 BPM), fed as the
// chord engine feeds it: stereo averaged to mono, one 180-sample hop per
// call. "x_realtime" is seconds of audio analysed per second.
//
//   Song:  feeding, inference and the beat listing
//   Feed:  spectra and onset features only
//   Infer: the tempo/phase decode and the beat listing only

#include <benchmark/benchmark.h>

#include <cmath>
#include <list>
#include <random>
#include <vector>

#include "CBeatDetect.h"

namespace {

constexpr int kRate = 44100;
constexpr int kHop = 180;
constexpr double kSeconds = 240.0;

const std::vector<float>& stereoSong() {
  static const std::vector<float> song = [] {
    const size_t frames = static_cast<size_t>(kSeconds * kRate);
    std::vector<float> s(frames * 2);
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const double beat = 0.5;
    const double roots[4] = {110.0, 146.83, 130.81, 98.0};
    for (size_t f = 0; f < frames; ++f) {
      const double t = static_cast<double>(f) / kRate;
      const double inBeat = std::fmod(t, beat);
      const int beatNo = static_cast<int>(t / beat);
      const double root = roots[(beatNo / 8) % 4];
      const double kick = (beatNo % 2 == 0) ? 0.6 * std::exp(-inBeat * 30.0) *
                                                  std::sin(2 * M_PI * 55.0 * inBeat)
                                            : 0.0;
      const double snare = (beatNo % 2 == 1) ? 0.3 * std::exp(-inBeat * 40.0) * noise(gen) : 0.0;
      const double hat = 0.08 * std::exp(-std::fmod(t, beat / 2) * 120.0) * noise(gen);
      const double bass = 0.2 * std::sin(2 * M_PI * root * t);
      const double pad = 0.05 * (std::sin(2 * M_PI * root * 2 * t) +
                                 std::sin(2 * M_PI * root * 2.5 * t) +
                                 std::sin(2 * M_PI * root * 3 * t));
      const float common = static_cast<float>(kick + bass);
      s[2 * f] = common + static_cast<float>(snare + pad);
      s[2 * f + 1] = common + static_cast<float>(hat + pad);
    }
    return s;
  }();
  return song;
}

void feed(RuBeatO::CBeatDetect& detect, const std::vector<float>& stereo) {
  std::vector<float> mono(kHop);
  const size_t frames = stereo.size() / 2;
  for (size_t start = 0; start + kHop <= frames; start += kHop) {
    for (int i = 0; i < kHop; ++i)
      mono[i] = 0.5f * (stereo[2 * (start + i)] + stereo[2 * (start + i) + 1]);
    detect.addData(mono.data(), kHop);
  }
}

void setRate(benchmark::State& state) {
  state.counters["x_realtime"] = benchmark::Counter(
      kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Song(benchmark::State& state) {
  const auto& song = stereoSong();
  for (auto _ : state) {
    RuBeatO::CBeatDetect detect(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
    feed(detect, song);
    detect.infer();
    std::list<int> beats;
    detect.getBeatFrames(beats, 1, 0);
    benchmark::DoNotOptimize(beats.size());
  }
  setRate(state);
}
BENCHMARK(BM_Song)->Unit(benchmark::kMillisecond);

void BM_Feed(benchmark::State& state) {
  const auto& song = stereoSong();
  for (auto _ : state) {
    RuBeatO::CBeatDetect detect(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
    feed(detect, song);
    benchmark::DoNotOptimize(detect.getNumFrames());
  }
  setRate(state);
}
BENCHMARK(BM_Feed)->Unit(benchmark::kMillisecond);

void BM_Infer(benchmark::State& state) {
  RuBeatO::CBeatDetect detect(1024, kHop, 3, true, 44100.0f, 60.0f, 200.0f);
  feed(detect, stereoSong());
  for (auto _ : state) {
    detect.infer();
    std::list<int> beats;
    detect.getBeatFrames(beats, 1, 0);
    benchmark::DoNotOptimize(beats.size());
  }
  setRate(state);
}
BENCHMARK(BM_Infer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
