#pragma once
// Spectral peaks of the two analysed frames around an output frame (A before,
// B at or after the input time) and the decision which peak of B continues
// which peak of A. Matched pairs become the regions of a channel's
// PeakRegionTable; the band edges move so that no band boundary falls
// between a peak and its neighbours. Everything works in place on fixed
// arrays and allocates nothing.

#include <array>
#include <cstdint>

#include "SMSFrame.h"

namespace PeakTracking {
constexpr int kMaxPeaks = 1500;
constexpr int kMaxBands = 8;
constexpr double kTolerance = 1e-8;
constexpr double kNoSource = -1.0;
}  // namespace PeakTracking

// The tracked peaks of frame B of one channel, one region each, in order of
// frequency; plus the flagged segments one output frame hands to the next.
struct PeakRegionTable {
  static constexpr int kCapacity = PeakTracking::kMaxPeaks;

  std::array<std::uint8_t, kCapacity> flags{};     // 1: keeps the analysed phases of frame B
  std::array<double, kCapacity> segmentLower{};    // Hz
  std::array<double, kCapacity> segmentUpper{};    // Hz
  std::int32_t segmentCount = 0;
  std::array<SMSFrame*, kCapacity> spectrum{};     // frame B of the region's band
  std::array<SMSFrame*, kCapacity> outSpectrum{};  // output frame of the region's band
  std::array<double, kCapacity> lowerExtent{};     // centre minus the midpoint below
  std::array<double, kCapacity> upperExtent{};     // midpoint above minus the centre
  std::array<double, kCapacity> centre{};          // peak frequency in frame B
  std::array<double, kCapacity> source{};          // matched frequency in frame A
  std::int32_t count = 0;
  std::array<double, kCapacity> phaseOffset{};     // output minus frame-B phase at the centre
  std::array<std::int32_t, kCapacity> band{};      // band the region's phases come from
  std::array<std::int64_t, kCapacity> centreBin{};  // rounded bin of the centre in that band's output frame
};

// Appends the peaks of one band's magnitudes (dB, bins 0..n-1 over
// 0..nyquist) above `threshold` to `peaks`, whose fill level `count` is read
// and updated; a bin is a peak when nothing within `neighbourhood` bins
// is above it and something is below. Peaks are refined by the parabola
// through the neighbours (a flat top refines by nothing; a flat top of two
// bins is one peak, at their midpoint). Bin 0 is stored as
// 0 Hz. Stops at kMaxPeaks. Returns 0.
int PickPeaks(const float* magnitudes, std::int64_t n, std::int64_t neighbourhood, std::int32_t* count, double* peaks,
              double nyquist, float threshold);

// Matches the peaks of B (per band: list and count) to those of A by a
// forward sweep, writing centres and sources of the matches within
// `maxDeviation` Hz into `table` (one region per B peak, the nearer of two B
// peaks keeping a shared A peak), and moves the upper edges of A and B. The
// band count must lie within 1..kMaxBands: another count writes
// "Error in TSBandContinuePeaks()\n" to the standard error stream, leaves
// the table empty and returns 1. Returns 0 otherwise.
int TSBandContinuePeaks(const double* const* peaksA, const std::int32_t* countsA, const double* const* peaksB,
                        const std::int32_t* countsB, double* edgesA, double* edgesB, int bandCount,
                        PeakRegionTable& table, const float* nyquist, double maxDeviation);
