#include "CFrameAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "EngineArray.h"
#include "SpectralWindows.h"

namespace {

constexpr float kNoEnergy = -std::numeric_limits<float>::max();
constexpr float kPiF = 3.14159265358979f;
// 1/32768: full scale is 0 dB.
constexpr double kFullScale = 3.0517578125e-5;

std::int64_t largestPowerOfTwoNotAbove(std::int64_t v) {
  std::int64_t p = 1;
  while (p * 2 <= v) p *= 2;
  return p;
}

}  // namespace

CFrameAnalyzer::CFrameAnalyzer(const CSMSAnalysisParams* params, const float* ring, int sampleRate,
                               std::int64_t ringLength)
    : params_(params), ring_(ring), ringLength_(ringLength) {
  if (!params || !ring || sampleRate <= 0 || params->frameRate <= 0.0f) throw -2;
  mode_ = static_cast<std::uint8_t>(params->Envelope(CSMSAnalysisParams::frameAnalysisMode).GetValue(0.0));
  analysisWindowType_ = params->windowType;
  hop_ = std::int64_t{1} << static_cast<int>(std::lround(std::log2(sampleRate / params->frameRate)));
  if (mode_ == 2 || mode_ == kSelfAnalysingMode) {
    const double span = static_cast<double>(hop_) * params->windowHops;
    transformLength_ = largestPowerOfTwoNotAbove(static_cast<std::int64_t>(span));
    windowLength_ = static_cast<std::int64_t>(span) | 1;
  } else {
    transformLength_ = windowLength_ = 2 * hop_;
  }
  if (transformLength_ > kMaxFftLength || windowLength_ > ringLength) throw -2;

  window_ = EngineArray::Make<float>(static_cast<std::size_t>(windowLength_));
  fftBuffer_ = EngineArray::Make<float>(static_cast<std::size_t>(transformLength_ + 1));
  re_ = EngineArray::Make<float>(static_cast<std::size_t>(transformLength_ / 2 + 1));
  im_ = EngineArray::Make<float>(static_cast<std::size_t>(transformLength_ / 2 + 1));
  if (mode_ == 2 || mode_ == kSelfAnalysingMode)
    MakeWindow(windowLength_, analysisWindowType_, window_.get());
  else if (mode_ == 3)
    TriangularWindow(windowLength_, window_.get());
  else
    BlackmanHarris92Window(windowLength_, window_.get());
}

CFrameAnalyzer::~CFrameAnalyzer() = default;

int CFrameAnalyzer::NextFrame(SMSFrame* const* frames) {
  frameList_ = frames;
  if (frames && frames[0] && frames[0]->time != SMSFrame::kEmptyTime && mode_ == kSelfAnalysingMode)
    analyse(*frames[0]);
  readPosition_ = (readPosition_ + hop_) % ringLength_;
  return 0;
}

void CFrameAnalyzer::analyse(SMSFrame& frame) {
  const std::int64_t N = transformLength_;
  const std::int64_t bins = N / 2 + 1;
  if (frame.Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, bins, false) != 0) throw -1;

  // Zero-phase layout: the window's centre sample at position 0, the
  // samples after it upwards, those before it down from the end. Both
  // sides take the same number of samples, and never more than half the
  // transform each.
  const std::int64_t k = windowLength_ / 2;
  const std::int64_t side = std::min(k - 1, N / 2 - 1);
  const float* w = window_.get();
  float* buf = fftBuffer_.get();
  std::fill(buf, buf + N, 0.0f);
  const std::int64_t p = readPosition_;
  auto at = [&](std::int64_t offset) { return ring_[((p + offset) % ringLength_ + ringLength_) % ringLength_]; };
  buf[0] = w[k] * at(0);
  for (std::int64_t i = 1; i <= side; ++i) {
    buf[i] = w[k + i] * at(i);
    buf[N - i] = w[k - i] * at(-i);
  }
  RealFft(static_cast<int>(N), 1, buf);

  float* re = re_.get();
  float* im = im_.get();
  re[0] = buf[0];
  re[N / 2] = buf[1];
  im[0] = im[N / 2] = 0.0f;
  for (std::int64_t b = 1; b < N / 2; ++b) {
    re[b] = buf[2 * b];
    im[b] = -buf[2 * b + 1];  // the package's sine sums carry the opposite sign
  }
  for (std::int64_t b = 0; b < bins; ++b) {
    float magnitude;
    if (b == 0 || b == N / 2) {
      magnitude = std::fabs(re[b]);
      frame.phases[b] = re[b] < 0.0f ? kPiF : 0.0f;
    } else {
      magnitude = std::sqrt(re[b] * re[b] + im[b] * im[b]);
      frame.phases[b] = std::atan2(im[b], re[b]);
    }
    frame.magnitudes[b] =
        magnitude > 0.0f ? static_cast<float>(20.0 * std::log10(magnitude * kFullScale)) : kNoEnergy;
  }
}
