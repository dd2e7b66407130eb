#pragma once
// Fixed-point onset envelope of a mono integer signal: pre-emphasis, a
// two-state resonant filter, full-wave rectification, an attack/release
// follower, framing at a hop derived from the rate, a slow level to
// normalise against, and the change from frame to frame; then onset picking
// on that curve. Everything is 64-bit integer arithmetic with coefficients
// derived from the sample rate; shifts are arithmetic.

#include <cstdint>

namespace OnsetEnvelopeSettings {
constexpr std::int64_t kPreEmphasisFactor = 13;  // sixteenths
constexpr std::int16_t kOnsetThreshold = 26;
constexpr std::int64_t kLevelWidth = 256;  // frames of the slow level
constexpr std::int64_t kChangeWidth = 5;   // frames of the change smoothing
}  // namespace OnsetEnvelopeSettings

// Samples per analysis frame: trunc(rate / 344), at least 1.
std::int64_t OnsetHop(double rate);

// y[i] = x[i] - ((x[i - 1] x factor) >> 4), the previous input sample
// unfiltered (0 before the first).
void PreEmphasis(std::int64_t* x, std::int64_t count, std::int64_t factor);

// The two-state resonant filter with coefficient k (capped at 1024):
// t = 32 y - (s1 + s2); y -= s1 >> 5; s1 += (t k) >> 10; s2 += (s1 k) >> 10.
void ResonantFilter(std::int64_t* x, std::int64_t count, std::int64_t k);

// Attack/release follower over 8x-scaled values with coefficients out of
// 8192 (capped there; 8192 follows at once); the result is scaled back.
void EnvelopeFollower(std::int64_t* x, std::int64_t count, std::int64_t attack, std::int64_t release);

// Centred running mean over `width` samples (samples outside 0..n-1 count
// 0), in place. The positive form replaces only the positive samples.
void OnsetMovingAverage(std::int64_t* x, std::int64_t n, std::int64_t width);
void OnsetPositiveAverage(std::int64_t* x, std::int64_t n, std::int64_t width);

// The frame envelope: `out` (room for `count` values) receives `frames`
// normalised change values of the signal `x`. `envelopeMode` 1 follows the
// frame values instead of the samples.
void FrameEnvelope(const std::int64_t* x, std::int64_t* out, std::int64_t count, std::int64_t frames, double rate,
                   int envelopeMode = 0);

// Onset picking: every rise above 1/128 of the strongest value ends in an
// onset frame holding its strength (0..128 of the strongest); the frames of
// the rise take that value too. Returns the first onset frame whose strength
// exceeds `threshold`, 0 when none.
std::int64_t PickOnsets(std::int64_t* envelope, std::uint16_t* onsets, std::int64_t frames, std::int16_t threshold);

// FrameEnvelope then PickOnsets with the standard threshold. Throws the
// integer -1 when the work array cannot be had.
std::int64_t OnsetEnvelope(std::int64_t count, const std::int64_t* mono, std::uint16_t* onsets, double rate);
