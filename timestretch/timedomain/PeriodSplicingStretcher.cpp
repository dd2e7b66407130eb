// Period splicing: per cycle the work buffer (two largest periods) is filled,
// the period P found, and either P is played twice (consuming L, writing
// L + P) or two periods become one (consuming L + P, writing L), where
// L = P x copyFactor makes the output approach ratio x input.

#include "PeriodSplicingStretcher.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

PeriodSplicingStretcher::Parameters PeriodSplicingStretcher::MakeParameters(std::int64_t sampleRate, double& ratio) {
  Parameters p;
  p.sampleRate = sampleRate;
  p.minLag = std::max<std::int64_t>(1, sampleRate * 220 / 44100);
  p.maxLag = std::max<std::int64_t>(p.minLag, sampleRate / 50);
  p.step = std::max<std::int64_t>(1, sampleRate * 16 / 44100);
  ratio = std::clamp(ratio, 0.5, 2.0);
  p.factor = 1.0 / ratio;
  if (p.factor < 1.0) p.copyFactor = p.factor / (1.0 - p.factor);
  else if (p.factor > 1.0) p.copyFactor = 1.0 / (p.factor - 1.0);
  p.workLength = 2 * p.maxLag;
  return p;
}

void PeriodSplicingStretcher::buildTables() {
  m_inversePoints.assign(static_cast<std::size_t>(m_params.maxLag + 1), 0.0);
  for (std::int64_t k = m_params.minLag; k <= m_params.maxLag; ++k) {
    const std::int64_t points = (k + m_params.step - 1) / m_params.step;
    m_inversePoints[static_cast<std::size_t>(k)] = 1.0 / static_cast<double>(points);
  }
}

std::int64_t PeriodSplicingStretcher::FindPeriod(const double* x) const {
  double best = std::numeric_limits<double>::infinity();
  std::int64_t period = m_params.minLag;
  for (std::int64_t k = m_params.minLag; k <= m_params.maxLag; ++k) {
    double sum = 0.0;
    for (std::int64_t j = 0; j < k; j += m_params.step) {
      const double d = x[j] - x[j + k];
      sum += d * d;
    }
    const double distance = sum * m_inversePoints[static_cast<std::size_t>(k)];
    if (distance <= best) {
      best = distance;
      period = k;
    }
  }
  return period;
}

void PeriodSplicingStretcher::write(int channels, const double* const* samples, std::int64_t count) {
  std::vector<float>* targets[2] = {&m_out->left, &m_out->right};
  for (int ch = 0; ch < channels; ++ch) {
    auto& t = *targets[ch];
    for (std::int64_t i = 0; i < count && static_cast<std::int64_t>(t.size()) < m_capacity; ++i)
      t.push_back(static_cast<float>(samples[ch][i]));
  }
}

void PeriodSplicingStretcher::copyDirect(int channels, std::int64_t count) {
  const auto total = static_cast<std::int64_t>(m_in->sampleCount);
  const std::int64_t n = std::min(count, total - m_read);
  const float* source[2] = {m_in->left, m_in->right};
  std::vector<float>* targets[2] = {&m_out->left, &m_out->right};
  for (int ch = 0; ch < channels; ++ch) {
    auto& t = *targets[ch];
    for (std::int64_t i = 0; i < n && static_cast<std::int64_t>(t.size()) < m_capacity; ++i)
      t.push_back(source[ch][m_read + i]);
  }
  m_read += n;
}

void PeriodSplicingStretcher::shiftWork(int channels, std::int64_t from) {
  for (int ch = 0; ch < channels; ++ch)
    std::copy(m_work[ch].begin() + from, m_work[ch].begin() + m_held, m_work[ch].begin());
  m_held -= from;
}

std::int64_t PeriodSplicingStretcher::Run(const TimeMachineInput& in, double* ratio, StretchedAudio& out) {
  if (!in.left || !ratio || in.sampleRate < 1 || in.sampleRate > 1000000) return -2;
  if (!(*ratio > 0.0) || !std::isfinite(*ratio)) return -2;
  const double requested = *ratio;
  m_params = MakeParameters(static_cast<std::int64_t>(in.sampleRate), *ratio);
  const double r = *ratio;
  const int channels = TimeDomainStretch::channelsOf(in);
  const auto count = static_cast<std::int64_t>(in.sampleCount);
  const auto wanted = static_cast<std::int64_t>(std::floor(r * static_cast<double>(count)));
  out = StretchedAudio{};
  m_in = &in;
  m_out = &out;
  m_read = 0;
  m_held = 0;
  try {
    m_capacity = std::max<std::int64_t>(static_cast<std::int64_t>(std::floor(static_cast<double>(count) * requested)) + 1024,
                                        wanted);
    out.left.reserve(static_cast<std::size_t>(m_capacity));
    if (channels == 2) out.right.reserve(static_cast<std::size_t>(m_capacity));
    buildTables();
    const std::int64_t w = m_params.workLength;
    for (int ch = 0; ch < 2; ++ch) {
      m_work[ch].assign(static_cast<std::size_t>(w), 0.0);
      m_fade[ch].assign(static_cast<std::size_t>(2 * m_params.maxLag), 0.0);
    }
    m_mix.assign(static_cast<std::size_t>(w), 0.0);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (r == 1.0) {
    copyDirect(channels, count);
  } else {
    const std::int64_t w = m_params.workLength;
    const float* source[2] = {in.left, in.right};
    for (;;) {
      const std::int64_t take = std::min(w - m_held, count - m_read);
      for (int ch = 0; ch < channels; ++ch)
        for (std::int64_t i = 0; i < take; ++i)
          m_work[ch][static_cast<std::size_t>(m_held + i)] = source[ch][m_read + i];
      m_read += take;
      m_held += take;
      const double* work[2] = {m_work[0].data(), m_work[1].data()};
      if (m_held < w) {  // the input is used up: the rest goes out as it is
        write(channels, work, m_held);
        break;
      }
      for (std::int64_t i = 0; i < w; ++i)
        m_mix[static_cast<std::size_t>(i)] = channels == 2 ? (m_work[0][i] + m_work[1][i]) * 0.5 : m_work[0][i];
      const std::int64_t p = FindPeriod(m_mix.data());
      const auto len = static_cast<std::int64_t>(static_cast<double>(p) * m_params.copyFactor);
      const double* fade[2] = {m_fade[0].data(), m_fade[1].data()};
      if (r > 1.0) {
        // The period, then the period again fading back from its successor.
        for (int ch = 0; ch < channels; ++ch) TimeDomainStretch::repeatPeriod(work[ch], p, m_fade[ch].data());
        write(channels, fade, 2 * p);
        if (len > w) {
          const double* rest[2] = {work[0] + p, work[1] + p};
          write(channels, rest, w - p);
          copyDirect(channels, len - w);
          m_held = 0;
        } else {
          const double* rest[2] = {work[0] + p, work[1] + p};
          write(channels, rest, len - p);
          shiftWork(channels, len);
        }
      } else {
        // Two periods fade into one.
        for (int ch = 0; ch < channels; ++ch) TimeDomainStretch::dropPeriod(work[ch], p, m_fade[ch].data());
        write(channels, fade, p);
        const double* rest[2] = {work[0] + 2 * p, work[1] + 2 * p};
        if (len + p > w) {
          write(channels, rest, w - 2 * p);
          copyDirect(channels, len + p - w);
          m_held = 0;
        } else {
          write(channels, rest, len - p);
          shiftWork(channels, len + p);
        }
      }
    }
  }
  try {
    TimeDomainStretch::finishToLength(out, channels == 2, wanted);
  } catch (int code) {
    return code;
  }
  return out.produced;
}
