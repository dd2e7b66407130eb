// Integer onset envelope. The filter stages run in place over one copy of the
// signal; framing, the slow level and the change curve work per frame.

#include "OnsetEnvelope.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// trunc(numerator / rate), capped; the cap when the rate is not positive.
std::int64_t rateCoefficient(double numerator, double rate, std::int64_t cap) {
  if (!(rate > 0.0)) return cap;
  const double v = numerator / rate;
  return v >= static_cast<double>(cap) ? cap : static_cast<std::int64_t>(v);
}

void centredAverage(std::int64_t* x, std::int64_t n, std::int64_t width, bool positiveOnly) {
  if (width <= 0 || n <= 0) return;
  std::vector<std::int64_t> prefix(static_cast<std::size_t>(n + 1), 0);
  for (std::int64_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + x[i];
  const std::int64_t half = width / 2;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int64_t lo = std::clamp<std::int64_t>(i - half, 0, n);
    const std::int64_t hi = std::clamp<std::int64_t>(i - half + width, 0, n);
    const std::int64_t mean = (prefix[hi] - prefix[lo]) / width;
    if (!positiveOnly || x[i] > 0) x[i] = mean;
  }
}

}  // namespace

std::int64_t OnsetHop(double rate) {
  const double v = rate / 344.0;
  return v >= 1.0 && std::isfinite(v) ? static_cast<std::int64_t>(v) : 1;
}

void PreEmphasis(std::int64_t* x, std::int64_t count, std::int64_t factor) {
  std::int64_t previous = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t current = x[i];
    x[i] = current - ((previous * factor) >> 4);
    previous = current;
  }
}

void ResonantFilter(std::int64_t* x, std::int64_t count, std::int64_t k) {
  k = std::min<std::int64_t>(k, 1024);
  std::int64_t s1 = 0, s2 = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t t = 32 * x[i] - (s1 + s2);
    x[i] = x[i] - (s1 >> 5);
    s1 += (t * k) >> 10;
    s2 += (s1 * k) >> 10;
  }
}

void EnvelopeFollower(std::int64_t* x, std::int64_t count, std::int64_t attack, std::int64_t release) {
  attack = std::min<std::int64_t>(attack, 8192);
  release = std::min<std::int64_t>(release, 8192);
  std::int64_t e = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    std::int64_t v = 8 * x[i];
    const std::int64_t c = v > e ? attack : release;
    if (c != 8192) v = e + ((c * (v - e)) >> 13);
    e = v;
    x[i] = v >> 3;
  }
}

void OnsetMovingAverage(std::int64_t* x, std::int64_t n, std::int64_t width) { centredAverage(x, n, width, false); }

void OnsetPositiveAverage(std::int64_t* x, std::int64_t n, std::int64_t width) { centredAverage(x, n, width, true); }

void FrameEnvelope(const std::int64_t* x, std::int64_t* out, std::int64_t count, std::int64_t frames, double rate,
                   int envelopeMode) {
  const std::int64_t hop = OnsetHop(rate);
  frames = std::clamp<std::int64_t>(frames, 0, count);
  std::vector<std::int64_t> y(x, x + count);
  PreEmphasis(y.data(), count, OnsetEnvelopeSettings::kPreEmphasisFactor);
  ResonantFilter(y.data(), count, rateCoefficient(451584.0, rate, 1024));
  for (auto& v : y) v = v < 0 ? -v : v;
  if (envelopeMode == 0) {
    EnvelopeFollower(y.data(), count, rateCoefficient(14450688.0, rate, 8192), rateCoefficient(505774.08, rate, 8192));
    OnsetPositiveAverage(y.data(), count, 5 * hop);
  }
  for (std::int64_t k = 0; k < frames; ++k) {
    const std::int64_t from = k * hop;
    const std::int64_t to = std::min(from + hop, count);
    std::int64_t sum = 0;
    for (std::int64_t i = from; i < to; ++i) sum += y[static_cast<std::size_t>(i)];
    out[k] = to > from ? sum / (to - from) : 0;
  }
  if (envelopeMode == 1) {
    std::int64_t e = 0;
    for (std::int64_t k = 0; k < frames; ++k) {
      const std::int64_t v = 8 * out[k];
      const std::int64_t c = v > e ? 6659 : 1294;
      e = e + ((c * (v - e)) >> 13);
      out[k] = e >> 3;
    }
    OnsetMovingAverage(out, frames, 5);
  }
  std::vector<std::int64_t> level(static_cast<std::size_t>(frames));
  for (std::int64_t k = 0; k < frames; ++k) level[k] = out[k] / 2;
  OnsetMovingAverage(level.data(), frames, OnsetEnvelopeSettings::kLevelWidth);
  std::int64_t previous = 0;
  for (std::int64_t k = 0; k < frames; ++k) {
    const std::int64_t current = out[k];
    out[k] = current - previous;
    previous = current;
  }
  OnsetMovingAverage(out, frames, OnsetEnvelopeSettings::kChangeWidth);
  for (std::int64_t k = 0; k < frames; ++k) {
    const std::int64_t w = level[static_cast<std::size_t>(k)];
    out[k] = w >= 129 ? (out[k] * 8192) / w : out[k] * 64;
  }
}

std::int64_t PickOnsets(std::int64_t* envelope, std::uint16_t* onsets, std::int64_t frames, std::int16_t threshold) {
  constexpr std::uint16_t kRise = 65535;
  if (frames <= 0) return 0;
  std::fill(onsets, onsets + frames, 0);
  const std::int64_t peak = *std::max_element(envelope, envelope + frames);
  const std::int64_t floor = peak >> 7;
  std::int64_t first = -1;
  std::int64_t i = 0;
  while (i < frames) {
    if (envelope[i] <= floor) {
      ++i;
      continue;
    }
    const std::int64_t start = i;
    std::int64_t top = i;
    while (top + 1 < frames && envelope[top + 1] > envelope[top]) ++top;
    // envelope[top] > floor >= 0, so the peak is positive here.
    const auto strength = static_cast<std::uint16_t>((envelope[top] * 128) / peak);
    onsets[top] = strength;
    if (first < 0 && strength > threshold) first = top;
    for (std::int64_t f = start; f < top; ++f) onsets[f] = kRise;
    // The falling side of this rise belongs to it.
    i = top + 1;
    while (i < frames && envelope[i] > floor && envelope[i] <= envelope[i - 1]) ++i;
  }
  std::uint16_t next = 0;
  for (std::int64_t k = frames - 1; k >= 0; --k) {
    if (onsets[k] == kRise) onsets[k] = next;
    else next = onsets[k];
  }
  return first < 0 ? 0 : first;
}

std::int64_t OnsetEnvelope(std::int64_t count, const std::int64_t* mono, std::uint16_t* onsets, double rate) {
  const std::int64_t hop = OnsetHop(rate);
  const auto frames = static_cast<std::int64_t>(static_cast<double>(count) / static_cast<double>(hop) + 0.5);
  try {
    std::vector<std::int64_t> work(static_cast<std::size_t>(std::max<std::int64_t>(count, frames)));
    FrameEnvelope(mono, work.data(), count, frames, rate);
    return PickOnsets(work.data(), onsets, frames, OnsetEnvelopeSettings::kOnsetThreshold);
  } catch (const std::bad_alloc&) {
    throw -1;
  }
}
