#include "syncAnalyze.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FftPackage.h"

namespace {

constexpr int kFrameLength = 2048;
constexpr int kHop = 64;

struct Spectrogram {
  int bins = 0;
  int frames = 0;
  std::vector<double> magnitudes;  // frames x bins
  const double* frame(int t) const { return magnitudes.data() + static_cast<std::size_t>(t) * bins; }
};

// Neighbour and border frame counts of an activity curve.
struct CurveWindow {
  int halfWidth;  // K: frames t-K .. t+K-1 make up the value of frame t
  int border;     // B: frames evaluated are B .. frames-B-1
};

void checkSource(const std::int16_t* samples, int sampleCount) {
  if (sampleCount < 0) throw std::domain_error("sampleCount must not be negative");
  if (sampleCount > 0 && !samples) throw std::domain_error("samples missing");
}

void checkFraming(int frameLength, int hop) {
  if (!Fft::isValidLength(frameLength)) {
    throw std::domain_error("frameLength must be a power of two of at least 2");
  }
  if (hop <= 0) throw std::domain_error("hop must be positive");
}

CurveWindow curveWindow(int frameLength, int hop, float halfWindowSamples, float borderSamples) {
  if (!std::isfinite(halfWindowSamples) || !std::isfinite(borderSamples) || halfWindowSamples < 0 ||
      borderSamples < 0) {
    throw std::domain_error("halfWindowSamples and borderSamples must be finite and not negative");
  }
  // Computed as float then widened, like the callers' own arithmetic; the
  // clamp only keeps absurd windows inside int.
  const double k = std::min(static_cast<double>(halfWindowSamples / frameLength) + 1.5, 1e9);
  const double b = std::min(static_cast<double>(borderSamples / hop) + 1.5, 1e9);
  CurveWindow win;
  win.halfWidth = static_cast<int>(k);
  win.border = std::max(win.halfWidth, static_cast<int>(b));
  return win;
}

Spectrogram spectrogramOf(const std::int16_t* samples, int sampleCount, int frameLength, int hop) {
  Spectrogram spec;
  spec.bins = frameLength / 2;
  spec.frames = static_cast<int>((static_cast<std::int64_t>(sampleCount) + hop - 1) / hop);
  spec.magnitudes.assign(static_cast<std::size_t>(spec.frames) * spec.bins, 0.0);

  std::vector<double> window(frameLength);
  const double last = frameLength > 1 ? frameLength - 1 : 1;
  for (int i = 0; i < frameLength; ++i) {
    const double x = i / last - 0.5;
    window[i] = 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(6.28318 * x);
  }

  Fft::WorkArrays<double> work(frameLength);
  std::vector<double> buffer(frameLength);
  const int half = frameLength / 2;
  int t = 0;
  for (std::int64_t start = -half; start < static_cast<std::int64_t>(sampleCount) - half; start += hop, ++t) {
    for (int i = 0; i < frameLength; ++i) {
      const std::int64_t s = start + i;
      buffer[i] = (s >= 0 && s < sampleCount) ? samples[s] * window[i] : 0.0;
    }
    Fft::rdft(frameLength, 1, buffer.data(), buffer.size(), work);
    if (t >= spec.frames) continue;  // never for a positive hop; the count is reported below
    double* out = spec.magnitudes.data() + static_cast<std::size_t>(t) * spec.bins;
    for (int k = 0; k < spec.bins; ++k) {
      out[k] = std::sqrt(buffer[2 * k] * buffer[2 * k] + buffer[2 * k + 1] * buffer[2 * k + 1]);
    }
  }
  if (t != spec.frames) {
    std::printf("WARNING: Number of frames computed != nT (nT=%d; tIdx=%d; nSmp=%d)\n", spec.frames, t,
                sampleCount);
  }
  return spec;
}

// Spread of one frame's magnitudes across its bins (one Welford pass).
double binSpread(const double* magnitudes, int bins) {
  double mean = 0, sumSq = 0;
  for (int i = 0; i < bins; ++i) {
    const double delta = magnitudes[i] - mean;
    mean += delta / (i + 1);
    sumSq += delta * (magnitudes[i] - mean);
  }
  return std::sqrt(sumSq / bins);
}

std::vector<double> activityCurveOf(const Spectrogram& spec, int mode, const CurveWindow& win) {
  const int frames = spec.frames;
  const int bins = spec.bins;
  const int k = win.halfWidth;
  std::vector<double> curve(frames, -1.0);
  const int first = win.border;
  const int last = frames - win.border - 1;
  bool any = false;
  double largest = -1.0;

  if (mode == 1) {
    // Each frame's spread enters 2K curve values; compute it once.
    std::vector<double> spread(frames, 0.0);
    if (first <= last) {
      for (int f = first - k; f <= last + k - 1; ++f) spread[f] = binSpread(spec.frame(f), bins);
    }
    for (int t = first; t <= last; ++t) {
      double sum = 0;
      for (int f = t - k; f < t + k; ++f) sum += spread[f];
      curve[t] = sum;
    }
  } else {
    std::vector<double> mean(bins), sumSq(bins);
    for (int t = first; t <= last; ++t) {
      std::fill(mean.begin(), mean.end(), 0.0);
      std::fill(sumSq.begin(), sumSq.end(), 0.0);
      int n = 0;
      for (int f = t - k; f < t + k; ++f) {
        ++n;
        const double* frame = spec.frame(f);
        for (int b = 0; b < bins; ++b) {
          const double delta = frame[b] - mean[b];
          mean[b] += delta / n;
          sumSq[b] += delta * (frame[b] - mean[b]);
        }
      }
      double sum = 0;
      for (int b = 0; b < bins; ++b) {
        if (mean[b] != 0.0) sum += (sumSq[b] / (2 * k)) / mean[b];
      }
      curve[t] = sum;
    }
  }
  for (int t = first; t <= last; ++t) {
    largest = any ? std::max(largest, curve[t]) : curve[t];
    any = true;
  }
  const double edge = largest + 1.0;
  for (int t = 0; t < std::min(win.border, frames); ++t) curve[t] = edge;
  for (int t = std::max(0, frames - win.border); t < frames; ++t) curve[t] = edge;
  return curve;
}

template <typename T>
T* handOut(const std::vector<T>& values) {
  if (values.empty()) return nullptr;
  T* out = new T[values.size()];
  std::copy(values.begin(), values.end(), out);
  return out;
}

// Replaces the caller's array by a new one (or by null).
template <typename T>
void replaceOutput(T*& target, T* fresh) {
  delete[] target;
  target = fresh;
}

// Activity of sample s, interpolated linearly between the frame values.
double activityAtSample(const std::vector<double>& curve, int sampleCount, std::int64_t s) {
  const double x = static_cast<double>(s) * (static_cast<double>(curve.size()) - 1) / (sampleCount - 1);
  const double lo = std::floor(x);
  const double hi = std::ceil(x);
  if (lo < 0 || hi >= static_cast<double>(curve.size())) {
    std::printf("Invalid array index in syncAnalyze.cpp Line %d\n", 214);
    std::printf("idx_lo : %d, idx_hi : %d, nWav : %d, lenXC : %d\n", static_cast<int>(lo),
                static_cast<int>(hi), sampleCount, static_cast<int>(curve.size()));
    return 0.0;
  }
  const double f = x - lo;
  return f * curve[static_cast<std::size_t>(hi)] + (1 - f) * curve[static_cast<std::size_t>(lo)];
}

}  // namespace

void normalizeActivityCurve(double* curve, std::uint32_t count) {
  if (!curve || count == 0) return;
  const auto range = std::minmax_element(curve, curve + count);
  const double low = *range.first;
  const double span = *range.second - low;
  for (std::uint32_t i = 0; i < count; ++i) {
    // A flat curve has no quieter point: every sample ties at 0.
    curve[i] = span > 0 ? (curve[i] - low) / span : 0.0;
  }
}

void computeSpectrogram(double*& magnitudes, std::uint32_t& bins, std::uint32_t& frameCount,
                        const std::int16_t* samples, int sampleCount, int frameLength, int hop) {
  checkSource(samples, sampleCount);
  checkFraming(frameLength, hop);
  const Spectrogram spec = spectrogramOf(samples, sampleCount, frameLength, hop);
  replaceOutput(magnitudes, handOut(spec.magnitudes));
  bins = static_cast<std::uint32_t>(spec.bins);
  frameCount = static_cast<std::uint32_t>(spec.frames);
}

void computeActivityCurve(double*& curve, std::uint32_t& count, const std::int16_t* samples,
                          int sampleCount, int frameLength, int hop, int mode, float halfWindowSamples,
                          float borderSamples) {
  checkSource(samples, sampleCount);
  checkFraming(frameLength, hop);
  const CurveWindow win = curveWindow(frameLength, hop, halfWindowSamples, borderSamples);
  const std::vector<double> values =
      activityCurveOf(spectrogramOf(samples, sampleCount, frameLength, hop), mode, win);
  replaceOutput(curve, handOut(values));
  count = static_cast<std::uint32_t>(values.size());
}

void syncAnalyze(std::uint32_t*& result, std::uint32_t& resultCount, const std::int16_t* samples,
                 int sampleCount, const std::int32_t* positions, int positionCount, int sampleRate,
                 int mode) {
  checkSource(samples, sampleCount);
  if (positionCount < 0) throw std::domain_error("positionCount must not be negative");
  if (positionCount > 0 && !positions) throw std::domain_error("positions missing");
  if (sampleRate <= 0) throw std::domain_error("sampleRate must be positive");
  for (int i = 0; i < positionCount; ++i) {
    if (positions[i] < 0) throw std::domain_error("positions must not be negative");
  }

  std::vector<std::uint32_t> points;
  if (positionCount >= 2 && sampleCount >= 2) {
    const float halfWindow = static_cast<float>(static_cast<int>(0.03 * sampleRate));
    const float border = static_cast<float>(static_cast<int>(0.2 * sampleRate));
    const CurveWindow win = curveWindow(kFrameLength, kHop, halfWindow, border);
    std::vector<double> curve =
        activityCurveOf(spectrogramOf(samples, sampleCount, kFrameLength, kHop), mode, win);
    // Without a frame away from both ends nothing was measured.
    if (static_cast<std::int64_t>(curve.size()) > 2 * static_cast<std::int64_t>(win.border)) {
      normalizeActivityCurve(curve.data(), static_cast<std::uint32_t>(curve.size()));
      const std::int64_t margin = static_cast<int>(0.015 * sampleRate);
      points.resize(static_cast<std::size_t>(positionCount) - 1);
      for (int i = 0; i + 1 < positionCount; ++i) {
        const std::int64_t first = positions[i] + margin;
        const std::int64_t last = std::min<std::int64_t>(positions[i + 1] - margin - 1, sampleCount - 1);
        std::int64_t best = first;
        double bestValue = 0;
        bool found = false;
        for (std::int64_t s = first; s <= last; ++s) {
          const double v = activityAtSample(curve, sampleCount, s);
          if (!found || v < bestValue) {
            bestValue = v;
            best = s;
            found = true;
          }
        }
        points[i] = static_cast<std::uint32_t>(best);
      }
    }
  }
  replaceOutput(result, handOut(points));
  resultCount = static_cast<std::uint32_t>(points.size());
}

void syncRelease(std::uint32_t*& array) {
  delete[] array;
  array = nullptr;
}

void syncRelease(double*& array) {
  delete[] array;
  array = nullptr;
}
