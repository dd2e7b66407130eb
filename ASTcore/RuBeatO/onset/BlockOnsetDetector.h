#pragma once
/*
 * Block onset detector: a small fixed-point attack detector with a plain
 * function interface, used by the style export to find a section's attack
 * points.
 *
 * It takes 16-bit mono PCM at 44100 Hz in blocks of (normally) 32 samples.
 * Every 32 samples complete one decimated value of an onset function (about
 * 1378 values per second); a three-state peak machine marks the values where
 * an attack starts, at least 34 values (about 25 ms) apart. The marks of the
 * last block can be asked for with onsetDetectorHasOnset.
 *
 * Memory comes from malloc at creation; nothing is allocated afterwards. Each
 * detector is used by one thread; detectors share nothing.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct BlockOnsetDetector BlockOnsetDetector;

/* Decimated values of the onset function per block of samples. */
#define ONSET_DETECTOR_BLOCK_SIZE 32
/* Largest block onsetDetectorProcess accepts. */
#define ONSET_DETECTOR_MAX_BLOCK 128
/* Entries of the ring that keeps the marks, one per decimated value. */
#define ONSET_DETECTOR_RING_SIZE 8320

/* A new detector with cleared ring and stages, or null when memory is short
 * (nothing is leaked then). */
BlockOnsetDetector* onsetDetectorCreate(void);

/* Runs `count` samples (0 to 128) through the detector and appends the marks
 * of the decimated values they complete to the ring. Returns 0, or -1 for a
 * null detector, a negative count, a count above 128 or missing samples; on -1
 * nothing changes. Samples that do not complete a decimated value wait for
 * the next call. */
int onsetDetectorProcess(BlockOnsetDetector* detector, const int16_t* samples, int count);

/* 1 when one of the first max(offset / 32, 1) values written by the last
 * onsetDetectorProcess call is a mark, else 0. Only values of the last call
 * are looked at: a call that completed no value (a short last block) answers
 * 0. A null detector answers 0. */
int onsetDetectorHasOnset(const BlockOnsetDetector* detector, int offset);

/* Frees the detector; null is ignored. */
void onsetDetectorDestroy(BlockOnsetDetector* detector);

/* Clears the ring and the last block's marks; the signal stages keep their
 * state. Returns 0, or -1 for null. */
int onsetDetectorClear(BlockOnsetDetector* detector);

/* As onsetDetectorClear, and returns both stages to their starting state
 * (the smoothing averages and the low-pass filter keep their memory). Returns
 * 0, or -1 for null. */
int onsetDetectorReset(BlockOnsetDetector* detector);

/* Library-wide set-up and tear-down: there is nothing to do; kept so that a
 * caller may bracket its use of the detector. Startup returns 0. */
int onsetDetectorStartup(void);
void onsetDetectorShutdown(void);

/* Collects, into `positions`, 32 * k for every index k of the range computed
 * by the last call whose mark v passes v' > 6 or (v >= 300 and v' > 128), with
 * v' = v - 300 when v >= 300 and v otherwise. The range runs from the first
 * non-zero ratio of that call divided by 32 to the call's value count divided
 * by 32. Returns the number collected, or -1 as soon as more than
 * maxPositions / 2 would be collected (and for a null argument). */
int onsetDetectorPeakList(const BlockOnsetDetector* detector, int32_t* positions, int maxPositions);

#ifdef __cplusplus
}
#endif
