#pragma once
// Time-domain stretcher that keeps attacks intact: it cuts the signal where
// the short-time energy rises suddenly and stretches each stretch between two
// attacks on its own to its share of the output, by repeating or dropping
// whole periods with linear cross-fades; a short cross-fade joins each
// stretched segment to its end, so the next attack starts where it did.
// A segment longer than the input buffer is stretched as it streams through,
// by whole periods only, so a steady tone keeps its pitch and level; only
// its end, at the next attack or the end of the input, takes up the
// fraction of a period that whole periods leave over.
// Samples are carried in fixed point (16 fractional bits); each object keeps
// its own state.

#include <cstdint>
#include <vector>

#include "TimeDomainStretch.h"
#include "TimeMachineInput.h"

class OnsetSegmentedStretcher {
public:
  struct Parameters {
    std::int64_t hop = 0;            // samples per energy step (1 ms)
    std::int64_t energyWindow = 0;   // samples per energy value (3 ms)
    std::int64_t attackHold = 0;     // hops after an attack in which no other starts
    std::int64_t largestPeriod = 0;  // 20 ms
    std::int64_t smallestPeriod = 0; // 5 ms
    std::int64_t bufferLength = 0;   // input samples held per channel
    std::int64_t boundaryFade = 100; // samples of the cross-fade that ends a segment
    std::int64_t attackGuard = 0;    // 20 ms after an attack that no splice repeats or drops
  };

  static Parameters MakeParameters(std::int64_t sampleRate);

  // Stretches `in` by `ratio` into `out` (channels replaced); the output
  // holds exactly floor(ratio x input length) samples. Returns the produced
  // count (0 for an empty input). Throws the integer -2 for refused input (no
  // left channel, a rate outside 1..1000000, a ratio that is not a positive
  // number up to 4) and -1 when storage cannot be had.
  std::int64_t Run(const TimeMachineInput& in, double ratio, StretchedAudio& out);

  // Input positions (samples) at which the segments of the last run began.
  const std::vector<std::int64_t>& SegmentStarts() const { return m_segmentStarts; }
  // Output lengths of the segments of the last run, in order.
  const std::vector<std::int64_t>& SegmentLengths() const { return m_segmentLengths; }

  // Starts a run at `ratio`: no carried fraction, no energy history, no
  // attack yet.
  void Reset(double ratio);

  // The output length of the next segment of `n` samples: floor(ratio x n),
  // plus one once the carried fractions exceed 1.
  std::int64_t NextSegmentLength(std::int64_t n);

private:
  void segment(bool final);
  bool attackAt(std::int64_t position);
  // Copies buffered samples [0, n) of the segment into the work arrays.
  void load(std::int64_t n);
  // Stretches what a full buffer holds of a segment that goes on, keeping
  // the samples the segment's end may need; returns the samples consumed.
  std::int64_t streamSegment(std::int64_t scanned);
  // Ends the segment with its last n buffered samples: the whole segment
  // gets exactly its share of the output.
  void finishSegment(std::int64_t n);
  void stretchRest(std::int64_t n, std::int64_t m);
  std::int64_t findPeriod(const double* x, std::int64_t smallest, std::int64_t largest) const;
  void consume(std::int64_t n);
  void put(int channel, double fixedValue);
  void copyOut(std::int64_t from, std::int64_t count);
  void putCrossFade(const double* a, const double* b, std::int64_t n, int channel);
  void repeatSplice(std::int64_t at, std::int64_t period, std::int64_t repeats);
  void dropSplice(std::int64_t at, std::int64_t period, std::int64_t drops);

  Parameters m_params;
  double m_ratio = 1.0;
  int m_channels = 1;
  double m_carry = 0.0;
  double m_e1 = 0.0;
  double m_e2 = 0.0;
  std::int64_t m_hopsSinceAttack = 0;
  std::int64_t m_consumedTotal = 0;  // input samples handed to segments so far
  std::int64_t m_segmentStart = 0;   // input position of the current segment
  std::int64_t m_segmentIn = 0;      // its samples stretched so far
  std::int64_t m_segmentOut = 0;     // and the output they made
  std::int64_t m_scan = 0;
  std::int64_t m_fill = 0;
  std::vector<std::int64_t> m_buffer[2];
  std::vector<double> m_seg[2];
  std::vector<double> m_mono;
  std::vector<double> m_fade;
  StretchedAudio* m_out = nullptr;
  std::int64_t m_capacity = 0;
  std::vector<std::int64_t> m_segmentStarts;
  std::vector<std::int64_t> m_segmentLengths;
};
