#include "EnergyEnvelope.h"

#include <algorithm>

EnergyEnvelope::EnergyEnvelope(std::size_t hop) : hopFrames(std::max<std::size_t>(hop, 1)) {}

void EnergyEnvelope::push(const float* interleaved, std::size_t frames, std::uint32_t channels) {
  if (!interleaved || frames == 0 || channels == 0) return;
  const double scale = 1.0 / channels;
  std::size_t f = 0;
  while (f < frames) {
    const std::size_t take = std::min(frames - f, hopFrames - partialFrames);
    const float* p = interleaved + f * channels;
    double sum = 0.0;
    if (channels == 2) {
      for (std::size_t i = 0; i < take; ++i) {
        const double m = (static_cast<double>(p[2 * i]) + p[2 * i + 1]) * 0.5;
        sum += m * m;
      }
    } else {
      for (std::size_t i = 0; i < take; ++i) {
        double m = 0.0;
        for (std::uint32_t c = 0; c < channels; ++c) m += p[i * channels + c];
        m *= scale;
        sum += m * m;
      }
    }
    partialSum += sum;
    partialFrames += take;
    f += take;
    if (partialFrames == hopFrames) {
      values.push_back(static_cast<float>(partialSum / static_cast<double>(hopFrames)));
      partialSum = 0.0;
      partialFrames = 0;
    }
  }
  pushed += frames;
}

void EnergyEnvelope::finish() {
  if (partialFrames == 0) return;
  values.push_back(static_cast<float>(partialSum / static_cast<double>(partialFrames)));
  partialSum = 0.0;
  partialFrames = 0;
}
