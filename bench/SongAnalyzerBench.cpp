// bench-deps: rubeato
// The song analysis over whole generated recordings held in memory: the
// cost of reading, the beat grid and the segments, per minute of audio.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "SongAnalyzer.h"

namespace {

// Stereo 44100 Hz: clicks at 123 BPM over a noise bed that changes level
// every 16 bars.
std::vector<float> makeSong(double seconds) {
  const std::size_t frames = static_cast<std::size_t>(seconds * 44100.0);
  std::vector<float> s(frames * 2);
  std::mt19937 gen(1);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  const double beat = 60.0 / 123.0;
  for (std::size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / 44100.0;
    const double sinceBeat = std::fmod(t, beat);
    const double bed = (static_cast<int>(t / (beat * 64)) % 2) ? 0.2 : 0.05;
    const double click = sinceBeat < 0.003 ? 0.6 * std::exp(-sinceBeat * 1500.0) : 0.0;
    const float v = static_cast<float>(click + bed * noise(gen));
    s[2 * f] = v;
    s[2 * f + 1] = v;
  }
  return s;
}

class BufferSource : public ISeekable<float> {
 public:
  explicit BufferSource(const std::vector<float>& s) : samples(s) {}
  void seek(std::uint64_t frame) override { position = std::min<std::uint64_t>(frame, length()); }
  std::uint64_t read(float* dst, std::uint64_t frames) override {
    const std::uint64_t got = std::min(frames, length() - position);
    std::copy_n(samples.data() + position * 2, got * 2, dst);
    std::fill(dst + got * 2, dst + frames * 2, 0.0f);
    position += got;
    return got;
  }
  std::uint64_t length() override { return samples.size() / 2; }
  float sampleRate() override { return 44100.0f; }
  std::uint32_t channels() override { return 2; }

 private:
  const std::vector<float>& samples;
  std::uint64_t position = 0;
};

void BM_SongAnalysis(benchmark::State& state) {
  const double minutes = static_cast<double>(state.range(0));
  const std::vector<float> song = makeSong(minutes * 60.0);
  for (auto _ : state) {
    BufferSource source(song);
    SongAnalyzer analyzer;
    analyzer.analyze(source);
    benchmark::DoNotOptimize(analyzer.getBeats().size());
  }
  state.counters["audio_x_realtime"] =
      benchmark::Counter(minutes * 60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SongAnalysis)->Arg(1)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
