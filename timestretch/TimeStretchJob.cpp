#include "TimeStretchJob.h"

#include <cmath>
#include <utility>

#include "SegmentStretcher.h"

namespace {

constexpr double kTicksPerWholeNote = 3840.0;
// A product that misses a whole number of frames by less than this is
// rounding noise: a bar of exactly P frames must not grow to P + 1.
constexpr double kFrameNoise = 1e-7;
// 2^63: the first frame count a region's signed length cannot hold.
constexpr double kFrameLimit = 9223372036854775808.0;

}  // namespace

TimeStretchJob::TimeStretchJob() { Init(); }

TimeStretchJob::~TimeStretchJob() = default;

void TimeStretchJob::Init() {
  sourceStart = 0;
  sourceEnd = 0;
  sourceLength = 0;
  sourceTempo = 120.0;
  targetLength = 0;
  targetTempo = 120.0;
  timeSigNumerator = 4;
  timeSigDenominator = 4;
  waveFormat = JobWaveFormat();
  outOfRange = 0;
}

void TimeStretchJob::SetFrameCounts(std::uint64_t frames) {
  sourceStart = 0;
  sourceEnd = frames;
  sourceLength = frames;
  targetLength = frames;
}

void TimeStretchJob::SetTempo(double tempo) {
  // A tempo that is not a positive number is held as 0, which gives no bar:
  // the job then makes no region and no time, rather than keep the tempo of
  // an earlier request or carry NaN and infinities into its frame counts.
  const double usable = tempo > 0.0 && std::isfinite(tempo) ? tempo : 0.0;
  sourceTempo = usable;
  targetTempo = usable;
}

void TimeStretchJob::SetTimeSignature(std::uint32_t numerator, std::uint32_t denominator) {
  timeSigNumerator = numerator;
  timeSigDenominator = denominator;
}

void TimeStretchJob::ClearBuffers() {
  inLeft.clear();
  inRight.clear();
  outLeft.clear();
  outRight.clear();
}

void TimeStretchJob::PushSample(const std::uint8_t* frame) {
  const auto left = static_cast<std::int16_t>(static_cast<std::uint16_t>(frame[0] | (frame[1] << 8)));
  const auto right = static_cast<std::int16_t>(static_cast<std::uint16_t>(frame[2] | (frame[3] << 8)));
  inLeft.push_back(static_cast<float>(left));
  try {
    inRight.push_back(static_cast<float>(right));
  } catch (...) {
    inLeft.pop_back();  // keep both channels the same length
    throw;
  }
}

void TimeStretchJob::GetBufferInfo(TimeMachineInput* info) const {
  if (!info) return;
  const bool both = !inLeft.empty() && !inRight.empty();
  info->left = both ? inLeft.data() : nullptr;
  info->right = both ? inRight.data() : nullptr;
  info->sampleCount = inLeft.size();
  info->sampleRate = waveFormat.samplesPerSec;
  info->bitsPerSample = waveFormat.bitsPerSample;
}

std::uint64_t TimeStretchJob::SamplesPerBar(std::uint32_t numerator, std::uint32_t denominator,
                                            double tempo, std::uint64_t sampleRate) {
  if (numerator == 0 || denominator == 0 || !(tempo >= 1.0) || !std::isfinite(tempo)) return 0;
  const double ticksPerBar = numerator * std::trunc(kTicksPerWholeNote / denominator);
  if (ticksPerBar <= 0.0) return 0;
  const double seconds = static_cast<double>(TicksToTimeAt(ticksPerBar, tempo)) / 1e7;
  const double frames = std::ceil(static_cast<double>(sampleRate) * seconds);
  // A bar no 64-bit frame count holds is no bar.
  return frames < kFrameLimit ? static_cast<std::uint64_t>(frames) : 0;
}

void TimeStretchJob::SetRegions(StretchRegionList& regions, const std::vector<std::uint64_t>& cuts,
                                std::uint64_t bars) {
  // A request that makes no region must not report the ratios of an
  // earlier one.
  ratioList.clear();
  outOfRange = 0;
  const std::size_t n = cuts.size();
  if (n < 2) return;
  std::uint64_t barsPerRegion = 0;
  if (n == bars + 1) {
    barsPerRegion = 1;
  } else if (n == 2) {
    barsPerRegion = bars;
  } else {
    return;
  }
  for (std::size_t i = 1; i < n; ++i) {
    if (cuts[i] <= cuts[i - 1]) return;  // an empty or backward region has no tempo
  }
  const std::uint64_t perBar =
      SamplesPerBar(timeSigNumerator, timeSigDenominator, targetTempo, waveFormat.samplesPerSec);
  if (perBar == 0) return;

  // Everything is built aside first, so running out of memory changes nothing.
  StretchRegionList made;
  std::vector<double> ratios;
  made.reserve(n - 1);
  ratios.reserve(n - 1);
  std::uint8_t flag = 0;
  for (std::size_t i = 1; i < n; ++i) {
    auto region = std::make_unique<StretchRegion>();
    const double length = static_cast<double>(cuts[i] - cuts[i - 1]);
    const double tempo = static_cast<double>(barsPerRegion) * static_cast<double>(perBar) / length * targetTempo;
    const double ratio = sourceLength != 0 ? tempo / targetTempo : 1.0;
    if (ratio < kMinRatio || ratio > kMaxRatio) flag = 1;
    const double output = std::ceil(ratio * length - kFrameNoise);
    if (!(output < kFrameLimit)) return;  // bars no output could hold
    region->point.ratio = ratio;
    region->point.start = static_cast<std::int64_t>(cuts[i - 1] - cuts[0]);
    region->end = static_cast<std::int64_t>(cuts[i] - cuts[0]);
    region->length = region->end - region->point.start;
    region->regionTempo = tempo;
    region->unitCount = 1;
    region->outputLength = static_cast<std::int64_t>(output);
    region->targetTempo = targetTempo;
    made.push_back(std::move(region));
    ratios.push_back(ratio);
  }
  regions.reserve(regions.size() + made.size());
  for (auto& region : made) regions.push_back(std::move(region));
  ratioList = std::move(ratios);
  outOfRange = flag;
}

std::int64_t TimeStretchJob::Run(const StretchRegionList& regions, TimeMachineInput input) {
  TimeMachineOutput result;
  std::uint16_t options[SegmentStretch::kOptionCount] = {SegmentStretch::kSpectralEngine};
  const std::int64_t produced = StretchSegments(&input, regions, options, &result);
  if (produced < 1) {
    FreeStretchOutput(&result);
    return produced;
  }
  try {
    const auto n = static_cast<std::size_t>(produced);
    outLeft.assign(result.left, result.left + n);
    if (result.right) {
      outRight.assign(result.right, result.right + n);
    } else {
      outRight.clear();
    }
  } catch (...) {
    FreeStretchOutput(&result);
    throw;
  }
  FreeStretchOutput(&result);
  return produced;
}

std::int16_t TimeStretchJob::GetOutputSample(int channel, std::int64_t index) const {
  const std::vector<float>* out = channel == 0 ? &outLeft : channel == 1 ? &outRight : nullptr;
  if (!out || index < 0 || static_cast<std::uint64_t>(index) >= out->size()) return 0;
  float v = (*out)[static_cast<std::size_t>(index)];
  if (!(v > -32768.0f)) v = -32768.0f;  // also catches NaN
  if (v > 32767.0f) v = 32767.0f;
  return static_cast<std::int16_t>(static_cast<std::int32_t>(v));
}

void TimeStretchJob::GetRatios(std::uint8_t* flag, std::vector<double>& ratios) const {
  if (flag) *flag = outOfRange;
  ratios.clear();
  ratios.insert(ratios.end(), ratioList.begin(), ratioList.end());
}
