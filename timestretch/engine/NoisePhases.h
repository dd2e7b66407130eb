#pragma once
// The noise of the upper band read at the input time. An output frame
// takes its spectrum from the analysed frame B at or after the input time,
// and B's waveform goes out a whole frame at a time: while the input moves
// slower than the frames, four joins in a row carry on the input as it was
// and the fifth (where B repeats) jumps back by a frame. Locked phases keep
// a tone whole across that jump; noise is cut there, once every five
// frames at a stretch by 1.25, and that 34 Hz flutter is what an onset
// measure counts as attacks in the decays of cymbals and snares. Moved to
// the input time, each frame's noise slips by the same fraction of a frame
// at every join instead.

#include <array>
#include <cstdint>

#include "PeakTracking.h"
#include "SMSFrame.h"

namespace NoisePhases {

// What a peak may change from frame A to frame B and still count as one
// steady partial: a level rise below `maxRiseDb`, a fall above
// `maxFallDb` (negative), a frequency move below `maxJumpHz`, and a phase
// within `maxDeviation` radians of where its frequency carries it over one
// frame period.
struct SteadyLimits {
  double maxRiseDb = 4.0;
  double maxFallDb = -5.0;
  double maxJumpHz = 20.0;
  double maxDeviation = 0.1;
};

// Whether the peak at `fA` Hz of frame A goes on as the peak at `fB` of
// frame B within `limits` (bins rounded, both frames over 0..`nyquist`);
// false without levels or phases.
bool IsSteadyPeak(const SMSFrame& frameA, const SMSFrame& frameB, double fA, double fB, double nyquist,
                  double framePeriod, const SteadyLimits& limits);

// How a region of the top band moves: not at all, all its bins, or all
// but the main lobe of its steady partial.
constexpr std::uint8_t kMoveNone = 0, kMoveWhole = 1, kMoveSkirts = 2;

// For regions `first` .. table.count - 1 of the top band, whose frames A
// and B (the region's own spectrum) hold `lastBin` + 1 bins: kMoveNone
// for a region that keeps its analysed phases (flag set), has no source
// or another spectrum than `frameB`, else kMoveSkirts for a steady peak
// (IsSteadyPeak) and kMoveWhole for any other, into moves[r - first]; the
// rounded bin of its centre (its frequency times `binsPerHz`, below 0
// taken as 0, at most lastBin) into centres[r - first], and those of the
// ends of its extent (centre less the lower extent, centre plus the upper
// one) into ends[r - first]. Four regions to a vector where the CPU has
// AVX2, the same operations on each as one by one, so the same results.
struct RegionBins {
  std::int64_t* centres = nullptr;
  std::int64_t* lower = nullptr;
  std::int64_t* upper = nullptr;
};
void ClassifyRegions(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA, const SMSFrame& frameB,
                     double binsPerHz, std::int64_t lastBin, double framePeriod, const SteadyLimits& limits,
                     std::uint8_t* moves, const RegionBins& ends);

// The one-by-one copy alone, and the AVX2 copy alone, which classifies the
// first regions four at a time and returns how many it did (0 where the
// build or the CPU has no AVX2); for comparing the two.
void ClassifyRegionsPlain(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA,
                          const SMSFrame& frameB, double binsPerHz, std::int64_t lastBin, double framePeriod,
                          const SteadyLimits& limits, std::uint8_t* moves, const RegionBins& ends);
std::int32_t ClassifyRegionsFour(const PeakRegionTable& table, std::int32_t first, const SMSFrame& frameA,
                                 const SMSFrame& frameB, double binsPerHz, std::int64_t lastBin, double framePeriod,
                                 const SteadyLimits& limits, std::uint8_t* moves, const RegionBins& ends);

// Which bins of the top band of a run with two or more bands move to the
// input time, as ascending runs of whole bins of the band's frame B; none
// when the top band has no frame B of its own or the input time is not
// finite.
struct MovePlan {
  std::int32_t runs = 0;
  int band = -1;
  const SMSFrame* frame = nullptr;
  std::array<std::int64_t, PeakRegionTable::kCapacity> from{}, to{};  // inclusive
  // The bins that move between region r - 1 and region r, at r
  // (inclusive, empty when from > to): what r - 1 moves above its centre
  // and r below it, or the first of the two alone where they do not meet.
  // Set from the band's first region (what it moves below itself) to one
  // past its last (what that moves above itself).
  std::array<std::int64_t, PeakRegionTable::kCapacity + 1> gapFrom{}, gapTo{};
};

// For every region of the top band that keeps no analysed phases (flag 0):
// its bins, from the midpoint to the region below to the midpoint to the
// region above, are to take frame B's phases moved to the input time, each
// advanced by its bin frequency times (`inputTime` - frame B's time); a
// steady peak keeps the bins of its window's main lobe (two on either side
// of its own) as they were. Works those runs out into `plan`, leaving
// `output` as it is (its top band gives the bin count); `framesA` and
// `output` hold one frame per band.
void PlanMoves(const PeakRegionTable& table, SMSFrame* const* framesA, SMSFrame* const* output, const float* nyquist,
               int bands, double inputTime, double framePeriod, const SteadyLimits& limits, MovePlan& plan);

// Moves the runs of `plan` in `output` to `inputTime`; returns the share
// (0..1) of the top band's output energy from `lowerEdgeHz` up that moved.
double ApplyMoves(const MovePlan& plan, SMSFrame* const* output, const float* nyquist, double lowerEdgeHz,
                  double inputTime);


}  // namespace NoisePhases
