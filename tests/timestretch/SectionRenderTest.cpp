// A section of the fluidsynth-rendered test song goes through the stretch
// job the way the core's time-stretch manager drives it: two bars at 120
// beats per minute become two bars at 100.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "TestSong.h"
#include "TimeStretchJob.h"

namespace {

// Starts of the attacks: 5 ms blocks whose energy jumps above four times
// that of the 20 ms before, at least 100 ms apart.
std::vector<double> attacks(const std::vector<float>& x) {
  constexpr std::size_t kBlock = 220;
  std::vector<double> energy(x.size() / kBlock);
  for (std::size_t b = 0; b < energy.size(); ++b)
    for (std::size_t i = b * kBlock; i < (b + 1) * kBlock; ++i) energy[b] += double(x[i]) * x[i];
  double loudest = 0.0;
  for (double e : energy) loudest = std::max(loudest, e);
  std::vector<double> found;
  for (std::size_t b = 4; b < energy.size(); ++b) {
    const double before = (energy[b - 1] + energy[b - 2] + energy[b - 3] + energy[b - 4]) / 4.0;
    if (energy[b] > 4.0 * before && energy[b] > 1e-3 * loudest &&
        (found.empty() || b * kBlock / 44100.0 - found.back() > 0.1))
      found.push_back(b * kBlock / 44100.0);
  }
  return found;
}

}  // namespace

TEST(SectionRender, TwoBarsOfTheSongBecomeTwoBarsAtTheTargetTempo) {
  const QString wav = TestSong::render(2, 120, "section");
  if (wav.isEmpty()) GTEST_SKIP() << "fluidsynth or its sound font is not installed";
  std::vector<std::int16_t> frames = TestSong::readFrames(wav);
  ASSERT_GE(frames.size(), 2u * 176400u);
  frames.resize(2 * 176400);  // the two bars, without the release tail

  TimeStretchJob job;
  job.SetFormat(JobWaveFormat());
  job.SetFrameCounts(176400);
  job.SetTempo(100.0);
  job.ClearBuffers();
  for (std::size_t i = 0; i < 176400; ++i) {
    const auto l = static_cast<std::uint16_t>(frames[2 * i]), r = static_cast<std::uint16_t>(frames[2 * i + 1]);
    const std::uint8_t frame[4] = {std::uint8_t(l & 0xFF), std::uint8_t(l >> 8), std::uint8_t(r & 0xFF),
                                   std::uint8_t(r >> 8)};
    job.PushSample(frame);
  }
  job.SetTimeSignature(4, 4);
  TimeMachineInput info;
  job.GetBufferInfo(&info);
  StretchRegionList regions;
  job.SetRegions(regions, {0, 88200, 176400}, 2);
  ASSERT_EQ(regions.size(), 2u);
  ASSERT_EQ(job.Run(regions, info), 2 * 105840) << "two bars of 2.4 s";

  std::vector<float> in(176400), out(2 * 105840);
  double inEnergy = 0.0, outEnergy = 0.0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    in[i] = frames[2 * i];
    inEnergy += double(in[i]) * in[i];
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = job.GetOutputSample(0, static_cast<std::int64_t>(i));
    outEnergy += double(out[i]) * out[i];
  }
  EXPECT_NEAR(10.0 * std::log10(outEnergy / out.size() / (inEnergy / in.size())), 0.0, 2.0) << "level kept";

  // Every attack of the section (after the first frames, which have no
  // past to rise from) lands 1.2 times later.
  const std::vector<double> before = attacks(in), after = attacks(out);
  ASSERT_GE(before.size(), 8u);
  std::size_t kept = 0, checked = 0;
  for (double t : before) {
    if (t < 0.05) continue;
    ++checked;
    for (double u : after) {
      if (std::fabs(u - 1.2 * t) < 0.015) {
        ++kept;
        break;
      }
    }
  }
  EXPECT_EQ(kept, checked);
  EXPECT_LE(after.size(), before.size() + 1) << "at most one attack more than went in";
}
