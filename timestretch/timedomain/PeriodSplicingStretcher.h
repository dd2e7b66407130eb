#pragma once
// Time-domain stretcher by whole-period splicing, for one constant ratio
// between 0.5 and 2.0: it finds the local pitch period (the lag at which a
// stretch of the signal best matches itself), then plays one period twice
// (lengthening) or drops one (shortening) with a linear cross-fade, and
// copies as many unchanged samples as the ratio asks for before the next
// splice. A stereo input is spliced alike in both channels, the period being
// found on their mean. Each object keeps its own state.

#include <cstdint>
#include <vector>

#include "TimeDomainStretch.h"
#include "TimeMachineInput.h"

class PeriodSplicingStretcher {
public:
  struct Parameters {
    double factor = 1.0;        // 1 / ratio
    std::int64_t step = 1;      // spacing of the compared samples
    std::int64_t maxLag = 0;
    std::int64_t minLag = 0;
    std::int64_t sampleRate = 0;
    double copyFactor = 0.0;    // copied samples per period between splices
    std::int64_t workLength = 0;  // samples held per channel: twice maxLag
  };

  // Lags from 5 ms to 20 ms; `ratio` is limited to 0.5..2.0 in place.
  static Parameters MakeParameters(std::int64_t sampleRate, double& ratio);

  // Stretches `in` into `out` (channels replaced). `ratio` is limited to
  // 0.5..2.0 and written back. The output holds exactly floor(limited ratio
  // x input length) samples (silence pads the end when the splicing falls
  // short). A ratio of exactly 1 copies the input. Returns the produced
  // count, or the refusal -2 (no left channel, a rate outside 1..1000000, a
  // ratio that is not a positive number) or -1 when storage cannot be had.
  std::int64_t Run(const TimeMachineInput& in, double* ratio, StretchedAudio& out);

  // The lag between minLag and maxLag at which the mean squared difference
  // between x[j] and x[j + lag] (j = 0, step, ... below lag) is smallest; the
  // larger lag wins a tie. `x` holds at least 2 x maxLag samples.
  std::int64_t FindPeriod(const double* x) const;

  const Parameters& GetParameters() const { return m_params; }

private:
  void buildTables();
  void write(int channels, const double* const* samples, std::int64_t count);
  void copyDirect(int channels, std::int64_t count);
  void shiftWork(int channels, std::int64_t from);

  Parameters m_params;
  std::vector<double> m_inversePoints;  // per lag: 1 / number of compared samples
  std::vector<double> m_work[2];
  std::vector<double> m_mix;
  std::vector<double> m_fade[2];
  std::int64_t m_held = 0;
  const TimeMachineInput* m_in = nullptr;
  std::int64_t m_read = 0;
  StretchedAudio* m_out = nullptr;
  std::int64_t m_capacity = 0;
};
