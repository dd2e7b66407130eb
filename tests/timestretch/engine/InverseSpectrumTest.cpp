#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "CSpectrum.h"
#include "FftWorkRecord.h"
#include "SpectralWindows.h"

namespace {

// The steps around the transform one by one: the sine parts of bins 1 on
// negated, the inverse transform, then the halves swapped, each sample
// weighted by its synthesis window entry.
std::vector<float> literal(const CSpectrum& s, std::vector<float> spectrum) {
  const std::int64_t n2 = static_cast<std::int64_t>(spectrum.size()) / 2;
  for (std::int64_t k = 3; k < 2 * n2; k += 2) spectrum[static_cast<std::size_t>(k)] = -spectrum[static_cast<std::size_t>(k)];
  sharedFftWorkRecord().RealFftFloat(static_cast<int>(2 * n2), -1, spectrum.data());
  const float* w = s.synthesisWindow.get() + s.windowOffset;
  std::vector<float> out(spectrum.size());
  for (std::int64_t i = 0; i < n2; ++i) {
    out[static_cast<std::size_t>(i)] = spectrum[static_cast<std::size_t>(n2 + i)] * w[i];
    out[static_cast<std::size_t>(n2 + i)] = spectrum[static_cast<std::size_t>(i)] * w[n2 + i];
  }
  return out;
}

}  // namespace

TEST(CSpectrumInverse, TheFrameHasTheBitsOfTheStepsDoneOneByOne) {
  struct Case {
    std::int64_t size;
    float overlap, factor;
  };
  // The bands' sizes, the smallest transforms (a tail after the vectors,
  // or no vector at all), no overlap (half the transform), and a window
  // padded to a transform that is not a power of two.
  const Case cases[] = {{256, 50.0f, 8.0f}, {64, 50.0f, 8.0f}, {4, 50.0f, 2.0f},
                        {4, 0.0f, 2.0f},    {8, 0.0f, 2.0f},   {128, 50.0f, 1.5f}};
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(-5000.0f, 5000.0f);
  for (const Case& c : cases) {
    CSpectrum s;
    s.Setup(c.size, SpectralWindows::kBlackmanHarris92, c.overlap, c.factor);
    const std::int64_t n = c.overlap == 0.0f ? s.fftBase / 2 : s.fftBase;
    std::vector<float> spectrum(static_cast<std::size_t>(n));
    for (float& v : spectrum) v = u(rng);
    spectrum[3 % spectrum.size()] = -0.0f;
    const std::vector<float> expected = literal(s, spectrum);
    std::vector<float> buffer = spectrum;
    buffer.resize(static_cast<std::size_t>(s.fftBase) + 2, 123.0f);
    ASSERT_EQ(s.InverseSpectrum(buffer.data()), 0) << c.size;
    ASSERT_EQ(std::memcmp(buffer.data(), expected.data(), expected.size() * sizeof(float)), 0)
        << c.size << " " << c.overlap << " " << c.factor;
    // Nothing past the frame is touched.
    for (std::size_t i = expected.size(); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 123.0f);
  }
}
