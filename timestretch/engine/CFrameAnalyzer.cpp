#include "CFrameAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "BinLevelsPhases.h"
#include "EngineArray.h"
#include "FftWorkRecord.h"
#include "SpectralWindows.h"
#include "WindowedSamples.h"

namespace {

constexpr float kPiF = 3.14159265358979f;

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
  frameScratch_ = EngineArray::Make<float>(static_cast<std::size_t>(transformLength_ + 1));
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
  // The transform's own double array takes the windowed samples (each
  // product rounded to float, as a float array would hold it), and its
  // sums are read from there: no passes that widen the frame into it and
  // round the sums back out.
  FftWorkRecord& transform = sharedFftWorkRecord();
  double* buf = transform.a;
  // The ring's samples around the read position, p - side .. p + side:
  // read in place, or copied together when they wrap round the ring's end.
  const std::int64_t L = ringLength_;
  const std::int64_t first = ((readPosition_ - side) % L + L) % L;
  const std::int64_t count = 2 * side + 1;
  const float* x;  // x[0] is the sample at the read position
  if (count <= L - first) {
    x = ring_ + first + side;
  } else {
    float* span = frameScratch_.get();
    const std::int64_t run = L - first;
    std::copy(ring_ + first, ring_ + L, span);
    std::copy(ring_, ring_ + (count - run), span + run);
    x = span + side;
  }
  // Only the middle, between the two sides, stays zero. Both sides run
  // forwards through window and samples, so that the products vectorise.
  std::fill(buf + side + 1, buf + N - side, 0.0);
  WindowedSamples::Multiply(x, w + k, side + 1, buf);
  WindowedSamples::Multiply(x - side, w + k - side, side, buf + N - side);
  transform.RealFftAnySize(static_cast<int>(N), 1);

  // Levels from the power (10 log10 of |X|^2 / 32768^2), phases from the
  // package's sums, whose sine parts carry the opposite sign. Bins 0 and
  // N / 2 are real: their sums sit in the first two places.
  const auto dc = static_cast<float>(buf[0]);
  const auto top = static_cast<float>(buf[1]);
  frame.magnitudes[0] = BinLevelsPhases::LevelOfPower(static_cast<double>(dc) * dc);
  frame.phases[0] = dc < 0.0f ? kPiF : 0.0f;
  frame.magnitudes[N / 2] = BinLevelsPhases::LevelOfPower(static_cast<double>(top) * top);
  frame.phases[N / 2] = top < 0.0f ? kPiF : 0.0f;
  BinLevelsPhases::Compute(buf, 1, N / 2, frame.magnitudes, frame.phases);
}
