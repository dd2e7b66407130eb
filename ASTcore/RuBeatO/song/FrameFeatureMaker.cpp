#include "FrameFeatureMaker.h"

#include <algorithm>
#include <cmath>

#include "CFft.h"

namespace MzMir {

namespace {

constexpr float kBandEdges[FrameFeatureMaker::kBands + 2] = {
    100,  200,  300,  400,  500,  600,  700,  800,  900,  1000, 1149, 1320,
    1516, 1741, 2000, 2297, 2639, 3031, 3482, 4000, 4595, 5278, 6063, 6964};

// The cosine transform was tuned with this value of pi.
constexpr double kPi = 3.14159;

std::vector<float> bandWeights(int band, float binHz, std::size_t bins) {
  std::vector<float> w(bins, 0.0f);
  const float lo = kBandEdges[band], mid = kBandEdges[band + 1], hi = kBandEdges[band + 2];
  const auto clampBin = [bins](float f) { return std::min(static_cast<std::size_t>(std::trunc(f)), bins); };
  for (std::size_t k = clampBin(lo / binHz); k < clampBin(mid / binHz); ++k)
    w[k] = std::max(0.0f, (static_cast<float>(k) * binHz - lo) / (mid - lo));
  for (std::size_t k = clampBin(mid / binHz); k < clampBin(hi / binHz); ++k)
    w[k] = std::max(0.0f, 1.0f - (static_cast<float>(k) * binHz - mid) / (hi - mid));
  return w;
}

std::vector<float> chromaWeights(int pitchClass, float binHz, std::size_t bins) {
  // Pitch classes count from C, the centre frequencies from A.
  const int c = (pitchClass + 3) % 12;
  std::vector<float> w(bins, 0.0f);
  std::vector<double> g(bins);
  for (int octave = -3; octave <= 3; ++octave) {
    const double f = 440.0 * std::pow(2.0, static_cast<double>(c + 12 * octave) / 12.0);
    double squares = 0.0;
    for (std::size_t k = 0; k < bins; ++k) {
      const double x = (static_cast<double>(k) * binHz - f) / f;
      const double v = std::exp(-3000.0 * x * x);
      g[k] = v > 1e-30 ? v : 0.0;
      squares += g[k] * g[k];
    }
    const double norm = std::sqrt(squares);
    if (!(norm > 0.0)) continue;
    for (std::size_t k = 0; k < bins; ++k)
      if (g[k] > 1e-30) w[k] += static_cast<float>(g[k] / norm);
  }
  return w;
}

}  // namespace

FrameFeatureMaker::FrameFeatureMaker(std::uint32_t n)
    : fft(std::make_shared<CFft>(n, 1)), frameLength(n), frame(n, 0.0f), spectrum(n / 2 + 1, 0.0f),
      D(static_cast<std::size_t>(kBands) * kBands) {
  fft->MakeWindow(n, CFft::BartlettHann);
  for (int k = 0; k < kBands; ++k)
    for (int j = 0; j < kBands; ++j) {
      const float m = static_cast<float>(k * (2 * j + 1));
      D[static_cast<std::size_t>(k * kBands + j)] = 2.0 * std::cos(kPi * m / 44.0);
    }
}

FrameFeatureMaker::~FrameFeatureMaker() = default;

void FrameFeatureMaker::init(float sampleRate) {
  const float binHz = sampleRate / static_cast<float>(frameLength);
  const std::size_t bins = frameLength / 2 + 1;
  for (int band = 0; band < kBands; ++band) setWindow(band, bandWeights(band, binHz, bins));
  for (int p = 0; p < kChroma; ++p) setWindow(kBands + p, chromaWeights(p, binHz, bins));
}

std::vector<double> FrameFeatureMaker::compute(const std::vector<double>& samples) {
  const std::size_t N = frameLength;
  const std::size_t n = samples.size();
  if (n >= N) {
    std::transform(samples.end() - static_cast<long>(N), samples.end(), frame.begin(),
                   [](double v) { return static_cast<float>(v); });
  } else {
    std::copy(frame.begin() + static_cast<long>(n), frame.end(), frame.begin());
    std::transform(samples.begin(), samples.end(), frame.end() - static_cast<long>(n),
                   [](double v) { return static_cast<float>(v); });
  }
  fft->ComputeMagnitude(spectrum.data(), frame.data(), N, -1, true, 1);
  apply(spectrum.data());
  return std::vector<double>(outputs.begin(), outputs.end());
}

}  // namespace MzMir
