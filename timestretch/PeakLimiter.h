#pragma once
// Brings a stretched channel back into the sample range without the buzz of
// hard clipping: every run of samples beyond the range has its half-wave
// rebuilt as a smooth curve that peaks exactly at the limit. Positions are
// absolute indexes into the channel.

#include <cstdint>

// Reshapes every over-range run within [from, to - 5); the last five samples
// are left to the caller's final clamp. With fewer than six samples, hard
// clips them instead. Returns 1 when a sample changed, else 0.
int LimitPeaks(float* x, std::int64_t from, std::int64_t to, double max, double min);

// Rebuilds the half-wave around the over-range run of `run` samples centred
// at `centre`, within [from, to): a fitted quintic when it stays within the
// limit, else a cap of two parabolas blended into the flanks. Very short
// runs and half-waves are hard clipped.
void ReshapePeak(float* x, std::int64_t from, std::int64_t to, std::int64_t centre, std::int64_t run, double max,
                 double min);
