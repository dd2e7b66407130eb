#include "CEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr int kOutOfMemory = -1;
constexpr int kRefused = -2;

// Capacities are 32-bit multiples of the growth step; this is the largest.
constexpr std::int64_t kMaxCapacity =
    std::numeric_limits<std::int32_t>::max() / CEnvelope::kGrowthStep * CEnvelope::kGrowthStep;

// A time this close after the second-to-last breakpoint still counts as
// "before it" and goes through the ordered search instead of being appended.
constexpr double kAppendMargin = 1e-8;

// Grows `array` (holding `used` live entries) to a capacity that is the
// next multiple of `step` covering `needed`. The old contents survive a
// failed allocation.
template <typename T>
void grow(std::unique_ptr<T[]>& array, std::int32_t& capacity, std::int64_t used, std::int64_t needed,
          std::int32_t step) {
  if (needed <= capacity) return;
  const std::int64_t newCapacity = ((needed - 1) / step + 1) * step;
  if (newCapacity > kMaxCapacity) throw kOutOfMemory;
  std::unique_ptr<T[]> bigger(new (std::nothrow) T[static_cast<std::size_t>(newCapacity)]);
  if (!bigger) throw kOutOfMemory;
  if (used > 0) std::memcpy(bigger.get(), array.get(), static_cast<std::size_t>(used) * sizeof(T));
  array = std::move(bigger);
  capacity = static_cast<std::int32_t>(newCapacity);
}

}  // namespace

CEnvelope::CEnvelope() = default;

CEnvelope::~CEnvelope() = default;

int CEnvelope::Set(std::uint8_t kind, std::uint8_t valueType, std::uint8_t interpolation, std::int64_t count,
                   int equalSpacing, std::uint32_t offAtMinimum, float minimum, float maximum,
                   float defaultValue) {
  if (std::isnan(minimum) || std::isnan(maximum) || std::isnan(defaultValue)) throw kRefused;
  m_breakpointCount = 0;
  m_sampleCount = 0;
  m_kind = kind;
  m_valueType = valueType;
  m_interpolation = interpolation;
  m_minimum = minimum;
  m_maximum = std::max(minimum, maximum);
  m_default = std::min(std::max(defaultValue, m_minimum), m_maximum);

  if (kind == kSampled) {
    const std::int64_t n = std::max<std::int64_t>(1, count);
    if (n > kMaxCapacity) throw kOutOfMemory;
    reserveSamples(n);
    std::fill(m_samples.get(), m_samples.get() + n, m_default);
    m_sampleCount = n;
  } else if (kind == kBreakpoints) {
    const std::int64_t n = std::max<std::int64_t>(2, count);
    if (n > kMaxCapacity) throw kOutOfMemory;
    reserveBreakpoints(n);
    // Every breakpoint is laid out evenly, flagged or not, so the times
    // always ascend from 0 to 1 whatever the caller writes over them next.
    for (std::int64_t i = 0; i < n; ++i)
      m_breakpoints[i] = {static_cast<double>(i) / static_cast<double>(n - 1), m_default};
    m_breakpoints[0].time = 0.0;
    m_breakpoints[n - 1].time = 1.0;
    m_breakpointCount = n;
  }

  m_pristine = 1;
  m_offAtMinimum = offAtMinimum;
  m_equalSpacing = equalSpacing;
  return 0;
}

void CEnvelope::Reset() {
  if (m_kind == kBreakpoints) {
    if (m_breakpointCapacity < 2) reserveBreakpoints(m_growthStep);
    const float d = resetValue();
    m_breakpoints[0] = {0.0, d};
    m_breakpoints[1] = {1.0, d};
    m_breakpointCount = 2;
  } else if (m_kind == kSampled) {
    std::fill(m_samples.get(), m_samples.get() + m_sampleCount, m_default);
  }
}

void CEnvelope::Clear(int keepStorage) {
  m_breakpointCount = 0;
  m_sampleCount = 0;
  if (keepStorage) return;
  m_breakpoints.reset();
  m_breakpointCapacity = 0;
  m_samples.reset();
  m_sampleCapacity = 0;
}

void CEnvelope::CopyFrom(const CEnvelope& other) {
  if (&other == this) return;
  Clear(other.m_kind == m_kind ? 1 : 0);
  const bool sampled = other.m_kind == kSampled;
  const std::int64_t count = sampled ? other.m_sampleCount
                             : other.m_kind == kBreakpoints ? other.m_breakpointCount
                                                            : 0;
  Set(other.m_kind, other.m_valueType, other.m_interpolation, count, sampled ? 0 : other.m_equalSpacing,
      sampled ? 0 : other.m_offAtMinimum, other.m_minimum, other.m_maximum, other.m_default);
  // Set never makes fewer than one sample or two breakpoints; an emptied
  // original must stay empty in the copy.
  if (sampled) {
    if (count > 0) std::memcpy(m_samples.get(), other.m_samples.get(), static_cast<std::size_t>(count) * sizeof(float));
    m_sampleCount = count;
  } else if (other.m_kind == kBreakpoints) {
    if (count > 0)
      std::memcpy(m_breakpoints.get(), other.m_breakpoints.get(), static_cast<std::size_t>(count) * sizeof(Breakpoint));
    m_breakpointCount = count;
  }
  m_pristine = other.m_pristine;
}

int CEnvelope::SetValue(double time, float value) {
  if (std::isnan(time) || std::isnan(value)) throw kRefused;
  if (m_kind != kSampled && m_kind != kBreakpoints) return 0;
  const float v = clampValue(value);
  if (m_kind == kBreakpoints)
    setBreakpointValue(time, v);
  else
    setSampleValue(time, v);
  m_pristine = 0;
  return 0;
}

void CEnvelope::setBreakpointValue(double time, float value) {
  // A cleared envelope has no first or last breakpoint to write to; it gets
  // its default pair back first.
  if (time == kAllTimes || m_breakpointCount < 2) Reset();
  Breakpoint* bp = m_breakpoints.get();
  const std::int64_t last = m_breakpointCount - 1;
  if (time == kAllTimes) {
    bp[0].value = value;
    bp[1].value = value;
    return;
  }
  if (time <= 0.0) {
    bp[0].value = value;
    return;
  }
  if (time >= 1.0) {
    bp[last].value = value;
    return;
  }
  if (time >= bp[last - 1].time + kAppendMargin) {
    insertBreakpoint(last, time, value);
    return;
  }

  std::int64_t j = 0;
  if (m_equalSpacing && bp[1].time > 0.0) {
    j = std::min<std::int64_t>(static_cast<std::int64_t>(time / bp[1].time), last);
    while (j > 0 && bp[j].time > time) --j;
    m_equalSpacing = 0;
  } else {
    std::int64_t hi = last;
    while (hi - j >= 5) {
      const std::int64_t mid = j + (hi - j) / 2;
      if (bp[mid].time <= time)
        j = mid;
      else
        hi = mid;
    }
  }
  // The last breakpoint sits at 1.0, beyond `time`, so the scan stops.
  while (bp[j].time < time) ++j;
  if (bp[j].time == time)
    bp[j].value = value;
  else
    insertBreakpoint(j, time, value);
}

void CEnvelope::insertBreakpoint(std::int64_t at, double time, float value) {
  reserveBreakpoints(m_breakpointCount + 1);
  Breakpoint* bp = m_breakpoints.get();
  std::memmove(bp + at + 1, bp + at, static_cast<std::size_t>(m_breakpointCount - at) * sizeof(Breakpoint));
  bp[at] = {time, value};
  ++m_breakpointCount;
  // The layout is no longer even: the lookup shortcut would pick the wrong
  // segment.
  m_equalSpacing = 0;
}

void CEnvelope::setSampleValue(double time, float value) {
  if (time == kAllTimes) {
    std::fill(m_samples.get(), m_samples.get() + m_sampleCount, value);
    return;
  }
  std::int64_t k = 0;
  if (time > 0.0) {
    if (time + 0.5 >= static_cast<double>(kMaxCapacity)) throw kOutOfMemory;
    k = static_cast<std::int64_t>(time + 0.5);
  }
  if (k >= m_sampleCount) {
    reserveSamples(k + 1);
    // Indexes skipped over read as the default rather than as stale memory.
    std::fill(m_samples.get() + m_sampleCount, m_samples.get() + k, m_default);
    m_sampleCount = k + 1;
  }
  m_samples[k] = value;
}

float CEnvelope::GetValue(double time) const {
  if (m_kind == kSampled) {
    if (m_sampleCount == 0) return 0.0f;
    if (std::isnan(time)) return m_default;
    if (time <= 0.0) return m_samples[0];
    const double lastIndex = static_cast<double>(m_sampleCount - 1);
    if (time >= lastIndex) {
      if (time + 0.5 >= static_cast<double>(m_sampleCount)) return m_default;
      return m_samples[m_sampleCount - 1];
    }
    return m_samples[static_cast<std::int64_t>(time + 0.5)];
  }
  if (m_kind != kBreakpoints || m_breakpointCount == 0) return 0.0f;
  if (std::isnan(time)) return m_default;
  if (time <= 0.0) return m_breakpoints[0].value;
  if (time >= 1.0 || m_breakpointCount < 2) return m_breakpoints[m_breakpointCount - 1].value;
  return interpolate(segmentBefore(time), time);
}

std::int64_t CEnvelope::segmentBefore(double time) const {
  const Breakpoint* bp = m_breakpoints.get();
  const std::int64_t last = m_breakpointCount - 1;
  std::int64_t i = 0;
  if (m_equalSpacing && bp[1].time > 0.0) {
    // Constant time; the nudges only undo rounding of the division.
    i = std::min<std::int64_t>(static_cast<std::int64_t>(time / bp[1].time), last - 1);
    while (i > 0 && bp[i].time > time) --i;
    while (i + 1 < last && bp[i + 1].time <= time) ++i;
    return i;
  }
  std::int64_t hi = last;
  while (hi - i >= 5) {
    const std::int64_t mid = i + (hi - i) / 2;
    if (bp[mid].time <= time)
      i = mid;
    else
      hi = mid;
  }
  std::int64_t j = i + 1;
  while (bp[j].time <= time) ++j;
  return j - 1;
}

float CEnvelope::interpolate(std::int64_t i, double time) const {
  const Breakpoint& a = m_breakpoints[i];
  if (m_interpolation == kStep) return a.value;
  if (m_interpolation != kLinear) return m_breakpoints[m_breakpointCount - 1].value;
  if (time == a.time) return a.value;
  const Breakpoint& b = m_breakpoints[i + 1];
  if (m_offAtMinimum) {
    if (b.value <= m_minimum) return a.value;
    if (a.value <= m_minimum) return b.value;
  }
  const double fraction = (time - a.time) / (b.time - a.time);
  return static_cast<float>(a.value + (static_cast<double>(b.value) - a.value) * fraction);
}

float CEnvelope::clampValue(float value) const {
  float v = std::min(std::max(value, m_minimum), m_maximum);
  if (m_valueType == kInteger) v = std::trunc(v);
  return v;
}

float CEnvelope::resetValue() const {
  return m_valueType == kInteger ? std::trunc(m_default + 0.5f) : m_default;
}

void CEnvelope::reserveBreakpoints(std::int64_t needed) {
  grow(m_breakpoints, m_breakpointCapacity, m_breakpointCount, needed, m_growthStep);
}

void CEnvelope::reserveSamples(std::int64_t needed) {
  grow(m_samples, m_sampleCapacity, m_sampleCount, needed, m_growthStep);
}
