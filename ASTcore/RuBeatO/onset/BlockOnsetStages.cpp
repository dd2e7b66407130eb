#include "BlockOnsetStages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "FixedBiquadStep.h"

namespace {

constexpr int32_t kDecimation = ONSET_DETECTOR_BLOCK_SIZE;
constexpr int32_t kQ13One = 8192;
constexpr int32_t kQ15One = 32768;

constexpr int32_t kStartGap = 34;  // (int)(1102.5 / 32): about 25 ms of values

int32_t smootherCoefficient(int32_t length) {
  // Computed in single precision, as the coefficients were tuned that way.
  return static_cast<int32_t>(2.0f / static_cast<float>(length + 1) * 32768.0f);
}

OnsetSmoother makeSmoother(int32_t length) { return OnsetSmoother{length, smootherCoefficient(length), 0}; }

// One step of an exponential average in Q15; products are formed in 64 bits so
// that full-scale input cannot overflow.
int32_t smooth(OnsetSmoother& s, int64_t value) {
  const int64_t next = (int64_t{s.state} * (kQ15One - s.coefficient) + value * s.coefficient) >> 15;
  s.state = static_cast<int32_t>(next);
  return s.state;
}

using FixedBiquadStep::saturate32;

}  // namespace

extern "C" {

void onsetEnvelopeStageInit(OnsetEnvelopeStage* stage) {
  std::memset(stage, 0, sizeof *stage);
  stage->attack = std::min(409, kQ13One);
  stage->release = std::min(11, kQ13One);
  stage->decimation = kDecimation;
  stage->smooth = makeSmoother(5 * kDecimation);
  stage->slow = makeSmoother(4096 / kDecimation);
  stage->fast = makeSmoother(640 / kDecimation);
  stage->ratioMean = makeSmoother(35280 / kDecimation);
  stage->ratioFloor = 128;
  stage->preEmphasis = 13;
  stage->loopCoefficient = std::min(10, 1024);
  // 44100 / 256 Hz: band-limits the envelope before it is decimated by 32.
  designBiquad44k(5, &stage->lowPass, 3.0f, 172.26563f, 3.0f);
  stage->lowPass.z1 = 0;
  stage->lowPass.z2 = 0;
}

void onsetEnvelopeStageReset(OnsetEnvelopeStage* stage) {
  stage->count = 0;
  std::memset(stage->leftover, 0, sizeof stage->leftover);
  stage->leftoverCount = 0;
  stage->lastSample = 0;
  stage->lastRatio = 0;
  stage->loopBand = 0;
  stage->loopLow = 0;
  stage->envelope = 0;
}

int onsetEnvelopeStageRun(OnsetEnvelopeStage* stage, const int16_t* samples, int count,
                          int32_t* ratio, int32_t* rise, int32_t* mean) {
  const int32_t k = stage->loopCoefficient;
  int32_t* buffer = stage->decimationBuffer;
  int filled = stage->leftoverCount;
  std::memcpy(buffer, stage->leftover, sizeof(int32_t) * static_cast<std::size_t>(filled));

  // The low-pass takes the whole decimation blocks of the buffer, leftovers
  // of the last call first; it runs in the same loop as the envelope, one
  // sample behind it, so that the two chains of dependent steps overlap
  // instead of running one after the other.
  const int blocks = (filled + count) / kDecimation;
  const int used = blocks * kDecimation;
  int32_t* filtered = stage->filtered;
  FixedBiquadStep::Section lowPass{stage->lowPass.c0,    stage->lowPass.c1, stage->lowPass.c2,
                                   stage->lowPass.c3,    stage->lowPass.c4, stage->lowPass.shift,
                                   stage->lowPass.z1,    stage->lowPass.z2};
  int passed = 0;
  if (used > 0) {
    for (; passed < filled; ++passed) filtered[passed] = lowPass.step(buffer[passed]);
  }

  // The states live in locals for the loop: the buffer lies in the same
  // record, and stores into it would otherwise make every state be read
  // again from memory.
  int32_t lastSample = stage->lastSample;
  int32_t loopBand = stage->loopBand;
  int32_t loopLow = stage->loopLow;
  int32_t envelope = stage->envelope;
  OnsetSmoother smoother = stage->smooth;
  const int64_t preEmphasis = stage->preEmphasis;
  const int64_t attack = stage->attack;
  const int64_t release = stage->release;
  for (int i = 0; i < count; ++i) {
    const int64_t x = samples[i];
    // Pre-emphasis.
    const int64_t e = x - ((int64_t{lastSample} * preEmphasis) >> 4);
    lastSample = static_cast<int32_t>(x);
    // Band-reject loop: the band output is taken away from the input.
    const int64_t band = loopBand;
    const int64_t bandNew = (((e * 32 - (band + loopLow)) * k) >> 10) + band;
    int64_t d = e - (band >> 5);
    loopLow = saturate32(loopLow + ((bandNew * k) >> 10));
    loopBand = saturate32(bandNew);
    // Rectify and follow the envelope (fast attack, slow release).
    if (d < 0) d = -d;
    const int64_t t = 8 * d - envelope;
    const int64_t g = t >= 0 ? attack : release;
    envelope = saturate32(envelope + ((g * t) >> 13));
    const int64_t a = envelope >> 3;
    const int32_t s = smooth(smoother, a);
    // The low-pass works at 2^16 scale; a full-scale envelope saturates.
    buffer[filled] = saturate32(int64_t{s} * 65536);
    if (passed < used && passed < filled) {
      filtered[passed] = lowPass.step(buffer[passed]);
      ++passed;
    }
    ++filled;
  }
  for (; passed < used; ++passed) filtered[passed] = lowPass.step(buffer[passed]);
  stage->lastSample = lastSample;
  stage->loopBand = loopBand;
  stage->loopLow = loopLow;
  stage->envelope = envelope;
  stage->smooth = smoother;
  stage->lowPass.z1 = lowPass.z1;
  stage->lowPass.z2 = lowPass.z2;

  stage->leftoverCount = filled - used;
  std::memcpy(stage->leftover, buffer + used, sizeof(int32_t) * static_cast<std::size_t>(stage->leftoverCount));

  for (int j = 0; j < blocks; ++j) {
    const int32_t p = std::max(0, stage->filtered[j * kDecimation] >> 16);
    const int32_t slowValue = smooth(stage->slow, p);
    const int32_t fastValue = smooth(stage->fast, p);
    const int64_t divisor = std::max(slowValue, stage->ratioFloor);
    const int32_t r = saturate32(int64_t{fastValue} * kQ13One / divisor);
    mean[j] = smooth(stage->ratioMean, r);
    const int64_t riseValue = int64_t{r} - stage->lastRatio;
    rise[j] = riseValue < 0 ? 0 : saturate32(riseValue);
    stage->lastRatio = r;
    ratio[j] = r;
  }
  stage->count = blocks;
  return blocks;
}

void onsetPeakStageInit(OnsetPeakStage* stage) {
  std::memset(stage, 0, sizeof *stage);
  stage->blockSize = kDecimation;
  onsetPeakStageReset(stage);
}

void onsetPeakStageReset(OnsetPeakStage* stage) {
  std::memset(stage->output, 0, sizeof stage->output);
  stage->count = 0;
  stage->diffFloor = 80;
  stage->hiMul = 35717;  // about 1.09
  stage->loMul = 38666;  // about 1.18
  stage->hi = 0;
  stage->lo = 0;
  stage->state = kOnsetIdle;
  stage->savedRatio = 0;
  stage->savedMean = 0;
  stage->savedRise = 0;
  stage->armed = 0;
  stage->armedValue = 0;
  stage->riseSeen = 0;
  stage->firstMarked = -1;
  stage->gap = kStartGap;
  stage->minGap = kStartGap;
  stage->queryStart = 0;
}

void onsetPeakStageRun(OnsetPeakStage* stage, const int32_t* ratio, const int32_t* rise,
                       const int32_t* mean, int m) {
  if (m <= 0) return;
  OnsetPeakStage& s = *stage;
  std::fill(s.output, s.output + m, 0);
  s.count = m;
  s.firstMarked = -1;
  s.queryStart = m;
  for (int i = 0; i < m; ++i) {
    if (ratio[i] != 0) {
      s.queryStart = i;
      break;
    }
  }

  auto mark = [&](int j) {
    const int index = std::max(j, 0);
    if (s.gap >= s.minGap) {
      s.output[index] = index == 0 ? s.savedRatio : ratio[index];
      s.gap = 0;
    }
    if (s.firstMarked < 0) s.firstMarked = index;
    s.armed = 0;
    s.armedValue = 0;
  };

  for (int j = -1; j <= m - 2; ++j) {
    const int32_t r = j < 0 ? s.savedRatio : ratio[j];
    const int32_t d = j < 0 ? s.savedRise : rise[j];
    const int32_t u = j < 0 ? s.savedMean : mean[j];
    const int32_t nd = rise[j + 1];
    const int32_t nr = ratio[j + 1];
    s.hi = static_cast<int32_t>((int64_t{s.hiMul} * u) >> 15);
    s.lo = std::max<int32_t>(1, static_cast<int32_t>((int64_t{s.loMul} * u) >> 15));
    const bool below = r < s.lo;
    const bool reaches = nr >= s.hi;

    switch (s.state) {
      case kOnsetIdle:
        if (nd <= s.diffFloor || nd == d) break;
        if (nd < d) {
          s.state = kOnsetFalling;
          break;
        }
        if (below) {
          s.armed = 1;
          s.armedValue = r;
        } else {
          s.riseSeen = 1;
        }
        s.state = kOnsetRising;
        break;
      case kOnsetRising:
        if (nd <= s.diffFloor) {
          if (s.armed && reaches) mark(j);
          s.state = kOnsetIdle;
        } else if (nd == d) {
          // still rising at the same pace
        } else if (nd < d) {  // the rise peaked at j
          if (s.riseSeen) {
            s.armed = 1;
            s.riseSeen = 0;
            if (reaches) mark(j);
          } else if (s.armed && reaches) {
            mark(j);
          }
          s.state = kOnsetFalling;
        } else if (below && s.riseSeen) {
          s.armed = 1;
          s.riseSeen = 0;
        }
        break;
      case kOnsetFalling:
      default:
        if (nd <= s.diffFloor) {
          s.state = kOnsetIdle;
        } else if (nd < d) {
          if (below) {
            s.armed = 1;
            s.armedValue = r;
            if (reaches) mark(j);
          }
        } else if (nd == d) {
          // still falling at the same pace
        } else {
          if (!below) {
            s.riseSeen = 1;
            if (s.armed && reaches) mark(j);
          } else {
            s.armed = 1;
            s.armedValue = r;
            if (reaches) mark(j);
          }
          s.state = kOnsetRising;
        }
        break;
    }
    if (s.gap < std::numeric_limits<int32_t>::max()) ++s.gap;
  }

  s.savedRatio = ratio[m - 1];
  s.savedMean = mean[m - 1];
  s.savedRise = rise[m - 1];
}

}  // extern "C"
