// Synchronised overlap-add in fixed point. Shortening cross-fades from the
// read position into the best-matching lag ahead of it and skips the lag;
// lengthening keeps the last max_offset samples heard and cross-fades from
// the read position back into the best-matching earlier stretch, so that the
// lag is heard twice. Between splices plain copies make up the ratio.

#include "OverlapAddStretcher.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

struct SpliceRow {
  double minOffset;  // seconds
  double maxOffset;  // seconds
  double crossFade;  // seconds
  std::int64_t step; // samples
};

// Rows for the ratios 0.5, 0.6, ... 2.1.
constexpr SpliceRow kRows[] = {
    {0.025, 0.040, 0.014, 40}, {0.015, 0.035, 0.014, 28}, {0.010, 0.030, 0.014, 20},
    {0.010, 0.030, 0.014, 8},  {0.005, 0.025, 0.012, 4},  {0.005, 0.025, 0.012, 4},
    {0.005, 0.025, 0.012, 8},  {0.005, 0.025, 0.014, 12}, {0.005, 0.025, 0.014, 16},
    {0.005, 0.025, 0.014, 20}, {0.005, 0.025, 0.014, 20}, {0.005, 0.025, 0.014, 20},
    {0.008, 0.028, 0.014, 20}, {0.010, 0.030, 0.014, 20}, {0.013, 0.033, 0.014, 24},
    {0.015, 0.035, 0.014, 24}, {0.015, 0.035, 0.014, 24},
};
constexpr std::int64_t kLastRow = sizeof(kRows) / sizeof(kRows[0]) - 1;

constexpr std::int64_t kUnity = 10000;

std::int64_t clampRow(std::int64_t row) { return std::clamp<std::int64_t>(row, 0, kLastRow); }

}  // namespace

void OverlapAddStretcher::Setup(std::int64_t fs, std::int64_t ratioUnits, std::int64_t channels) {
  State s;
  s.channels = channels;
  s.fs = fs;
  s.ratio = ratioUnits;
  const std::int64_t r = ratioUnits / 1000;
  const double f = static_cast<double>(ratioUnits - 1000 * r) / 1000.0;
  const SpliceRow& lo = kRows[clampRow(r - 5)];
  const SpliceRow& hi = kRows[clampRow(r - 4)];
  const double minSec = lo.minOffset * (1.0 - f) + hi.minOffset * f;
  const double maxSec = lo.maxOffset * (1.0 - f) + hi.maxOffset * f;
  const double cfSec = lo.crossFade * (1.0 - f) + hi.crossFade * f;
  const double rate = static_cast<double>(fs);
  s.min_offset = static_cast<std::int64_t>(rate * minSec);
  s.max_offset = static_cast<std::int64_t>(rate * maxSec);
  s.offset = s.max_offset;
  s.cftime = std::max<std::int64_t>(1, static_cast<std::int64_t>(rate * cfSec));
  s.step = lo.step;
  s.lc = s.cftime / s.step;
  if (ratioUnits > kUnity) {
    s.rate = static_cast<double>(ratioUnits) / static_cast<double>(ratioUnits - kUnity);
    // A lag must make room for the kept history and the cross-fade.
    const double m = (maxSec + cfSec) / s.rate;
    if (m > minSec) {
      s.min_offset = static_cast<std::int64_t>(rate * m);
      if (m_log) *m_log << "resetting min_offset: " << std::fixed << m << "\n" << std::defaultfloat;
    }
  } else if (ratioUnits < kUnity) {
    s.rate = static_cast<double>(ratioUnits) / static_cast<double>(kUnity - ratioUnits);
  }
  s.size = s.max_offset + s.cftime;
  // Lengthening first copies the history its first splice looks back into.
  s.ilength = ratioUnits > kUnity ? s.max_offset : 0;
  m_state = s;

  m_window.assign(static_cast<std::size_t>(s.cftime), 1.0);
  if (s.cftime > 1) {
    const double pi = std::acos(-1.0);
    for (std::int64_t i = 0; i < s.cftime; ++i) {
      m_window[static_cast<std::size_t>(i)] =
          (1.0 - std::cos(static_cast<double>(i) * pi / static_cast<double>(s.cftime - 1))) / 2.0;
    }
  }
  const std::size_t capacity = static_cast<std::size_t>(2 * s.size + 16);
  m_mix.assign(static_cast<std::size_t>(s.size), 0.0);
  for (int ch = 0; ch < 2; ++ch) {
    m_input[ch].assign(ch < channels ? capacity : 0, 0);
    m_output[ch].clear();
    m_output[ch].reserve(ch < channels ? capacity : 0);
  }
}

void OverlapAddStretcher::mixFrom(std::int64_t start) {
  for (std::int64_t i = 0; i < m_state.size; ++i) {
    double sum = 0.0;
    for (int ch = 0; ch < m_state.channels; ++ch)
      sum += static_cast<double>(m_input[ch][static_cast<std::size_t>(start + i)]);
    m_mix[static_cast<std::size_t>(i)] = sum;
  }
}

std::int64_t OverlapAddStretcher::searchShortening() const {
  const State& s = m_state;
  double best = std::numeric_limits<double>::infinity();
  std::int64_t bestLag = s.min_offset;
  for (std::int64_t k = s.min_offset; k < s.max_offset; ++k) {
    double d = 0.0;
    for (std::int64_t i = 0; i < s.lc; ++i) {
      const double diff = m_mix[static_cast<std::size_t>(i * s.step)] - m_mix[static_cast<std::size_t>(k + i * s.step)];
      d += diff * diff;
    }
    if (d < best) {
      best = d;
      bestLag = k;
    }
  }
  return bestLag;
}

std::int64_t OverlapAddStretcher::searchLengthening() const {
  const State& s = m_state;
  double best = std::numeric_limits<double>::infinity();
  std::int64_t bestCandidate = 0;
  for (std::int64_t c = 0; c < s.max_offset - s.min_offset; ++c) {
    double d = 0.0;
    for (std::int64_t i = 0; i < s.lc; ++i) {
      const double diff = m_mix[static_cast<std::size_t>(s.max_offset + i * s.step)] -
                          m_mix[static_cast<std::size_t>(c + i * s.step)];
      d += diff * diff;
    }
    if (d < best) {
      best = d;
      bestCandidate = c;
    }
  }
  return bestCandidate;
}

void OverlapAddStretcher::setCopyLength(std::int64_t lag) {
  State& s = m_state;
  s.offset = lag;
  s.flength = static_cast<double>(lag) * s.rate + s.error;
  s.ilength = static_cast<std::int64_t>(s.flength);
  s.error = s.flength - static_cast<double>(s.ilength);
  s.ilength -= s.cftime;
}

std::int64_t OverlapAddStretcher::Process() {
  State& s = m_state;
  for (int ch = 0; ch < s.channels; ++ch) m_output[ch].clear();
  s.oindex = 0;
  for (;;) {
    if (s.ratio == kUnity) {
      for (std::int64_t i = s.rindex; i < s.windex; ++i)
        for (int ch = 0; ch < s.channels; ++ch) emit(ch, m_input[ch][static_cast<std::size_t>(i)]);
      s.oindex += s.windex - s.rindex;
      s.rindex = s.windex;
      break;
    }
    if (s.ilength >= 1) {
      const std::int64_t n = std::min(s.ilength, s.windex - s.rindex);
      for (std::int64_t i = 0; i < n; ++i)
        for (int ch = 0; ch < s.channels; ++ch) emit(ch, m_input[ch][static_cast<std::size_t>(s.rindex + i)]);
      s.rindex += n;
      s.ilength -= n;
      s.oindex += n;
      if (s.ilength >= 1) break;
    }
    if (s.ratio < kUnity) {
      if (s.windex - s.rindex < s.size) break;
      mixFrom(s.rindex);
      const std::int64_t k = searchShortening();
      for (std::int64_t i = 0; i < s.cftime; ++i) {
        const double w = m_window[static_cast<std::size_t>(i)];
        for (int ch = 0; ch < s.channels; ++ch) {
          const auto& x = m_input[ch];
          emit(ch, static_cast<std::int64_t>(static_cast<double>(x[static_cast<std::size_t>(s.rindex + k + i)]) * w +
                                             static_cast<double>(x[static_cast<std::size_t>(s.rindex + i)]) * (1.0 - w)));
        }
      }
      s.rindex += k + s.cftime;
      setCopyLength(k);
      s.oindex += s.cftime;
      continue;
    }
    {
      if (s.rindex < s.max_offset) {  // not enough history yet: copy on
        s.ilength = s.max_offset - s.rindex;
        continue;
      }
      const std::int64_t base = s.rindex - s.max_offset;
      if (s.windex - base < s.size) break;
      mixFrom(base);
      const std::int64_t c = searchLengthening();
      for (std::int64_t i = 0; i < s.cftime; ++i) {
        const double w = m_window[static_cast<std::size_t>(i)];
        for (int ch = 0; ch < s.channels; ++ch) {
          const auto& x = m_input[ch];
          emit(ch, static_cast<std::int64_t>(static_cast<double>(x[static_cast<std::size_t>(base + c + i)]) * w +
                                             static_cast<double>(x[static_cast<std::size_t>(s.rindex + i)]) * (1.0 - w)));
        }
      }
      s.rindex = base + c + s.cftime;
      setCopyLength(s.max_offset - c);
      s.oindex += s.cftime;
    }
  }
  compact();
  return s.oindex;
}

void OverlapAddStretcher::compact() {
  State& s = m_state;
  // Lengthening keeps the history its next splice may jump back into.
  const std::int64_t keep = s.ratio > kUnity ? std::max<std::int64_t>(0, s.rindex - s.max_offset) : s.rindex;
  if (keep <= 0) return;
  for (int ch = 0; ch < s.channels; ++ch) {
    auto& x = m_input[ch];
    std::copy(x.begin() + keep, x.begin() + s.windex, x.begin());
  }
  s.windex -= keep;
  s.rindex -= keep;
}

std::int64_t OverlapAddStretcher::fill(const TimeMachineInput& in, std::int64_t& consumed, std::int64_t available) {
  State& s = m_state;
  const auto capacity = static_cast<std::int64_t>(m_input[0].size());
  const auto count = static_cast<std::int64_t>(in.sampleCount);
  const std::int64_t n = std::max<std::int64_t>(0, std::min(capacity - s.windex, available - consumed));
  const float* source[2] = {in.left, in.right};
  for (int ch = 0; ch < s.channels; ++ch) {
    for (std::int64_t i = 0; i < n; ++i) {
      const std::int64_t at = consumed + i;
      m_input[ch][static_cast<std::size_t>(s.windex + i)] = at < count ? TimeDomainStretch::toFixed(source[ch][at]) : 0;
    }
  }
  s.windex += n;
  consumed += n;
  return n;
}

std::int64_t OverlapAddStretcher::Run(const TimeMachineInput& in, const Request& request, StretchedAudio& out) {
  if (!in.left || in.sampleRate < 1 || in.sampleRate > 1000000) throw -2;
  if (!(request.ratio >= 0.5 && request.ratio < 2.1)) throw -2;
  const auto count = static_cast<std::int64_t>(in.sampleCount);
  if (count < 0) throw -2;
  const int channels = TimeDomainStretch::channelsOf(in);
  const auto units = static_cast<std::int64_t>(std::floor(request.ratio * 10000.0 + 0.5));
  const std::int64_t wanted =
      request.outputLength > 0 ? request.outputLength
                               : static_cast<std::int64_t>(std::floor(static_cast<double>(units) *
                                                                      static_cast<double>(count) / 10000.0));
  Setup(static_cast<std::int64_t>(in.sampleRate), units, channels);
  out = StretchedAudio{};
  try {
    const std::int64_t capacity = wanted + 1024;
    out.left.reserve(static_cast<std::size_t>(capacity));
    if (channels == 2) out.right.reserve(static_cast<std::size_t>(capacity));
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  // Silence past the end lets the last buffered samples reach the output.
  const std::int64_t available = count + m_state.size + m_state.max_offset;
  std::int64_t consumed = 0;
  while (static_cast<std::int64_t>(out.left.size()) < wanted) {
    const std::int64_t fresh = fill(in, consumed, available);
    const std::int64_t made = Process();
    std::vector<float>* targets[2] = {&out.left, &out.right};
    for (int ch = 0; ch < channels; ++ch) {
      for (std::int64_t i = 0; i < made && static_cast<std::int64_t>(targets[ch]->size()) < wanted; ++i)
        targets[ch]->push_back(TimeDomainStretch::fromFixed(m_output[ch][static_cast<std::size_t>(i)]));
    }
    if (fresh == 0 && made == 0) break;
  }
  TimeDomainStretch::finishToLength(out, channels == 2, wanted);
  return out.produced;
}

void OverlapAddStretcher::Dump(std::ostream& os) const {
  const State& s = m_state;
  const double fs = s.fs > 0 ? static_cast<double>(s.fs) : 1.0;
  auto len = [&](const char* name, std::int64_t v) {
    os << name << ": " << v << "(" << std::fixed << static_cast<double>(v) / fs << " sec)\n" << std::defaultfloat;
  };
  os << "fs: " << s.fs << "\n" << "ratio: " << s.ratio << "\n";
  len("offset", s.offset);
  len("min_offset", s.min_offset);
  len("max_offset", s.max_offset);
  len("cftime", s.cftime);
  len("ilength", s.ilength);
  os << std::fixed << "flength: " << s.flength << "(" << s.flength / fs << " sec)\n" << std::defaultfloat;
  os << "step: " << s.step << "\n" << "lc: " << s.lc << "\n";
  os << std::fixed << "rate: " << s.rate << "\n" << "error: " << s.error << "\n" << std::defaultfloat;
  os << "size: " << s.size << "\n" << "rindex: " << s.rindex << "\n" << "windex: " << s.windex << "\n"
     << "oindex: " << s.oindex << "\n";
}
