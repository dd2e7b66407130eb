#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "BitsOf.h"
#include "engine/BandStretch.h"

namespace {

constexpr std::int64_t kBins = 513;
constexpr double kNyquist = 22050.0;
constexpr double kHop = 256.0 / 44100.0;

// A frame of one band: quiet everywhere but for sharp symmetric peaks at the
// given bins (so they sit exactly on their bins), random phases.
std::unique_ptr<SMSFrame> peakFrame(const std::vector<int>& peakBins, double time, unsigned seed,
                                    const SMSFrame* phasesLike = nullptr, double phaseShift = 0.0,
                                    std::int64_t bins = kBins) {
  auto f = std::make_unique<SMSFrame>();
  f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, bins, true);
  f->time = time;
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> phase(0.0f, 6.2f);
  for (std::int64_t k = 0; k < bins; ++k) {
    f->magnitudes[k] = -100.0f;
    f->phases[k] = phasesLike ? static_cast<float>(PhaseMath::Wrap(phasesLike->phases[k] + phaseShift * (k % 7)))
                              : phase(gen);
  }
  for (int b : peakBins) {
    f->magnitudes[b - 1] = -20.0f;
    f->magnitudes[b] = -10.0f;
    f->magnitudes[b + 1] = -20.0f;
  }
  return f;
}

void copyInto(const SMSFrame& from, SMSFrame& to) { SMSFrame::CopyFrom(from, to, SMSFrame::kAllContents, true); }

double turnDistance(double a, double b) {
  const double d = std::fabs(PhaseMath::Wrap(a) - PhaseMath::Wrap(b));
  return std::min(d, PhaseMath::kTwoPi - d);
}

struct OneBandRun {
  CTimeMachineParams params;
  BandStretchState state{1};
  BandStretchContext context;
  float nyquist[1] = {static_cast<float>(kNyquist)};
  OneBandRun() {
    params.SetParam(CTimeMachineParams::BandUpperEdgeHz, static_cast<float>(kNyquist), 0.0);
    context.params = &params;
    context.hopSeconds = kHop;
    context.state = &state;
  }
};

// Two bands, the lower one's upper edge at `lowerEdge`, past the first
// output frame.
struct TwoBandRun {
  CTimeMachineParams params;
  BandStretchState state{2};
  BandStretchContext context;
  explicit TwoBandRun(float lowerEdge) {
    params.SetParam(CTimeMachineParams::BandUpperEdgeHz, lowerEdge, 0.0);
    params.SetParam(CTimeMachineParams::BandUpperEdgeHz, static_cast<float>(kNyquist), 1.0);
    context.params = &params;
    context.hopSeconds = kHop;
    context.state = &state;
    context.outputFrameCounter = 1;
  }
};

}  // namespace

TEST(StretchBandStereoSpec, ARepeatedFrameAdvancesEveryPeakByItsMeasuredStepOverOneHop) {
  OneBandRun run;
  // Off multiples of four bins, so one hop is not a whole number of turns.
  // Each tone lies 0.3 bin above its peak bin: frame B's phases at the peak
  // are frame A's advanced by the tone's true frequency over one hop, which
  // the peak position (on the bin) does not show.
  const std::vector<int> peaks = {101, 203};
  const double binHz = kNyquist / (kBins - 1);
  auto a = peakFrame(peaks, 0.1 - kHop, 1);
  auto b = peakFrame(peaks, 0.1, 2);
  std::vector<double> trueHz;
  for (int p : peaks) {
    trueHz.push_back((p + 0.3) * binHz);
    for (int k = p - 1; k <= p + 1; ++k)
      b->phases[k] = static_cast<float>(PhaseMath::Wrap(a->phases[k] + PhaseMath::kTwoPi * trueHz.back() * kHop));
  }
  SMSFrame out;
  SMSFrame* outs[1] = {&out};
  SMSFrame* as[1] = {a.get()};
  SMSFrame* bs[1] = {b.get()};
  ChannelSpectra left{outs, as, bs, 0, 0};
  std::vector<double> before;
  for (int frame = 0; frame < 4; ++frame) {
    copyInto(*b, out);  // the engine copies the analysed frame first
    run.context.outputFrameCounter = frame;
    ASSERT_EQ(StretchBandStereoSpec(run.context, run.nyquist, 1, left, nullptr, kHop), 0);
    if (frame >= 2) {
      for (std::size_t p = 0; p < peaks.size(); ++p) {
        EXPECT_LT(turnDistance(out.phases[peaks[p]], before[p] + PhaseMath::kTwoPi * trueHz[p] * kHop), 1e-4)
            << "frame " << frame << " peak " << peaks[p];
      }
    }
    before.clear();
    for (int p : peaks) before.push_back(out.phases[p]);
  }
  EXPECT_EQ(run.state.tables[0]->count, 2);
}

TEST(StretchBandStereoSpec, FullCoherenceKeepsTheAnalysedChannelDifference) {
  OneBandRun run;
  const std::vector<int> peaks = {61, 101, 301};
  auto aL = peakFrame(peaks, 0.2 - kHop, 3);
  auto bL = peakFrame(peaks, 0.2, 4);
  auto aR = peakFrame(peaks, 0.2 - kHop, 0, aL.get(), 0.9);
  auto bR = peakFrame(peaks, 0.2, 0, bL.get(), 0.7);
  SMSFrame outL, outR;
  SMSFrame* oL[1] = {&outL};
  SMSFrame* oR[1] = {&outR};
  SMSFrame* al[1] = {aL.get()};
  SMSFrame* bl[1] = {bL.get()};
  SMSFrame* ar[1] = {aR.get()};
  SMSFrame* br[1] = {bR.get()};
  ChannelSpectra left{oL, al, bl, 0, 0};
  ChannelSpectra right{oR, ar, br, 0, 0};
  for (int frame = 0; frame < 3; ++frame) {
    copyInto(*bL, outL);
    copyInto(*bR, outR);
    run.context.outputFrameCounter = frame;
    ASSERT_EQ(StretchBandStereoSpec(run.context, run.nyquist, 1, left, &right, kHop), 0);
  }
  int checked = 0;
  for (std::int64_t k = 0; k < kBins; ++k) {
    if (!(outL.magnitudes[k] > PhaseMath::kNoEnergy)) continue;
    ++checked;
    ASSERT_LT(turnDistance(outR.phases[k] - outL.phases[k], bR->phases[k] - bL->phases[k]), 1e-4) << k;
  }
  EXPECT_EQ(checked, kBins);
  // The propagation did change the phases themselves.
  EXPECT_GT(turnDistance(outL.phases[301], bL->phases[301]), 1e-3);
}

TEST(StretchBandStereoSpec, BandsAreBlankedOutsideTheirRange) {
  OneBandRun run;
  run.params.SetParam(CTimeMachineParams::BandUpperEdgeHz, 11025.0f, 0.0);
  auto a = peakFrame({100}, 0.0, 5);
  auto b = peakFrame({100}, kHop, 6);
  SMSFrame out;
  copyInto(*b, out);
  SMSFrame* o[1] = {&out};
  SMSFrame* as[1] = {a.get()};
  SMSFrame* bs[1] = {b.get()};
  ChannelSpectra left{o, as, bs, 0, 0};
  StretchBandStereoSpec(run.context, run.nyquist, 1, left, nullptr, kHop);
  EXPECT_EQ(out.magnitudes[256], -100.0f);
  EXPECT_EQ(out.magnitudes[257], PhaseMath::kNoEnergy);
  EXPECT_EQ(out.magnitudes[512], PhaseMath::kNoEnergy);
  BandStretchContext wrong = run.context;
  EXPECT_EQ(StretchBandStereoSpec(wrong, run.nyquist, 2, left, nullptr, kHop), -2);
  EXPECT_THROW(BandStretchState(9), int);
}

TEST(StretchBandStereoSpec, TheSameStretchTwiceGivesTheSameOutput) {
  const std::vector<int> peaks = {37, 101, 203};
  auto f1 = peakFrame(peaks, 0.1, 7);
  auto f2 = peakFrame(peaks, 0.2, 8);
  // Frames B in order; the run ends on the frame it started with.
  const SMSFrame* sequence[] = {f1.get(), f1.get(), f2.get(), f1.get()};
  auto stretch = [&]() {
    OneBandRun run;  // a fresh run: nothing carried over from the last one
    SMSFrame out;
    SMSFrame* o[1] = {&out};
    std::vector<float> phases;
    for (int frame = 0; frame < 4; ++frame) {
      SMSFrame* b[1] = {const_cast<SMSFrame*>(sequence[frame])};
      SMSFrame* a[1] = {const_cast<SMSFrame*>(sequence[frame == 0 ? 0 : frame - 1])};
      ChannelSpectra left{o, a, b, 0, 0};
      copyInto(*b[0], out);
      run.context.outputFrameCounter = frame;
      StretchBandStereoSpec(run.context, run.nyquist, 1, left, nullptr, kHop);
      phases.insert(phases.end(), out.phases, out.phases + kBins);
    }
    return phases;
  };
  EXPECT_EQ(stretch(), stretch());
}

// The engine keeps every output frame whole for the next one (the records
// change places) and hands it back as the previous frame: the stretch reads
// it there instead of its own copy, and every phase keeps its bits, over
// repeats of frame B, new frames, both channels and a first frame whose
// previous phases are frame A's.
TEST(StretchBandStereoSpec, AnOutputFrameTheCallerKeepsStandsForTheCopyBitForBit) {
  const std::vector<int> peaks = {37, 101, 203, 340};
  std::vector<std::unique_ptr<SMSFrame>> frames;
  for (unsigned i = 0; i < 4; ++i) frames.push_back(peakFrame(peaks, 0.1 * (i + 1), 11 + i));
  const int order[] = {0, 1, 1, 2, 2, 2, 3, 1};
  auto stretch = [&](bool kept) {
    OneBandRun run;
    run.context.stereoPhaseSwitch = 1;
    run.context.stereoPhaseAmount = 1.0f;
    std::unique_ptr<SMSFrame> made[2] = {std::make_unique<SMSFrame>(), std::make_unique<SMSFrame>()};
    std::unique_ptr<SMSFrame> last[2] = {std::make_unique<SMSFrame>(), std::make_unique<SMSFrame>()};
    std::vector<float> phases;
    for (int frame = 0; frame < 8; ++frame) {
      SMSFrame* b[2] = {frames[order[frame]].get(), frames[(order[frame] + 1) % 4].get()};
      // The first frame A is not the first frame B: the previous phases of
      // the first stretched frame are A's, not those of the output before.
      const int before = frame == 0 ? 3 : order[frame - 1];
      SMSFrame* a[2] = {frames[before].get(), frames[(before + 1) % 4].get()};
      SMSFrame* out[2][1] = {{made[0].get()}, {made[1].get()}};
      SMSFrame* previous[2][1] = {{last[0].get()}, {last[1].get()}};
      ChannelSpectra left{out[0], &a[0], &b[0], 0, 0};
      ChannelSpectra right{out[1], &a[1], &b[1], 0, 0};
      for (int ch = 0; ch < 2; ++ch) {
        copyInto(*b[ch], *made[ch]);
        run.context.previousOutput[ch] = kept ? previous[ch] : nullptr;
      }
      run.context.keepsOutput = kept;
      run.context.outputFrameCounter = frame;
      EXPECT_EQ(StretchBandStereoSpec(run.context, run.nyquist, 1, left, &right, kHop), 0);
      for (int ch = 0; ch < 2; ++ch) {
        phases.insert(phases.end(), made[ch]->phases, made[ch]->phases + kBins);
        // Kept by changing places; the record handed out next is
        // overwritten, so a read of it as the previous frame would show.
        std::swap(made[ch], last[ch]);
        std::fill(made[ch]->phases, made[ch]->phases + made[ch]->binCount, 1.0f);
      }
    }
    return phases;
  };
  const std::vector<float> copied = stretch(false), kept = stretch(true);
  ASSERT_EQ(copied.size(), kept.size());
  for (std::size_t i = 0; i < copied.size(); ++i)
    ASSERT_EQ(BitsOf(copied[i]), BitsOf(kept[i])) << "frame " << i / (2 * kBins) << " value " << i % (2 * kBins);
}

// Where frame B repeats with its frame A, the regions matched for them the
// frame before are taken as they stand: every phase has the bits of a run
// whose frames come as fresh copies (so every peak list is made anew and
// matched again), also after a transient frame, which keeps only the
// regions up to the transient cutoff.
TEST(StretchBandStereoSpec, ARepeatedPairOfFramesKeepsItsRegionsBitForBit) {
  const std::vector<int> peaks = {37, 101, 203, 340};
  std::vector<std::unique_ptr<SMSFrame>> frames;
  for (unsigned i = 0; i < 4; ++i) frames.push_back(peakFrame(peaks, 0.1 * (i + 1), 21 + i));
  // Frames A and B of each output frame, and whether it is a transient's.
  const int pairs[][3] = {{0, 0, 0}, {0, 1, 1}, {0, 1, 0}, {1, 2, 0}, {1, 2, 0}, {2, 3, 1}, {2, 3, 1}, {2, 3, 0}};
  auto stretch = [&](bool fresh) {
    OneBandRun run;
    SMSFrame out;
    SMSFrame* o[1] = {&out};
    std::vector<float> phases;
    // Every copy kept to the end: none lands where an earlier one lay.
    std::vector<std::unique_ptr<SMSFrame>> copies;
    auto frameAt = [&](int i) {
      if (!fresh) return frames[i].get();
      copies.push_back(std::make_unique<SMSFrame>());
      copyInto(*frames[i], *copies.back());
      return copies.back().get();
    };
    for (int frame = 0; frame < 8; ++frame) {
      SMSFrame* as[1] = {frameAt(pairs[frame][0])};
      SMSFrame* bs[1] = {frameAt(pairs[frame][1])};
      ChannelSpectra left{o, as, bs, pairs[frame][2], 0};
      copyInto(*bs[0], out);
      run.context.outputFrameCounter = frame;
      EXPECT_EQ(StretchBandStereoSpec(run.context, run.nyquist, 1, left, nullptr, kHop), 0);
      phases.insert(phases.end(), out.phases, out.phases + kBins);
    }
    return phases;
  };
  const std::vector<float> matched = stretch(true), kept = stretch(false);
  ASSERT_EQ(matched.size(), kept.size());
  for (std::size_t i = 0; i < matched.size(); ++i)
    ASSERT_EQ(BitsOf(matched[i]), BitsOf(kept[i])) << "frame " << i / kBins << " bin " << i % kBins;
}

// The same over two bands, whose upper one moves its noise to the input
// time: a repeated pair of frames also takes the plan of that move as it
// stands, where the frame before made one (no transient frame between).
TEST(StretchBandStereoSpec, ARepeatedPairOfFramesKeepsItsNoiseMoveBitForBit) {
  constexpr std::int64_t kLowBins = 129;
  const float nyquist[2] = {5512.5f, static_cast<float>(kNyquist)};
  std::vector<std::unique_ptr<SMSFrame>> frames[2];
  for (unsigned i = 0; i < 4; ++i) {
    frames[0].push_back(peakFrame({14, 28}, 0.1 * (i + 1), 31 + i, nullptr, 0.0, kLowBins));
    frames[1].push_back(peakFrame({70, 140, 203, 340}, 0.1 * (i + 1), 41 + i));
  }
  const int pairs[][3] = {{0, 0, 0}, {0, 1, 1}, {0, 1, 0}, {1, 2, 0}, {1, 2, 0}, {2, 3, 1}, {2, 3, 0}, {2, 3, 0}};
  auto stretch = [&](bool fresh) {
    TwoBandRun run(1500.0f);
    SMSFrame outLow, outHigh;
    SMSFrame* o[2] = {&outLow, &outHigh};
    std::vector<float> phases;
    std::vector<std::unique_ptr<SMSFrame>> copies;
    auto frameAt = [&](int band, int i) {
      if (!fresh) return frames[band][i].get();
      copies.push_back(std::make_unique<SMSFrame>());
      copyInto(*frames[band][i], *copies.back());
      return copies.back().get();
    };
    for (int frame = 0; frame < 8; ++frame) {
      SMSFrame* as[2] = {frameAt(0, pairs[frame][0]), frameAt(1, pairs[frame][0])};
      SMSFrame* bs[2] = {frameAt(0, pairs[frame][1]), frameAt(1, pairs[frame][1])};
      ChannelSpectra left{o, as, bs, pairs[frame][2], 0};
      // A little before frame B, and never the same twice.
      left.inputTime = bs[0]->time - (0.2 + 0.05 * frame) * kHop;
      copyInto(*bs[0], outLow);
      copyInto(*bs[1], outHigh);
      run.context.outputFrameCounter = frame;
      EXPECT_EQ(StretchBandStereoSpec(run.context, nyquist, 2, left, nullptr, kHop), 0);
      phases.insert(phases.end(), outLow.phases, outLow.phases + kLowBins);
      phases.insert(phases.end(), outHigh.phases, outHigh.phases + kBins);
    }
    return phases;
  };
  const std::vector<float> planned = stretch(true), kept = stretch(false);
  ASSERT_EQ(planned.size(), kept.size());
  for (std::size_t i = 0; i < planned.size(); ++i)
    ASSERT_EQ(BitsOf(planned[i]), BitsOf(kept[i])) << "frame " << i / (kLowBins + kBins) << " value "
                                                   << i % (kLowBins + kBins);
}

TEST(StretchBandStereoSpec, WhiteNoiseFillsTheTablesWithoutOverrunningThem) {
  OneBandRun run;
  constexpr std::int64_t n = 8193;
  auto noise = [&](double time, unsigned seed) {
    auto f = std::make_unique<SMSFrame>();
    f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, n, true);
    f->time = time;
    std::mt19937 gen(seed);
    std::normal_distribution<float> level(-40.0f, 10.0f);
    std::uniform_real_distribution<float> phase(0.0f, 6.28f);
    for (std::int64_t k = 0; k < n; ++k) {
      f->magnitudes[k] = level(gen);
      f->phases[k] = phase(gen);
    }
    return f;
  };
  auto a = noise(0.0, 1), b = noise(kHop, 2);
  SMSFrame out;
  SMSFrame* o[1] = {&out};
  SMSFrame* as[1] = {a.get()};
  SMSFrame* bs[1] = {b.get()};
  ChannelSpectra left{o, as, bs, 1, 3};  // in a transient zone as well
  run.params.SetParam(CTimeMachineParams::PeakNeighbourhood, 2.0f, CEnvelope::kAllTimes);
  for (int frame = 0; frame < 3; ++frame) {
    copyInto(*b, out);
    run.context.outputFrameCounter = frame;
    ASSERT_EQ(StretchBandStereoSpec(run.context, run.nyquist, 1, left, nullptr, kHop), 0);
  }
  EXPECT_EQ(run.state.peakCounts[1][0], PeakTracking::kMaxPeaks);
  EXPECT_LE(run.state.tables[0]->count, PeakTracking::kMaxPeaks);
  for (std::int64_t k = 0; k < n; ++k) ASSERT_TRUE(out.phases[k] >= 0.0f && out.phases[k] < 6.2832f) << k;
}

// Two bands as the engine runs them at 44100 Hz: the lower at 11025 Hz
// (bins of 43 Hz up to 5512.5 Hz, peaks up to its 1500 Hz edge), the upper
// at the full rate. Between the last region of the lower band and the
// first of the upper, each band's bins follow their own region's offset:
// the lower band's up to the midpoint between the two peaks, the upper
// band's from there.
TEST(StretchBandStereoSpec, AcrossTheTwoBandsEachSideLocksToItsOwnRegion) {
  constexpr std::int64_t kLowBins = 129;
  const float nyquist[2] = {5512.5f, static_cast<float>(kNyquist)};
  TwoBandRun run(1500.0f);
  BandStretchContext& context = run.context;
  // Lower band: peaks at bins 14 and 28 (603 and 1206 Hz); upper band:
  // peaks at bins 70 and 140 (3015 and 6029 Hz).
  auto low = [&](double time, unsigned seed) {
    return peakFrame({14, 28}, time, seed, nullptr, 0.0, kLowBins);
  };
  auto lowA = low(0.1 - kHop, 1), lowB = low(0.1, 2);
  auto highA = peakFrame({70, 140}, 0.1 - kHop, 3), highB = peakFrame({70, 140}, 0.1, 4);
  SMSFrame outLow, outHigh;
  copyInto(*lowB, outLow);
  copyInto(*highB, outHigh);
  SMSFrame* o[2] = {&outLow, &outHigh};
  SMSFrame* as[2] = {lowA.get(), highA.get()};
  SMSFrame* bs[2] = {lowB.get(), highB.get()};
  ChannelSpectra left{o, as, bs, 0, 0};
  testing::internal::CaptureStderr();
  ASSERT_EQ(StretchBandStereoSpec(context, nyquist, 2, left, nullptr, kHop), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "bands in order";
  auto offset = [](const SMSFrame& out, const SMSFrame& b, std::int64_t k) { return out.phases[k] - b.phases[k]; };
  const double lowOffset = offset(outLow, *lowB, 28), highOffset = offset(outHigh, *highB, 70);
  // Midpoint of 1206 and 3015 Hz: 2110 Hz, bin 49 in both bands.
  for (std::int64_t k = 29; k <= 49; ++k)
    EXPECT_LT(turnDistance(offset(outLow, *lowB, k), lowOffset), 1e-4) << "lower band bin " << k;
  for (std::int64_t k = 49; k < 70; ++k)
    EXPECT_LT(turnDistance(offset(outHigh, *highB, k), highOffset), 1e-4) << "upper band bin " << k;
  EXPECT_GT(turnDistance(lowOffset, highOffset), 1e-3) << "two different offsets, or the test shows nothing";
}

// Region centres that fall from the upper band back into the lower one
// cannot come from peaks picked in bands that are in order; here the peak
// lists are handed in as if picked: the lower band's at 1000 and 4000 Hz,
// the upper band's at 6000 and then 3000 Hz. The pair (6000 Hz in the
// upper band, 3000 Hz in the lower) is reported once and skipped: the
// upper band's bins above the 6000 Hz peak keep frame B's phases.
TEST(StretchBandStereoSpec, RegionsOutOfBandOrderAreReportedAndTheirBinsKeepFrameB) {
  const float nyquist[2] = {static_cast<float>(kNyquist), static_cast<float>(kNyquist)};
  TwoBandRun run(5000.0f);
  BandStretchContext& context = run.context;
  BandStretchState& state = run.state;
  const CTimeMachineParams& params = run.params;
  auto lowA = peakFrame({23, 93}, 0.1 - kHop, 1), lowB = peakFrame({23, 93}, 0.1, 2);
  auto highA = peakFrame({70, 139}, 0.1 - kHop, 3), highB = peakFrame({70, 139}, 0.1, 4);
  SMSFrame outLow, outHigh;
  copyInto(*lowB, outLow);
  copyInto(*highB, outHigh);
  SMSFrame* o[2] = {&outLow, &outHigh};
  SMSFrame* as[2] = {lowA.get(), highA.get()};
  SMSFrame* bs[2] = {lowB.get(), highB.get()};
  const double binHz = kNyquist / (kBins - 1);
  const std::vector<double> lists[2] = {{23 * binHz, 93 * binHz}, {139 * binHz, 70 * binHz}};
  const auto neighbourhood = static_cast<std::int64_t>(
      std::floor(params.GetParam(CTimeMachineParams::PeakNeighbourhood, lowB->time) * 0.5));
  const float threshold = params.GetParam(CTimeMachineParams::PeakThresholdDb, lowB->time);
  for (int list : {0, 1}) {  // A and B of the left channel
    for (int band : {0, 1}) {
      const SMSFrame* frame = list == 0 ? as[band] : bs[band];
      std::copy(lists[band].begin(), lists[band].end(), state.Peaks(list, band));
      state.peakCounts[list][band] = static_cast<std::int32_t>(lists[band].size());
      state.peakSource[list][band] = {frame, frame->time, neighbourhood, threshold};
    }
  }
  ChannelSpectra left{o, as, bs, 0, 0};
  testing::internal::CaptureStderr();
  EXPECT_EQ(StretchBandStereoSpec(context, nyquist, 2, left, nullptr, kHop), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR in StretchBandStereoSpec()\n");
  const PeakRegionTable& table = *state.tables[0];
  ASSERT_EQ(table.count, 4);
  EXPECT_GT(table.centre[2], table.centre[3]) << "the test needs the centres out of order";
  for (std::int64_t k = 140; k < kBins; ++k) ASSERT_EQ(outHigh.phases[k], highB->phases[k]) << k;
  // The pairs in order were locked: the lower band's bins between its two
  // regions moved with them.
  int moved = 0;
  for (std::int64_t k = 24; k < 93; ++k) moved += outLow.phases[k] != lowB->phases[k];
  EXPECT_GT(moved, 60);
}

// The segment flags against the test written out region by region, segment
// by segment: ordered centres and segments (the one walk), touching and
// overlapping segments, centres on a segment's ends and within 1e-8 Hz of
// them, and unordered or NaN values (the walk must not be taken).
TEST(FlagRegionsInSegments, FlagsWhatTheRegionBySegmentTestFlags) {
  std::mt19937 gen(41);
  std::uniform_real_distribution<double> freq(0.0, 5000.0), width(0.0, 300.0);
  for (int round = 0; round < 400; ++round) {
    auto t = std::make_unique<PeakRegionTable>();
    const int regions = round % 37, segments = (round / 3) % 23;
    std::vector<double> centres(regions);
    for (double& c : centres) c = freq(gen);
    std::vector<double> lower(segments), upper(segments);
    for (int s = 0; s < segments; ++s) {
      lower[s] = freq(gen);
      upper[s] = lower[s] + (s % 4 == 0 ? 0.0 : width(gen));
    }
    const bool ordered = round % 5 != 4;
    if (ordered) {
      std::sort(centres.begin(), centres.end());
      std::sort(lower.begin(), lower.end());
      std::sort(upper.begin(), upper.end());
      for (int s = 0; s < segments; ++s) upper[s] = std::max(upper[s], lower[s]);
      std::sort(upper.begin(), upper.end());
    }
    // Centres on the ends and a hair either side of them.
    for (int r = 0; r + 3 < regions && segments > 0; r += 7) {
      const int s = r % segments;
      centres[r] = lower[s];
      centres[r + 1] = upper[s] + 0.9e-8;
      centres[r + 2] = lower[s] - 1.1e-8;
    }
    if (ordered) std::sort(centres.begin(), centres.end());
    if (round % 11 == 10 && regions > 2) centres[1] = std::nan("");
    t->count = regions;
    t->segmentCount = segments;
    std::vector<std::uint8_t> expected(regions);
    for (int r = 0; r < regions; ++r) {
      t->centre[r] = centres[r];
      t->flags[r] = expected[r] = r % 6 == 0 ? 1 : 0;
      for (int s = 0; s < segments; ++s)
        if (centres[r] > lower[s] - 1e-8 && centres[r] < upper[s] + 1e-8) expected[r] = 1;
    }
    for (int s = 0; s < segments; ++s) {
      t->segmentLower[s] = lower[s];
      t->segmentUpper[s] = upper[s];
    }
    FlagRegionsInSegments(*t);
    for (int r = 0; r < regions; ++r)
      ASSERT_EQ(t->flags[r], expected[r]) << "round " << round << " region " << r << " centre " << centres[r];
  }
}

// The regions' bin positions, several to a vector, against BinOf one by
// one, bit for bit: every count 0 .. 13 (each tail length), frequencies
// below zero, at zero of either sign, NaN and infinite, Nyquist
// frequencies of zero, below zero and NaN, and bin counts of one.
TEST(BinPositions, EveryPositionIsBinOfsBits) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const double oddF[] = {-3.5, 0.0, -0.0, nan, inf, -inf, 1e-310, 22050.0};
  const double oddNyquist[] = {0.0, -0.0, -22050.0, nan, 1e-300};
  for (int count = 0; count <= 13; ++count) {
    std::mt19937 gen(static_cast<unsigned>(count) + 3);
    std::uniform_real_distribution<double> f(0.0, 23000.0);
    std::uniform_int_distribution<int> bins(1, 2049);
    std::vector<double> fv(static_cast<std::size_t>(count)), span(fv.size()), nyquist(fv.size());
    std::vector<double> x(fv.size() + 1, 7.0);
    for (int i = 0; i < count; ++i) {
      fv[i] = i % 3 == 1 ? oddF[(i / 3 + count) % 8] : f(gen);
      nyquist[i] = i % 4 == 2 ? oddNyquist[(i / 4 + count) % 5] : (i % 2 ? 22050.0 : 11025.0);
      span[i] = i % 5 == 4 ? 0.0 : static_cast<double>(bins(gen) - 1);
    }
    BinPositions(fv.data(), span.data(), nyquist.data(), count, x.data());
    for (int i = 0; i < count; ++i) {
      const double expected = PhaseMath::BinOf(fv[i], static_cast<std::int64_t>(span[i]) + 1, nyquist[i]);
      ASSERT_EQ(BitsOf(x[i]), BitsOf(expected)) << count << " " << i << " f " << fv[i] << " nyquist " << nyquist[i];
    }
    EXPECT_EQ(x[static_cast<std::size_t>(count)], 7.0) << "nothing past the positions is written";
  }
}
