// The sync points are those of the whole activity curve: the analysis skips
// the exact spectra of frames that cannot matter, and must still pick the
// very samples that scanning the whole curve picks, ties included.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "syncAnalyze.h"

namespace {

constexpr int kRate = 44100;
constexpr int kMargin = 661;  // 0.015 s at 44100 Hz

// The points the documented rule gives over the whole curve: the curve of
// mode 1 scaled to 0..1, read per sample by linear interpolation, and the
// first sample with the smallest value between each pair of positions.
std::vector<std::uint32_t> pointsOfWholeCurve(const std::vector<std::int16_t>& samples,
                                              const std::vector<std::int32_t>& positions) {
  double* curve = nullptr;
  std::uint32_t count = 0;
  const int n = static_cast<int>(samples.size());
  computeActivityCurve(curve, count, samples.data(), n, 2048, 64, 1, static_cast<float>(1323),
                       static_cast<float>(8820));
  normalizeActivityCurve(curve, count);
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i + 1 < positions.size(); ++i) {
    const std::int64_t first = positions[i] + kMargin;
    const std::int64_t last = std::min<std::int64_t>(positions[i + 1] - kMargin - 1, n - 1);
    std::int64_t best = first;
    double bestValue = 0;
    for (std::int64_t s = first; s <= last; ++s) {
      const double x = static_cast<double>(s) * (static_cast<double>(count) - 1) / (n - 1);
      const double lo = std::floor(x), hi = std::ceil(x);
      const double v = (x - lo) * curve[static_cast<std::size_t>(hi)] + (1 - (x - lo)) * curve[static_cast<std::size_t>(lo)];
      if (s == first || v < bestValue) {
        bestValue = v;
        best = s;
      }
    }
    out.push_back(static_cast<std::uint32_t>(best));
  }
  syncRelease(curve);
  return out;
}

std::vector<std::uint32_t> syncPoints(const std::vector<std::int16_t>& samples,
                                      const std::vector<std::int32_t>& positions) {
  std::uint32_t* result = nullptr;
  std::uint32_t count = 0;
  syncAnalyze(result, count, samples.data(), static_cast<int>(samples.size()), positions.data(),
              static_cast<int>(positions.size()), kRate, 1);
  std::vector<std::uint32_t> out(result, result + count);
  syncRelease(result);
  return out;
}

std::int16_t clip(double v) { return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))); }

// Beats of `beatSamples` over the whole recording, the last at its end.
std::vector<std::int32_t> beatsOver(int count, int beatSamples) {
  std::vector<std::int32_t> beats;
  for (int b = 0; b < count; b += beatSamples) beats.push_back(b);
  beats.push_back(count);
  return beats;
}

struct Case {
  std::string name;
  std::vector<std::int16_t> samples;
  int beatSamples;
};

// A random waveform of `level` repeating every `period` samples.
Case periodicCase(const std::string& name, int n, int period, double level, int beatSamples, std::mt19937& gen) {
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> shape(static_cast<std::size_t>(period));
  for (double& v : shape) v = uniform(gen);
  Case c{name, std::vector<std::int16_t>(n), beatSamples};
  for (int i = 0; i < n; ++i) c.samples[i] = clip(shape[i % period] * level);
  return c;
}

std::vector<Case> cases() {
  std::vector<Case> out;
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  const int n = 3 * kRate;

  // Drum-like hits on the beats over a chord.
  Case music{"hits over a chord", std::vector<std::int16_t>(n), 20000};
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hit = std::exp(-std::fmod(t, 20000.0 / kRate) * 40.0) * uniform(gen) * 0.5;
    const double chord = 0.12 * (std::sin(2 * M_PI * 220 * t) + std::sin(2 * M_PI * 277.2 * t));
    music.samples[i] = clip((hit + chord) * 30000);
  }
  out.push_back(music);

  // Digital silence between noise bursts: whole stretches of equal (zero)
  // curve values, where the earliest sample must win.
  Case bursts{"noise bursts and digital silence", std::vector<std::int16_t>(n, 0), 15000};
  for (int i = 0; i < n; ++i) {
    if ((i / 9000) % 3 == 0) bursts.samples[i] = clip(uniform(gen) * 9000);
  }
  out.push_back(bursts);

  // A waveform repeating every 256 samples (four hops): every fourth frame
  // is the same, so equal curve values come up all over the range.
  out.push_back(periodicCase("a period of four hops", n, 256, 12000, 22050, gen));

  // One or two steps of the smallest sample value and a loud clipped
  // square: the bounds scale with the frame's level.
  Case quiet{"a whisper then a clipped square", std::vector<std::int16_t>(n), 18000};
  for (int i = 0; i < n; ++i) {
    quiet.samples[i] = i < n / 2 ? static_cast<std::int16_t>(std::lround(uniform(gen) * 2))
                                 : static_cast<std::int16_t>((i / 100) % 2 ? 32767 : -32768);
  }
  out.push_back(quiet);

  // A steady tone exactly on a transform bin, with a slow swell.
  Case tone{"a tone on a bin", std::vector<std::int16_t>(n), 11025};
  for (int i = 0; i < n; ++i) {
    tone.samples[i] = clip(std::sin(2 * M_PI * 43.06640625 * 10 * i / kRate) * 8000 * (1.0 + 0.2 * i / n));
  }
  out.push_back(tone);

  // Steady noise: a nearly flat curve, where many frames stay in doubt
  // after the first bounds and need transforms of their own.
  Case steady{"steady noise", std::vector<std::int16_t>(n), 20000};
  for (auto& v : steady.samples) v = clip(uniform(gen) * 10000);
  out.push_back(steady);

  // Clicks in digital silence: most frames hold nothing (equal zero
  // spreads), and each click is seen by a few dozen frames only.
  Case clicks{"clicks in digital silence", std::vector<std::int16_t>(n, 0), 14000};
  for (int i = 5000; i < n; i += 7919) clicks.samples[i] = 30000;
  out.push_back(clicks);

  // A waveform repeating every 128 samples (two hops): frames two apart are
  // alike, and the frames between equal the mix of their neighbours.
  out.push_back(periodicCase("a period of two hops", n, 128, 15000, 16000, gen));

  // The same with a sample here and there one step off: the curve values
  // near each stay within every rough bound of the tie they break, so only
  // the exact values can tell which is the quietest.
  Case nudged = periodicCase("a period of two hops, nudged", n, 128, 15000, 16000, gen);
  for (int i = 7000; i < n; i += 16000) nudged.samples[i] = static_cast<std::int16_t>(nudged.samples[i] + 1);
  for (int i = 12345; i < n; i += 16000) nudged.samples[i] = static_cast<std::int16_t>(nudged.samples[i] - 1);
  out.push_back(nudged);
  return out;
}

}  // namespace

TEST(SyncPointsExact, EveryPointIsTheOneTheWholeCurveGives) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const std::vector<std::int32_t> beats = beatsOver(static_cast<int>(c.samples.size()), c.beatSamples);
    const std::vector<std::uint32_t> expected = pointsOfWholeCurve(c.samples, beats);
    ASSERT_EQ(expected.size(), beats.size() - 1);
    EXPECT_EQ(syncPoints(c.samples, beats), expected);
  }
}

TEST(SyncPointsExact, PositionsOffTheBeatAndShortRangesAgreeToo) {
  const std::vector<Case> all = cases();
  const std::vector<std::int16_t>& samples = all[0].samples;
  // Uneven gaps, one range shorter than two margins, the last cut by the
  // recording's end.
  const std::vector<std::int32_t> positions = {0, 1000, 2200, 30000, 31000, 77777, 100000, 131000};
  EXPECT_EQ(syncPoints(samples, positions), pointsOfWholeCurve(samples, positions));
}
