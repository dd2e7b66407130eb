// Online beat tracker model side: onset strength per frame, forward steps
// of the tempo/phase model, and the tempo-histogram spread.

#include "MZBeatTrackOnline.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace RuBeatO {

namespace {
constexpr int32_t kEvidenceRefreshSteps = 80;

int32_t checkedHistory(int historyLength, int decim) {
  if (historyLength < std::max(1, decim))
    throw std::domain_error("history length must cover one model step");
  return historyLength;
}
}  // namespace

MZBeatTrackOnline::MZBeatTrackOnline(int framelen, int dim, int historyLength, int decim_,
                                     float fs, float fps_, float bpmMin_, float bpmMax_)
    : fps(fps_),
      bpmMin(bpmMin_),
      bpmMax(bpmMax_),
      decim(decim_),
      combSize(maxPeriodOf(fps_, bpmMin_) + 1),
      onset(framelen, checkedTrackerDim(framelen, dim, decim_, fs, fps_, bpmMin_, bpmMax_), fs,
            fps_),
      ring(static_cast<size_t>(checkedHistory(historyLength, decim_)), 0.0f),
      ringIndex(historyLength),
      comb(combSize, 3.0f * fps_),
      decimIndex(decim_),
      refreshIndex(kEvidenceRefreshSteps) {
  record.energies.resize(static_cast<size_t>(combSize));
  record.energies.clear();
  const float fpbAt130 = 60.0f * fps / 130.0f;
  hmm.init(12, static_cast<uint32_t>(combSize), decim, minPeriodOf(fps, bpmMax),
           slowestPeriodOf(fps, bpmMin), fpbAt130, std::fabs(fpbAt130 - 60.0f * fps / 100.0f));
  const int32_t lo = std::max(static_cast<int32_t>(60.0f * fps / bpmMax), 1);
  const int32_t hi = std::min(combSize, static_cast<int32_t>(60.0f * fps / bpmMin));
  histogram.assign(static_cast<size_t>(std::max(hi - lo, 0)), 0.0f);
}

void MZBeatTrackOnline::step(const float* spectrum, int) {
  const float z = onset.push(spectrum);
  ++ringIndex;
  ring[ringIndex.GetPosition()] = z;
  comb.push(z);
  ++frameCount;

  const bool stepsNow = decimIndex.GetPosition() == 0;
  ++decimIndex;
  if (!stepsNow) return;
  // The strongest onset since the previous step, as the offline tracker
  // observes it.
  float strongest = ring[ringIndex.GetPosition()];
  for (int32_t k = 1; k < decim; ++k) strongest = std::max(strongest, ring[ringIndex.Behind(k)]);
  record.observation = std::max(0.0f, strongest);
  if (refreshIndex.GetPosition() == 0) comb.getEnergies(record.energies);
  ++refreshIndex;
  hmm.stepOnline(record.observation);
}

float MZBeatTrackOnline::getTempoState(int32_t* tempo, int32_t* phase) {
  hmm.getBestState(tempo, phase);
  const int32_t lo = std::max(static_cast<int32_t>(60.0f * fps / bpmMax), 1);
  const int32_t n = static_cast<int32_t>(histogram.size());
  if (n <= 0) return 0.0f;
  for (int32_t i = 0; i < n; ++i) {
    const float m = hmm.maxPhaseScore(lo + i);
    histogram[i] = std::max(0.0f, 0.25f * (std::max(m, -2048.0f) + 2048.0f) + 0.25f * 3.0f * histogram[i]);
  }
  float total = 1.0f;
  float weightedIndex = 0.0f;
  for (int32_t i = 0; i < n; ++i) {
    const float w = histogram[i] > 32.0f ? 0.25f * histogram[i] : 0.0f;
    total += w;
    weightedIndex += static_cast<float>(i) * w;
  }
  const float mean = weightedIndex / total;
  float spread = 0.0f;
  for (int32_t i = 0; i < n && spread <= 16.0f * total; ++i) {
    const float w = histogram[i] > 32.0f ? 0.25f * histogram[i] : 0.0f;
    spread += w * (static_cast<float>(i) - mean) * (static_cast<float>(i) - mean);
  }
  return std::min(spread / total, 16.0f);
}

}  // namespace RuBeatO
