#include "WaveformPeakCache.h"

#include <algorithm>
#include <exception>

namespace {

constexpr std::int64_t kPrint = 16;  // frames per sampled stretch
constexpr int kPrints = 8;

}  // namespace

std::pair<float, float> WaveformPeakCache::scan(ISeekable<float>& source, std::uint32_t channel, std::int64_t a,
                                                std::int64_t n, std::vector<float>& buffer) {
  float minimum = 1.0f, maximum = -1.0f;
  if (n <= 0) return {minimum, maximum};
  // The reader writes all of its channels; a channel it lacks reads as 0.
  const std::uint32_t channels = std::max<std::uint32_t>(source.channels(), 1);
  buffer.resize(static_cast<std::size_t>(n) * std::max<std::uint32_t>(channels, 2));
  source.seek(static_cast<std::uint64_t>(a));
  const std::uint64_t got = source.read(buffer.data(), static_cast<std::uint64_t>(n));
  for (std::int64_t k = 0; k < n; ++k) {
    const float v = static_cast<std::uint64_t>(k) < got && channel < channels ? buffer[k * channels + channel] : 0.0f;
    minimum = std::min(minimum, v);
    maximum = std::max(maximum, v);
  }
  return {minimum, maximum};
}

std::vector<float> WaveformPeakCache::fingerprint(ISeekable<float>& source) const {
  std::vector<float> print;
  std::vector<float> buffer;
  const std::int64_t length = static_cast<std::int64_t>(source.length());
  const std::uint32_t channels = std::max<std::uint32_t>(source.channels(), 1);
  for (int i = 0; i < kPrints; ++i) {
    const std::int64_t at = std::max<std::int64_t>(length - kPrint, 0) * i / (kPrints - 1);
    buffer.assign(static_cast<std::size_t>(kPrint) * std::max<std::uint32_t>(channels, 2), 0.0f);
    source.seek(static_cast<std::uint64_t>(at));
    source.read(buffer.data(), kPrint);
    print.insert(print.end(), buffer.begin(), buffer.begin() + kPrint * channels);
  }
  return print;
}

bool WaveformPeakCache::build(ISeekable<float>& source, std::uint32_t channel) {
  m_source = nullptr;
  m_minimum.clear();
  m_maximum.clear();
  try {
    const std::uint32_t channels = std::max<std::uint32_t>(source.channels(), 1);
    const std::int64_t chunkBlocks = 256;
    std::vector<float> buffer(static_cast<std::size_t>(chunkBlocks * kBlock) * std::max<std::uint32_t>(channels, 2));
    source.seek(0);
    m_frames = 0;
    for (;;) {
      const std::uint64_t got = source.read(buffer.data(), static_cast<std::uint64_t>(chunkBlocks * kBlock));
      for (std::uint64_t start = 0; start < got; start += kBlock) {
        const std::uint64_t end = std::min<std::uint64_t>(start + kBlock, got);
        float minimum = 1.0f, maximum = -1.0f;
        for (std::uint64_t k = start; k < end; ++k) {
          const float v = channel < channels ? buffer[k * channels + channel] : 0.0f;
          minimum = std::min(minimum, v);
          maximum = std::max(maximum, v);
        }
        m_minimum.push_back(minimum);
        m_maximum.push_back(maximum);
      }
      m_frames += static_cast<std::int64_t>(got);
      // Only whole chunks keep blocks aligned; a short read is the end.
      if (got < static_cast<std::uint64_t>(chunkBlocks * kBlock)) break;
    }
    m_fingerprint = fingerprint(source);
  } catch (const std::exception&) {
    m_minimum.clear();
    m_maximum.clear();
    return false;
  }
  m_source = &source;
  m_channel = channel;
  return true;
}

bool WaveformPeakCache::matches(ISeekable<float>& source, std::uint32_t channel) {
  if (m_source != &source || m_channel != channel) return false;
  try {
    return static_cast<std::int64_t>(source.length()) == m_frames && fingerprint(source) == m_fingerprint;
  } catch (const std::exception&) {
    return false;
  }
}

std::pair<float, float> WaveformPeakCache::range(ISeekable<float>& source, std::int64_t a, std::int64_t n,
                                                 std::vector<float>& buffer) const {
  const std::int64_t end = a + n;
  const std::int64_t firstBlock = (a + kBlock - 1) / kBlock;
  const std::int64_t lastBlock = std::min(end, m_frames) / kBlock;  // exclusive
  if (n <= 0 || firstBlock >= lastBlock) return scan(source, m_channel, a, n, buffer);

  auto result = scan(source, m_channel, a, firstBlock * kBlock - a, buffer);
  for (std::int64_t b = firstBlock; b < lastBlock; ++b) {
    result.first = std::min(result.first, m_minimum[static_cast<std::size_t>(b)]);
    result.second = std::max(result.second, m_maximum[static_cast<std::size_t>(b)]);
  }
  const auto tail = scan(source, m_channel, lastBlock * kBlock, end - lastBlock * kBlock, buffer);
  return {std::min(result.first, tail.first), std::max(result.second, tail.second)};
}
