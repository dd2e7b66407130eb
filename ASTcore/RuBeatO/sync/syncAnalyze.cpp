#include "syncAnalyze.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FftPackage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kFrameLength = 2048;
constexpr int kHop = 64;

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

// Frames of a recording framed every `hop` samples: ceil(sampleCount / hop).
int frameCountOf(int sampleCount, int hop) {
  return static_cast<int>((static_cast<std::int64_t>(sampleCount) + hop - 1) / hop);
}

// The magnitude spectra of a recording's frames, one frame at a time: frame
// t is centred on sample hop * t, Bartlett-Hann windowed and transformed by
// the real FFT. The activity curve needs only the frames near the evaluated
// ones, and only a few of them at once, so nothing here holds the whole
// spectrogram (a bar's would take 1024 doubles per 64 samples).
class FrameSpectra {
 public:
  FrameSpectra(const std::int16_t* samples, int sampleCount, int frameLength, int hop)
      : samples_(samples),
        sampleCount_(sampleCount),
        length_(frameLength),
        hop_(hop),
        window_(frameLength),
        work_(frameLength),
        buffer_(frameLength) {
    const double last = frameLength > 1 ? frameLength - 1 : 1;
    for (int i = 0; i < frameLength; ++i) {
      const double x = i / last - 0.5;
      window_[i] = 0.62 - 0.48 * std::fabs(x) + 0.38 * std::cos(6.28318 * x);
    }
  }

  int bins() const { return length_ / 2; }

  // Magnitudes of frame t into out[k * stride], k = 0 .. bins-1; bin 0
  // holds the DC and Nyquist terms together.
  void compute(int t, double* out, int stride = 1) {
    const std::int64_t start = static_cast<std::int64_t>(t) * hop_ - length_ / 2;
    double* buffer = buffer_.data();
    const double* window = window_.data();
    if (start >= 0 && start + length_ <= sampleCount_) {
      const std::int16_t* frame = samples_ + start;
      for (int i = 0; i < length_; ++i) buffer[i] = frame[i] * window[i];
    } else {
      // Samples outside the recording count as 0.
      for (int i = 0; i < length_; ++i) {
        const std::int64_t s = start + i;
        buffer[i] = (s >= 0 && s < sampleCount_) ? samples_[s] * window[i] : 0.0;
      }
    }
    Fft::rdft(length_, 1, buffer, buffer_.size(), work_);
    const int bins = length_ / 2;
    int k = 0;
#if defined(__SSE2__)
    // Two bins per step. The same IEEE operations as the plain loop below
    // (squares, one addition, a correctly rounded root), so the same values;
    // only the library call's error reporting, which a sum of squares never
    // needs, is left out.
    for (; k + 1 < bins; k += 2) {
      const __m128d first = _mm_loadu_pd(buffer + 2 * k);       // re[k], im[k]
      const __m128d second = _mm_loadu_pd(buffer + 2 * k + 2);  // re[k+1], im[k+1]
      const __m128d squaredFirst = _mm_mul_pd(first, first);
      const __m128d squaredSecond = _mm_mul_pd(second, second);
      const __m128d power = _mm_add_pd(_mm_unpacklo_pd(squaredFirst, squaredSecond),
                                       _mm_unpackhi_pd(squaredFirst, squaredSecond));
      const __m128d magnitude = _mm_sqrt_pd(power);
      _mm_storel_pd(out + static_cast<std::size_t>(k) * stride, magnitude);
      _mm_storeh_pd(out + static_cast<std::size_t>(k + 1) * stride, magnitude);
    }
#endif
    for (; k < bins; ++k) {
      out[static_cast<std::size_t>(k) * stride] =
          std::sqrt(buffer[2 * k] * buffer[2 * k] + buffer[2 * k + 1] * buffer[2 * k + 1]);
    }
  }

 private:
  const std::int16_t* samples_;
  std::int64_t sampleCount_;
  int length_;
  int hop_;
  std::vector<double> window_;
  Fft::WorkArrays<double> work_;
  std::vector<double> buffer_;
};

// The whole spectrogram, frame after frame (frames x bins values).
std::vector<double> spectrogramOf(const std::int16_t* samples, int sampleCount, int frameLength, int hop,
                                  int& frames) {
  FrameSpectra spectra(samples, sampleCount, frameLength, hop);
  const int bins = spectra.bins();
  frames = frameCountOf(sampleCount, hop);
  std::vector<double> magnitudes(static_cast<std::size_t>(frames) * bins, 0.0);
  const int half = frameLength / 2;
  int t = 0;
  for (std::int64_t start = -half; start < static_cast<std::int64_t>(sampleCount) - half; start += hop, ++t) {
    if (t >= frames) continue;  // never for a positive hop; the count is reported below
    spectra.compute(t, magnitudes.data() + static_cast<std::size_t>(t) * bins);
  }
  if (t != frames) {
    std::printf("WARNING: Number of frames computed != nT (nT=%d; tIdx=%d; nSmp=%d)\n", frames, t, sampleCount);
  }
  return magnitudes;
}

// Frames whose spreads are worked out side by side: each spread is one long
// chain of dependent divisions, and independent chains keep the divider busy.
constexpr int kSpreadLanes = 8;

// Spread of each lane's magnitudes across the bins (one Welford pass per
// lane); `magnitudes` holds bin k of lane g at k * kSpreadLanes + g.
void binSpreads(const double* magnitudes, int bins, double* spread) {
  double mean[kSpreadLanes] = {};
  double sumSq[kSpreadLanes] = {};
  for (int i = 0; i < bins; ++i) {
    const double n = i + 1;
    const double* values = magnitudes + static_cast<std::size_t>(i) * kSpreadLanes;
    for (int g = 0; g < kSpreadLanes; ++g) {
      const double delta = values[g] - mean[g];
      mean[g] += delta / n;
      sumSq[g] += delta * (values[g] - mean[g]);
    }
  }
  for (int g = 0; g < kSpreadLanes; ++g) spread[g] = std::sqrt(sumSq[g] / bins);
}

std::vector<double> activityCurveOf(const std::int16_t* samples, int sampleCount, int frameLength, int hop,
                                    int mode, const CurveWindow& win) {
  const int frames = frameCountOf(sampleCount, hop);
  const int k = win.halfWidth;
  std::vector<double> curve(frames, -1.0);
  const int first = win.border;
  const int last = frames - win.border - 1;
  bool any = false;
  double largest = -1.0;

  if (first <= last) {
    FrameSpectra spectra(samples, sampleCount, frameLength, hop);
    const int bins = spectra.bins();
    // Only frames first-K .. last+K-1 enter an evaluated value.
    const int lowest = first - k;
    const int highest = last + k - 1;
    if (mode == 1) {
      // Each frame's spread enters 2K curve values; compute it once.
      std::vector<double> spread(frames, 0.0);
      std::vector<double> lanes(static_cast<std::size_t>(bins) * kSpreadLanes, 0.0);
      double laneSpread[kSpreadLanes];
      for (int f = lowest; f <= highest; f += kSpreadLanes) {
        const int used = std::min(kSpreadLanes, highest - f + 1);
        for (int g = 0; g < used; ++g) spectra.compute(f + g, lanes.data() + g, kSpreadLanes);
        binSpreads(lanes.data(), bins, laneSpread);
        for (int g = 0; g < used; ++g) spread[f + g] = laneSpread[g];
      }
      for (int t = first; t <= last; ++t) {
        double sum = 0;
        for (int f = t - k; f < t + k; ++f) sum += spread[f];
        curve[t] = sum;
      }
    } else {
      // The 2K frames around t, in a ring indexed by frame modulo 2K.
      const int span = 2 * k;
      std::vector<double> ring(static_cast<std::size_t>(span) * bins);
      auto frameAt = [&](int f) { return ring.data() + static_cast<std::size_t>(f % span) * bins; };
      int computed = lowest;  // next frame to compute
      std::vector<double> mean(bins), sumSq(bins);
      for (int t = first; t <= last; ++t) {
        for (; computed < t + k; ++computed) spectra.compute(computed, frameAt(computed));
        std::fill(mean.begin(), mean.end(), 0.0);
        std::fill(sumSq.begin(), sumSq.end(), 0.0);
        int n = 0;
        for (int f = t - k; f < t + k; ++f) {
          ++n;
          const double* frame = frameAt(f);
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
  int frames = 0;
  const std::vector<double> values = spectrogramOf(samples, sampleCount, frameLength, hop, frames);
  replaceOutput(magnitudes, handOut(values));
  bins = static_cast<std::uint32_t>(frameLength / 2);
  frameCount = static_cast<std::uint32_t>(frames);
}

void computeActivityCurve(double*& curve, std::uint32_t& count, const std::int16_t* samples,
                          int sampleCount, int frameLength, int hop, int mode, float halfWindowSamples,
                          float borderSamples) {
  checkSource(samples, sampleCount);
  checkFraming(frameLength, hop);
  const CurveWindow win = curveWindow(frameLength, hop, halfWindowSamples, borderSamples);
  const std::vector<double> values = activityCurveOf(samples, sampleCount, frameLength, hop, mode, win);
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
    std::vector<double> curve = activityCurveOf(samples, sampleCount, kFrameLength, kHop, mode, win);
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
