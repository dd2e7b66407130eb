// Frame selection for one output frame: transient zones first (they may
// move a channel's input time and copy analysed frames), then the stereo
// agreement, then frames A and B on the history grid.

#include "FrameSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

constexpr double kEps = 1e-8;

void copyMagnitudes(const SMSFrame& from, SMSFrame& to) {
  if (to.magnitudes && from.magnitudes && to.binCount == from.binCount) {
    std::copy(from.magnitudes, from.magnitudes + from.binCount, to.magnitudes);
  } else {
    SMSFrame::CopyContent(&from, &to, SMSFrame::kMagnitudes);
  }
  to.time = from.time;
}

// Copies history frame k (every band) into the output; false when it is not
// there.
bool copyHistoryFrame(const WindowState& w, std::int64_t k, SMSFrame* const* output) {
  if (k < 0 || k >= w.frameCount) return false;
  for (int b = 0; b < w.bandCount; ++b)
    if (!w.Frame(k, b) || !output[b]) return false;
  for (int b = 0; b < w.bandCount; ++b) copyMagnitudes(*w.Frame(k, b), *output[b]);
  return true;
}

double gridTime(const WindowState& w, std::int64_t k, double period) {
  return w.startTime + static_cast<double>(k) * period;
}

// Brings a channel to `time`: magnitudes of its first frame at or after it.
void bringTo(const WindowState& w, double time, SMSFrame* const* output, double period) {
  for (std::int64_t k = 0; k < w.frameCount; ++k) {
    if (gridTime(w, k, period) + kEps >= time) {
      copyHistoryFrame(w, k, output);
      return;
    }
  }
}

// Index of frame B for `time`, or -1.
std::int64_t frameBIndex(const WindowState& w, double time, double period) {
  const std::int64_t n = w.frameCount;
  // "Beyond a grid point" with the grid's own tolerance: an input time on
  // the point itself (a transient zone's T + j D, rounded a hair above)
  // must find that point, not the next one.
  auto beyond = [&](std::int64_t k) { return time > gridTime(w, k, period) + kEps; };
  std::int64_t k = 0;
  if (beyond(n / 2)) k = n / 2 + 1;
  else if (beyond(static_cast<std::int64_t>(n / 2.5))) k = static_cast<std::int64_t>(n / 2.5) + 1;
  else if (beyond(n / 3)) k = n / 3 + 1;
  for (; k < n; ++k)
    if (gridTime(w, k, period) + kEps >= time) return k;
  return -1;
}

// The most a zone's frames may run ahead of the clock (or behind it), in
// frame periods: at the zone's ends the input time goes back to the clock's.
constexpr double kMaxZoneLag = 1.5;

// Frames of a zone on one side of its marker: the marker's width there,
// but no more than keep the lag at the zone's end within kMaxZoneLag
// frames. One to one against a slower clock, the zone's frames run ahead by
// a frame period less the input step at each; the input then went back by
// that lag less a step at once and replayed the decay after the attack
// from a louder point: at 1.5 the full width jumped back two frames, 40 to
// 70 ms after each attack, and a funk song came out with 52 onsets too
// many, 35 of them there (4 in all now). Kept within a frame and a half (seven frames a side at 1.25,
// four at 1.5; at 1.1 and below the width stands), onset F on 26 test cuts
// rose from 0.903 to 0.942 at 1.5 and from 0.956 to 0.958 at 1.25; a frame
// (five at 1.25) gave 0.936 and 0.953, two frames 0.942 and 0.956.
std::int64_t sideFrames(double width, double step, double period) {
  const auto frames = static_cast<std::int64_t>(std::max(std::trunc(width) - 1.0, 0.0)) + 1;
  const double lag = period - step;
  if (!(lag > kEps)) return frames;
  return std::min(frames, static_cast<std::int64_t>(std::floor(kMaxZoneLag * period / lag + kEps)));
}

// One marker's zones; true when a case applied. Around the marker the
// analysed frames go out one to one; before and after that zone the input
// time is the output clock's. (Spreading the input over a few frames on
// each side to make up for the zone reads those frames slower still: at a
// stretch by 1.25 they go at 1.5, an analysed frame repeated every other
// output frame, and each repeat dips the level of noise a little, which
// sounded as extra attacks in the decay after a drum. Anchored to the
// clock, the zone costs one jump back at each end, kept small by its
// width.)
bool markerZone(WindowState& w, std::int64_t index, SMSFrame* const* output, FrameChoice& choice, double t,
                double step, double period) {
  const MarkerSet& m = *w.markers;
  const auto i = static_cast<std::size_t>(index);
  const double T = m.times[i];
  const double h = step / 2.0;
  const double D = period;
  const bool marked = m.classes[i] != 0;
  std::int64_t F = w.frameCount / 2;
  for (std::int64_t k = 0; k < w.frameCount; ++k) {
    if (gridTime(w, k, period) >= T - kEps) {
      F = k;
      break;
    }
  }
  const double d = t - T;
  // The zone's frame for this output frame, counted from the marker's: the
  // output frames since the one whose clock lies within half a step of the
  // marker. The clock and the markers lie on the analysis grid, so at many
  // ratios the clock falls on a boundary between two of the zone's frames
  // to within rounding (at 1.25 for every fourth marker, at 1.5 for every
  // other): such a clock counts as on the boundary, whichever side
  // rounding put it. Taken case by case (one rule within three half steps
  // of the marker, another beyond), the boundary three half steps after it
  // went to the earlier frame, so the frame after the marker's went out
  // twice: its noise cancelled at the join and came back at the next one,
  // an attack of its own in a hi-hat's decay.
  const auto k = static_cast<std::int64_t>(std::floor((d + h + kEps) / step));
  if (k < -1 && k < -sideFrames(m.beforeWidth[i], step, D)) return false;
  if (k > 1 && k > sideFrames(m.afterWidth[i], step, D)) return false;
  copyHistoryFrame(w, F + k, output);
  choice.inputTime = T + static_cast<double>(k) * D;
  // Only the marker's frame and its two neighbours are transient (keep
  // frame B's phases above the cutoff, reset what breaks off); the zone's
  // other frames are read like any other at their input time, which is
  // their own: their noise moved there keeps frame B's phases, and steady
  // partials carry on locked. Flagged as well, they switched every bin
  // above the cutoff to frame B's own phases at the zone's first frame and
  // back at the frame after its last, where a bright tone's partials
  // jumped in phase and its level dipped and rose: attacks about 50 ms
  // from the real one (a shuffle at 1.1: 8 onsets too many, seven of them
  // 50 to 60 ms after an attack; none now). Leaving the zone's noise
  // locked instead saves 1.1 % of the run's instructions but gave the
  // kit's music at 1.25 two onsets more.
  choice.transient = marked && k >= -1 && k <= 1 ? 1 : 0;
  if (k <= -3 && choice.markerType == MarkerSet::kStrongTransient) choice.markerType = MarkerSet::kTransient;
  if (std::fabs(w.lastMarkerTime - T) >= kEps) w.lastMarkerTime = T;
  return true;
}

// Whether the noise of the top band is read at the input time: where frame
// B repeats more than once in the top band's window (its length in frame
// periods; no parameters: any repeat).
bool movesNoise(const BandStretchContext& context, int bandCount, double inputStep, double framePeriod) {
  const double lag = framePeriod - inputStep;  // what each output frame falls behind the input by
  if (!(lag > kEps)) return false;
  if (!context.params) return true;
  const double windowHops = context.params->GetParam(CTimeMachineParams::BandWindowHops, bandCount - 1);
  return lag * windowHops > framePeriod + kEps;
}

}  // namespace

void WindowState::Reset(double framePeriod, int bands) {
  auto n = framePeriod > 0.0 ? static_cast<std::int64_t>(0.4 / framePeriod + 1.0) : 1;
  if (n % 2 == 0) n -= 1;
  frameCount = std::max<std::int64_t>(n, 1);
  bandCount = bands;
  try {
    frames.assign(static_cast<std::size_t>(frameCount), std::vector<SMSFrame*>(static_cast<std::size_t>(bands), nullptr));
  } catch (const std::bad_alloc&) {
    throw -1;
  }
  position = 0;
  lastMarkerTime = -1.0;
}

SMSFrame* WindowState::Frame(std::int64_t k, int band) const {
  if (k < 0 || k >= static_cast<std::int64_t>(frames.size())) return nullptr;
  const auto& set = frames[static_cast<std::size_t>(k)];
  return band >= 0 && band < static_cast<int>(set.size()) ? set[static_cast<std::size_t>(band)] : nullptr;
}

int SelectTransientFrames(std::int64_t firstMarker, std::int64_t lastMarker, WindowState& window,
                          SMSFrame* const* output, FrameChoice& choice, double t, double inputStep,
                          double framePeriod) {
  const MarkerSet* m = window.markers;
  if (!m || m->count == 0) return 0;
  firstMarker = std::max<std::int64_t>(firstMarker, 0);
  lastMarker = std::min<std::int64_t>(lastMarker, m->count - 1);
  if (firstMarker > lastMarker || static_cast<std::int64_t>(m->times.size()) < m->count ||
      static_cast<std::int64_t>(m->beforeWidth.size()) < m->count)
    return 0;
  std::int64_t nearest = -1;
  double bound = 10000.0;
  for (std::int64_t i = firstMarker; i <= lastMarker; ++i) {
    const double d = std::fabs(m->times[static_cast<std::size_t>(i)] - window.referenceTime);
    if (d < bound) {
      bound = d;
      nearest = i;
    }
  }
  if (nearest < 0) return 0;
  choice.markerType = m->types[static_cast<std::size_t>(nearest)];
  if (nearest >= 1 && markerZone(window, nearest - 1, output, choice, t, inputStep, framePeriod)) return 0;
  markerZone(window, nearest, output, choice, t, inputStep, framePeriod);
  return 0;
}

int StretchFrame(BandStretchContext& context, std::unique_ptr<BandStretchState>& state, WindowState& left,
                 WindowState* right, SMSFrame* const* outLeft, SMSFrame* const* outRight, const float* nyquist,
                 int bandCount, double t, double inputStep, double framePeriod) {
  if (bandCount < 1 || bandCount > PeakTracking::kMaxBands) return -2;
  if (!state) state = std::make_unique<BandStretchState>(bandCount);
  context.state = state.get();
  FrameChoice choice[2] = {{t, 0, 0}, {t, 0, 0}};
  const CTimeMachineParams* p = context.params;
  const auto switchA = p ? static_cast<int>(p->GetParam(CTimeMachineParams::TransientSwitchA, t)) : 0;
  const auto switchB = p ? static_cast<int>(p->GetParam(CTimeMachineParams::TransientSwitchB, t)) : 0;
  if ((switchA || switchB) && left.markers && left.markers->count > 0) {
    const MarkerSet& m = *left.markers;
    const double end = left.startTime + static_cast<double>(left.frameCount) * framePeriod;
    std::int64_t first = 0;
    while (first < m.count && m.times[static_cast<std::size_t>(first)] < left.startTime) ++first;
    std::int64_t last = first - 1;
    while (last + 1 < m.count && m.times[static_cast<std::size_t>(last + 1)] <= end) ++last;
    SelectTransientFrames(first, last, left, outLeft, choice[0], t, inputStep, framePeriod);
    if (right) SelectTransientFrames(first, last, *right, outRight, choice[1], t, inputStep, framePeriod);
  }
  if (right && std::fabs(choice[0].inputTime - choice[1].inputTime) > kEps) {
    const bool l = choice[0].transient != 0, r = choice[1].transient != 0;
    const bool leftMoved = std::fabs(choice[0].inputTime - t) > kEps;
    const bool rightMoved = std::fabs(choice[1].inputTime - t) > kEps;
    if (l && !r) {
      bringTo(*right, choice[0].inputTime, outRight, framePeriod);
      choice[1].inputTime = choice[0].inputTime;
    } else if (r && !l) {
      bringTo(left, choice[1].inputTime, outLeft, framePeriod);
      choice[0].inputTime = choice[1].inputTime;
    } else if (!l && !r && leftMoved != rightMoved) {
      if (leftMoved) {
        bringTo(*right, choice[0].inputTime, outRight, framePeriod);
        choice[1].inputTime = choice[0].inputTime;
      } else {
        bringTo(left, choice[1].inputTime, outLeft, framePeriod);
        choice[0].inputTime = choice[1].inputTime;
      }
    }
  }
  SMSFrame* frames[4][PeakTracking::kMaxBands] = {};  // A left, B left, A right, B right
  WindowState* windows[2] = {&left, right};
  for (int ch = 0; ch < (right ? 2 : 1); ++ch) {
    const std::int64_t k = frameBIndex(*windows[ch], choice[ch].inputTime, framePeriod);
    if (k < 0) return -2;
    for (int b = 0; b < bandCount; ++b) {
      SMSFrame* bFrame = windows[ch]->Frame(k, b);
      SMSFrame* a = windows[ch]->Frame(std::max<std::int64_t>(k - 1, 0), b);
      // The first analysed frame has none before it: it stands for its own
      // predecessor, as at the start of the history. Failing here left the
      // engine's unblanked copy in every band, so sound already playing at
      // the start came out of both bands at once, half as loud again.
      if (!a) a = bFrame;
      if (!bFrame) return -2;
      frames[2 * ch][b] = a;
      frames[2 * ch + 1][b] = bFrame;
    }
  }
  // Where the input moves slower than the frames, frame B repeats and the
  // noise of the top band is read at the input time (NoisePhases.h);
  // faster, the frames as they are keep the joins whole. Moved, every join
  // slips by the frame period less the input step, and an attack that the
  // top band's window spreads over its overlapping frames is smeared by
  // that much at each; unmoved, the frames between two repeats go out as
  // analysed. That pays only where the top band's window overlaps two or
  // more repeats, whose frames then flutter against each other: with at
  // most one repeat in a window (a stretch by 1.1 repeats once in eleven
  // frames, the window spans eight) the frames keep their own phases, the
  // lift of the repeat's join keeps its level, and weak attacks stay
  // whole.
  const bool slower = movesNoise(context, bandCount, inputStep, framePeriod);
  const double none = std::numeric_limits<double>::quiet_NaN();
  ChannelSpectra l{outLeft, frames[0], frames[1], choice[0].transient, choice[0].markerType,
                   slower ? choice[0].inputTime : none};
  ChannelSpectra r{outRight, frames[2], frames[3], choice[1].transient, choice[1].markerType,
                   slower ? choice[1].inputTime : none};
  StretchBandStereoSpec(context, nyquist, bandCount, l, right ? &r : nullptr, framePeriod);
  return 0;
}
