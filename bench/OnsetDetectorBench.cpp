// bench-deps: rubeato
// The import onset detector over a generated 4-minute stereo 44.1 kHz
// recording, single thread, reported as times faster than real time
// ("x_realtime"). The block onset detector of the style export runs over the
// same recording's mono mix for comparison.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "BlockOnsetDetector.h"
#include "COnsetDetector.h"
#include "ISeekable.h"

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 240.0;

// Interleaved 16-bit stereo: a 120 bpm pattern of drum-like noise hits and
// clicks over a sustained chord, so the chain sees dense, varied material.
std::vector<std::int16_t> makeRecording() {
  const auto frames = static_cast<std::size_t>(kSeconds * kRate);
  std::vector<std::int16_t> out(frames * 2);
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double beat = 0.5 * kRate;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0.12 * (std::sin(2 * M_PI * 220.0 * t) + std::sin(2 * M_PI * 277.2 * t) +
                       std::sin(2 * M_PI * 329.6 * t));
    const double sinceBeat = std::fmod(static_cast<double>(i), beat / 2);
    v += 0.5 * std::exp(-sinceBeat / (0.03 * kRate)) * noise(gen);
    const double sinceBar = std::fmod(static_cast<double>(i), beat * 4);
    if (sinceBar < 88) v += 0.6 * ((i % 2) ? -1.0 : 1.0);
    const double l = std::max(-1.0, std::min(1.0, v));
    out[2 * i] = static_cast<std::int16_t>(l * 32767.0);
    out[2 * i + 1] = static_cast<std::int16_t>(l * 30000.0);
  }
  return out;
}

const std::vector<std::int16_t>& recording() {
  static const std::vector<std::int16_t> r = makeRecording();
  return r;
}

// The work copy as the onset analyser reads it: floats from 16-bit frames.
class MemorySource : public ISeekable<float> {
 public:
  explicit MemorySource(const std::vector<std::int16_t>& frames) : data_(frames) {}
  void seek(std::uint64_t frame) override { pos_ = frame; }
  std::uint64_t read(float* dst, std::uint64_t frames) override {
    const std::uint64_t n = std::min(frames, length() - std::min(pos_, length()));
    for (std::uint64_t i = 0; i < n * 2; ++i) dst[i] = data_[pos_ * 2 + i] / 32768.0f;
    std::fill(dst + n * 2, dst + frames * 2, 0.0f);
    pos_ += n;
    return n;
  }
  std::uint64_t length() override { return data_.size() / 2; }
  float sampleRate() override { return static_cast<float>(kRate); }
  std::uint32_t channels() override { return 2; }

 private:
  const std::vector<std::int16_t>& data_;
  std::uint64_t pos_ = 0;
};

void ImportOnsetDetector(benchmark::State& state) {
  const auto& rec = recording();
  const auto frames = static_cast<std::int64_t>(rec.size() / 2);
  std::size_t onsetCount = 0;
  for (auto _ : state) {
    MemorySource source(rec);
    COnsetDetector detector;
    OnsetWork work{};
    OnsetAudioInfo audio{0, 0, frames, kRate, 16, 0, frames};
    OnsetTempoInfo tempo{0, 0, 0, 4, 0, 0, 4};
    const OnsetSettings settings{0, 0, 2, 150, 0, 94, 0, 0};
    std::vector<std::int64_t> onsets;
    detector.Init(work, audio);
    detector.Analyze(source, work, audio, onsets, tempo, settings);
    detector.Release(work);
    onsetCount = onsets.size();
    benchmark::DoNotOptimize(onsets.data());
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["onsets"] = static_cast<double>(onsetCount);
}
BENCHMARK(ImportOnsetDetector)->Unit(benchmark::kMillisecond)->UseRealTime();

void BlockOnsetDetector(benchmark::State& state) {
  const auto& rec = recording();
  std::vector<std::int16_t> mono(rec.size() / 2);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    mono[i] = static_cast<std::int16_t>((int{rec[2 * i]} + int{rec[2 * i + 1]}) / 2);
  }
  std::size_t attacks = 0;
  for (auto _ : state) {
    ::BlockOnsetDetector* d = onsetDetectorCreate();
    attacks = 0;
    for (std::size_t start = 0; start < mono.size(); start += 32) {
      const int n = static_cast<int>(std::min<std::size_t>(32, mono.size() - start));
      if (onsetDetectorProcess(d, mono.data() + start, n) != 0) break;
      attacks += static_cast<std::size_t>(onsetDetectorHasOnset(d, 0));
    }
    onsetDetectorDestroy(d);
  }
  state.counters["x_realtime"] =
      benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["attacks"] = static_cast<double>(attacks);
}
BENCHMARK(BlockOnsetDetector)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
