#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "CFrameAnalyzer.h"
#include "CSMSAnalysis.h"
#include "CSMSAnalysisParams.h"
#include "CSoundFile.h"
#include "CTransientDetector.h"
#include "SMSRegionLists.h"
#include "StereoMarkerMatching.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;
constexpr int kHop = 256;

// The upper band of the engine: 256-sample hops, an 8-hop Kaiser window.
std::unique_ptr<CSMSAnalysisParams> bandParams() {
  auto p = std::make_unique<CSMSAnalysisParams>();
  p->sampleRate = kRate;
  p->SetParam(CSMSAnalysisParams::kFrameRate, float(kRate) / kHop, CEnvelope::kAllTimes);
  p->SetParam(CSMSAnalysisParams::kTransientDetection, 0.0f, 0.0);
  p->SetParam(CSMSAnalysisParams::fundamentalHz, 1400.0f, CEnvelope::kAllTimes);
  p->SetParam(CSMSAnalysisParams::kWindowHops, 8.0f, 0.0);
  p->SetParam(CSMSAnalysisParams::kWindowType, 4.0f, 0.0);
  return p;
}

// The whole-signal pre-analysis: attack detection on, no spectrum.
std::unique_ptr<CSMSAnalysisParams> preAnalysisParams() {
  auto p = std::make_unique<CSMSAnalysisParams>();
  p->sampleRate = kRate;
  p->SetParam(CSMSAnalysisParams::frameAnalysisMode, 0.0f, CEnvelope::kAllTimes);
  p->SetParam(CSMSAnalysisParams::kFrameRate, 172.0f, CEnvelope::kAllTimes);
  p->SetParam(CSMSAnalysisParams::kTransientDetection, 1.0f, 0.0);
  return p;
}

std::unique_ptr<CSoundFile> sound(const std::vector<float>& x) {
  auto s = std::make_unique<CSoundFile>(nullptr);
  s->WriteToSoundFileAt(x.data(), static_cast<int>(x.size()), 0);
  return s;
}

std::vector<float> noise(std::size_t n, float amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-amplitude, amplitude);
  std::vector<float> x(n);
  for (float& v : x) v = u(rng);
  return x;
}

CSMSRegion* analyse(CSMSAnalysis& analysis, CSoundFile& source, SMSRegionLists& lists) {
  EXPECT_EQ(analysis.AnalyzeChannel(&source, lists, nullptr), 0);
  return lists.Get(-1)->region(0);
}

double wrap(double a) { return a - 2 * kPi * std::floor(a / (2 * kPi) + 0.5); }

TEST(CSMSAnalysis, FramesAreHopSpacedFromTheFirstSampleAndASinesPhaseAdvancesByItsFrequency) {
  std::vector<float> x(kRate * 3 / 10);
  for (std::size_t n = 0; n < x.size(); ++n) x[n] = 10000.0f * std::sin(2 * kPi * 1000.0 * n / kRate);
  auto params = bandParams();
  CSMSAnalysis analysis(kRate, params.get());
  SMSRegionLists lists;
  auto source = sound(x);
  CSMSRegion* region = analyse(analysis, *source, lists);

  // Every sample is covered, plus the silent flush past the end.
  ASSERT_GE(region->frameCount(), static_cast<std::int64_t>(x.size()) / kHop);
  for (std::int64_t k = 0; k < region->frameCount(); ++k)
    ASSERT_NEAR(region->frame(k)->time, k * double(kHop) / kRate, 1e-9) << k;
  const int bin = static_cast<int>(std::lround(1000.0 * 2048 / kRate));
  const double expected = wrap(2 * kPi * 1000.0 * kHop / kRate);
  for (std::int64_t k = 5; k + 5 < static_cast<std::int64_t>(x.size()) / kHop; ++k) {
    const double advance = wrap(region->frame(k)->phases[bin] - region->frame(k - 1)->phases[bin]);
    ASSERT_NEAR(advance, expected, 0.01) << k;
  }
}

TEST(CSMSAnalysis, TheFrameCentredOnAClickHasFlatPhase) {
  // A click at the centre of frame 6 adds no phase slope there; a frame
  // one hop away sees it 256 samples off centre.
  std::vector<float> x(kRate / 10, 0.0f);
  x[6 * kHop] = 20000.0f;
  auto params = bandParams();
  CSMSAnalysis analysis(kRate, params.get());
  SMSRegionLists lists;
  auto source = sound(x);
  CSMSRegion* region = analyse(analysis, *source, lists);
  const SMSFrame* centred = region->frame(6);
  const SMSFrame* next = region->frame(7);
  for (int b = 1; b < 200; ++b) {
    EXPECT_NEAR(wrap(centred->phases[b]), 0.0, 1e-3) << b;
    EXPECT_NEAR(wrap(next->phases[b] - 2 * kPi * b * kHop / 2048.0), 0.0, 1e-3) << b;
  }
}

TEST(CSMSAnalysis, TheSameSignalTwiceGivesTheSameFramesAndIdenticalChannelsTheSameFlux) {
  auto x = noise(kRate / 5, 3000.0f, 5);
  x[kRate / 10] = 30000.0f;
  auto params = preAnalysisParams();
  CSMSAnalysis analysis(kRate, params.get());
  EXPECT_GE(analysis.slotCount(), 9);
  auto left = sound(x), right = sound(x);
  SMSRegionLists lists;
  CSMSRegion *l = nullptr, *r = nullptr;
  ASSERT_EQ(analysis.AnalyzeChannels(left.get(), right.get(), lists, nullptr, nullptr, &l, &r), 0);
  ASSERT_EQ(lists.count(), 2);
  ASSERT_EQ(l->frameCount(), r->frameCount());
  for (std::int64_t k = 0; k < l->frameCount(); ++k) {
    ASSERT_EQ(l->frame(k)->time, r->frame(k)->time);
    for (int i = 0; i < SMSFrame::kBandBlockSize; ++i) ASSERT_EQ(l->frame(k)->bandBlock[i], r->frame(k)->bandBlock[i]);
  }

  auto band = bandParams();
  CSMSAnalysis first(kRate, band.get());
  CSMSRegion* a = analyse(first, *left, lists);
  CSMSRegion* b = analyse(first, *left, lists);
  ASSERT_EQ(a->frameCount(), b->frameCount());
  for (std::int64_t k = 0; k < a->frameCount(); ++k) {
    ASSERT_EQ(a->frame(k)->time, b->frame(k)->time);
    for (std::int64_t i = 0; i < a->frame(k)->binCount; ++i) {
      ASSERT_EQ(a->frame(k)->magnitudes[i], b->frame(k)->magnitudes[i]);
      ASSERT_EQ(a->frame(k)->phases[i], b->frame(k)->phases[i]);
    }
  }
}

TEST(CSMSAnalysis, RecordsHandedBackGiveTheSameFramesAsNewRecords) {
  // A tone over noise with a click, through the engine's band analysis and
  // through the attack detector's, whose flux reads the band blocks.
  auto x = noise(kRate / 2, 2000.0f, 9);
  for (std::size_t n = 0; n < x.size(); ++n) x[n] += 8000.0f * std::sin(2 * kPi * 700.0 * n / kRate);
  x[kRate / 4] = 30000.0f;
  std::unique_ptr<CSMSAnalysisParams> sets[] = {bandParams(), preAnalysisParams()};
  for (auto& params : sets) {
    CSMSAnalysis fresh(kRate, params.get()), reused(kRate, params.get());
    std::int64_t compared = 0;
    for (std::size_t at = 0; at + 512 <= x.size(); at += 512) {
      fresh.PushSamples(x.data() + at, 512);
      reused.PushSamples(x.data() + at, 512);
      while (fresh.FrameReady()) {
        ASSERT_TRUE(reused.FrameReady());
        ASSERT_EQ(fresh.AnalyzeFrame(), reused.AnalyzeFrame());
        std::unique_ptr<SMSFrame> a = fresh.takeCompletedFrame(), b = reused.takeCompletedFrame();
        ASSERT_EQ(a == nullptr, b == nullptr);
        if (!a) continue;
        ASSERT_EQ(a->time, b->time);
        ASSERT_EQ(a->flags, b->flags);
        ASSERT_EQ(a->binCount, b->binCount);
        if (a->binCount > 0) {
          ASSERT_EQ(std::memcmp(a->magnitudes, b->magnitudes, sizeof(float) * a->binCount), 0) << a->time;
          ASSERT_EQ(std::memcmp(a->phases, b->phases, sizeof(float) * a->binCount), 0) << a->time;
        }
        ASSERT_EQ(a->bandBlock == nullptr, b->bandBlock == nullptr);
        if (a->bandBlock) {
          ASSERT_EQ(std::memcmp(a->bandBlock, b->bandBlock, sizeof(float) * SMSFrame::kBandBlockSize), 0);
        }
        // What the record held must not reach the frames made in it.
        if (b->binCount > 0) {
          std::fill(b->magnitudes, b->magnitudes + b->binCount, std::nanf(""));
          std::fill(b->phases, b->phases + b->binCount, 1e30f);
        }
        if (b->bandBlock) std::fill(b->bandBlock, b->bandBlock + SMSFrame::kBandBlockSize, 7.0f);
        reused.Recycle(std::move(b));
        ++compared;
      }
    }
    EXPECT_GT(compared, 70);
  }
}

TEST(CSMSAnalysis, AClickInNoiseGivesTheLargestFluxAtTheClicksFrameAndSilenceGivesNone) {
  const int clickFrame = 60;
  auto x = noise(kRate / 2, 300.0f, 9);
  for (int i = 0; i < 40; ++i) x[clickFrame * kHop + i] += 25000.0f * std::exp(-i / 8.0f);
  auto params = preAnalysisParams();
  CSMSAnalysis analysis(kRate, params.get());
  SMSRegionLists lists;
  auto source = sound(x);
  CSMSRegion* region = analyse(analysis, *source, lists);
  std::int64_t best = -1;
  for (std::int64_t k = 0; k < region->frameCount(); ++k)
    if (best < 0 || region->frame(k)->bandBlock[40] > region->frame(best)->bandBlock[40]) best = k;
  // The flux of frame n compares frames n+7, n+8 with n-1, n-2: it peaks
  // where the frame centred on the click is frame n+8.
  EXPECT_NEAR(best + 8, clickFrame, 1);

  std::vector<float> silence(kRate / 10, 0.0f);
  auto quiet = sound(silence);
  CSMSRegion* still = analyse(analysis, *quiet, lists);
  // Silence has no energy to compare: its flux is 0, never a NaN (after
  // the two frames that still see the zeroed history).
  for (std::int64_t k = 0; k < still->frameCount(); ++k) {
    const float* block = still->frame(k)->bandBlock;
    for (int i = 0; i < 40; ++i) ASSERT_EQ(block[i], i < 3 ? 0.0f : -100.0f) << k << " " << i;
    for (int i = 40; i < 80; ++i) ASSERT_EQ(block[i], (k < 2 && i >= 43) ? block[i] : 0.0f) << k << " " << i;
  }
}

TEST(CSMSAnalysis, ASteadyChordMakesNoMarkersAndAClickOnItMakesOne) {
  // Four 16-bit sines: their window leakage beats in the bands they do not
  // reach, and the quantisation leaves a floor there; neither is an attack.
  const double notes[] = {261.63, 329.63, 392.0, 523.25};
  std::vector<float> x(kRate * 3 / 2);
  for (std::size_t i = 0; i < x.size(); ++i) {
    double v = 0.0;
    for (double f : notes) v += 4900.0 * std::sin(2.0 * kPi * f * static_cast<double>(i) / kRate);
    x[i] = static_cast<float>(std::round(v));
  }
  auto params = preAnalysisParams();
  CSMSAnalysis analysis(kRate, params.get());
  SMSRegionLists lists;
  auto steady = sound(x);
  MarkerSet markers;
  BuildTransientMarkers(markers, *analyse(analysis, *steady, lists), true);
  EXPECT_EQ(markers.count, 0);

  const int clickFrame = 150;
  for (int i = 0; i < 40; ++i) x[clickFrame * kHop + i] += 20000.0f * std::exp(-i / 8.0f);
  auto clicked = sound(x);
  BuildTransientMarkers(markers, *analyse(analysis, *clicked, lists), true);
  ASSERT_EQ(markers.count, 1);
  EXPECT_NEAR(markers.positions[0], clickFrame, 4);
}

TEST(CSMSAnalysis, PassesReportProgressAndRefuseMissingSources) {
  auto params = bandParams();
  CSMSAnalysis analysis(kRate, params.get());
  SMSRegionLists lists;
  EXPECT_EQ(analysis.AnalyzeChannel(nullptr, lists, nullptr), 2);
  EXPECT_EQ(analysis.AnalyzeChannels(nullptr, nullptr, lists, nullptr, nullptr, nullptr, nullptr), -1);

  auto x = sound(noise(kRate / 10, 1000.0f, 4));
  TimeMachineMap map;
  CSMSRegion *l = nullptr, *r = nullptr;
  ASSERT_EQ(analysis.AnalyzeChannels(x.get(), x.get(), lists, &map, nullptr, &l, &r), 0);
  EXPECT_EQ(map.runState, TimeMachineMap::kAnalysingRight);
  EXPECT_EQ(map.hostPercent, 10);
  EXPECT_EQ(map.progressFraction, 1.0f);
  EXPECT_EQ(params->timeMode, CSMSAnalysisParams::kSecondsOverDuration);
  EXPECT_DOUBLE_EQ(params->duration, 0.1);
  EXPECT_NEAR(l->endTime, l->frame(l->frameCount() - 1)->time + 256.0 / kRate, 1e-12);

  // An empty range still analyses one sample's worth.
  params->SetParam(CSMSAnalysisParams::kStartFraction, 0.5f, 0.0);
  params->SetParam(CSMSAnalysisParams::kEndFraction, 0.5f, 0.0);
  ASSERT_EQ(analysis.AnalyzeChannel(x.get(), lists, nullptr), 0);
  EXPECT_GT(lists.Get(-1)->region(0)->frameCount(), 0);
}

TEST(CSMSAnalysis, AFrameAcrossTheRingsEndEqualsTheSameFrameInOnePiece) {
  auto params = bandParams();
  const std::int64_t L = 20 * kHop;
  const auto x = noise(L, 5000.0f, 2);
  // The same content, rotated so that the frame centred at `centre`
  // straddles the ring's end.
  std::vector<float> rotated(L);
  const std::int64_t shift = 11 * kHop;
  for (std::int64_t i = 0; i < L; ++i) rotated[(i + shift) % L] = x[i];

  CFrameAnalyzer plain(params.get(), x.data(), kRate, L), wrapped(params.get(), rotated.data(), kRate, L);
  CTransientDetector plainBands(x.data(), kRate, L), wrappedBands(rotated.data(), kRate, L);
  SMSFrame a, b;
  a.AttachBandBlock();
  b.AttachBandBlock();
  SMSFrame* la[] = {&a};
  SMSFrame* lb[] = {&b};
  // Bring the read positions to the frames centred on 2048 and 2048+shift,
  // 256 samples before the ring's end.
  for (int step = 0; step < 8; ++step) plain.NextFrame(nullptr);
  for (int step = 0; step < 19; ++step) wrapped.NextFrame(nullptr);
  ASSERT_EQ(plain.readPosition() + shift, wrapped.readPosition());
  plain.NextFrame(la);
  wrapped.NextFrame(lb);
  plainBands.ComputeBandLevels(a, 2048);
  wrappedBands.ComputeBandLevels(b, 2048 + shift);
  ASSERT_EQ(a.binCount, 1025);
  for (std::int64_t i = 0; i < a.binCount; ++i) {
    ASSERT_EQ(a.magnitudes[i], b.magnitudes[i]) << i;
    ASSERT_EQ(a.phases[i], b.phases[i]) << i;
  }
  for (int i = 0; i < 40; ++i) ASSERT_EQ(a.bandBlock[i], b.bandBlock[i]) << i;
}

}  // namespace
