#include "BlockOnsetDetector.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "BlockOnsetStages.h"

namespace {

void clearMarks(BlockOnsetDetector* d) {
  std::memset(d->ring, 0, sizeof d->ring);
  std::memset(d->peakOutput, 0, sizeof d->peakOutput);
  d->writePos = 0;
  d->lastStart = 0;
  d->lastCount = 0;
}

}  // namespace

extern "C" {

BlockOnsetDetector* onsetDetectorCreate(void) {
  auto* d = static_cast<BlockOnsetDetector*>(std::malloc(sizeof(BlockOnsetDetector)));
  auto* envelope = static_cast<OnsetEnvelopeStage*>(std::malloc(sizeof(OnsetEnvelopeStage)));
  auto* peak = static_cast<OnsetPeakStage*>(std::malloc(sizeof(OnsetPeakStage)));
  if (d == nullptr || envelope == nullptr || peak == nullptr) {
    std::free(d);
    std::free(envelope);
    std::free(peak);
    return nullptr;
  }
  std::memset(d, 0, sizeof *d);
  d->ringSize = ONSET_DETECTOR_RING_SIZE;
  d->blockSize = ONSET_DETECTOR_BLOCK_SIZE;
  d->envelope = envelope;
  d->peak = peak;
  onsetEnvelopeStageInit(envelope);
  onsetPeakStageInit(peak);
  return d;
}

int onsetDetectorProcess(BlockOnsetDetector* detector, const int16_t* samples, int count) {
  if (detector == nullptr || count < 0 || count > ONSET_DETECTOR_MAX_BLOCK) return -1;
  if (count > 0 && samples == nullptr) return -1;

  const int m = onsetEnvelopeStageRun(detector->envelope, samples, count, detector->ratio,
                                      detector->rise, detector->mean);
  onsetPeakStageRun(detector->peak, detector->ratio, detector->rise, detector->mean, m);
  std::copy(detector->peak->output, detector->peak->output + m, detector->peakOutput);

  for (int i = 0; i < m; ++i) {
    const int32_t index = detector->writePos < detector->ringSize ? detector->writePos : 0;
    detector->ring[index] = detector->peakOutput[i];
    detector->writePos = index + 1;
  }
  // The values of this call may have wrapped around the ring's end.
  int32_t start = detector->writePos - m;
  if (start < 0) start += detector->ringSize;
  if (start >= detector->ringSize) start -= detector->ringSize;
  detector->lastStart = start;
  detector->lastCount = m;
  return 0;
}

int onsetDetectorHasOnset(const BlockOnsetDetector* detector, int offset) {
  if (detector == nullptr || detector->lastCount <= 0) return 0;
  // Only the values of the last call count: older ring entries are long past.
  const int n = std::min(std::max(offset / detector->blockSize, 1), detector->lastCount);
  for (int i = 0; i < n; ++i) {
    const int index = (detector->lastStart + i) % detector->ringSize;
    if (detector->ring[index] >= 1) return 1;
  }
  return 0;
}

void onsetDetectorDestroy(BlockOnsetDetector* detector) {
  if (detector == nullptr) return;
  std::free(detector->envelope);
  std::free(detector->peak);
  std::free(detector);
}

int onsetDetectorClear(BlockOnsetDetector* detector) {
  if (detector == nullptr) return -1;
  clearMarks(detector);
  return 0;
}

int onsetDetectorReset(BlockOnsetDetector* detector) {
  if (detector == nullptr) return -1;
  clearMarks(detector);
  onsetEnvelopeStageReset(detector->envelope);
  onsetPeakStageReset(detector->peak);
  return 0;
}

int onsetDetectorStartup(void) { return 0; }

void onsetDetectorShutdown(void) {}

int onsetDetectorPeakList(const BlockOnsetDetector* detector, int32_t* positions, int maxPositions) {
  if (detector == nullptr || positions == nullptr) return -1;
  const OnsetPeakStage& peak = *detector->peak;
  const int first = peak.queryStart / peak.blockSize;
  const int last = peak.count / peak.blockSize;
  int collected = 0;
  for (int k = first; k < last && k < ONSET_DETECTOR_MAX_BLOCK; ++k) {
    const int32_t v = peak.output[k];
    const int32_t reduced = v >= 300 ? v - 300 : v;
    if (reduced > 6 || (v >= 300 && reduced > 128)) {
      if (collected + 1 > maxPositions / 2) return -1;
      positions[collected++] = 32 * k;
    }
  }
  return collected;
}

}  // extern "C"
