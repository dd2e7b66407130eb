#pragma once
/*
 * Fixed-point biquad kit of the block onset detector.
 *
 * Designers compute second-order (or first-order) coefficients in single
 * precision by the bilinear transform with frequency prewarping and store them
 * as 32-bit fixed-point words with a per-record shift; the runners filter
 * arrays of 32-bit samples with such records using only 16 x 16-bit partial
 * products, so the kit suits a target without a wide multiplier.
 *
 * Coefficients of a record are scaled by 2^(28 + j), with j the largest
 * integer up to 3 for which the largest coefficient magnitude m satisfies
 * m * 2^j < 4; the record's shift is 4 - j. The identity record is
 * c0 = 2^29, shift 3.
 *
 * Filter types: 1 peak (boost or cut by the gain's sign), 2 band-pass (gain
 * >= 0) or notch (gain < 0), 3 low shelf, 4 high shelf, 5 Butterworth
 * low-pass, 6 Butterworth high-pass, 7 first-order low-pass, 8 first-order
 * high-pass, 9 to 12 first-order shelves. Gains are in dB.
 *
 * Plain C interface: the records are plain structs owned by the caller.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A biquad: y = b0 x + b1 x[-1] + b2 x[-2] + c3 y[-1] + c4 y[-2] with the
 * feedback words stored with the sign with which they are added
 * (c3 = -a1, c4 = -a2). z1, z2 are the transposed direct-form states. */
typedef struct BiquadRecord {
  int32_t c0;
  int32_t c1;
  int32_t c2;
  int32_t c3;
  int32_t c4;
  int32_t z1;
  int32_t z2;
  int32_t shift;
} BiquadRecord;

/* A first-order section: c0 = b0, c1 = b1, c2 = -a1, z its state. */
typedef struct FirstOrderRecord {
  int32_t c0;
  int32_t c1;
  int32_t c2;
  int32_t z;
  int32_t shift;
} FirstOrderRecord;

/* Design parameters in the order a stored parameter block holds them. */
typedef struct BiquadParams {
  float q;
  float freq;
  float gain;
  int32_t type;
} BiquadParams;

/* Writes c0..c4 and shift of `rec`; leaves z1 and z2 as they are.
 * q <= 0 (or not a number) or a null record changes nothing. A frequency that
 * is not positive or not below fs / 2, a type outside 1..12, or a design
 * whose coefficients cannot be represented gives the identity filter. */
void designBiquad(int type, BiquadRecord* rec, float q, float freq, float gain, float fs);

/* designBiquad, then clears z1. */
void designBiquadFs(int type, BiquadRecord* rec, float q, float freq, float gain, float fs);

/* designBiquad at 44100 Hz, then clears z1. */
void designBiquad44k(int type, BiquadRecord* rec, float q, float freq, float gain);

/* designBiquad alone: both states are kept. */
void designBiquadNoReset(int type, BiquadRecord* rec, float q, float freq, float gain, float fs);

/* Designs a biquad at 44100 Hz and keeps its first-order part
 * {c0, c1, c3, state 0, shift}; returns the shift. A null record or
 * q <= 0 changes nothing and returns the record's current shift (0 for null). */
int designFirstOrder44k(int type, FirstOrderRecord* rec, float q, float freq, float gain);

/* designBiquad from a parameter block at 44100 Hz, then clears z1.
 * A null parameter block changes nothing. */
void designBiquadFromParams(const BiquadParams* p, BiquadRecord* rec);

/* Filters n samples from `in` into `out` (which may be `in`), carrying z1 and
 * z2 in the record between calls. With inputs scaled by 2^16, out >> 16 is the
 * filtered value at the input's scale. Results that would leave the 32-bit
 * range saturate instead of wrapping. */
void runBiquad(const int32_t* in, BiquadRecord* rec, int32_t* out, int n);

/* Filters n samples through a first-order record, carrying z. */
void runFirstOrder(const int32_t* in, FirstOrderRecord* rec, int32_t* out, int n);

/* The runners' fixed-point product: about x * c / 2^32, built from 16-bit
 * halves in 32-bit arithmetic. It never exceeds floor(x * c / 2^32) and is at
 * most one below it. */
int32_t biquadMul(int32_t x, int32_t c);

#ifdef __cplusplus
}
#endif
