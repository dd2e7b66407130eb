#pragma once
/*
 * Inside the block onset detector: the envelope stage (samples to a decimated
 * onset function), the peak stage (attack marks) and the detector record that
 * ties them to the mark ring. Exposed for the detector's own tests; callers
 * use BlockOnsetDetector.h.
 *
 * All values are 32-bit integers; Q13 means scaled by 8192, Q15 by 32768.
 */

#include <stdint.h>

#include "BlockOnsetDetector.h"
#include "FixedBiquad.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One exponential average: state += (value - state) * coefficient / 32768,
 * with coefficient = 2 / (length + 1) in Q15. */
typedef struct OnsetSmoother {
  int32_t length;
  int32_t coefficient;
  int32_t state;
} OnsetSmoother;

typedef struct OnsetEnvelopeStage {
  int32_t count;            /* decimated values completed by the last call */
  int32_t attack;           /* envelope follower rise coefficient, Q13 */
  int32_t release;          /* envelope follower fall coefficient, Q13 */
  int32_t decimation;       /* samples per decimated value */
  OnsetSmoother smooth;     /* per-sample smoothing before the low-pass */
  OnsetSmoother slow;       /* slow average of the decimated values */
  OnsetSmoother fast;       /* fast average of the decimated values */
  OnsetSmoother ratioMean;  /* slow mean of the fast/slow ratio */
  int32_t ratioFloor;       /* smallest divisor of the ratio */
  int32_t preEmphasis;      /* numerator over 16 */
  int32_t loopCoefficient;  /* band-reject loop gain over 1024 */
  BiquadRecord lowPass;     /* band limit before decimation */
  int32_t leftover[ONSET_DETECTOR_BLOCK_SIZE - 1];
  int32_t leftoverCount;
  int32_t lastSample;
  int32_t lastRatio;
  int32_t loopBand;
  int32_t loopLow;
  int32_t envelope;         /* follower state, 8 times the rectified signal */
  int32_t decimationBuffer[ONSET_DETECTOR_MAX_BLOCK + ONSET_DETECTOR_BLOCK_SIZE];
  int32_t filtered[ONSET_DETECTOR_MAX_BLOCK + ONSET_DETECTOR_BLOCK_SIZE];
} OnsetEnvelopeStage;

typedef enum OnsetPeakState { kOnsetIdle = 0, kOnsetRising = 1, kOnsetFalling = 2 } OnsetPeakState;

typedef struct OnsetPeakStage {
  int32_t output[ONSET_DETECTOR_MAX_BLOCK];  /* marks of the last call */
  int32_t count;                             /* values of the last call */
  int32_t diffFloor;                         /* smallest rise that counts, Q13 */
  int32_t hiMul;                             /* Q15 factor on the mean: mark level */
  int32_t loMul;                             /* Q15 factor on the mean: arming level */
  int32_t hi;
  int32_t lo;
  int32_t blockSize;
  int32_t state;                             /* OnsetPeakState */
  int32_t savedRatio;                        /* last value of the previous call */
  int32_t savedMean;
  int32_t savedRise;
  int32_t armed;
  int32_t armedValue;
  int32_t riseSeen;
  int32_t firstMarked;                       /* first marked index of the call, -1 none */
  int32_t gap;                               /* values since the last mark */
  int32_t minGap;
  int32_t queryStart;                        /* first non-zero ratio of the last call */
} OnsetPeakStage;

struct BlockOnsetDetector {
  int32_t ring[ONSET_DETECTOR_RING_SIZE];
  int32_t ringSize;
  int32_t writePos;   /* next ring index to write, 0 .. ringSize */
  int32_t lastStart;  /* ring index of the first value of the last call */
  OnsetEnvelopeStage* envelope;
  OnsetPeakStage* peak;
  int32_t ratio[ONSET_DETECTOR_MAX_BLOCK];
  int32_t rise[ONSET_DETECTOR_MAX_BLOCK];
  int32_t mean[ONSET_DETECTOR_MAX_BLOCK];
  int32_t peakOutput[ONSET_DETECTOR_MAX_BLOCK];
  int32_t lastCount;  /* values written by the last call */
  int32_t blockSize;
};

/* Sets every field to its starting value (all states 0, low-pass designed). */
void onsetEnvelopeStageInit(OnsetEnvelopeStage* stage);

/* Clears the call count, leftovers, last sample and ratio, loop and follower
 * states; the smoothing averages and the low-pass keep theirs. */
void onsetEnvelopeStageReset(OnsetEnvelopeStage* stage);

/* Runs `count` samples (at most ONSET_DETECTOR_MAX_BLOCK) and writes ratio
 * (Q13), rise and ratio mean of every completed decimated value; returns how
 * many were completed. */
int onsetEnvelopeStageRun(OnsetEnvelopeStage* stage, const int16_t* samples, int count,
                          int32_t* ratio, int32_t* rise, int32_t* mean);

/* Sets every field to its starting value (idle, gap 34). */
void onsetPeakStageInit(OnsetPeakStage* stage);

/* Clears the marks and the machine; thresholds reloaded, gap 34. */
void onsetPeakStageReset(OnsetPeakStage* stage);

/* Marks attacks among m values (m = 0 leaves the stage unchanged); the marks
 * are in stage->output[0 .. m-1]: the ratio at a marked value, 0 elsewhere. */
void onsetPeakStageRun(OnsetPeakStage* stage, const int32_t* ratio, const int32_t* rise,
                       const int32_t* mean, int m);

#ifdef __cplusplus
}
#endif
