#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/FrameSelection.h"

namespace {

constexpr double kPeriod = 0.01;
constexpr double kStart = 1.0;
constexpr std::int64_t kBins = 17;
const float kNyquist[1] = {800.0f};

// Nine history frames on the grid 1.00 .. 1.08; every magnitude of frame k
// is base + k, so a copied frame can be told by its level.
struct History {
  std::vector<std::unique_ptr<SMSFrame>> owned;
  WindowState window;
  MarkerSet markers;
  History(float base, const std::vector<double>& markerTimes) {
    window.frameCount = 9;
    window.bandCount = 1;
    window.startTime = kStart;
    window.referenceTime = kStart + 4 * kPeriod;
    for (int k = 0; k < 9; ++k) {
      auto f = std::make_unique<SMSFrame>();
      f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, kBins, true);
      f->time = kStart + k * kPeriod;
      for (std::int64_t i = 0; i < kBins; ++i) f->magnitudes[i] = base + static_cast<float>(k);
      window.frames.push_back({f.get()});
      owned.push_back(std::move(f));
    }
    for (std::size_t i = 0; i < markerTimes.size(); ++i) markers.Add(0, 1, MarkerSet::kStrongTransient);
    markers.times = markerTimes;
    const auto n = markerTimes.size();
    markers.beforeWidth.assign(n, 1.0);
    markers.afterWidth.assign(n, 1.0);
    markers.beforeRest.assign(n, 5.0);
    markers.afterRest.assign(n, 5.0);
    window.markers = &markers;
  }
};

struct StretchRun {
  CTimeMachineParams params;
  BandStretchContext context;
  std::unique_ptr<BandStretchState> state;
  SMSFrame outL, outR;
  SMSFrame* oL[1] = {&outL};
  SMSFrame* oR[1] = {&outR};
  StretchRun() {
    context.params = &params;
    context.hopSeconds = kPeriod;
    context.outputFrameCounter = 1;  // past the first frame: frames A and B are used
  }
  int frame(History& l, History* r, double t, double step = kPeriod / 2) {
    SMSFrame::CopyFrom(*l.owned[0], outL, SMSFrame::kAllContents, true);
    if (r) SMSFrame::CopyFrom(*r->owned[0], outR, SMSFrame::kAllContents, true);
    return StretchFrame(context, state, l.window, r ? &r->window : nullptr, oL, oR, kNyquist, 1, t, step, kPeriod);
  }
};

// 61 frames on the grid 0.80 .. 1.40 (every magnitude of frame k is k) and
// one marker at 1.10 with the widest zones.
struct LongHistory {
  static constexpr double D = 0.01;
  static constexpr double T = 1.1;
  std::vector<std::unique_ptr<SMSFrame>> owned;
  WindowState window;
  MarkerSet markers;
  SMSFrame out;
  SMSFrame* o[1] = {&out};
  LongHistory() {
    window.frameCount = 61;
    window.bandCount = 1;
    window.startTime = 0.8;
    window.referenceTime = T;
    for (int k = 0; k < 61; ++k) {
      auto f = std::make_unique<SMSFrame>();
      f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 5, true);
      f->time = 0.8 + k * D;
      for (int i = 0; i < 5; ++i) f->magnitudes[i] = static_cast<float>(k);
      window.frames.push_back({f.get()});
      owned.push_back(std::move(f));
    }
    markers.Add(0, 1, MarkerSet::kStrongTransient);
    markers.times = {T};
    markers.beforeWidth = markers.afterWidth = markers.beforeRest = markers.afterRest = {8.0};
    window.markers = &markers;
    out.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 5, true);
  }
  // The choice for the clock at t.
  FrameChoice at(double t, double step) {
    FrameChoice c{t, 0, 0};
    out.magnitudes[0] = -1.0f;
    SelectTransientFrames(0, 0, window, o, c, t, step, D);
    return c;
  }
  // Whether the last choice took a frame of the zone.
  bool inZone() const { return out.magnitudes[0] >= 0.0f; }
};

}  // namespace

// The clock steps by the input step from wherever the time map put it, and
// the markers lie on the analysis grid: at 1.25 every fourth marker, at 1.5
// every other, lies where the clock falls on the boundaries between the
// zone's frames to within rounding. The zone's frames still go out one to
// one there. (Taken case by case, the boundary three half steps after the
// marker went to the earlier frame, and the frame after the marker's went
// out twice.)
TEST(StretchFrame, TheZoneGoesOutOneToOneWhereverTheClockFallsOnItsBoundaries) {
  for (double ratio : {0.8, 1.1, 1.25, 1.5, 2.0}) {
    const double step = LongHistory::D / ratio;
    for (double phase : {0.0, 0.25, 0.5, 0.75}) {
      LongHistory h;
      // phase 0: the clock is a whole number of steps from half a step
      // before the marker, so it meets every boundary of the zone.
      double t = LongHistory::T - step / 2.0 - 14.0 * step + phase * step;
      double previous = -1.0;
      int frames = 0, transient = 0;
      for (int n = 0; n < 28; ++n, t += step) {
        const FrameChoice c = h.at(t, step);
        if (!h.inZone()) continue;
        transient += c.transient;
        const double frame = std::round((c.inputTime - 0.8) / LongHistory::D);
        EXPECT_FLOAT_EQ(h.out.magnitudes[0], static_cast<float>(frame)) << "the frame at the input time";
        if (previous >= 0.0) {
          EXPECT_NEAR(c.inputTime - previous, LongHistory::D, 1e-9)
              << "ratio " << ratio << ", phase " << phase << ", output frame " << n;
        }
        previous = c.inputTime;
        ++frames;
      }
      EXPECT_GE(frames, 7) << "ratio " << ratio << ", phase " << phase;
      EXPECT_EQ(transient, 3) << "the marker's frame and its neighbours; ratio " << ratio << ", phase " << phase;
    }
  }
}

TEST(StretchFrame, AnInputTimeNearAMarkerTakesTheMarkersFrameOneToOne) {
  History h(0.0f, {1.04});
  StretchRun run;
  ASSERT_EQ(run.frame(h, nullptr, 1.041), 0);
  EXPECT_EQ(run.outL.magnitudes[0], 4.0f);
  EXPECT_DOUBLE_EQ(run.state->previousTime[0], 1.04);  // frame B is the marker's frame
  EXPECT_DOUBLE_EQ(h.window.lastMarkerTime, 1.04);
}

TEST(StretchFrame, WithoutTransientSwitchesFramesFollowTheInputTime) {
  History h(0.0f, {1.04});
  StretchRun run;
  run.params.SetParam(CTimeMachineParams::TransientSwitchA, 0.0f, CEnvelope::kAllTimes);
  ASSERT_EQ(run.frame(h, nullptr, 1.041), 0);
  EXPECT_EQ(run.outL.magnitudes[0], 0.0f);  // nothing copied
  EXPECT_DOUBLE_EQ(run.state->previousTime[0], 1.05);
  EXPECT_DOUBLE_EQ(h.window.lastMarkerTime, -1.0);
  EXPECT_EQ(run.frame(h, nullptr, 2.0), -2);  // beyond the history
  // An input time on the middle grid point, rounded a hair above it (as
  // T + j D comes out), is that point's frame, not the next one's.
  ASSERT_EQ(run.frame(h, nullptr, 1.04 + 1e-12), 0);
  EXPECT_DOUBLE_EQ(run.state->previousTime[0], 1.04);
}

TEST(StretchFrame, FarFromEveryZoneTheTransientSelectionCopiesNothing) {
  History h(0.0f, {1.04});
  FrameChoice choice{0.95, 0, 0};
  SMSFrame out;
  SMSFrame::CopyFrom(*h.owned[0], out, SMSFrame::kAllContents, true);
  SMSFrame* o[1] = {&out};
  SelectTransientFrames(0, 0, h.window, o, choice, 0.95, kPeriod / 2, kPeriod);
  EXPECT_EQ(out.magnitudes[0], 0.0f);
  EXPECT_DOUBLE_EQ(choice.inputTime, 0.95);
  EXPECT_EQ(choice.transient, 0);
  EXPECT_EQ(choice.markerType, MarkerSet::kStrongTransient);
  // Just after the marker the next frame follows at the analysis rate.
  choice = FrameChoice{1.045, 0, 0};
  SelectTransientFrames(0, 0, h.window, o, choice, 1.045, kPeriod / 2, kPeriod);
  EXPECT_EQ(out.magnitudes[0], 5.0f);
  EXPECT_DOUBLE_EQ(choice.inputTime, 1.05);
  EXPECT_EQ(choice.transient, 1);
}

TEST(StretchFrame, AChannelWithoutTheTransientFollowsTheOther) {
  History l(0.0f, {1.04});
  History r(100.0f, {});
  StretchRun run;
  ASSERT_EQ(run.frame(l, &r, 1.041), 0);
  EXPECT_EQ(run.outL.magnitudes[0], 4.0f);
  EXPECT_EQ(run.outR.magnitudes[0], 104.0f);
  EXPECT_DOUBLE_EQ(run.state->previousTime[1], 1.04);
}

// Outside the marker's one-to-one zone the input time is the clock's, so a
// stretch by 1.25 reads every stretch of decay at 1.25. Spreading the input
// over the frames before and after the zone (to make up for it) read them
// at 1.5 instead, with a repeated analysed frame every other output frame:
// the drum loop of the test songs at 1.25 lost onset F from 0.96 to 0.90 to
// the level dips of those repeats.
TEST(StretchFrame, BeforeAndAfterTheOneToOneZoneTheInputTimeIsTheClocks) {
  constexpr double D = 0.01;
  std::vector<std::unique_ptr<SMSFrame>> owned;
  WindowState w;
  MarkerSet m;
  w.frameCount = 61;
  w.bandCount = 1;
  w.startTime = 0.8;
  w.referenceTime = 1.1;
  for (int k = 0; k < 61; ++k) {
    auto f = std::make_unique<SMSFrame>();
    f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 5, true);
    f->time = 0.8 + k * D;
    for (int i = 0; i < 5; ++i) f->magnitudes[i] = static_cast<float>(k);
    w.frames.push_back({f.get()});
    owned.push_back(std::move(f));
  }
  m.Add(0, 1, MarkerSet::kStrongTransient);
  m.times = {1.1};
  m.beforeWidth = m.afterWidth = m.beforeRest = m.afterRest = {8.0};
  w.markers = &m;
  SMSFrame out;
  out.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, 5, true);
  SMSFrame* o[1] = {&out};
  const double step = D / 1.25;
  int oneToOne = 0;
  for (double t = 0.85; t < 1.35; t += step) {
    FrameChoice c{t, 0, 0};
    out.magnitudes[0] = -1.0f;
    SelectTransientFrames(0, 0, w, o, c, t, step, D);
    if (out.magnitudes[0] >= 0.0f) {
      ++oneToOne;
      EXPECT_NEAR(c.inputTime, D * std::round(c.inputTime / D), 1e-9) << "on the grid at " << t;
    } else {
      EXPECT_DOUBLE_EQ(c.inputTime, t) << "the clock's at " << t;
    }
  }
  EXPECT_EQ(oneToOne, 15) << "7 frames before the marker, the marker's and 7 after";
}

// One to one against a slower clock, a zone's frames run ahead of the
// clock (before the marker: behind it) by a frame period less the input
// step at each; where the zone ends the input time goes back to the
// clock's and replays that much of the decay after the attack. The zone's
// sides are kept short enough for the lag to stay within a frame and a
// half; at their full width of eight frames the input went back two frames
// at 1.5.
TEST(StretchFrame, AZonesFramesRunAheadOfTheClockByAFrameAndAHalfAtMost) {
  for (double ratio : {1.1, 1.25, 1.5, 2.0}) {
    const double step = LongHistory::D / ratio;
    for (double phase : {0.0, 0.3, 0.6}) {
      LongHistory h;
      double t = LongHistory::T - 20.0 * step + phase * step;
      int frames = 0;
      double largest = 0.0;
      for (int n = 0; n < 40; ++n, t += step) {
        const FrameChoice c = h.at(t, step);
        if (!h.inZone()) continue;
        ++frames;
        largest = std::max(largest, std::fabs(c.inputTime - t));
      }
      // The clock itself lies up to half a step off the zone's grid.
      EXPECT_LE(largest, 1.5 * LongHistory::D + step / 2.0 + 1e-9) << "ratio " << ratio << ", phase " << phase;
      // Within that the zone keeps its width: 17 frames wherever they fit.
      const double lag = LongHistory::D - step;
      const int side = std::min(8, static_cast<int>(std::floor(1.5 * LongHistory::D / lag + 1e-8)));
      EXPECT_EQ(frames, 2 * side + 1) << "ratio " << ratio << ", phase " << phase;
    }
  }
}
