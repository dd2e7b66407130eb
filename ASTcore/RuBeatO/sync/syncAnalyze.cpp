#include "syncAnalyze.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FftPackage.h"
#include "FrameCutter.h"
#include "RoughSpreads.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
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

// The magnitude spectra of a recording's frames, one frame at a time,
// through the real FFT. The activity curve needs only the frames near the
// evaluated ones, and only a few of them at once, so nothing here holds the
// whole spectrogram (a bar's would take 1024 doubles per 64 samples).
class FrameSpectra {
 public:
  FrameSpectra(const std::int16_t* samples, int sampleCount, int frameLength, int hop)
      : frames_(samples, sampleCount, frameLength, hop), work_(frameLength), buffer_(frameLength) {}

  int bins() const { return frames_.length() / 2; }

  // Magnitudes of frame t into out[k * stride], k = 0 .. bins-1; bin 0
  // holds the DC and Nyquist terms together.
  void compute(int t, double* out, int stride = 1) {
    double* buffer = buffer_.data();
    frames_.cut(t, buffer);
    Fft::rdft(frames_.length(), 1, buffer, buffer_.size(), work_);
    const int bins = frames_.length() / 2;
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
  FrameCutter<double> frames_;
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

// The first sample with the smallest value among those offered in rising
// order; `best` is the fallback until one is offered.
struct QuietestSample {
  explicit QuietestSample(std::int64_t fallback) : best(fallback) {}
  void offer(std::int64_t s, double v) {
    if (!found || v < value) {
      value = v;
      best = s;
      found = true;
    }
  }
  std::int64_t best;
  double value = 0;
  bool found = false;
};

// The sync points of mode 1, found without working out every frame's exact
// spread: bounds on the spreads tell which curve values can matter (the
// smallest and the largest of the curve, which scale it, and the ones that
// may hold the quietest sample between two positions); only those are
// worked out exactly, with the same arithmetic as the whole curve, so the
// points are the ones the whole curve gives.
//
// The bounds come in two grades. Every other frame gets a rough spread
// through a single-precision transform of its own, with a narrow bound; the
// frames between get one from the mix of their neighbours' spectra, with a
// bound over a hundred times wider, at a fraction of a transform's work.
// Whenever a curve value that may matter rests on a mixed frame, that frame
// gets a transform and the bounds are drawn again, until every frame that
// can matter has one; most frames away from the quiet points never need it.
//
// Every exact spread worked out is also checked against its bounds; a frame
// outside them (a transform less accurate than the bounds assume) makes
// this give up (false), and the caller scans the whole curve instead.
bool screenedSyncPoints(const std::int16_t* samples, int sampleCount, const std::int32_t* positions,
                        int positionCount, std::int64_t margin, const CurveWindow& win,
                        std::vector<std::uint32_t>& points) {
  const int frames = frameCountOf(sampleCount, kHop);
  const int k = win.halfWidth;
  const int first = win.border;
  const int last = frames - win.border - 1;
  const int lowest = first - k;
  const int highest = last + k - 1;

  // Bounds on each frame's exact spread, then on each curve value: every
  // other frame through a transform, the ones between from their
  // neighbours' spectra.
  RoughSpreads roughSpreads(samples, sampleCount, kFrameLength, kHop);
  std::vector<RoughSpread> rough(frames);
  std::vector<std::uint8_t> transformed(frames, 0), mixed(frames, 0);
  {
    // The last four transformed frames' spectra, in a ring: frames f-6,
    // f-4, f-2 and f, the neighbours of frame f-3 in MidFrameBound's order.
    constexpr int kRing = MidFrameBound::kNeighbours;
    std::vector<float> ring(kRing * static_cast<std::size_t>(kFrameLength));
    int count = 0;
    for (int f = lowest; f <= highest; f += 2) {
      float* slot = ring.data() + static_cast<std::ptrdiff_t>(count % kRing) * kFrameLength;
      rough[f] = roughSpreads.transformed(f, slot);
      transformed[f] = 1;
      ++count;
      const int mid = f - 3;
      if (count >= kRing) {
        const float* spectra[kRing];
        RoughSpread spreads[kRing];
        for (int i = 0; i < kRing; ++i) {
          spectra[i] = ring.data() + static_cast<std::ptrdiff_t>((count - kRing + i) % kRing) * kFrameLength;
          spreads[i] = rough[mid + MidFrameBound::kOffsets[i]];
        }
        rough[mid] = roughSpreads.between(mid, spectra, spreads);
        mixed[mid] = 1;
      }
    }
    // The frames near the ends that lack a neighbour to mix.
    for (int f = lowest; f <= highest; ++f) {
      if (!transformed[f] && !mixed[f]) {
        rough[f] = roughSpreads.transformed(f);
        transformed[f] = 1;
      }
    }
  }

  std::vector<double> lo(frames, 0.0), hi(frames, 0.0);
  std::vector<double> low(frames, 0.0), high(frames, 0.0);
  auto drawBounds = [&]() {
    for (int f = lowest; f <= highest; ++f) {
      lo[f] = rough[f].value - rough[f].bound;
      hi[f] = rough[f].value + rough[f].bound;
    }
    for (int t = first; t <= last; ++t) {
      double sumLow = 0.0, sumHigh = 0.0, size = 0.0;
      for (int f = t - k; f < t + k; ++f) {
        sumLow += lo[f];
        sumHigh += hi[f];
        size += std::fabs(lo[f]) + std::fabs(hi[f]);
      }
      low[t] = sumLow - 1e-12 * size;
      high[t] = sumHigh + 1e-12 * size;
    }
  };
  // Rough spreads for the frames of these curve values that lack one; true
  // when there were any.
  auto roughenWindows = [&](const std::vector<int>& ts) {
    bool added = false;
    for (int t : ts) {
      if (t < first || t > last) continue;
      for (int f = t - k; f < t + k; ++f) {
        if (!transformed[f]) {
          rough[f] = roughSpreads.transformed(f);
          transformed[f] = 1;
          added = true;
        }
      }
    }
    return added;
  };

  // Exact spreads on demand, eight frames at a time as in the whole curve.
  FrameSpectra spectra(samples, sampleCount, kFrameLength, kHop);
  const int bins = spectra.bins();
  std::vector<double> spread(frames, 0.0);
  std::vector<std::uint8_t> spreadKnown(frames, 0);
  std::vector<double> lanes(static_cast<std::size_t>(bins) * kSpreadLanes, 0.0);
  bool boundsHeld = true;
  auto computeSpreads = [&](std::vector<int>& wanted) {
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    double laneSpread[kSpreadLanes];
    for (std::size_t i = 0; i < wanted.size(); i += kSpreadLanes) {
      const int used = static_cast<int>(std::min<std::size_t>(kSpreadLanes, wanted.size() - i));
      for (int g = 0; g < used; ++g) spectra.compute(wanted[i + g], lanes.data() + g, kSpreadLanes);
      binSpreads(lanes.data(), bins, laneSpread);
      for (int g = 0; g < used; ++g) {
        const int f = wanted[i + g];
        spread[f] = laneSpread[g];
        spreadKnown[f] = 1;
        if (!(spread[f] >= lo[f] && spread[f] <= hi[f])) boundsHeld = false;
      }
    }
    wanted.clear();
  };
  std::vector<double> curve(frames, 0.0);
  std::vector<std::uint8_t> curveKnown(frames, 0);
  std::vector<int> wanted;
  auto want = [&](int t) {
    if (t < first || t > last || curveKnown[t]) return;
    for (int f = t - k; f < t + k; ++f) {
      if (!spreadKnown[f]) wanted.push_back(f);
    }
  };
  auto settle = [&](const std::vector<int>& ts) {
    for (int t : ts) want(t);
    computeSpreads(wanted);
    for (int t : ts) {
      if (t < first || t > last || curveKnown[t]) continue;
      double sum = 0;
      for (int f = t - k; f < t + k; ++f) sum += spread[f];
      curve[t] = sum;
      curveKnown[t] = 1;
    }
  };

  // The largest and the smallest curve value, exactly.
  double largestLow = 0.0, smallestHigh = 0.0;
  std::vector<int> extremes;
  do {
    drawBounds();
    largestLow = low[first];
    smallestHigh = high[first];
    for (int t = first; t <= last; ++t) {
      largestLow = std::max(largestLow, low[t]);
      smallestHigh = std::min(smallestHigh, high[t]);
    }
    extremes.clear();
    for (int t = first; t <= last; ++t) {
      if (high[t] >= largestLow || low[t] <= smallestHigh) extremes.push_back(t);
    }
  } while (roughenWindows(extremes));
  settle(extremes);
  if (!boundsHeld) return false;
  double largest = -std::numeric_limits<double>::infinity();
  double smallest = std::numeric_limits<double>::infinity();
  for (int t : extremes) {
    if (high[t] >= largestLow) largest = std::max(largest, curve[t]);
    if (low[t] <= smallestHigh) smallest = std::min(smallest, curve[t]);
  }
  // As normalizeActivityCurve scales the whole curve: the frames near the
  // ends hold largest + 1, the largest value of all.
  const double edge = largest + 1.0;
  auto scaled = [&](double c) { return edge > 0 ? (c - smallest) / edge : 0.0; };
  std::vector<double> normalized(frames, 0.0);
  std::vector<double> normLow(frames), normHigh(frames);
  for (int t = 0; t < frames; ++t) {
    if (t < first || t > last) normalized[t] = normLow[t] = normHigh[t] = scaled(edge);
  }

  // The frame pair (segment) of a sample, as activityAtSample interpolates.
  const double step = (static_cast<double>(frames) - 1) / (sampleCount - 1);
  auto segmentOf = [&](std::int64_t s) {
    return static_cast<int>(std::floor(static_cast<double>(s) * (static_cast<double>(frames) - 1) /
                                       (sampleCount - 1)));
  };
  auto next = [&](int j) { return std::min(j + 1, frames - 1); };
  struct Range {
    std::int64_t first, last;
    std::vector<int> segments;  // those that may hold the quietest sample
  };
  std::vector<Range> ranges(static_cast<std::size_t>(positionCount) - 1);
  std::vector<int> needed;
  // Each round first gives transforms to the segment that sets each range's
  // ceiling, whose bound then narrows to a transform's, and only then to
  // every segment still below it: a narrow ceiling rules out most of them.
  std::vector<int> leaders;
  bool fresh = false;  // the bounds were drawn for the extremes already
  for (;;) {
    if (fresh) drawBounds();
    fresh = true;
    for (int t = first; t <= last; ++t) {
      normLow[t] = scaled(low[t]) - 1e-12;
      normHigh[t] = scaled(high[t]) + 1e-12;
    }
    needed.clear();
    leaders.clear();
    for (int i = 0; i + 1 < positionCount; ++i) {
      Range& r = ranges[i];
      r.segments.clear();
      r.first = positions[i] + margin;
      r.last = std::min<std::int64_t>(positions[i + 1] - margin - 1, sampleCount - 1);
      if (r.first > r.last) continue;
      const int j0 = segmentOf(r.first), j1 = segmentOf(r.last);
      double ceilingOfRange = std::numeric_limits<double>::infinity();
      int leader = j0;
      for (int j = j0; j <= j1; ++j) {
        const double top = std::max(normHigh[j], normHigh[next(j)]);
        if (top < ceilingOfRange) {
          ceilingOfRange = top;
          leader = j;
        }
      }
      leaders.push_back(leader);
      leaders.push_back(next(leader));
      for (int j = j0; j <= j1; ++j) {
        if (std::min(normLow[j], normLow[next(j)]) > ceilingOfRange) continue;
        r.segments.push_back(j);
        needed.push_back(j);
        needed.push_back(next(j));
      }
    }
    if (roughenWindows(leaders)) continue;
    if (!roughenWindows(needed)) break;
  }
  settle(needed);
  if (!boundsHeld) return false;
  for (int t : needed) {
    if (t >= first && t <= last) normalized[t] = scaled(curve[t]);
  }

  points.assign(ranges.size(), 0);
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const Range& r = ranges[i];
    QuietestSample quietest(r.first);
    for (int j : r.segments) {
      // The samples of segment j within the range, found among a couple
      // more either side.
      const std::int64_t from = std::max<std::int64_t>(r.first, static_cast<std::int64_t>(j / step) - 2);
      const std::int64_t to = std::min<std::int64_t>(r.last, static_cast<std::int64_t>((j + 1) / step) + 2);
      for (std::int64_t s = from; s <= to; ++s) {
        if (segmentOf(s) == j) quietest.offer(s, activityAtSample(normalized, sampleCount, s));
      }
    }
    points[i] = static_cast<std::uint32_t>(quietest.best);
  }
  return true;
}

}  // namespace

void normalizeActivityCurve(double* curve, std::uint32_t count) {
  if (!curve || count == 0) return;
  const auto range = std::minmax_element(curve, curve + count);
  const double low = *range.first;
  const double high = *range.second;
  for (std::uint32_t i = 0; i < count; ++i) {
    // A measured curve is never negative; one whose largest value is not
    // above 0 measured nothing, and every sample ties at 0.
    curve[i] = high > 0 ? (curve[i] - low) / high : 0.0;
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
    const std::int64_t frames = frameCountOf(sampleCount, kHop);
    // Without a frame away from both ends nothing was measured.
    const bool measured = frames > 2 * static_cast<std::int64_t>(win.border);
    const std::int64_t margin = static_cast<int>(0.015 * sampleRate);
    bool screened = false;
    if (measured && mode == 1) {
      screened = screenedSyncPoints(samples, sampleCount, positions, positionCount, margin, win, points);
    }
    if (measured && !screened) {
      std::vector<double> curve = activityCurveOf(samples, sampleCount, kFrameLength, kHop, mode, win);
      normalizeActivityCurve(curve.data(), static_cast<std::uint32_t>(curve.size()));
      points.resize(static_cast<std::size_t>(positionCount) - 1);
      for (int i = 0; i + 1 < positionCount; ++i) {
        const std::int64_t first = positions[i] + margin;
        const std::int64_t last = std::min<std::int64_t>(positions[i + 1] - margin - 1, sampleCount - 1);
        QuietestSample quietest(first);
        for (std::int64_t s = first; s <= last; ++s) quietest.offer(s, activityAtSample(curve, sampleCount, s));
        points[i] = static_cast<std::uint32_t>(quietest.best);
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
