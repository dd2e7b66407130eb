#pragma once
// One stretch job: holds a section's 16-bit stereo input as floats, cuts it
// into regions at the caller's bar positions, gives each region the ratio
// that makes its bars last one bar each at the target tempo, and stretches
// the whole cut list in one run of the spectral engine, so that every
// region becomes exactly its output length with its pitch unchanged.
//
// The job and the engine behind it are not re-entrant: one stretch at a time
// per process. Callers reload the whole job (format, frame counts, tempo,
// time signature, samples) before every request.

#include <cstdint>
#include <vector>

#include "JobWaveFormat.h"
#include "StretchRegion.h"
#include "TimeMachineInput.h"

class TimeStretchJob {
 public:
  static constexpr double kMinRatio = 0.5;
  static constexpr double kMaxRatio = 2.0;

  TimeStretchJob();
  ~TimeStretchJob();
  TimeStretchJob(const TimeStretchJob&) = delete;
  TimeStretchJob& operator=(const TimeStretchJob&) = delete;

  // Back to the defaults: tempo 120, 4/4, 16-bit stereo 44100 Hz PCM, no
  // frames, flag clear.
  void Init();

  // The fields the caller sets before loading a request.
  void SetFormat(const JobWaveFormat& format) { waveFormat = format; }
  // Source start 0; source end, source length and target length = frames.
  // A source length of 0 makes every ratio 1.0.
  void SetFrameCounts(std::uint64_t frames);
  // Source and target tempo, beats per minute. A tempo that is not a
  // positive number is held as 0: no bar, so no region is made.
  void SetTempo(double tempo);
  void SetTimeSignature(std::uint32_t numerator, std::uint32_t denominator);

  // Empties the four sample arrays (their storage is kept).
  void ClearBuffers();

  // Appends one frame: two little-endian int16, left then right. May throw
  // std::bad_alloc.
  void PushSample(const std::uint8_t* frame);

  // Pointers to both input arrays (both null unless both hold samples), the
  // left array's sample count, the format's rate and bits.
  void GetBufferInfo(TimeMachineInput* info) const;

  // Clears the ratio list and the out-of-range flag, then appends one region
  // per pair of neighbouring cut positions to `regions` and rebuilds them.
  // Positions are frames of the input, which begins at the first cut; region
  // starts and ends are counted from it. With n cut
  // positions and `bars` bars: n = bars + 1 gives one bar per region, n = 2
  // one region of all bars. Any other count, fewer than two positions, cut
  // positions that do not rise, or a time signature or tempo that gives no
  // bar length, makes no region. May throw std::bad_alloc.
  void SetRegions(StretchRegionList& regions, const std::vector<std::uint64_t>& cuts,
                  std::uint64_t bars);

  // Stretches the regions (input counted from the first region's start) and
  // replaces the output arrays with the result, whose length is the sum of
  // the regions' output lengths. Returns the frames produced, 0 when there
  // is no region, or the negative code of the failure (a ratio outside
  // 0.5..2.0, a region outside the input, a failed analysis, no memory);
  // the output arrays are then left as they were. May throw std::bad_alloc.
  std::int64_t Run(const StretchRegionList& regions, TimeMachineInput input);

  // Output sample `index` of channel 0 (left) or 1 (right), truncated to
  // 16 bits; 0 for another channel or an index past the output.
  std::int16_t GetOutputSample(int channel, std::int64_t index) const;
  std::uint64_t OutputFrames() const { return outLeft.size(); }

  // The out-of-range flag and the ratio list of the last SetRegions that
  // made regions; `ratios` is cleared first.
  void GetRatios(std::uint8_t* flag, std::vector<double>& ratios) const;

  // Frames one bar lasts at `tempo` (truncated to whole beats per minute,
  // the bar duration to 100 ns): ceil(rate * seconds per bar). 0 when the
  // time signature or tempo gives no bar.
  static std::uint64_t SamplesPerBar(std::uint32_t numerator, std::uint32_t denominator,
                                     double tempo, std::uint64_t sampleRate);

  // The job's musical timing at 960 ticks a quarter note, over its own time
  // signature, tempi and lengths. The operations refuse values that would
  // divide by zero and then leave the job as it was.
  static constexpr std::int64_t kTicksPerQuarter = 960;

  // Init; returns the bit pattern of the default tempo 120.0.
  std::uint64_t InitDefaults();

  // numerator x trunc(3840 / denominator); 0 without a denominator.
  std::uint64_t TicksPerBar() const;

  // trunc(ticks / (trunc(target tempo) x 16) x 10^7): 100-ns units at the
  // target tempo; 0 when the tempo is below one beat a minute. A time past
  // what 64 bits hold is given as INT64_MAX (INT64_MIN below).
  std::int64_t TicksToTime(std::int64_t ticks) const;

  // trunc(trunc(target tempo) x 16 x time / 10^7), held to 64 bits as
  // TicksToTime holds its time.
  std::int64_t TimeToTicks(std::int64_t time) const;

  // Bar and beat counted from 1, tick within the beat; returns 1, or 0 (and
  // writes nothing) without a numerator or for negative ticks.
  int TicksToPosition(std::int64_t ticks, std::uint32_t* bar, std::uint32_t* beat, std::uint32_t* tick) const;

  // Target length = `length`; target tempo = source length x source tempo /
  // length, so the regions made next stretch to it. A length that is not
  // positive is refused.
  void SetTargetLength(std::int64_t length);

  // Target tempo = `tempo`; target length = trunc(source length x source
  // tempo / tempo), which is returned. A tempo that is not a positive
  // number, or whose length would not fit 64 bits or would leave a source
  // with frames no frame, is refused with kRefusedTempo and leaves the job
  // as it was.
  std::uint64_t SetTargetTempo(double tempo);
  // The job's refusal code (-2) as SetTargetTempo returns it.
  static constexpr std::uint64_t kRefusedTempo = static_cast<std::uint64_t>(-2);

  std::uint64_t TargetLength() const { return targetLength; }
  double TargetTempo() const { return targetTempo; }

 private:
  // 100-ns units of `ticks` at `tempo`, counted in whole beats a minute.
  static std::int64_t TicksToTimeAt(double ticks, double tempo);

  std::uint64_t sourceStart = 0;
  std::uint64_t sourceEnd = 0;
  std::uint64_t sourceLength = 0;
  double sourceTempo = 120.0;
  std::uint64_t targetLength = 0;
  double targetTempo = 120.0;
  std::uint32_t timeSigNumerator = 4;
  std::uint32_t timeSigDenominator = 4;
  JobWaveFormat waveFormat;
  std::vector<float> inLeft;
  std::vector<float> inRight;
  std::vector<float> outLeft;
  std::vector<float> outRight;
  std::uint8_t outOfRange = 0;
  std::vector<double> ratioList;
};
