#pragma once
// The engine's preparation of its bands and channels before the stretch
// loop: the run's stretch parameters for a mode and a time map, one stretch
// parameter set and one analysis parameter set per band, the presets of the
// whole-signal pre-analysis, the input sample buffers over the caller's
// samples, and the two channels' frame histories. The engine object holds
// one and reads its fields.

#include <cstdint>
#include <memory>
#include <vector>

#include "CSMSAnalysisParams.h"
#include "CSoundFile.h"
#include "CTimeMachineParams.h"
#include "FrameSelection.h"

class EngineBandSetup {
public:
  static constexpr int kRefused = 2;

  // Analysed frames per second at 44100 Hz for `mode` (0..5).
  static double FrameRate(std::uint32_t mode);
  // The largest power of two not above `v`, for v within 4..65536.
  static std::int64_t PowerOfTwoBelow(double v);

  // The run's input (set by the engine before ConfigureMode).
  double sampleRate = 44100.0;
  std::uint64_t sampleCount = 0;
  // The time map: ratio from each normalised input position (0 <= p < 1) on.
  std::vector<double> mapRatios;
  std::vector<double> mapPositions;
  int bandCount = 2;
  std::vector<float> nyquist;  // per band, low to high
  int decimation = 1;
  const float* left = nullptr;
  const float* right = nullptr;  // null for mono

  // What the set-up makes.
  CTimeMachineParams runParams;
  std::int64_t hop = 0;
  double framePeriod = 0.0;  // hop in seconds
  std::vector<std::unique_ptr<CTimeMachineParams>> bandStretchParams;
  std::vector<std::unique_ptr<CSMSAnalysisParams>> bandAnalysisParams;
  WindowState windowLeft;
  WindowState windowRight;

  EngineBandSetup() = default;
  ~EngineBandSetup();
  EngineBandSetup(const EngineBandSetup&) = delete;
  EngineBandSetup& operator=(const EngineBandSetup&) = delete;

  // The run's stretch parameters for `mode`: hop, the time map as stretch
  // ratios (each position stored once, as given: the set then reads it at
  // seconds over the input duration), band edges, window settings and
  // presets. Returns 0, or kRefused for a mode above 5, an empty map,
  // positions that do not rise strictly, a ratio outside 0.5..2.0 or a band
  // count other than 1 or 2.
  int ConfigureMode(std::uint32_t mode);

  // One analysis parameter set per band. Returns 0; throws -1 on allocation
  // failure (what was made is released).
  int MakeBandAnalysisParams();

  // One stretch parameter set per band, copied from the run's with the
  // band's window type and zero padding (band 0 at the decimated rate).
  // Returns 0; throws -1 on allocation failure.
  int MakeBandStretchParams();

  // Presets of the whole-signal pre-analysis (transient detection on).
  int SetAnalysisPresets(CSMSAnalysisParams& analysis) const;

  // Input buffers lending the caller's samples (right only for stereo).
  // Returns 0; throws -1 on allocation failure.
  int MakeInputBuffers();

  // Both channels' frame histories back to empty. Returns 0.
  int ResetWindowStates();

  CSoundFile* InputLeft() const { return m_inputLeft.get(); }
  CSoundFile* InputRight() const { return m_inputRight.get(); }

private:
  struct ReturnBorrowed {
    void operator()(CSoundFile* f) const;
  };
  std::unique_ptr<CSoundFile, ReturnBorrowed> m_inputLeft;
  std::unique_ptr<CSoundFile, ReturnBorrowed> m_inputRight;
};
