// Attack-cut period stretching. The segmenter walks the buffered input hop by
// hop; an energy that more than doubles its recent average and rises by more
// than an absolute step is an attack (unless one began within the hold) and
// closes the segment before it. A full buffer without an attack does not end
// the segment: what it holds is stretched by whole-period splices, each made
// when the output has fallen half a splice behind (or run half a splice
// ahead of) the ratio, and the buffer keeps the samples the segment's end
// needs. At the segment's end its last samples are brought to exactly the
// output the whole segment is owed, by whole-period splices spread over
// them, and the remainder (less than a period) is absorbed by the cross-fade
// that joins them to their own end. Cutting a steady tone at the buffer
// instead would leave such a remainder, a jump of phase, every buffer.

#include "OnsetSegmentedStretcher.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr double kQuietAverage = 6.5536e7;
constexpr double kRiseWhenQuiet = 65536000.0;
constexpr double kRiseWhenLoud = 32768000.0;
constexpr double kRelativeRise = 1.0;
constexpr std::int64_t kCompareSpacing = 16;

std::int64_t ceilOf(double v) { return static_cast<std::int64_t>(std::ceil(v)); }

// Splices per period found: lengthening repeats the period `repeats` times,
// shortening drops `drops` periods; one of each for ratios within 0.75 ..
// 1.5, more beyond, so that every splice moves the output towards its
// share by at least half a period.
std::int64_t repeatsFor(double ratio) { return std::max<std::int64_t>(1, ceilOf(ratio - 0.5)); }
std::int64_t dropsFor(double ratio) { return std::max<std::int64_t>(1, ceilOf(1.5 / ratio) - 1); }

}  // namespace

OnsetSegmentedStretcher::Parameters OnsetSegmentedStretcher::MakeParameters(std::int64_t sampleRate) {
  const double fs = static_cast<double>(sampleRate);
  Parameters p;
  p.hop = std::max<std::int64_t>(1, ceilOf(0.001 * fs));
  p.energyWindow = std::max<std::int64_t>(1, ceilOf(0.003 * fs));
  p.attackHold = ceilOf(0.03 * fs / static_cast<double>(p.hop));
  p.largestPeriod = std::max<std::int64_t>(2, sampleRate / 50);
  p.smallestPeriod = std::max<std::int64_t>(1, sampleRate / 200);
  p.bufferLength = std::max<std::int64_t>(15000, 4 * p.largestPeriod + p.energyWindow);
  p.attackGuard = ceilOf(0.02 * fs);
  return p;
}

void OnsetSegmentedStretcher::Reset(double ratio) {
  m_ratio = ratio;
  m_carry = 0.0;
  m_e1 = m_e2 = 0.0;
  m_hopsSinceAttack = m_params.attackHold;
  m_consumedTotal = 0;
  m_segmentStart = 0;
  m_segmentIn = 0;
  m_segmentOut = 0;
  m_scan = 0;
  m_fill = 0;
}

std::int64_t OnsetSegmentedStretcher::NextSegmentLength(std::int64_t n) {
  const double exact = m_ratio * static_cast<double>(n);
  auto m = static_cast<std::int64_t>(std::floor(exact));
  m_carry += exact - static_cast<double>(m);
  if (m_carry > 1.0) {
    m += 1;
    m_carry -= 1.0;
  }
  return m;
}

bool OnsetSegmentedStretcher::attackAt(std::int64_t position) {
  const std::int64_t end = position + m_params.hop;
  const std::int64_t begin = std::max<std::int64_t>(0, end - m_params.energyWindow);
  double sum = 0.0;
  for (std::int64_t i = begin; i < end; ++i) {
    double x = static_cast<double>(m_buffer[0][static_cast<std::size_t>(i)]);
    if (m_channels == 2) x = (x + static_cast<double>(m_buffer[1][static_cast<std::size_t>(i)])) * 0.5;
    sum += x * x;
  }
  const double e = std::sqrt(static_cast<double>(m_params.hop) * sum / static_cast<double>(end - begin));
  const double a = (m_e1 + 2.0 * m_e2) / 3.0;
  const double rise = a > kQuietAverage ? kRiseWhenLoud : kRiseWhenQuiet;
  // |e - a| / a > 1 without dividing by a silent average.
  const bool attack = std::fabs(e - a) > kRelativeRise * a && e - m_e1 > rise &&
                      m_hopsSinceAttack >= m_params.attackHold;
  m_e2 = m_e1;
  m_e1 = e;
  return attack;
}

void OnsetSegmentedStretcher::consume(std::int64_t n) {
  for (int ch = 0; ch < m_channels; ++ch) {
    auto& b = m_buffer[ch];
    std::copy(b.begin() + n, b.begin() + m_fill, b.begin());
  }
  m_fill -= n;
  m_consumedTotal += n;
}

void OnsetSegmentedStretcher::segment(bool final) {
  while (m_scan + m_params.hop <= m_fill) {
    if (attackAt(m_scan)) {
      if (m_scan > 0) {
        finishSegment(m_scan);
        consume(m_scan);
        m_scan = 0;
      }
      m_hopsSinceAttack = 0;
    }
    m_scan += m_params.hop;
    ++m_hopsSinceAttack;
  }
  if (final) {
    if (m_fill > 0) {
      finishSegment(m_fill);
      consume(m_fill);
    }
    m_scan = 0;
  } else if (m_fill == m_params.bufferLength && m_scan > 0) {
    const std::int64_t done = streamSegment(m_scan);
    consume(done);
    m_scan -= done;
  }
}

void OnsetSegmentedStretcher::load(std::int64_t n) {
  for (int ch = 0; ch < m_channels; ++ch)
    for (std::int64_t i = 0; i < n; ++i)
      m_seg[ch][static_cast<std::size_t>(i)] = static_cast<double>(m_buffer[ch][static_cast<std::size_t>(i)]);
  for (std::int64_t i = 0; i < n; ++i)
    m_mono[static_cast<std::size_t>(i)] = m_channels == 2 ? (m_seg[0][i] + m_seg[1][i]) * 0.5 : m_seg[0][i];
}

std::int64_t OnsetSegmentedStretcher::streamSegment(std::int64_t scanned) {
  const std::int64_t largest = m_params.largestPeriod;
  // The segment's end gets at least this much to splice and join in.
  const std::int64_t keep = 2 * largest + m_params.boundaryFade;
  const std::int64_t limit = scanned - keep;
  if (limit <= 0) return 0;
  load(scanned);
  const double ratio = m_ratio;
  const std::int64_t repeats = repeatsFor(ratio);
  const std::int64_t drops = dropsFor(ratio);
  std::int64_t rp = 0;
  // The last period found stands for the next until a splice is due: only
  // a splice needs the period where it is made.
  std::int64_t estimate = 0;
  while (rp < limit) {
    const std::int64_t in = m_segmentIn + rp;
    if (ratio == 1.0 || in < m_params.attackGuard) {
      const std::int64_t n = ratio == 1.0 ? limit - rp : std::min(limit - rp, m_params.attackGuard - in);
      copyOut(rp, n);
      rp += n;
      continue;
    }
    // Output ahead of the segment's share so far (negative: behind).
    const double ahead = static_cast<double>(m_segmentOut) - ratio * static_cast<double>(in);
    // What a period search and a splice may read, all short of the samples
    // kept for the end.
    const std::int64_t reach = ratio > 1.0 ? 2 * largest : std::max<std::int64_t>(2, drops + 1) * largest;
    if (rp + reach > limit) break;
    auto periodHere = [&] { return findPeriod(m_mono.data() + rp, m_params.smallestPeriod, largest); };
    if (estimate == 0) estimate = periodHere();
    const double kd = static_cast<double>(estimate);
    if (ratio > 1.0) {
      // A splice reads k and writes (1 + repeats) k.
      const double gain = (1.0 + static_cast<double>(repeats) - ratio) * kd;
      if (-ahead >= gain / 2.0) {
        const std::int64_t k = periodHere();
        repeatSplice(rp, k, repeats);
        rp += k;
        estimate = k;
      } else {
        const std::int64_t n = std::max<std::int64_t>(1, ceilOf((gain / 2.0 + ahead) / (ratio - 1.0)));
        const std::int64_t c = std::min(n, limit - rp);
        copyOut(rp, c);
        rp += c;
      }
    } else {
      // A splice reads (1 + drops) k and writes k.
      const double loss = (ratio * static_cast<double>(1 + drops) - 1.0) * kd;
      if (ahead >= loss / 2.0) {
        const std::int64_t k = periodHere();
        dropSplice(rp, k, drops);
        rp += (1 + drops) * k;
        estimate = k;
      } else {
        const std::int64_t n = std::max<std::int64_t>(1, ceilOf((loss / 2.0 - ahead) / (1.0 - ratio)));
        const std::int64_t c = std::min(n, limit - rp);
        copyOut(rp, c);
        rp += c;
      }
    }
  }
  m_segmentIn += rp;
  return rp;
}

void OnsetSegmentedStretcher::finishSegment(std::int64_t n) {
  const std::int64_t total = m_segmentIn + n;
  const std::int64_t m = NextSegmentLength(total);
  m_segmentStarts.push_back(m_segmentStart);
  m_segmentLengths.push_back(m);
  load(n);
  stretchRest(n, std::max<std::int64_t>(0, m - m_segmentOut));
  m_segmentStart += total;
  m_segmentIn = 0;
  m_segmentOut = 0;
}

std::int64_t OnsetSegmentedStretcher::findPeriod(const double* x, std::int64_t smallest, std::int64_t largest) const {
  double best = std::numeric_limits<double>::infinity();
  std::int64_t period = smallest;
  for (std::int64_t k = smallest; k <= largest; ++k) {
    double sum = 0.0;
    for (std::int64_t j = 0; j < largest; j += kCompareSpacing) {
      const double d = x[j] - x[j + k];
      sum += d * d;
    }
    if (sum < best) {
      best = sum;
      period = k;
    }
  }
  return period;
}

void OnsetSegmentedStretcher::put(int channel, double fixedValue) {
  auto& t = channel == 0 ? m_out->left : m_out->right;
  if (static_cast<std::int64_t>(t.size()) < m_capacity)
    t.push_back(static_cast<float>(fixedValue * TimeDomainStretch::kFixedUnscale));
}

void OnsetSegmentedStretcher::copyOut(std::int64_t from, std::int64_t count) {
  if (count <= 0) return;
  for (int ch = 0; ch < m_channels; ++ch)
    for (std::int64_t i = 0; i < count; ++i) put(ch, m_seg[ch][static_cast<std::size_t>(from + i)]);
  m_segmentOut += count;
}

void OnsetSegmentedStretcher::putCrossFade(const double* a, const double* b, std::int64_t n, int channel) {
  TimeDomainStretch::crossFade(a, b, n, m_fade.data());
  for (std::int64_t i = 0; i < n; ++i) put(channel, m_fade[static_cast<std::size_t>(i)]);
}

void OnsetSegmentedStretcher::repeatSplice(std::int64_t at, std::int64_t period, std::int64_t repeats) {
  for (int ch = 0; ch < m_channels; ++ch) {
    const double* x = &m_seg[ch][static_cast<std::size_t>(at)];
    TimeDomainStretch::repeatPeriod(x, period, m_fade.data());
    for (std::int64_t i = 0; i < 2 * period; ++i) put(ch, m_fade[static_cast<std::size_t>(i)]);
    // Each further repeat fades from the successor back into the period again.
    for (std::int64_t r = 1; r < repeats; ++r)
      for (std::int64_t i = period; i < 2 * period; ++i) put(ch, m_fade[static_cast<std::size_t>(i)]);
  }
  m_segmentOut += (1 + repeats) * period;
}

void OnsetSegmentedStretcher::dropSplice(std::int64_t at, std::int64_t period, std::int64_t drops) {
  for (int ch = 0; ch < m_channels; ++ch) {
    const double* x = &m_seg[ch][static_cast<std::size_t>(at)];
    // Periods are periods of each other's multiples: `drops` of them are
    // one lag of drops x period.
    TimeDomainStretch::crossFade(x, x + drops * period, period, m_fade.data());
    for (std::int64_t i = 0; i < period; ++i) put(ch, m_fade[static_cast<std::size_t>(i)]);
  }
  m_segmentOut += period;
}

void OnsetSegmentedStretcher::stretchRest(std::int64_t n, std::int64_t m) {
  if (m == n) {
    copyOut(0, n);
    return;
  }
  const std::int64_t largest = m_params.largestPeriod;
  std::int64_t rp = 0;
  std::int64_t diff = m - n;  // still to add (> 0) or remove (< 0)
  std::int64_t lastPeriod = largest;
  while (diff != 0) {
    const std::int64_t need = std::llabs(diff);
    // Spread the splices: copy an even share of the spare room first.
    const std::int64_t room = n - rp - 2 * largest - need;
    if (room > 0) {
      const std::int64_t splicesLeft = (need + lastPeriod - 1) / lastPeriod;
      const std::int64_t gap = room / (splicesLeft + 1);
      copyOut(rp, gap);
      rp += gap;
    }
    std::int64_t hi = largest;
    std::int64_t lo = m_params.smallestPeriod;
    for (int halvings = 0; rp + 2 * hi > n && halvings < 3; ++halvings) {
      hi /= 2;
      lo /= 2;
    }
    if (rp + 2 * hi > n || lo < 1) break;
    const std::int64_t k = findPeriod(m_mono.data() + rp, lo, hi);
    if (k > need) break;
    if (diff > 0) {
      repeatSplice(rp, k, 1);
      rp += k;
      diff -= k;
    } else {
      if (n - (rp + 2 * k) < need - k) break;
      dropSplice(rp, k, 1);
      rp += 2 * k;
      diff += k;
    }
    lastPeriod = k;
  }
  // Join to the segment's end: the last `remaining` samples end at n - 1.
  const std::int64_t remaining = n - rp + diff;
  const std::int64_t tail = rp - diff;
  if (remaining <= 0) return;
  if (tail < 0 || tail > n || rp >= n) {
    // Too short to splice: resample what is left to the length it needs.
    const std::int64_t have = std::max<std::int64_t>(1, n - rp);
    const std::int64_t from = std::min(rp, n - 1);
    for (std::int64_t i = 0; i < remaining; ++i) {
      const double pos = static_cast<double>(i) * static_cast<double>(have) / static_cast<double>(remaining);
      const auto at = std::min(from + static_cast<std::int64_t>(pos), n - 1);
      for (int ch = 0; ch < m_channels; ++ch) put(ch, m_seg[ch][static_cast<std::size_t>(at)]);
    }
    m_segmentOut += remaining;
    return;
  }
  if (tail == rp) {
    copyOut(rp, n - rp);
    return;
  }
  const std::int64_t fade = std::min({m_params.boundaryFade, remaining, n - rp, n - tail});
  for (int ch = 0; ch < m_channels; ++ch) putCrossFade(&m_seg[ch][rp], &m_seg[ch][tail], fade, ch);
  m_segmentOut += fade;
  copyOut(tail + fade, n - tail - fade);
}

std::int64_t OnsetSegmentedStretcher::Run(const TimeMachineInput& in, double ratio, StretchedAudio& out) {
  if (!in.left || in.sampleRate < 1 || in.sampleRate > 1000000) throw -2;
  if (!(ratio > 0.0 && ratio <= 4.0)) throw -2;
  out = StretchedAudio{};
  m_segmentStarts.clear();
  m_segmentLengths.clear();
  const auto count = static_cast<std::int64_t>(in.sampleCount);
  if (count <= 0) return 0;
  m_params = MakeParameters(static_cast<std::int64_t>(in.sampleRate));
  Reset(ratio);
  m_channels = TimeDomainStretch::channelsOf(in);
  m_out = &out;
  const auto wanted = static_cast<std::int64_t>(std::floor(ratio * static_cast<double>(count)));
  m_capacity = wanted + 1024;
  try {
    const auto len = static_cast<std::size_t>(m_params.bufferLength);
    for (int ch = 0; ch < 2; ++ch) {
      m_buffer[ch].assign(ch < m_channels ? len : 0, 0);
      m_seg[ch].assign(ch < m_channels ? len : 0, 0.0);
    }
    m_mono.assign(len, 0.0);
    m_fade.assign(static_cast<std::size_t>(std::max(2 * m_params.largestPeriod, m_params.boundaryFade)), 0.0);
    out.left.reserve(static_cast<std::size_t>(m_capacity));
    if (m_channels == 2) out.right.reserve(static_cast<std::size_t>(m_capacity));
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  const float* source[2] = {in.left, in.right};
  std::int64_t read = 0;
  for (;;) {
    const std::int64_t take = std::min(m_params.bufferLength - m_fill, count - read);
    for (int ch = 0; ch < m_channels; ++ch)
      for (std::int64_t i = 0; i < take; ++i)
        m_buffer[ch][static_cast<std::size_t>(m_fill + i)] = TimeDomainStretch::toFixed(source[ch][read + i]);
    m_fill += take;
    read += take;
    const bool final = read >= count;
    segment(final);
    if (final) break;
  }
  TimeDomainStretch::finishToLength(out, m_channels == 2, wanted);
  return out.produced;
}
