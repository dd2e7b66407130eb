#include "CFrameAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "EngineArray.h"
#include "PhaseMath.h"
#include "SpectralWindows.h"

namespace {

constexpr float kNoEnergy = -std::numeric_limits<float>::max();
constexpr float kPiF = 3.14159265358979f;
// Full scale 32768 is 0 dB: 20 log10(32768).
constexpr double kFullScaleDb = 90.30899869919435;

// 10 log10(power) for power > 0, within 1e-8 dB: the exponent, and the
// logarithm of the mantissa (brought within [sqrt(1/2), sqrt(2))) from the
// series 2 atanh(s) = ln((1 + s) / (1 - s)), |s| < 0.172, to s^11.
inline double powerDb(double power) {
  // power = m 2^e, m in [1/2, 1), read from the bits for normal numbers
  // (the library call costs more than the rest of the bin).
  std::uint64_t bits;
  std::memcpy(&bits, &power, sizeof bits);
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  int e = 0;
  double m;
  if (biased != 0 && biased != 0x7ff) {
    e = biased - 1022;
    bits = (bits & 0x800fffffffffffffULL) | (std::uint64_t{1022} << 52);
    std::memcpy(&m, &bits, sizeof m);
  } else {
    m = std::frexp(power, &e);
  }
  if (m < 0.7071067811865476) {
    m *= 2.0;
    --e;
  }
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  const double series = s * (2.0 + s2 * (2.0 / 3.0 + s2 * (0.4 + s2 * (2.0 / 7.0 + s2 * (2.0 / 9.0 + s2 * (2.0 / 11.0))))));
  constexpr double kDbPerNeper = 4.342944819032518;  // 10 / ln 10
  constexpr double kLn2 = 0.6931471805599453;
  return kDbPerNeper * (static_cast<double>(e) * kLn2 + series);
}

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
  float* buf = fftBuffer_.get();
  // The ring's samples around the read position, p - side .. p + side, as
  // at most two straight runs.
  const std::int64_t L = ringLength_;
  const std::int64_t first = ((readPosition_ - side) % L + L) % L;
  float* span = frameScratch_.get();
  const std::int64_t count = 2 * side + 1;
  const std::int64_t run = std::min(count, L - first);
  std::copy(ring_ + first, ring_ + first + run, span);
  std::copy(ring_, ring_ + (count - run), span + run);
  const float* x = span + side;  // x[0] is the sample at the read position
  // Only the middle, between the two sides, stays zero.
  std::fill(buf + side + 1, buf + N - side, 0.0f);
  buf[0] = w[k] * x[0];
  for (std::int64_t i = 1; i <= side; ++i) {
    buf[i] = w[k + i] * x[i];
    buf[N - i] = w[k - i] * x[-i];
  }
  RealFft(static_cast<int>(N), 1, buf);

  // Levels from the power (10 log10 of |X|^2 / 32768^2), phases from the
  // package's sums, whose sine parts carry the opposite sign.
  auto level = [](double power) {
    return power > 0.0 ? static_cast<float>(powerDb(power) - kFullScaleDb) : kNoEnergy;
  };
  frame.magnitudes[0] = level(static_cast<double>(buf[0]) * buf[0]);
  frame.phases[0] = buf[0] < 0.0f ? kPiF : 0.0f;
  frame.magnitudes[N / 2] = level(static_cast<double>(buf[1]) * buf[1]);
  frame.phases[N / 2] = buf[1] < 0.0f ? kPiF : 0.0f;
  for (std::int64_t b = 1; b < N / 2; ++b) {
    const double re = buf[2 * b];
    const double im = -static_cast<double>(buf[2 * b + 1]);
    frame.magnitudes[b] = level(re * re + im * im);
    frame.phases[b] = static_cast<float>(PhaseMath::Atan2(im, re));
  }
}
