#include "OnsetPreAnalysis.h"

#include <algorithm>
#include <new>

#include "OnsetEnvelope.h"

void OnsetPreAnalysis::PrepareOnsetAnalysis(const TimeMachineInput* in) {
  ReleaseOnsetAnalysis();
  if (!in) return;
  const auto count = static_cast<std::int64_t>(in->sampleCount);
  const double rate = static_cast<double>(in->sampleRate);
  try {
    m_mono.resize(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
      double v = 0.0;
      if (in->left && in->right) v = (static_cast<double>(in->left[i]) + static_cast<double>(in->right[i])) * 0.5;
      else if (in->left) v = static_cast<double>(in->left[i]);
      // Sample values are 16-bit PCM; anything wild is held far beyond them.
      constexpr double kLimit = 1e9;
      v = v == v ? std::clamp(v, -kLimit, kLimit) : 0.0;
      m_mono[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(v);
    }
    m_hop = OnsetHop(rate);
    const auto frames = static_cast<std::int64_t>(static_cast<double>(count) / static_cast<double>(m_hop) + 0.5);
    m_onsets.assign(static_cast<std::size_t>(frames), 0);
    m_settings = Settings{};
    m_firstStrong = OnsetEnvelope(count, m_mono.data(), m_onsets.data(), rate);
  } catch (...) {
    ReleaseOnsetAnalysis();
    throw -1;
  }
}

void OnsetPreAnalysis::ReleaseOnsetAnalysis() {
  std::vector<std::int64_t>().swap(m_mono);
  std::vector<std::uint16_t>().swap(m_onsets);
  m_firstStrong = 0;
}

std::int64_t OnsetPreAnalysis::FirstSoundIndex() const {
  const std::int64_t count = SampleCount();
  if (count < 2) return 0;
  const std::int64_t half = count / 2;
  for (std::int64_t i = 0; i < half; ++i)
    if (m_mono[static_cast<std::size_t>(i)] != 0) return i;
  return half;
}
