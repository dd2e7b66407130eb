#include "OnsetStrength.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace RuBeatO {

int32_t maxPeriodOf(float fps, float bpmMin) {
  return static_cast<int32_t>(60.0f * fps / static_cast<float>(static_cast<int32_t>(bpmMin)));
}

int32_t minPeriodOf(float fps, float bpmMax) {
  return std::max(1, static_cast<int32_t>(60.0f * fps / bpmMax));
}

int32_t slowestPeriodOf(float fps, float bpmMin) {
  return static_cast<int32_t>(static_cast<double>(60.0f * fps / bpmMin) + 0.5) + 1;
}

int32_t checkedTrackerDim(int framelen, int dim, int decim, float fs, float fps, float bpmMin,
                          float bpmMax) {
  if (!(bpmMin > 0.0f) || !(bpmMin < bpmMax))
    throw std::domain_error("0<bpmMin<bpmMax is not satisfied");
  if (framelen == 0 || static_cast<uint32_t>(framelen) > 32768u)
    throw std::domain_error("Framelen must be >0 and <=32768");
  if (!(fs > 0.0f) || fs > 192000.0f) throw std::domain_error("Fs should be >0 and <=192kHz");
  if (!(fps > 0.0f)) throw std::domain_error("fps should be greater than 0");
  if (dim < 1 || dim >= framelen) throw std::domain_error("_mfccDim should be >0 and <framelen");
  if (decim < 1) throw std::domain_error("decim_factor should be greater than 0");
  // The model refuses this too, but only after the comb bank (whose storage
  // grows with the square of its size) would have been allocated.
  if (static_cast<double>(60.0f * fps) / static_cast<int32_t>(bpmMin) >= 8192.0)
    throw std::domain_error("Comb Filter Dimension should be positive");
  return dim;
}

OnsetStrength::OnsetStrength(int32_t framelen, int32_t dim_, float fs, float fps)
    : dim(dim_),
      bands(dim_, framelen / 2, framelen, fs, 50.0f, 8000.0f),
      bandEnergy(static_cast<size_t>(dim_), 0.0f),
      // A frame rate above fs would make the hop 0 samples long.
      lag(std::max(1, framelen / std::max(1, static_cast<int32_t>(fs / fps)))),
      weightedSums(static_cast<size_t>(lag), 0.0f),
      sums(static_cast<size_t>(lag), 0.0f),
      normaliser(20, 0.0f) {
  history.assign(static_cast<size_t>(lag) * dim, 0.0f);
}

float OnsetStrength::push(const float* spectrum) {
  bands.apply(bandEnergy.data(), spectrum);
  std::copy(history.begin() + dim, history.end(), history.begin());
  std::copy(bandEnergy.begin(), bandEnergy.end(), history.end() - dim);

  // Rise of each band's log energy over the analysis window; the offset of
  // 100 keeps quiet passages from producing large relative jumps.
  float sum = 0.0f;
  float weightedSum = 0.0f;
  for (int32_t b = 0; b < dim; ++b) {
    const float rise =
        std::max(0.0f, std::log(bandEnergy[b] + 100.0f) - std::log(history[b] + 100.0f));
    const float w = static_cast<float>(dim - b) / static_cast<float>(dim);
    sum += rise;
    weightedSum += w * w * rise;
  }
  const int32_t m = lag < 4 ? 1 : lag / 2;
  std::copy(sums.begin() + 1, sums.begin() + m, sums.begin());
  sums[m - 1] = sum;
  std::copy(weightedSums.begin() + 1, weightedSums.begin() + m, weightedSums.begin());
  weightedSums[m - 1] = weightedSum;
  return normaliser.update(sum);
}

}  // namespace RuBeatO
