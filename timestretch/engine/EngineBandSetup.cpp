#include "EngineBandSetup.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kMinRatio = 0.5;
constexpr double kMaxRatio = 2.0;

void setAll(CTimeMachineParams& p, int index, float value) { p.SetParam(index, value, CEnvelope::kAllTimes); }
void setAll(CSMSAnalysisParams& p, int index, float value) { p.SetParam(index, value, CEnvelope::kAllTimes); }

bool ratioAccepted(double r) { return r >= kMinRatio && r <= kMaxRatio; }

}  // namespace

EngineBandSetup::~EngineBandSetup() = default;

void EngineBandSetup::ReturnBorrowed::operator()(CSoundFile* f) const {
  if (!f) return;
  f->storage = nullptr;  // the caller's samples
  delete f;
}

double EngineBandSetup::FrameRate(std::uint32_t mode) {
  return mode == 2 || mode == 3 ? 86.1328125 : 172.265625;
}

std::int64_t EngineBandSetup::PowerOfTwoBelow(double v) {
  v = std::clamp(v, 4.0, 65536.0);
  std::int64_t p = 4;
  while (static_cast<double>(p * 2) <= v) p *= 2;
  return p;
}

int EngineBandSetup::ConfigureMode(std::uint32_t mode) {
  if (mode > 5) return kRefused;
  hop = PowerOfTwoBelow(sampleRate / FrameRate(mode) + 1e-8);
  framePeriod = static_cast<double>(hop) / sampleRate;
  runParams.trailer.windowSize = static_cast<std::int32_t>(hop);

  const std::size_t points = std::min(mapRatios.size(), mapPositions.size());
  if (points == 0) return kRefused;
  for (std::size_t i = 0; i < points; ++i) {
    if (!ratioAccepted(mapRatios[i])) return kRefused;
    if (i > 0 && !(mapPositions[i] > mapPositions[i - 1])) return kRefused;
  }
  CEnvelope& ratio = runParams.Param(CTimeMachineParams::StretchRatio);
  if (points == 1) {
    ratio.SetValue(CEnvelope::kAllTimes, static_cast<float>(mapRatios[0]));
  } else {
    // Positions are already fractions of the input: stored as they are.
    for (std::size_t i = 0; i < points; ++i) ratio.SetValue(mapPositions[i], static_cast<float>(mapRatios[i]));
  }

  runParams.trailer.bandCount = std::clamp(bandCount, 0, 32);
  static const float kHops[6][2] = {{16, 8}, {16, 8}, {8, 4}, {4, 0}, {16, 8}, {8, 0}};
  for (int b = 0; b < 2; ++b)
    if (kHops[mode][b] > 0.0f) runParams.SetParam(CTimeMachineParams::BandWindowHops, kHops[mode][b], b);
  if (bandCount == 2) {
    runParams.SetParam(CTimeMachineParams::BandUpperEdgeHz, 1500.0f, 0);
    runParams.SetParam(CTimeMachineParams::BandUpperEdgeHz, static_cast<float>(sampleRate / 2.0), 1);
    runParams.SetParam(CTimeMachineParams::BandWindowType, 4.0f, 0);
    runParams.SetParam(CTimeMachineParams::BandWindowType, 4.0f, 1);
  } else if (bandCount == 1) {
    runParams.SetParam(CTimeMachineParams::BandUpperEdgeHz, static_cast<float>(sampleRate / 2.0), 0);
    runParams.SetParam(CTimeMachineParams::BandWindowType, 4.0f, 0);
  } else {
    return kRefused;
  }
  setAll(runParams, CTimeMachineParams::TransientCutoffHz, 2500.0f);
  setAll(runParams, CTimeMachineParams::StereoPhaseSwitch, 1.0f);
  setAll(runParams, CTimeMachineParams::StereoPhaseAmount, 1.0f);
  setAll(runParams, 137, 0.0f);
  setAll(runParams, 138, 0.0f);
  setAll(runParams, CTimeMachineParams::PhaseResetSwitch, 1.0f);
  setAll(runParams, CTimeMachineParams::MaxPeakDeviationHz, 40.0f);
  setAll(runParams, CTimeMachineParams::PeakNeighbourhood, mode <= 1 ? 4.0f : 2.0f);
  setAll(runParams, CTimeMachineParams::TransientSwitchA, 1.0f);
  setAll(runParams, CTimeMachineParams::SynthesisComponents, 2.0f);
  runParams.trailer.sampleRate = static_cast<float>(std::clamp(sampleRate, 10000.0, 44100.0));
  runParams.trailer.outputFlags = 1;
  // From here on a parameter read at t seconds reads its envelope at
  // t / duration, the one normalisation of a time.
  runParams.timeMode = CTimeMachineParams::kSecondsOverScale;
  runParams.timeScale = sampleRate > 0.0 ? static_cast<double>(sampleCount) / sampleRate : 0.0;
  return 0;
}

int EngineBandSetup::MakeBandStretchParams() {
  try {
    bandStretchParams.clear();
    for (int b = 0; b < bandCount; ++b) {
      auto p = std::make_unique<CTimeMachineParams>();
      runParams.CopyTo(p.get());
      const float type = runParams.GetParam(CTimeMachineParams::BandWindowType, b);
      p->trailer.windowType = std::clamp(static_cast<std::int32_t>(type), 0, 12);
      p->trailer.zeroPadFactor = std::max(runParams.GetParam(CTimeMachineParams::BandWindowHops, b), 1.0f);
      if (b == 0) {
        const double factor = std::max(decimation, 1);
        p->trailer.sampleRate = static_cast<float>(std::clamp(sampleRate / factor, 10000.0, 44100.0));
        p->trailer.windowSize =
            static_cast<std::int32_t>(PowerOfTwoBelow(static_cast<double>(runParams.trailer.windowSize) / factor));
      }
      bandStretchParams.push_back(std::move(p));
    }
  } catch (const std::bad_alloc&) {
    bandStretchParams.clear();
    throw -1;
  } catch (int) {
    bandStretchParams.clear();
    throw -1;
  }
  return 0;
}

int EngineBandSetup::MakeBandAnalysisParams() {
  try {
    bandAnalysisParams.clear();
    for (int b = 0; b < bandCount; ++b) {
      auto a = std::make_unique<CSMSAnalysisParams>();
      setAll(*a, CSMSAnalysisParams::kSetting58, 2.0f);
      setAll(*a, 23, 0.0f);
      setAll(*a, CSMSAnalysisParams::bandFrequency, b < static_cast<int>(nyquist.size()) ? nyquist[b] : 0.0f);
      setAll(*a, 0, 0.0f);
      setAll(*a, 4, 0.0f);
      setAll(*a, CSMSAnalysisParams::frameAnalysisMode, 4.0f);
      setAll(*a, CSMSAnalysisParams::kFrameRate, static_cast<float>(sampleRate / static_cast<double>(hop)));
      setAll(*a, CSMSAnalysisParams::kTransientDetection, 0.0f);
      setAll(*a, 12, 1300.0f);
      setAll(*a, CSMSAnalysisParams::fundamentalHz, 1400.0f);
      setAll(*a, 14, 1500.0f);
      setAll(*a, 20, 0.0f);
      setAll(*a, 3, -100.0f);
      setAll(*a, CSMSAnalysisParams::kWindowHops, runParams.GetParam(CTimeMachineParams::BandWindowHops, b));
      setAll(*a, CSMSAnalysisParams::kWindowType, runParams.GetParam(CTimeMachineParams::BandWindowType, b));
      bandAnalysisParams.push_back(std::move(a));
    }
  } catch (...) {
    bandAnalysisParams.clear();
    throw -1;
  }
  return 0;
}

int EngineBandSetup::SetAnalysisPresets(CSMSAnalysisParams& a) const {
  setAll(a, 23, 0.0f);
  setAll(a, CSMSAnalysisParams::bandFrequency, nyquist.empty() ? 0.0f : nyquist[0]);
  setAll(a, 0, 0.0f);
  setAll(a, 4, 0.0f);
  setAll(a, 20, 0.0f);
  setAll(a, CSMSAnalysisParams::frameAnalysisMode, 0.0f);
  setAll(a, CSMSAnalysisParams::kFrameRate, 172.0f);
  setAll(a, CSMSAnalysisParams::kTransientDetection, 1.0f);
  setAll(a, 3, -100.0f);
  return 0;
}

int EngineBandSetup::MakeInputBuffers() {
  auto lend = [&](const float* samples) {
    std::unique_ptr<CSoundFile, ReturnBorrowed> f(new (std::nothrow) CSoundFile(nullptr));
    if (!f) throw -1;
    f->storage = const_cast<float*>(samples);  // read only: capacity 0
    f->capacity = 0;
    f->channels = 1;
    f->sampleRate = static_cast<std::int32_t>(sampleRate);
    f->length = static_cast<std::int64_t>(sampleCount);
    return f;
  };
  m_inputLeft = lend(left);
  m_inputRight.reset();
  if (right) m_inputRight = lend(right);
  return 0;
}

int EngineBandSetup::ResetWindowStates() {
  windowLeft.Reset(framePeriod, bandCount);
  windowRight.Reset(framePeriod, bandCount);
  return 0;
}
