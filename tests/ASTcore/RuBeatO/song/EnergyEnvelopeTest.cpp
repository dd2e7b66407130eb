// The energy envelope against a direct computation over the whole buffer,
// whatever the blocks it is fed in.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "EnergyEnvelope.h"

namespace {

std::vector<float> randomFrames(std::size_t frames, std::uint32_t channels, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  std::vector<float> v(frames * channels);
  for (float& x : v) x = dist(gen);
  return v;
}

// Mean square of the channel mean over each hop; a short last hop is
// averaged over what it holds.
std::vector<double> reference(const std::vector<float>& v, std::size_t frames, std::uint32_t channels,
                              std::size_t hop) {
  std::vector<double> out;
  for (std::size_t start = 0; start < frames; start += hop) {
    const std::size_t end = std::min(frames, start + hop);
    double sum = 0.0;
    for (std::size_t f = start; f < end; ++f) {
      double m = 0.0;
      for (std::uint32_t c = 0; c < channels; ++c) m += v[f * channels + c];
      m /= channels;
      sum += m * m;
    }
    out.push_back(sum / static_cast<double>(end - start));
  }
  return out;
}

}  // namespace

TEST(EnergyEnvelope, BlocksOfAnySizeGiveTheEnvelopeOfTheWholeBuffer) {
  for (std::uint32_t channels : {1u, 2u, 3u}) {
    const std::size_t frames = 10007;  // a partial last hop
    const std::vector<float> v = randomFrames(frames, channels, channels);
    const std::vector<double> expected = reference(v, frames, channels, 256);

    std::mt19937 gen(7);
    std::uniform_int_distribution<std::size_t> size(0, 700);
    EnergyEnvelope env(256);
    std::size_t done = 0;
    while (done < frames) {
      const std::size_t n = std::min(frames - done, size(gen));
      env.push(v.data() + done * channels, n, channels);
      done += n;
    }
    EXPECT_EQ(env.energy().size(), expected.size() - 1) << "the partial hop waits for finish";
    env.finish();
    ASSERT_EQ(env.energy().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      ASSERT_NEAR(env.energy()[i], expected[i], 1e-6 * (1.0 + expected[i])) << channels << " ch, hop " << i;
    EXPECT_EQ(env.framesPushed(), frames);
  }
}
