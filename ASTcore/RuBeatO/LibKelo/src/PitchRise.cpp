#include "PitchRise.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "Spectrum/CFft.h"

namespace kelo {

namespace {

// The kept signal: a quarter of 44100 Hz behind a low-pass at 2.4 kHz.
constexpr int kKeepEvery = 4;
constexpr double kKeptRate = 44100.0 / kKeepEvery;
constexpr std::size_t kTaps = 31;
constexpr std::size_t kWindow = 1024;
constexpr std::size_t kWindowStep = 180;
constexpr int kWindowsEachSide = 4;
constexpr double kLowestHz = 80.0;
constexpr double kHighestHz = 2000.0;

const std::array<float, kTaps>& lowPass() {
  static const std::array<float, kTaps> taps = [] {
    std::array<float, kTaps> t{};
    const double pi = 3.14159265358979323846;
    const double cutoff = 2400.0 / 44100.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < kTaps; ++i) {
      const double m = static_cast<double>(i) - (kTaps - 1) / 2.0;
      const double sinc = m == 0.0 ? 2.0 * cutoff : std::sin(2.0 * pi * cutoff * m) / (pi * m);
      const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(i) / (kTaps - 1));
      t[i] = static_cast<float>(sinc * hann);
      sum += sinc * hann;
    }
    for (float& v : t) v = static_cast<float>(v / sum);
    return t;
  }();
  return taps;
}

}  // namespace

PitchRise::PitchRise() : history_(kTaps - 1, 0.0f), fft_(std::make_unique<CFft>(kWindow, kWindowStep)) {
  fft_->MakeWindow(kWindow, CFft::Hann);
  magnitudes_.resize(kWindow / 2);
  // The pitch class of each bin within 80 Hz to 2 kHz, -1 outside.
  const double binHz = kKeptRate / static_cast<double>(kWindow);
  classOfBin_.assign(magnitudes_.size(), -1);
  for (std::size_t b = 1; b < magnitudes_.size(); ++b) {
    const double hz = static_cast<double>(b) * binHz;
    if (hz < kLowestHz || hz > kHighestHz) continue;
    const long note = std::lround(69.0 + 12.0 * std::log2(hz / 440.0));
    classOfBin_[b] = static_cast<int>(((note % 12) + 12) % 12);
  }
}

PitchRise::~PitchRise() = default;

void PitchRise::push(const float* samples, int count) {
  if (count <= 0) return;
  const std::array<float, kTaps>& taps = lowPass();
  // history_ holds the kTaps - 1 samples before the absolute index pushed_
  // (zeros before the first), then the new ones.
  const std::size_t base = pushed_;
  history_.insert(history_.end(), samples, samples + count);
  for (std::size_t m = (base + kKeepEvery - 1) / kKeepEvery * kKeepEvery; m < base + static_cast<std::size_t>(count);
       m += kKeepEvery) {
    const std::size_t h = m - base;  // history_[h + kTaps - 1] is sample m
    float v = 0.0f;
    for (std::size_t k = 0; k < kTaps; ++k) v += taps[k] * history_[h + k];
    kept_.push_back(v);
  }
  pushed_ += static_cast<std::size_t>(count);
  history_.erase(history_.begin(), history_.end() - (kTaps - 1));
}

void PitchRise::clear() {
  std::vector<float>().swap(kept_);
  history_.assign(kTaps - 1, 0.0f);
  pushed_ = 0;
}

std::vector<double> PitchRise::classesOfWindowAt(std::size_t first) {
  fft_->ComputeMagnitude(magnitudes_.data(), kept_.data() + first, kWindow, -1, true, 1);
  std::vector<double> classes(12, 0.0);
  for (std::size_t b = 0; b < magnitudes_.size(); ++b)
    if (classOfBin_[b] >= 0) classes[static_cast<std::size_t>(classOfBin_[b])] += magnitudes_[b];
  // Square roots, so that a quiet chord's new notes count beside a loud
  // bass's.
  for (double& c : classes) c = std::sqrt(c);
  return classes;
}

double PitchRise::at(double seconds) {
  // The low-pass delays the kept signal by half its length.
  const double centre = seconds * kKeptRate + (kTaps - 1) / 2.0 / kKeepEvery;
  const auto point = static_cast<std::ptrdiff_t>(std::lround(centre));
  const std::ptrdiff_t reach = kWindowsEachSide * static_cast<std::ptrdiff_t>(kWindowStep);
  if (point - reach < 0 || point + reach + static_cast<std::ptrdiff_t>(kWindow) >
                               static_cast<std::ptrdiff_t>(kept_.size()))
    return 0.0;
  std::vector<double> before(12, 0.0), after(12, 0.0);
  for (int w = 1; w <= kWindowsEachSide; ++w) {
    const std::ptrdiff_t offset = w * static_cast<std::ptrdiff_t>(kWindowStep);
    const std::vector<double> b = classesOfWindowAt(static_cast<std::size_t>(point - offset));
    const std::vector<double> a = classesOfWindowAt(static_cast<std::size_t>(point + offset));
    for (std::size_t c = 0; c < 12; ++c) {
      before[c] += b[c];
      after[c] += a[c];
    }
  }
  double rise = 0.0;
  for (std::size_t c = 0; c < 12; ++c) rise += std::max(0.0, after[c] - before[c]) / kWindowsEachSide;
  return rise;
}

}  // namespace kelo
