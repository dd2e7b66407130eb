#pragma once
// The minimum and maximum of one channel per block of 256 frames, read once
// per recording, so that a column spanning many frames reads only its two
// partial blocks from the file. Results equal a scan of every frame.

#include <cstdint>
#include <utility>
#include <vector>

#include "ISeekable.h"

class WaveformPeakCache {
 public:
  static constexpr std::int64_t kBlock = 256;

  // Minimum and maximum of `channel` over frames [a, a + n) read from
  // `source`, starting from (+1, -1); values past the frames the source
  // delivers count as 0. May throw what the source throws.
  static std::pair<float, float> scan(ISeekable<float>& source, std::uint32_t channel, std::int64_t a,
                                      std::int64_t n, std::vector<float>& buffer);

  // Reads the whole source; false (and empty) when reading throws.
  bool build(ISeekable<float>& source, std::uint32_t channel);
  // True when built from this source and channel and the source still
  // holds the same recording (its length and a few sampled stretches).
  bool matches(ISeekable<float>& source, std::uint32_t channel);
  // As scan(), with whole blocks taken from the cache.
  std::pair<float, float> range(ISeekable<float>& source, std::int64_t a, std::int64_t n,
                                std::vector<float>& buffer) const;

 private:
  std::vector<float> fingerprint(ISeekable<float>& source) const;

  const ISeekable<float>* m_source = nullptr;
  std::uint32_t m_channel = 0;
  std::int64_t m_frames = 0;  // frames the source delivered when built
  std::vector<float> m_minimum, m_maximum;
  std::vector<float> m_fingerprint;
};
