#pragma once
// Time-domain stretcher by synchronised overlap-add: changes the length of a
// mono or stereo signal by one constant ratio (0.5 up to, not including,
// 2.1) without changing its pitch. It splices the signal where a stretch of
// it best matches a shifted copy of itself (the channel sum decides) and
// cross-fades across the splice with a raised-cosine window. Search range,
// cross-fade time and the spacing of the compared samples come from a table
// over the ratio.
//
// Samples are carried in fixed point (16 fractional bits). Each object keeps
// its own state, so several stretches may run at once on separate objects.

#include <cstdint>
#include <iostream>
#include <ostream>
#include <vector>

#include "TimeDomainStretch.h"
#include "TimeMachineInput.h"

class OverlapAddStretcher {
public:
  struct Request {
    double ratio = 1.0;              // output length / input length
    std::int64_t outputLength = 0;   // wanted samples per channel; 0: ratio x input
  };

  // The stretch state; lengths in samples, `ratio` in units of 1/10000.
  struct State {
    std::int64_t channels = 0;
    std::int64_t fs = 0;
    std::int64_t ratio = 0;
    double rate = 0.0;  // copy length per splice lag
    std::int64_t min_offset = 0;
    std::int64_t max_offset = 0;
    std::int64_t offset = 0;  // lag of the last splice
    std::int64_t cftime = 0;  // cross-fade length
    std::int64_t step = 0;    // spacing of the compared samples
    std::int64_t lc = 0;      // number of compared samples
    std::int64_t ilength = 0; // samples still to copy before the next splice
    double flength = 0.0;
    double error = 0.0;
    std::int64_t size = 0;    // samples a splice needs: max_offset + cftime
    std::int64_t windex = 0;
    std::int64_t rindex = 0;
    std::int64_t oindex = 0;
  };

  OverlapAddStretcher() = default;

  // The min-offset reset line goes to `log`: the standard error stream
  // unless set otherwise; null writes nothing.
  void SetLog(std::ostream* log) { m_log = log; }

  // Stretches `in` into `out`, whose channels are replaced. Returns the
  // produced count, which is always the requested output length (silence
  // pads a short result, a long one is cut). Throws the integer -2 for
  // refused input (no left channel, a rate that is not positive, a ratio
  // outside 0.5 up to 2.1) and -1 when output storage cannot be had.
  std::int64_t Run(const TimeMachineInput& in, const Request& request, StretchedAudio& out);

  // Derives the splice parameters from `fs` and `ratioUnits` (1/10000) and
  // empties the buffers. The caller keeps the ratio within the table.
  void Setup(std::int64_t fs, std::int64_t ratioUnits, std::int64_t channels);

  // Consumes buffered input and returns the number of output samples made,
  // which OutputSamples(channel) then holds.
  std::int64_t Process();

  // Prints the state, one value a line, by default to the standard error
  // stream.
  void Dump(std::ostream& os = std::cerr) const;

  const State& GetState() const { return m_state; }
  const std::vector<std::int64_t>& OutputSamples(int channel) const { return m_output[channel]; }

private:
  std::int64_t fill(const TimeMachineInput& in, std::int64_t& consumed, std::int64_t available);
  std::int64_t searchShortening() const;
  std::int64_t searchLengthening() const;
  void mixFrom(std::int64_t start);
  void setCopyLength(std::int64_t lag);
  void emit(int channel, std::int64_t value) { m_output[channel].push_back(value); }
  void compact();

  State m_state;
  std::vector<double> m_window;
  std::vector<double> m_mix;
  std::vector<std::int64_t> m_input[2];
  std::vector<std::int64_t> m_output[2];
  std::ostream* m_log = &std::cerr;
};
