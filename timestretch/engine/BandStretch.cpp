// Phase propagation and locking for one output frame. Per channel: peaks of
// A and B, matched into regions; each region's phase advances from the
// previous output frame by the phase step measured from A to B over one
// hop, also when B repeats; bins between regions take the offset of the
// nearer region; transient regions keep frame B's phases. Then stereo coherence and the hand-over to the next
// frame.

#include "BandStretch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "NoisePhases.h"
#include "PhaseRuns.h"

using namespace PhaseMath;

namespace {

constexpr double kEps = 1e-8;

float param(const BandStretchContext& c, int index, double time) { return c.params ? c.params->GetParam(index, time) : 0.0f; }

// The stepped weight of the phase locking: 0 up to half way, 1 beyond, so
// every bin between two peaks follows the nearer one. (A steep power curve
// that fell back towards 0 next to the upper peak gave the bins just below
// a peak the lower region's offset: a strong partial's main lobe then
// carried two phases and rang at the frame rate.)
// Taken as j / d <= 1/2 for whole numbers, which is 2 j <= d exactly (the
// rounded quotient cannot reach 1/2 from above): the weight is 0 for the
// bins up to base + d / 2 (j = k - base) and 1 from the next one on.
std::int64_t firstUpperBin(std::int64_t base, std::int64_t d) { return base + d / 2 + 1; }

void setPhase(SMSFrame& f, std::int64_t k, double value) {
  if (f.phases && k >= 0 && k < f.binCount) f.phases[k] = static_cast<float>(Wrap(value));
}

void copyPhases(const SMSFrame& from, SMSFrame& to, std::int64_t begin, std::int64_t end) {
  if (!from.phases || !to.phases) return;
  end = std::min({end, from.binCount, to.binCount});
  begin = std::max<std::int64_t>(0, begin);
  // One block copy: a loop the compiler could not know free of overlap
  // went a float at a time.
  if (begin < end) std::memmove(to.phases + begin, from.phases + begin, static_cast<std::size_t>(end - begin) * sizeof(float));
}

// Magnitudes outside [edge of the band below, own edge] become "no energy".
void blankOutsideBands(SMSFrame* const* output, const double* edges, const float* nyquist, int bands) {
  for (int b = 0; b < bands; ++b) {
    SMSFrame* f = output[b];
    if (!f || !f->magnitudes) continue;
    const std::int64_t n = f->binCount;
    const std::int64_t high = RoundedBin(edges[b], n, nyquist[b]);
    const std::int64_t low = b > 0 ? RoundedBin(edges[b - 1], n, nyquist[b]) : 0;
    std::fill(f->magnitudes, f->magnitudes + std::clamp<std::int64_t>(low, 0, n), kNoEnergy);
    std::fill(f->magnitudes + std::clamp<std::int64_t>(high + 1, 0, n), f->magnitudes + n, kNoEnergy);
  }
}

// The phases of `out` from bin `begin` up to `end` become those of `from`
// (0 beyond its bins, as PhaseAt reads them) plus `a`, and then plus `b`
// when kTwoTerms, wrapped.
template <bool kTwoTerms>
void shiftedPhases(SMSFrame& out, const SMSFrame& from, std::int64_t begin, std::int64_t end, double a, double b) {
  if (!out.phases) return;
  begin = std::max<std::int64_t>(begin, 0);
  end = std::min(end, out.binCount);
  if (begin >= end) return;
  const std::int64_t inside = from.phases ? std::clamp(from.binCount, begin, end) : begin;
  if constexpr (kTwoTerms)
    PhaseRuns::AddWrapped2(out.phases + begin, from.phases + begin, inside - begin, a, b);
  else
    PhaseRuns::AddWrapped(out.phases + begin, from.phases + begin, inside - begin, a);
  if (inside < end) {
    double v = 0.0 + a;
    if constexpr (kTwoTerms) v = v + b;
    std::fill(out.phases + inside, out.phases + end, static_cast<float>(Wrap(v)));
  }
}

void savePrevious(BandStretchState& s, int ch, SMSFrame* const* output, int bands) {
  for (int b = 0; b < bands; ++b) {
    if (!output[b]) continue;
    SMSFrame& prev = *s.previous[ch][static_cast<std::size_t>(b)];
    // Zeroed only when there are no phases to copy over it whole.
    if (prev.Allocate(SMSFrame::kPhases, output[b]->binCount, !output[b]->phases) != 0) throw -1;
    copyPhases(*output[b], prev, 0, output[b]->binCount);
    prev.time = output[b]->time;
  }
  s.previousEdges[ch] = s.edgesB[ch];
  s.previousHeld[ch] = true;
}

// Where the caller keeps the output frame for the next one: its phases
// stay where they are, not copied.
void keepPrevious(BandStretchContext& c, int ch, SMSFrame* const* output, int bands) {
  if (!c.keepsOutput) {
    savePrevious(*c.state, ch, output, bands);
    return;
  }
  c.state->previousEdges[ch] = c.state->edgesB[ch];
  c.state->previousHeld[ch] = false;
}

// The first output frame: nominal edges, frame A's phases as the previous
// output, bands blanked.
void startChannel(BandStretchContext& c, int ch, ChannelSpectra& spectra, const float* nyquist, int bands) {
  BandStretchState& s = *c.state;
  for (int b = 0; b < bands; ++b) {
    const double edge = param(c, CTimeMachineParams::BandUpperEdgeHz, b);
    s.edgesA[ch][b] = s.edgesB[ch][b] = edge;
  }
  savePrevious(s, ch, spectra.frameA, bands);
  s.previousEdges[ch] = s.edgesB[ch];
  blankOutsideBands(spectra.output, s.edgesB[ch].data(), nyquist, bands);
}

// Bins of a region's band that the noise move sets anew (inclusive; empty
// when from > to): their locked phases would never be read.
struct MovedBins {
  std::int64_t from = 1, to = 0;
};

// The bins the move sets anew between regions r - 1 and r of `band`,
// when the move is in that band and r (or r - 1, for r past the last
// region) is one of its regions.
MovedBins movedGap(const NoisePhases::MovePlan* plan, const PeakRegionTable& t, std::int32_t r, int band) {
  if (!plan || band != plan->band || t.band[r < t.count ? r : r - 1] != band) return {};
  const auto i = static_cast<std::size_t>(r);
  return {plan->gapFrom[i], plan->gapTo[i]};
}

// Calls add(from, to) over the parts of bins [begin, end) outside `moved`.
template <class Add>
void outsideMoved(std::int64_t begin, std::int64_t end, MovedBins moved, Add add) {
  if (moved.from > moved.to || moved.from >= end || moved.to < begin) {
    if (begin < end) add(begin, end);
    return;
  }
  if (begin < moved.from) add(begin, moved.from);
  if (moved.to + 1 < end) add(moved.to + 1, end);
}

// The bins between peaks go in two runs, one per value of the step weight;
// each adds the offsets times that weight, the products made as the per-bin
// sums made them (0 times an offset is not always +0).
void lockPhases(const PeakRegionTable& t, SMSFrame* const* output, const double* edgesB, const float* nyquist,
                int bands, const NoisePhases::MovePlan* moving) {
  auto regionBand = [&](std::int32_t r) { return bands == 1 || t.centre[r] < edgesB[0] ? 0 : 1; };
  auto bin = [&](std::int32_t r) {
    const int b = regionBand(r);
    // The region phases found it already, at the cost of a division, for
    // the band they gave the region (nearly always this one).
    return b == t.band[r] ? t.centreBin[r] : RoundedBin(t.centre[r], output[b]->binCount, nyquist[b]);
  };
  if (t.count <= 0) return;
  {
    const int b = regionBand(0);
    const SMSFrame& fb = *t.spectrum[0];
    const std::int64_t k0 = bin(0);
    const double offset = t.phaseOffset[0];
    const std::int64_t turn = std::min(k0, firstUpperBin(0, k0));
    const MovedBins below = movedGap(moving, t, 0, b);
    outsideMoved(0, turn, below,
                 [&](std::int64_t from, std::int64_t to) { shiftedPhases<false>(*output[b], fb, from, to, 0.0 * offset, 0.0); });
    outsideMoved(turn, k0, below,
                 [&](std::int64_t from, std::int64_t to) { shiftedPhases<false>(*output[b], fb, from, to, 1.0 * offset, 0.0); });
  }
  {
    const std::int32_t last = t.count - 1;
    const int b = regionBand(last);
    const SMSFrame& fb = *t.spectrum[last];
    const std::int64_t n = output[b]->binCount;
    const std::int64_t kl = bin(last);
    const double offset = t.phaseOffset[last];
    const std::int64_t turn = std::min(n, firstUpperBin(kl, n - kl));
    const MovedBins above = movedGap(moving, t, t.count, b);
    outsideMoved(kl + 1, turn, above, [&](std::int64_t from, std::int64_t to) {
      shiftedPhases<false>(*output[b], fb, from, to, (1.0 - 0.0) * offset, 0.0);
    });
    outsideMoved(turn, n, above, [&](std::int64_t from, std::int64_t to) {
      shiftedPhases<false>(*output[b], fb, from, to, (1.0 - 1.0) * offset, 0.0);
    });
  }
  // Between two regions of the moving band: what the move sets anew there.
  const int movedBand = moving ? moving->band : -1;
  auto movedAt = [moving](std::int32_t r) {
    const auto i = static_cast<std::size_t>(r);
    return MovedBins{moving->gapFrom[i], moving->gapTo[i]};
  };
  std::int64_t kn = bin(0);
  for (std::int32_t r = 0; r + 1 < t.count; ++r) {
    const int br = regionBand(r), bn = regionBand(r + 1);
    const std::int64_t kr = kn;
    kn = bin(r + 1);
    if (br == bn) {
      const MovedBins moved = br == movedBand && t.band[r + 1] == br ? movedAt(r + 1) : MovedBins{};
      // Every bin between the two (if any) moved: nothing to lock. (Where
      // the gap is empty this holds only when no bin lies between them.)
      if (moved.from <= kr + 1 && moved.to + 1 >= kn) continue;
      const SMSFrame& fb = *t.spectrum[r + 1];
      const double lower = t.phaseOffset[r];
      const double upper = UnwrapAgainst(t.phaseOffset[r + 1], lower);
      const std::int64_t turn = std::min(kn, firstUpperBin(kr, kn - kr));
      SMSFrame& out = *output[br];
      if (out.phases && fb.phases && kn <= std::min(out.binCount, fb.binCount)) {
        // Both runs lie within both frames (kr >= 0 and turn <= kn): the
        // clamps of shiftedPhases would change nothing, and this pair of
        // calls runs once per region.
        outsideMoved(kr + 1, turn, moved, [&](std::int64_t from, std::int64_t to) {
          PhaseRuns::AddWrapped2(out.phases + from, fb.phases + from, to - from, 0.0 * upper, (1.0 - 0.0) * lower);
        });
        outsideMoved(turn, kn, moved, [&](std::int64_t from, std::int64_t to) {
          PhaseRuns::AddWrapped2(out.phases + from, fb.phases + from, to - from, 1.0 * upper, (1.0 - 1.0) * lower);
        });
      } else {
        outsideMoved(kr + 1, turn, moved, [&](std::int64_t from, std::int64_t to) {
          shiftedPhases<true>(out, fb, from, to, 0.0 * upper, (1.0 - 0.0) * lower);
        });
        outsideMoved(turn, kn, moved, [&](std::int64_t from, std::int64_t to) {
          shiftedPhases<true>(out, fb, from, to, 1.0 * upper, (1.0 - 1.0) * lower);
        });
      }
    } else if (br == 0 && bn == 1) {
      const std::int64_t n0 = output[0]->binCount;
      const std::int64_t top = std::min(RoundedBin(t.centre[r] + t.upperExtent[r], n0, nyquist[0]), n0 - 1);
      shiftedPhases<false>(*output[0], *t.spectrum[r], kr + 1, top + 1, t.phaseOffset[r], 0.0);
      const std::int64_t from = RoundedBin(t.centre[r + 1] - t.lowerExtent[r + 1], output[1]->binCount, nyquist[1]);
      outsideMoved(from, kn, movedGap(moving, t, r + 1, 1), [&](std::int64_t begin, std::int64_t end) {
        shiftedPhases<false>(*output[1], *t.spectrum[r + 1], begin, end, t.phaseOffset[r + 1], 0.0);
      });
    } else {
      std::fputs("ERROR in StretchBandStereoSpec()\n", stderr);
    }
  }
}

void keepTransientPhases(const PeakRegionTable& t, SMSFrame* const* output, SMSFrame* const* framesB,
                         const double* edgesB, const float* nyquist, int bands, bool transient, double cutoff) {
  for (std::int32_t r = 0; r < t.count; ++r) {
    if (!t.flags[r]) continue;
    const int b = t.band[r];
    const std::int64_t n = output[b]->binCount;
    const std::int64_t from = RoundedBin(t.centre[r] - t.lowerExtent[r], n, nyquist[b]);
    const std::int64_t to = std::min(RoundedBin(t.centre[r] + t.upperExtent[r], n, nyquist[b]), n - 1);
    copyPhases(*t.spectrum[r], *output[b], from, to + 1);
  }
  if (!transient || !(nyquist[bands - 1] > cutoff)) return;
  if (t.count > 0 && t.centre[t.count - 1] > cutoff) cutoff = t.centre[t.count - 1] - t.lowerExtent[t.count - 1];
  int first = 0;
  while (first < bands && edgesB[first] < cutoff) ++first;
  for (int b = first; b < bands; ++b) {
    const std::int64_t n = output[b]->binCount;
    std::int64_t from = RoundedBin(cutoff, n, nyquist[b]);
    // Above the first band, from where the band below stops: its upper
    // edge. (Its Nyquist frequency lies far above that edge when it is
    // decimated, and the bins between belong to this band alone.)
    if (b > first) from = std::max<std::int64_t>(0, RoundedBin(edgesB[b - 1], n, nyquist[b]));
    copyPhases(*framesB[b], *output[b], from, n);
  }
}

// Whether the values of `v` (n of them) rise or stay; false for a NaN.
bool nonDecreasing(const double* v, std::int32_t n) {
  for (std::int32_t i = 1; i < n; ++i)
    if (!(v[i - 1] <= v[i])) return false;
  return true;
}

}  // namespace

void FlagRegionsInSegments(PeakRegionTable& t) {
  const std::int32_t m = t.segmentCount;
  if (nonDecreasing(t.centre.data(), t.count) && nonDecreasing(t.segmentLower.data(), m) &&
      nonDecreasing(t.segmentUpper.data(), m)) {
    // Centres and segments both in order (as the peak lists make them):
    // one walk over both. Segments whose upper end a centre has passed
    // hold no later centre; of the rest the first has the lowest lower
    // end, so it holds the centre if any does.
    std::int32_t j = 0;
    for (std::int32_t r = 0; r < t.count; ++r) {
      const double centre = t.centre[r];
      while (j < m && !(centre < t.segmentUpper[j] + kEps)) ++j;
      if (j < m && centre > t.segmentLower[j] - kEps) t.flags[r] = 1;
    }
    return;
  }
  for (std::int32_t r = 0; r < t.count; ++r) {
    for (std::int32_t s = 0; s < m; ++s) {
      if (t.centre[r] > t.segmentLower[s] - kEps && t.centre[r] < t.segmentUpper[s] + kEps) {
        t.flags[r] = 1;
        break;
      }
    }
  }
}

namespace {

void flagTransientRegions(PeakRegionTable& t, bool transient, double cutoff) {
  if (transient) {
    FlagRegionsInSegments(t);
    for (std::int32_t r = 0; r < t.count; ++r) {
      if (t.centre[r] >= cutoff) {
        t.flags[r] = 1;
        t.count = r + 1;
        break;
      }
    }
  }
  t.segmentCount = 0;
  if (!transient) return;
  for (std::int32_t r = 0; r < t.count; ++r) {
    if (!t.flags[r]) continue;
    const double below = t.centre[std::max(r - 1, 0)];
    const double above = t.centre[std::min(r + 1, t.count - 1)];
    t.segmentLower[t.segmentCount] = (t.centre[r] + below) / 2.0;
    t.segmentUpper[t.segmentCount] = (t.centre[r] + above) / 2.0;
    ++t.segmentCount;
  }
}

void stereoCoherence(SMSFrame* const* outL, SMSFrame* const* outR, SMSFrame* const* bL, SMSFrame* const* bR,
                     int bands, double amount) {
  for (int b = 0; b < bands; ++b) {
    SMSFrame& l = *outL[b];
    SMSFrame& r = *outR[b];
    if (!l.magnitudes || !l.phases || !r.phases) continue;
    const std::int64_t n = std::min({l.binCount, r.binCount, bL[b]->binCount, bR[b]->binCount});
    if (bL[b]->phases && bR[b]->phases) {
      PhaseRuns::PullTogether(l.phases, r.phases, l.magnitudes, bL[b]->phases, bR[b]->phases, n, amount);
      continue;
    }
    for (std::int64_t k = 0; k < n; ++k) {
      if (!(l.magnitudes[k] > kNoEnergy)) continue;
      const double inL = PhaseAt(*bL[b], k);
      const double dIn = UnwrapAgainst(PhaseAt(*bR[b], k), inL) - inL;
      const double dOutRaw = UnwrapAgainst(r.phases[k], l.phases[k]) - l.phases[k];
      const double dOut = UnwrapAgainst(dOutRaw, dIn);
      const double c = (dOut - dIn) * 0.5 * amount;
      l.phases[k] = static_cast<float>(Wrap(l.phases[k] + c));
      r.phases[k] = static_cast<float>(Wrap(r.phases[k] - c));
    }
  }
}

// TSBandContinuePeaks, or where `listsKept` (the peak lists are those
// the last matching on `table` read) and the rest of what it is handed is
// as then, what it gave then: the table's centres and sources stand as it
// wrote them (nothing after it writes them), its count and edges come from
// `m`. Returns whether it did so.
bool matchPeaks(BandStretchState::Matching& m, bool listsKept, const double* const* peaksA,
                const std::int32_t* countsA, const double* const* peaksB, const std::int32_t* countsB, double* edgesA,
                double* edgesB, int bands, PeakRegionTable& table, const float* nyquist, double maxDeviation) {
  bool same = listsKept && m.valid && m.maxDeviation == maxDeviation;
  for (int b = 0; same && b < bands; ++b)
    same = m.edges[b] == edgesA[b] && m.edges[b] == edgesB[b] && m.nyquist[b] == nyquist[b];
  if (same) {
    table.count = m.count;
    std::copy(m.edgesA, m.edgesA + bands, edgesA);
    std::copy(m.edgesB, m.edgesB + bands, edgesB);
    return true;
  }
  // Both sides start from the band's nominal edge; where they do not,
  // nothing is kept.
  double given[PeakTracking::kMaxBands];
  bool keepable = true;
  for (int b = 0; b < bands; ++b) {
    given[b] = edgesA[b];
    keepable = keepable && edgesA[b] == edgesB[b];
  }
  TSBandContinuePeaks(peaksA, countsA, peaksB, countsB, edgesA, edgesB, bands, table, nyquist, maxDeviation);
  m.valid = keepable;
  if (!keepable) return false;
  m.maxDeviation = maxDeviation;
  m.count = table.count;
  for (int b = 0; b < bands; ++b) {
    m.edges[b] = given[b];
    m.nyquist[b] = nyquist[b];
    m.edgesA[b] = edgesA[b];
    m.edgesB[b] = edgesB[b];
  }
  return false;
}

void stretchChannel(BandStretchContext& c, int ch, ChannelSpectra& spectra, const float* nyquist, int bands,
                    double framePeriod, bool bothStrong) {
  BandStretchState& s = *c.state;
  PeakRegionTable& table = *s.tables[ch];
  const double t = spectra.frameB[0]->time;
  // Bin 0 of the lowest band and the top bin of the highest keep frame B's phases.
  setPhase(*spectra.output[0], 0, PhaseAt(*spectra.frameB[0], 0));
  const std::int64_t topBin = spectra.output[bands - 1]->binCount - 1;
  setPhase(*spectra.output[bands - 1], topBin, PhaseAt(*spectra.frameB[bands - 1], topBin));

  const int listA = 2 * ch, listB = 2 * ch + 1;
  const auto neighbourhood = static_cast<std::int64_t>(std::floor(param(c, CTimeMachineParams::PeakNeighbourhood, t) * 0.5));
  const float threshold = param(c, CTimeMachineParams::PeakThresholdDb, t);
  const double* peaksA[PeakTracking::kMaxBands];
  const double* peaksB[PeakTracking::kMaxBands];
  // Whether both peak lists of every band are those the last matching read.
  bool listsKept = true;
  for (int b = 0; b < bands; ++b) {
    // Frame A is mostly the previous output frame's frame B, and frame B
    // repeats while the input moves slower than the frames: an analysed
    // frame's peaks are picked once.
    const BandStretchState::PeakSource wantA{spectra.frameA[b], spectra.frameA[b]->time, neighbourhood, threshold};
    const BandStretchState::PeakSource wantB{spectra.frameB[b], spectra.frameB[b]->time, neighbourhood, threshold};
    BandStretchState::PeakSource& hasA = s.peakSource[listA][b];
    BandStretchState::PeakSource& hasB = s.peakSource[listB][b];
    if (!(hasA == wantA)) {
      listsKept = false;
      if (hasB == wantA && !(hasB == wantB)) {
        // B's list is picked anew below: A takes it as it stands.
        s.SwapPeaks(listA, listB, b);
      } else if (hasB == wantA) {
        std::copy(s.Peaks(listB, b), s.Peaks(listB, b) + s.peakCounts[listB][b], s.Peaks(listA, b));
        s.peakCounts[listA][b] = s.peakCounts[listB][b];
      } else {
        s.peakCounts[listA][b] = 0;
        PickPeaks(spectra.frameA[b]->magnitudes, spectra.frameA[b]->binCount, neighbourhood, &s.peakCounts[listA][b],
                  s.Peaks(listA, b), nyquist[b], threshold);
      }
      hasA = wantA;
    }
    if (!(hasB == wantB)) {
      listsKept = false;
      s.peakCounts[listB][b] = 0;
      PickPeaks(spectra.frameB[b]->magnitudes, spectra.frameB[b]->binCount, neighbourhood, &s.peakCounts[listB][b],
                s.Peaks(listB, b), nyquist[b], threshold);
      hasB = wantB;
    }
    peaksA[b] = s.Peaks(listA, b);
    peaksB[b] = s.Peaks(listB, b);
    s.edgesA[ch][b] = s.edgesB[ch][b] = param(c, CTimeMachineParams::BandUpperEdgeHz, b);
  }
  const bool regionsKept = matchPeaks(s.matching[ch], listsKept, peaksA, s.peakCounts[listA].data(), peaksB, s.peakCounts[listB].data(),
             s.edgesA[ch].data(), s.edgesB[ch].data(), bands, table, nyquist,
             param(c, CTimeMachineParams::MaxPeakDeviationHz, t));

  const int phaseReset = static_cast<int>(param(c, CTimeMachineParams::PhaseResetSwitch, t));
  SMSFrame* previous[PeakTracking::kMaxBands];
  const bool held = s.previousHeld[ch] || !c.previousOutput[ch];
  for (int b = 0; b < bands; ++b)
    previous[b] = held ? s.previous[ch][static_cast<std::size_t>(b)].get() : c.previousOutput[ch][b];
  ComputeRegionPhases(c, spectra.frameA, spectra.frameB, spectra.output, table, s.edgesA[ch].data(),
                      s.edgesB[ch].data(), previous, s.previousEdges[ch].data(), spectra.transient, phaseReset,
                      nyquist, bands, s.previousTime[ch], t, c.hopSeconds, framePeriod);
  s.previousTime[ch] = t;

  double cutoff = param(c, CTimeMachineParams::TransientCutoffHz, t);
  if (bothStrong && nyquist[bands - 1] > cutoff) cutoff = 100.0;
  const bool transient = spectra.transient != 0;
  flagTransientRegions(table, transient, cutoff);
  // Only a frame with an input time of its own moves its noise; the
  // others skip reading the limits too.
  const NoisePhases::MovePlan* moving = nullptr;
  BandStretchState::PlannedMoves& planned = s.moves[ch];
  if (!transient && bands >= 2 && std::isfinite(spectra.inputTime)) {
    NoisePhases::SteadyLimits steady;
    steady.maxRiseDb = param(c, CTimeMachineParams::MaxMagnitudeRiseDb, t);
    steady.maxFallDb = param(c, CTimeMachineParams::MaxMagnitudeFallDb, t);
    steady.maxJumpHz = param(c, CTimeMachineParams::MaxFrequencyJumpHz, t);
    // The plan reads the regions (and no transient frame flagged any of
    // them, here or in the frame before), the frames A and B they were
    // matched from, the limits and the top band's bin count; the input
    // time only where it is finite.
    const std::int64_t bins = spectra.output[bands - 1]->binCount;
    const bool same = regionsKept && planned.valid && planned.framePeriod == framePeriod && planned.bins == bins &&
                      planned.limits.maxRiseDb == steady.maxRiseDb && planned.limits.maxFallDb == steady.maxFallDb &&
                      planned.limits.maxJumpHz == steady.maxJumpHz && planned.limits.maxDeviation == steady.maxDeviation;
    if (!same) {
      NoisePhases::PlanMoves(table, spectra.frameA, spectra.output, nyquist, bands, spectra.inputTime, framePeriod,
                             steady, *planned.plan);
      planned.valid = true;
      planned.limits = steady;
      planned.framePeriod = framePeriod;
      planned.bins = bins;
    }
    moving = planned.plan.get();
  } else {
    planned.valid = false;
  }
  lockPhases(table, spectra.output, s.edgesB[ch].data(), nyquist, bands, moving);
  s.movedShare[ch] = moving ? NoisePhases::ApplyMoves(*moving, spectra.output, nyquist,
                                                      s.edgesB[ch][static_cast<std::size_t>(bands - 2)],
                                                      spectra.inputTime)
                            : 0.0;
  keepTransientPhases(table, spectra.output, spectra.frameB, s.edgesB[ch].data(), nyquist, bands, transient, cutoff);

  for (int b = 0; b < bands; ++b) {
    const std::int64_t n = spectra.output[b]->binCount;
    const double width = n > 1 ? nyquist[b] / static_cast<double>(n - 1) : 0.0;
    s.edgesB[ch][b] = std::max(0.0, std::floor(BinOf(s.edgesB[ch][b], n, nyquist[b]) + 0.5) * width);
  }
  blankOutsideBands(spectra.output, s.edgesB[ch].data(), nyquist, bands);
}

}  // namespace

BandStretchState::BandStretchState(int bandCount) : m_bands(bandCount) {
  if (bandCount < 1 || bandCount > PeakTracking::kMaxBands) throw -2;
  try {
    const auto bands = static_cast<std::size_t>(bandCount);
    for (int l = 0; l < 4; ++l) {
      m_peaks[l].assign(bands * PeakTracking::kMaxPeaks, 0.0);
      for (std::size_t b = 0; b < bands; ++b) m_lists[l][b] = &m_peaks[l][b * PeakTracking::kMaxPeaks];
      peakCounts[l].assign(bands, 0);
      peakSource[l].assign(bands, PeakSource{});
    }
    for (int ch = 0; ch < 2; ++ch) {
      edgesA[ch].assign(bands, 0.0);
      edgesB[ch].assign(bands, 0.0);
      previousEdges[ch].assign(bands, 0.0);
      for (std::size_t b = 0; b < bands; ++b) previous[ch].push_back(std::make_unique<SMSFrame>());
      tables[ch] = std::make_unique<PeakRegionTable>();
    }
    for (auto& m : moves) m.plan = std::make_unique<NoisePhases::MovePlan>();
  } catch (const std::bad_alloc&) {
    throw -1;
  }
}

namespace {

// The continuity thresholds at one time: read once per frame, not per peak.
struct ContinuityLimits {
  double time = 0.0;
  bool valid = false;
  double maxRise = 0.0, maxFall = 0.0, maxJump = 0.0, maxPhaseDeviation = 0.0;

  const ContinuityLimits& At(const BandStretchContext& c, double t) {
    if (!valid || time != t) {
      maxRise = param(c, CTimeMachineParams::MaxMagnitudeRiseDb, t);
      maxFall = param(c, CTimeMachineParams::MaxMagnitudeFallDb, t);
      maxJump = param(c, CTimeMachineParams::MaxFrequencyJumpHz, t);
      maxPhaseDeviation = param(c, CTimeMachineParams::MaxPhaseDeviation, t);
      time = t;
      valid = true;
    }
    return *this;
  }
};

// The phase arithmetic of consecutive regions: the bins each reads are
// gathered, and the interpolations, the prediction, the deviation and the
// wraps (two of many turns per region, a division each) are then done side
// by side, two regions to a vector. A region's phase goes to its centre bin
// once its block is done; nothing in between reads the output.
struct RegionBlock {
  static constexpr int kSize = 64;
  int count = 0;
  // The pairs of bins the three interpolated phases are read between.
  double pairs[3][3][kSize];
  double nearerBin[kSize], advance[kSize], useDeviation[kSize], analysed[kSize];
  std::int64_t centreBin[kSize];

  // Regions first .. first + count - 1 of `t`: their phases at their centre
  // bins and their offsets.
  void Finish(PeakRegionTable& t, SMSFrame* const* output, std::int32_t first) {
    if (count == 0) return;
    double phase[kSize], offset[kSize];
    PhaseRuns::RegionTerms terms;
    PhaseRuns::PhasePairs* read[3] = {&terms.previous, &terms.phaseA, &terms.phaseB};
    for (int p = 0; p < 3; ++p) *read[p] = {pairs[p][0], pairs[p][1], pairs[p][2]};
    terms.nearerBin = nearerBin;
    terms.advance = advance;
    terms.useDeviation = useDeviation;
    terms.analysed = analysed;
    PhaseRuns::AdvanceRegions(terms, count, phase, offset);
    for (int i = 0; i < count; ++i) {
      const std::int32_t r = first + i;
      // Wrapped already (or NaN): Wrap would return it as it is.
      SMSFrame& out = *output[t.band[r]];
      if (out.phases && centreBin[i] >= 0 && centreBin[i] < out.binCount)
        out.phases[centreBin[i]] = static_cast<float>(phase[i]);
      t.phaseOffset[r] = offset[i];
    }
    count = 0;
  }
};

int peakContinuous(const ContinuityLimits& limits, const SMSFrame& frameA, const SMSFrame& frameB, double fA,
                   double fB, double nyquist, double framePeriod) {
  const std::int64_t kA = RoundedBin(fA, frameA.binCount, nyquist);
  const std::int64_t kB = RoundedBin(fB, frameB.binCount, nyquist);
  if (!frameA.magnitudes || !frameB.magnitudes || frameA.binCount <= 0 || frameB.binCount <= 0) return 0;
  const double rise = static_cast<double>(frameB.magnitudes[kB]) - frameA.magnitudes[kA];
  if (rise >= limits.maxRise) return 0;
  if (rise <= limits.maxFall) return 0;
  if (std::fabs(fB - fA) >= limits.maxJump) return 0;
  const double predicted = Wrap(PhaseAt(frameA, kA) + kTwoPi * (fA + fB) / 2.0 * framePeriod);
  const double actual = UnwrapAgainst(PhaseAt(frameB, kB), predicted);
  return std::fabs(actual - predicted) < limits.maxPhaseDeviation ? 1 : 0;
}

}  // namespace

int IsPeakContinuous(const BandStretchContext& c, const SMSFrame& frameA, const SMSFrame& frameB, double fA,
                     double fB, double nyquist, double framePeriod) {
  ContinuityLimits limits;
  return peakContinuous(limits.At(c, frameB.time), frameA, frameB, fA, fB, nyquist, framePeriod);
}

namespace {

// What the region loop reads of one frame, in locals: a store into the
// table's flag bytes may alias anything, so fields read through the frames
// would be fetched again for every region.
struct PhaseView {
  const float* phases = nullptr;
  std::int64_t n = 0;
  explicit PhaseView(const SMSFrame& f) : phases(f.phases), n(f.binCount) {}
  PhaseView() = default;
  double At(std::int64_t k) const { return PhaseAt(phases, n, k); }
  PhasePair PairAt(double x) const { return PhasePairAt(phases, n, x); }
};

}  // namespace

namespace {

#if defined(__GNUC__) && defined(__x86_64__)
// BinOf's product, division and clamp on four positions: each division
// rounds as the scalar one does, and a NaN, a negative value or a
// non-positive Nyquist frequency gives +0 as there. The target names AVX
// alone, so no product and sum could become one rounding.
__attribute__((target("avx"), always_inline)) inline void fourBinPositions(const double* f, const double* span,
                                                                           const double* nyquist, double* x) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d q = _mm256_loadu_pd(nyquist);
  const __m256d v = _mm256_div_pd(_mm256_mul_pd(_mm256_loadu_pd(span), _mm256_loadu_pd(f)), q);
  const __m256d keep = _mm256_and_pd(_mm256_cmp_pd(q, zero, _CMP_GT_OQ), _mm256_cmp_pd(zero, v, _CMP_LT_OQ));
  _mm256_storeu_pd(x, _mm256_and_pd(keep, v));
}

__attribute__((target("avx"))) void binPositionsAvx(const double* f, const double* span, const double* nyquist,
                                                      int count, double* x) {
  int i = 0;
  for (; i + 4 <= count; i += 4) fourBinPositions(f + i, span + i, nyquist + i, x + i);
  if (i == count) return;
  // The last one to three through the same steps, padded.
  double fv[4] = {0.0, 0.0, 0.0, 0.0}, sv[4] = {0.0, 0.0, 0.0, 0.0}, qv[4] = {1.0, 1.0, 1.0, 1.0}, out[4];
  for (int j = 0; i + j < count; ++j) {
    fv[j] = f[i + j];
    sv[j] = span[i + j];
    qv[j] = nyquist[i + j];
  }
  fourBinPositions(fv, sv, qv, out);
  for (int j = 0; i + j < count; ++j) x[i + j] = out[j];
}
#endif

}  // namespace

void BinPositions(const double* f, const double* span, const double* nyquist, int count, double* x) {
#if defined(__GNUC__) && defined(__x86_64__)
  if (__builtin_cpu_supports("avx")) {
    binPositionsAvx(f, span, nyquist, count, x);
    return;
  }
#endif
  for (int i = 0; i < count; ++i) x[i] = BinOf(f[i], static_cast<std::int64_t>(span[i]) + 1, nyquist[i]);
}

int ComputeRegionPhases(const BandStretchContext& c, SMSFrame* const* framesA, SMSFrame* const* framesB,
                        SMSFrame* const* output, PeakRegionTable& t, double* edgesA, double* edgesB,
                        SMSFrame* const* previous, const double* previousEdges,
                        int transient, int phaseReset, const float* nyquist, int bands, double previousTime,
                        double currentTime, double hopSeconds, double framePeriod) {
  if (bands < 1 || bands > PeakTracking::kMaxBands) return -2;
  const bool sameFrame = currentTime == previousTime;
  ContinuityLimits limits;
  RegionBlock block;
  PhaseView viewA[PeakTracking::kMaxBands], viewB[PeakTracking::kMaxBands], viewPrevious[PeakTracking::kMaxBands];
  std::int64_t outBins[PeakTracking::kMaxBands];
  double nyq[PeakTracking::kMaxBands];
  for (int b = 0; b < bands; ++b) {
    viewA[b] = PhaseView(*framesA[b]);
    viewB[b] = PhaseView(*framesB[b]);
    viewPrevious[b] = PhaseView(*previous[b]);
    outBins[b] = output[b]->binCount;
    nyq[b] = nyquist[b];
  }
  const std::int32_t count = t.count;
  int passedA = 0, passedB = 0;
  auto firstEdge = [&](double v, int band) {
    const double width = viewB[band].n > 1 ? nyq[band] / static_cast<double>(viewB[band].n - 1) : 0.0;
    return std::max(v / 2.0, v - 20.0 * width);
  };
  // A block of regions at a time, in three passes: the bands (and the
  // edges between them), then the bin positions, then the rest. The
  // positions cost a division each, which in the one long loop held up
  // everything after it; side by side they overlap.
  for (std::int32_t first = 0; first < count; first += RegionBlock::kSize) {
    const int m = static_cast<int>(std::min<std::int32_t>(RegionBlock::kSize, count - first));
    int bandOf[RegionBlock::kSize], bandAOf[RegionBlock::kSize];
    double spanOf[RegionBlock::kSize], nyquistOf[RegionBlock::kSize];
    double spanAOf[RegionBlock::kSize], nyquistAOf[RegionBlock::kSize];
    for (int i = 0; i < m; ++i) {
      const std::int32_t r = first + i;
      const double s = t.source[r];
      const double centre = t.centre[r];
      while (passedA < bands - 1 && edgesA[passedA] <= s + kEps) {
        const double mid = r == 0 ? firstEdge(s, passedA) : (s + t.source[r - 1]) / 2.0;
        edgesA[passedA] = std::min<double>(nyq[passedA], mid);
        ++passedA;
      }
      while (passedB < bands - 1 && edgesB[passedB] <= centre + kEps) {
        const double mid = r == 0 ? firstEdge(centre, passedB) : (centre + t.centre[r - 1]) / 2.0;
        edgesB[passedB] = std::min<double>(nyq[passedB], mid);
        ++passedB;
      }
      bandOf[i] = passedB;
      bandAOf[i] = passedA;
      spanOf[i] = static_cast<double>(viewB[passedB].n - 1);
      nyquistOf[i] = nyq[passedB];
      spanAOf[i] = static_cast<double>(viewA[passedA].n - 1);
      nyquistAOf[i] = nyq[passedA];
    }
    double xOf[RegionBlock::kSize], xAOf[RegionBlock::kSize];
    BinPositions(t.centre.data() + first, spanOf, nyquistOf, m, xOf);
    BinPositions(t.source.data() + first, spanAOf, nyquistAOf, m, xAOf);
    for (int i = 0; i < m; ++i) {
      const std::int32_t r = first + i;
      const double s = t.source[r];
      const double centre = t.centre[r];
      const int bandA = bandAOf[i];
      const int band = bandOf[i];
      const PhaseView& fb = viewB[band];
      const double nu = nyq[band];

      // Continuity decides only whether a transient frame resets the region.
      int continuous = 1;
      if (transient && phaseReset) {
        const SMSFrame& fbFrame = *framesB[band];
        const ContinuityLimits& at = limits.At(c, fbFrame.time);
        continuous =
            s != PeakTracking::kNoSource ? peakContinuous(at, *framesA[band], fbFrame, s, centre, nu, framePeriod) : 0;
      }

      // Bin positions are worked out once and shared by the frames that
      // have the same bins over the same range: each costs a division.
      const PhaseView& frameA = viewA[bandA];
      const double x = xOf[i];
      const double xA = xAOf[i];
      auto positionOf = [&](std::int64_t n, double nyqOf, double v, std::int64_t knownN, double knownNyq,
                            double knownX) { return n == knownN && nyqOf == knownNyq ? knownX : BinOf(v, n, nyqOf); };
      PhasePair previousPair;
      if (sameFrame) {
        const PhaseView& p = viewPrevious[band];
        previousPair = p.PairAt(positionOf(p.n, nu, centre, fb.n, nu, x));
      } else {
        int pb = bands - 1;
        for (int b = 0; b < bands; ++b) {
          if (previousEdges[b] + kEps > s) {
            pb = b;
            break;
          }
        }
        const PhaseView& p = viewPrevious[pb];
        previousPair = p.PairAt(positionOf(p.n, nyq[pb], s, frameA.n, nyq[bandA], xA));
      }
      const auto k = static_cast<std::int64_t>(x);  // x >= 0: the floor
      // The nearer bin by index arithmetic: which side is a coin toss a
      // branch would guess wrong half the time.
      const double toBin = fb.At(k + (x - static_cast<double>(k) >= 0.5 ? 1 : 0));
      // A repeated frame B advances by the same measured phase step from
      // frame A as the first time: the interpolated peak position alone is a
      // biased frequency (window shape, neighbouring partials), and a tone
      // advanced by it drifts against the frames around it at every repeat.
      // Only without a distinct frame A is the peak frequency all there is.
      const bool peakFrequencyOnly = sameFrame && framesA[bandA]->time == framesB[band]->time;
      const double omega = peakFrequencyOnly ? kTwoPi * centre : kTwoPi * (s + centre) / 2.0;

      const std::int64_t bins = outBins[band];
      const std::int64_t centreBin = bins == fb.n ? RoundedBinAt(x, bins) : RoundedBin(centre, bins, nu);
      ++block.count;  // region i of the block
      const PhasePair read[3] = {previousPair, frameA.PairAt(xA), fb.PairAt(x)};
      for (int p = 0; p < 3; ++p) {
        block.pairs[p][0][i] = read[p].low;
        block.pairs[p][1][i] = read[p].high;
        block.pairs[p][2][i] = read[p].fraction;
      }
      block.nearerBin[i] = toBin;
      block.advance[i] = omega * hopSeconds;
      block.useDeviation[i] = bandA != band || peakFrequencyOnly ? 0.0 : 1.0;
      block.analysed[i] = fb.At(centreBin);
      block.centreBin[i] = centreBin;
      t.centreBin[r] = centreBin;
      t.lowerExtent[r] = r == 0 ? centre : centre - (centre + t.centre[r - 1]) / 2.0;
      t.upperExtent[r] = r == count - 1 ? nyq[bands - 1] - centre : (centre + t.centre[r + 1]) / 2.0 - centre;
      t.spectrum[r] = framesB[band];
      t.band[r] = band;
      t.flags[r] = continuous ? 0 : 1;
    }
    block.Finish(t, output, first);
  }
  return 0;
}

int StretchBandStereoSpec(BandStretchContext& c, const float* nyquist, int bandCount, ChannelSpectra& left,
                          ChannelSpectra* right, double framePeriod) {
  if (!c.state || bandCount != c.state->Bands()) return -2;
  ChannelSpectra* channels[2] = {&left, right};
  const int present = right ? 2 : 1;
  if (c.outputFrameCounter == 0) {
    for (int ch = 0; ch < present; ++ch) startChannel(c, ch, *channels[ch], nyquist, bandCount);
    return 0;
  }
  const bool bothStrong = left.markerType == 3 && (!right || right->markerType == 3);
  for (int ch = 0; ch < present; ++ch)
    stretchChannel(c, ch, *channels[ch], nyquist, bandCount, framePeriod, bothStrong);
  if (right && c.stereoPhaseSwitch && c.stereoPhaseAmount > 1e-8f)
    stereoCoherence(left.output, right->output, left.frameB, right->frameB, bandCount, c.stereoPhaseAmount);
  for (int ch = 0; ch < present; ++ch) keepPrevious(c, ch, channels[ch]->output, bandCount);
  return 0;
}
