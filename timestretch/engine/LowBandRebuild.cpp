#include "LowBandRebuild.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "EngineArray.h"

namespace LowBandRebuild {

bool FitsInTop(const CSoundFile& low, const CSoundFile& top, int factor) {
  return top.storage && top.capacity >= factor * low.length;
}

void AddToTop(CSoundFile& low, CSoundFile& top, CPolyphaseMultiRateProcessing& up) {
  const int factor = up.GetFactor();
  const std::int64_t n = factor * low.length;
  const std::int64_t shift = std::min<std::int64_t>(2 * up.GetDelay(), n);
  const std::int64_t topLength = top.length;
  float* sum = top.storage;
  // A float sum is the same either way round, so the top band's sample
  // can take the low band's in place.
  auto put = [&](std::int64_t i, float lowSample) { sum[i] = i < topLength ? lowSample + sum[i] : lowSample; };
  // Pieces small enough to stay in the cache between making and adding.
  constexpr std::int64_t kPiece = 4096;
  std::vector<float> made;
  EngineArray::Guard([&] { made.resize(static_cast<std::size_t>(kPiece * factor)); });
  std::int64_t at = 0;  // samples made so far
  for (std::int64_t s = 0; s < low.length; s += kPiece) {
    std::int64_t got = 0;
    up.Interpolate(static_cast<int>(std::min(kPiece, low.length - s)), low.storage + s, made.data(), &got);
    for (std::int64_t j = 0; j < got; ++j, ++at)
      if (at >= shift) put(at - shift, made[static_cast<std::size_t>(j)]);
  }
  for (std::int64_t i = n - shift; i < n; ++i) put(i, 0.0f);
  std::swap(low.storage, top.storage);
  std::swap(low.capacity, top.capacity);
  low.length = n;
  low.addCursor = -1;
  top.length = 0;
}

}  // namespace LowBandRebuild
