#pragma once
// Phases of the stretched spectra, one output frame at a time. The peaks of
// the analysed frame B (at or after the input time) are matched to those of
// frame A (before it); every matched peak gets a phase propagated from the
// previous output frame, the bins around each peak are locked to the peak's
// phase shift, peaks that break off in a transient keep their analysed
// phases, and the two channels are pulled back to their analysed phase
// difference. Magnitudes change only where a band is blanked outside its
// own frequency range.

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "CTimeMachineParams.h"
#include "NoisePhases.h"
#include "PeakTracking.h"
#include "PhaseMath.h"
#include "SMSFrame.h"

// What carries from one output frame to the next during one engine run: the
// peak lists and band edges (rebuilt each frame), the previous output phases
// and edges, the region tables with their flagged segments, and the time of
// the frame B each channel used last (so the same analysed frame used twice
// is recognised). Made afresh for every run.
class BandStretchState {
public:
  // Storage for `bandCount` bands (1..8). Throws -1 when storage cannot be
  // had, -2 for a band count outside 1..8.
  explicit BandStretchState(int bandCount);

  int Bands() const { return m_bands; }

  // Peak list `list` (0 A left, 1 B left, 2 A right, 3 B right) of `band`.
  double* Peaks(int list, int band) { return m_lists[list][band]; }
  // Lists `a` and `b` of `band` change places with their counts: frame A
  // taking over frame B's peaks while B gets new ones moves no peaks.
  void SwapPeaks(int a, int b, int band) {
    std::swap(m_lists[a][band], m_lists[b][band]);
    std::swap(peakCounts[a][static_cast<std::size_t>(band)], peakCounts[b][static_cast<std::size_t>(band)]);
  }

  std::vector<std::int32_t> peakCounts[4];
  // The analysed frame (with its time) and picking settings each peak list
  // was made from; a list is remade only when they change.
  struct PeakSource {
    const SMSFrame* frame = nullptr;
    double time = -1.0;
    std::int64_t neighbourhood = -1;
    float threshold = 0.0f;
    bool operator==(const PeakSource& o) const {
      return frame == o.frame && time == o.time && neighbourhood == o.neighbourhood && threshold == o.threshold;
    }
  };
  std::vector<PeakSource> peakSource[4];
  std::vector<double> edgesA[2];         // per channel, per band
  std::vector<double> edgesB[2];
  std::vector<double> previousEdges[2];  // frame-B edges of the previous output frame
  std::vector<std::unique_ptr<SMSFrame>> previous[2];  // previous output phases per band
  // Per channel: whether `previous` holds the last output frame's phases;
  // false while the caller keeps that frame (BandStretchContext::keepsOutput).
  bool previousHeld[2] = {true, true};
  std::unique_ptr<PeakRegionTable> tables[2];
  double previousTime[2] = {-10.0, -10.0};
  // Per channel: what the last peak matching was handed besides the peak
  // lists (the bands' edges, Nyquist frequencies and the largest deviation)
  // and what it gave besides the table's centres and sources (the region
  // count and the moved edges). A frame whose two peak lists are those of
  // the frame before (frame B repeating with its frame A) matches them
  // alike, and takes the regions as they stand.
  struct Matching {
    bool valid = false;
    double maxDeviation = 0.0;
    std::int32_t count = 0;
    double edges[PeakTracking::kMaxBands] = {};
    float nyquist[PeakTracking::kMaxBands] = {};
    double edgesA[PeakTracking::kMaxBands] = {};
    double edgesB[PeakTracking::kMaxBands] = {};
  };
  Matching matching[2];
  // Per channel: the share of the top band's energy whose phases the last
  // frame moved to the input time (0 when none).
  double movedShare[2] = {0.0, 0.0};
  // Per channel: the top band's bins it moves to the input time, found
  // before the locking so that it skips them, and the limits and frame
  // period the plan was made with. A frame whose regions are those of the
  // frame before (see Matching), both frames moving their noise, takes the
  // plan as it stands.
  struct PlannedMoves {
    std::unique_ptr<NoisePhases::MovePlan> plan;
    bool valid = false;
    NoisePhases::SteadyLimits limits;
    double framePeriod = 0.0;
    std::int64_t bins = 0;
  };
  PlannedMoves moves[2];

private:
  int m_bands;
  std::vector<double> m_peaks[4];
  // Where each list of each band lies in m_peaks (the storage of one list
  // of m_peaks, whichever).
  double* m_lists[4][PeakTracking::kMaxBands] = {};
};

// The band stretcher's side of a stretch: its parameters and settings and
// the run's state.
struct BandStretchContext {
  const CTimeMachineParams* params = nullptr;
  double hopSeconds = 0.0;               // synthesis hop
  std::int64_t outputFrameCounter = 0;   // 0 until the first frame is synthesised
  std::int32_t stereoPhaseSwitch = 1;
  float stereoPhaseAmount = 1.0f;
  BandStretchState* state = nullptr;
  // Set by a caller that keeps this frame's output spectra, phases as they
  // are handed back, until the next frame and hands them in there as
  // previousOutput: the state then makes no copy of the output phases.
  bool keepsOutput = false;
  // Per channel, one frame per band: the output frame the caller kept last
  // (see keepsOutput), read where the state holds no copy of its own.
  SMSFrame* const* previousOutput[2] = {nullptr, nullptr};
};

// One channel's frames for an output frame: one spectrum frame per band.
struct ChannelSpectra {
  SMSFrame* const* output = nullptr;  // phases rewritten, magnitudes blanked outside the band
  SMSFrame* const* frameA = nullptr;
  SMSFrame* const* frameB = nullptr;
  int transient = 0;
  int markerType = 0;
  // The input time the frame stands for (frame B lies at or after it);
  // not finite: frame B's own.
  double inputTime = std::numeric_limits<double>::quiet_NaN();
};

// Gives the output spectra of one output frame their phases; `right` is
// null for mono. `nyquist` holds one Nyquist frequency per band, low to
// high. Returns 0, or -2 for a band count other than the state's.
int StretchBandStereoSpec(BandStretchContext& context, const float* nyquist, int bandCount, ChannelSpectra& left,
                          ChannelSpectra* right, double framePeriod);

// x[i] = PhaseMath::BinOf(f[i], n, nyquist[i]) for count values, with
// span[i] = n - 1 as a double: the same bits, four to a vector where the
// CPU has AVX, one by one elsewhere.
void BinPositions(const double* f, const double* span, const double* nyquist, int count, double* x);

// Propagates the phase of every region of `table` (centres in B, sources in
// A) from the previous output frame, writes it at the region's centre bin,
// stores the region's phase offset, extents and band, flags regions that
// break off in a transient, and moves the band edges between the regions.
// Returns 0, or -2 for a band count outside 1..PeakTracking::kMaxBands.
int ComputeRegionPhases(const BandStretchContext& context, SMSFrame* const* framesA, SMSFrame* const* framesB,
                        SMSFrame* const* output, PeakRegionTable& table, double* edgesA, double* edgesB,
                        SMSFrame* const* previous, const double* previousEdges,
                        int transient, int phaseReset, const float* nyquist, int bandCount, double previousTime,
                        double currentTime, double hopSeconds, double framePeriod);

// Sets the flag of every region of `t` whose centre lies within one of the
// table's segments (by 1e-8 Hz either side); other flags stay as they are.
void FlagRegionsInSegments(PeakRegionTable& t);

// 1 when the peak at fA in frame A continues smoothly into fB in frame B
// (level, frequency and phase prediction within the limits read at frame
// B's time), else 0.
int IsPeakContinuous(const BandStretchContext& context, const SMSFrame& frameA, const SMSFrame& frameB, double fA,
                     double fB, double nyquist, double framePeriod);

