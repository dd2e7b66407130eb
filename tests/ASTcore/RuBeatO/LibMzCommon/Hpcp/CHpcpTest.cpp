// Pitch class profile front end: the fold against an octave-by-octave
// reference and closed-form weights, tones of known notes and their
// harmonics through the whole chain, and the type table.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Hpcp/CHpcp.h"
#include "Hpcp/DecimationFilter.h"
#include "Spectrum/CFft.h"
#include "ThrownMessage.h"

namespace {

using Hpcp::CHpcp;

const double kPi = 3.14159265358979323846;
const double kD = 30.071914672851563;

// The beat-slice generator's configuration.
std::unique_ptr<CHpcp> systemHpcp(int32_t frameSize = 16384, bool normalize = true) {
  return std::make_unique<CHpcp>(12, 6, "C0", frameSize, false, 10, false, 3, 0, normalize, 44100.0f, 48.0f);
}

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Sum of sines at the given multiples of the fundamental.
std::vector<float> harmonicTone(double f0, const std::vector<int>& harmonics, std::size_t n) {
  std::vector<float> x(n, 0.0f);
  for (std::size_t i = 0; i < n; ++i)
    for (int h : harmonics)
      x[i] += static_cast<float>(0.3 * std::sin(2 * kPi * f0 * h * static_cast<double>(i) / 44100.0));
  return x;
}

std::size_t argmax(const float* v, std::size_t n) { return static_cast<std::size_t>(std::max_element(v, v + n) - v); }

// Weighted octave sums per pitch class, then centring and scaling done with
// the textbook formulas.
void referenceFold(const std::vector<double>& in, int octaves, bool normalize, std::vector<double>& bass,
                   std::vector<double>& treble, double& bassSum, double& trebleSum) {
  bass.assign(12, 0.0);
  treble.assign(12, 0.0);
  for (int pc = 0; pc < 12; ++pc)
    for (int o = 0; o < octaves; ++o) {
      const int i = 12 * o + pc;
      bass[pc] += std::exp(-0.5 * std::pow((i - 12) / 12.0, 2)) / kD * in[i];
      treble[pc] += std::exp(-0.5 * std::pow((i - 48) / 12.0, 2)) / kD * in[i];
    }
  bassSum = trebleSum = 0;
  for (int pc = 0; pc < 12; ++pc) {
    bassSum += bass[pc];
    trebleSum += treble[pc];
  }
  if (!normalize) return;
  for (auto* p : {&bass, &treble}) {
    double mean = 0, var = 0;
    for (double v : *p) mean += v / 12;
    for (double v : *p) var += (v - mean) * (v - mean);
    for (double& v : *p) v = (v - mean) / std::sqrt(var + 1e-10);
  }
}

}  // namespace

TEST(CHpcp, UnknownTypesAreRefused) {
  auto h = systemHpcp();
  EXPECT_EQ(thrownMessage([&] { h->getSize(8); }), "Invalid TYPE");
  EXPECT_EQ(thrownMessage([&] { h->getSize(-1); }), "Invalid TYPE");
  EXPECT_EQ(thrownMessage([&] { h->getData(7); }), "Invalid TYPE");
  EXPECT_THROW(h->getData(-1), std::logic_error);
}

TEST(CHpcp, SingleSemitoneOneOctaveUpFoldsIntoBinZeroOfBothProfiles) {
  std::vector<double> in(72, 0.0);
  in[12] = 1.0;
  std::vector<double> out(24, -7.0);
  double bassSum = 0, trebleSum = 0;
  CHpcp::convertToHpcpfeature<double>(out.data(), trebleSum, bassSum, in.data(), 6, 12, 72, false);
  EXPECT_DOUBLE_EQ(out[0], 1.0 / kD);
  EXPECT_NEAR(out[12], std::exp(-4.5) / kD, 1e-15);
  for (int j = 1; j < 12; ++j) {
    EXPECT_EQ(out[j], 0.0);
    EXPECT_EQ(out[12 + j], 0.0);
  }
  EXPECT_DOUBLE_EQ(bassSum, out[0]);
  EXPECT_DOUBLE_EQ(trebleSum, out[12]);

  std::vector<float> inF(72, 0.0f), outF(24);
  inF[12] = 1.0f;
  float bF = 0, tF = 0;
  CHpcp::convertToHpcpfeature<float>(outF.data(), tF, bF, inF.data(), 6, 12, 72, false);
  EXPECT_FLOAT_EQ(outF[0], static_cast<float>(1.0 / kD));
  EXPECT_FLOAT_EQ(outF[12], static_cast<float>(std::exp(-4.5) / kD));
}

TEST(CHpcp, GaussianWeightsOfTheLowestAndTheFourthOctave) {
  struct Case {
    int index;
    double bass, treble;
  } cases[] = {{48, std::exp(-4.5), 1.0}, {0, std::exp(-0.5), std::exp(-8.0)}, {30, std::exp(-1.125), std::exp(-1.125)}};
  for (const auto& c : cases) {
    std::vector<double> in(72, 0.0), out(24);
    in[c.index] = 1.0;
    double b = 0, t = 0;
    CHpcp::convertToHpcpfeature<double>(out.data(), t, b, in.data(), 6, 12, 72, false);
    EXPECT_NEAR(out[c.index % 12] * kD, c.bass, 1e-12) << c.index;
    EXPECT_NEAR(out[12 + c.index % 12] * kD, c.treble, 1e-12) << c.index;
  }
}

TEST(CHpcp, FoldMatchesAnOctaveByOctaveReference) {
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> dist(0.0, 40.0);
  for (bool normalize : {false, true}) {
    std::vector<double> in(72);
    for (auto& v : in) v = dist(gen);
    std::vector<double> out(24), bass, treble;
    double b = 0, t = 0, rb = 0, rt = 0;
    CHpcp::convertToHpcpfeature<double>(out.data(), t, b, in.data(), 6, 12, 72, normalize);
    referenceFold(in, 6, normalize, bass, treble, rb, rt);
    for (int j = 0; j < 12; ++j) {
      EXPECT_NEAR(out[j], bass[j], 1e-9);
      EXPECT_NEAR(out[12 + j], treble[j], 1e-9);
    }
    EXPECT_NEAR(b, rb, 1e-9);
    EXPECT_NEAR(t, rt, 1e-9);

    std::vector<float> inF(in.begin(), in.end()), outF(24);
    float bF = 0, tF = 0;
    CHpcp::convertToHpcpfeature<float>(outF.data(), tF, bF, inF.data(), 6, 12, 72, normalize);
    for (int j = 0; j < 12; ++j) {
      EXPECT_NEAR(outF[j], bass[j], 1e-4 * std::max(1.0, std::fabs(bass[j])));
      EXPECT_NEAR(outF[12 + j], treble[j], 1e-4 * std::max(1.0, std::fabs(treble[j])));
    }
  }
}

TEST(CHpcp, NormalisationCentresAndScalesEachProfile) {
  // One octave scaled against the bass weights: a flat bass profile.
  std::vector<double> flat(72, 0.0);
  for (int j = 12; j < 24; ++j) flat[j] = 5.0 / std::exp(-0.5 * std::pow((j - 12) / 12.0, 2));
  std::vector<double> out(24);
  double b = 0, t = 0;
  CHpcp::convertToHpcpfeature<double>(out.data(), t, b, flat.data(), 6, 12, 72, true);
  for (int j = 0; j < 12; ++j) EXPECT_NEAR(out[j], 0.0, 1e-9);
  EXPECT_NEAR(b, 60.0 / kD, 1e-9);  // sums are taken before normalisation

  std::vector<double> single(72, 0.0);
  single[40] = 3.0;
  CHpcp::convertToHpcpfeature<double>(out.data(), t, b, single.data(), 6, 12, 72, true);
  // 11/sqrt(132) and -1/sqrt(132), shrunk a little by the 1e-10 term where
  // the weight makes the value small.
  const double values[2] = {3.0 * std::exp(-0.5 * std::pow(28 / 12.0, 2)) / kD,
                            3.0 * std::exp(-0.5 * std::pow(-8 / 12.0, 2)) / kD};
  for (int p = 0; p < 2; ++p) {
    const double v = values[p];
    const double length = std::sqrt(132.0 * v * v / 144.0 + 1.000000013351432e-10);
    for (int j = 0; j < 12; ++j) {
      EXPECT_NEAR(out[12 * p + j], (j == 4 ? 11.0 : -1.0) * v / 12.0 / length, 1e-9);
      EXPECT_NEAR(out[12 * p + j], j == 4 ? 11 / std::sqrt(132.0) : -1 / std::sqrt(132.0), 1e-5);
    }
  }
}

TEST(CHpcp, FoldRejectsTooFewBinsOrInputs) {
  std::vector<double> in(72, 1.0), out(24);
  double b = 0, t = 0;
  EXPECT_THROW(CHpcp::convertToHpcpfeature<double>(out.data(), t, b, in.data(), 6, 12, 71, false),
               std::invalid_argument);
  EXPECT_THROW(CHpcp::convertToHpcpfeature<double>(out.data(), t, b, in.data(), 6, 6, 72, false),
               std::invalid_argument);
  EXPECT_THROW(CHpcp::convertToHpcpfeature<double>(nullptr, t, b, in.data(), 6, 12, 72, false),
               std::invalid_argument);
}

TEST(CHpcp, PureToneLandsInItsPitchClass) {
  auto h = systemHpcp(16384, false);
  for (int note : {48, 50, 55, 57, 61, 64, 70}) {
    const auto x = harmonicTone(noteFrequency(note), {1}, 16384);
    h->processToHpcp(x.data(), 16384);
    EXPECT_EQ(argmax(h->getData(0), 12), static_cast<std::size_t>(note % 12)) << note;
    EXPECT_EQ(argmax(h->getData(1), 12), static_cast<std::size_t>(note % 12)) << note;
    EXPECT_EQ(argmax(h->getData(3), 72), static_cast<std::size_t>(note - 24)) << note;
  }
}

TEST(CHpcp, OctaveHarmonicsFoldIntoTheFundamentalsClassAndTheThirdIntoItsFifth) {
  auto h = systemHpcp(16384, false);
  const int note = 50;  // D
  const auto octaves = harmonicTone(noteFrequency(note), {1, 2, 4}, 16384);
  h->processToHpcp(octaves.data(), 16384);
  const float* s = h->getData(3);
  for (int k : {0, 12, 24}) EXPECT_GT(s[note - 24 + k], 1.0f) << k;
  const float* treble = h->getData(1);
  for (int pc = 0; pc < 12; ++pc)
    if (pc != note % 12) {
      EXPECT_LT(treble[pc], 0.1f * treble[note % 12]) << pc;
    }

  const auto withThird = harmonicTone(noteFrequency(note), {1, 3}, 16384);
  h->processToHpcp(withThird.data(), 16384);
  EXPECT_GT(h->getData(3)[note - 24 + 19], 1.0f);
  std::vector<float> t(h->getData(1), h->getData(1) + 12);
  const int fifth = (note + 7) % 12;
  for (int pc = 0; pc < 12; ++pc)
    if (pc != note % 12 && pc != fifth) {
      EXPECT_LT(t[pc], t[fifth]) << pc;
    }
  EXPECT_GT(t[fifth], 0.1f * t[note % 12]);
}

TEST(CHpcp, FeatureIsTheFoldOfTheSemitoneCopy) {
  auto h = systemHpcp();
  const auto x = harmonicTone(noteFrequency(57), {1, 2, 3, 5}, 16384);
  h->processToHpcp(x.data(), 16384);
  std::vector<float> semis(h->getData(3), h->getData(3) + 72), out(24);
  float b = 0, t = 0;
  CHpcp::convertToHpcpfeature<float>(out.data(), t, b, semis.data(), 6, 12, 72, true);
  for (int j = 0; j < 24; ++j) EXPECT_FLOAT_EQ(h->getData(4)[j], out[j]);
  EXPECT_FLOAT_EQ(*h->getData(5), b);
  EXPECT_FLOAT_EQ(*h->getData(6), t);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(h->getSemitonePower(24 + i), semis[i]);
}

TEST(CHpcp, CallerSpectrumGivesTheSameFeatureAsTheFrame) {
  auto h = systemHpcp();
  const auto x = harmonicTone(noteFrequency(62), {1, 2, 3}, 16384);
  h->processToHpcp(x.data(), 16384);
  const std::vector<float> fromFrame(h->getData(4), h->getData(4) + 26);

  // The frame path low-passes before it decimates; the caller's spectrum is
  // made from the same low-passed frame.
  std::vector<float> lowPassed = x;
  Hpcp::lowPassForDecimation(lowPassed.data(), static_cast<int32_t>(lowPassed.size()));
  CFft fft(4096, 256);
  fft.MakeWindow(4096, CFft::Hann);
  std::vector<float> mags(2048);
  fft.ComputeMagnitude(mags.data(), lowPassed.data(), 16384, -1, true, 4);
  EXPECT_EQ(h->processSpectrum(mags.data()), 0);
  for (int j = 0; j < 26; ++j) EXPECT_FLOAT_EQ(h->getData(4)[j], fromFrame[j]) << j;
}

TEST(CHpcp, ProcessAndCopyHandsOutTheSemitonePowers) {
  auto h = systemHpcp(8192);
  const auto x = harmonicTone(noteFrequency(66), {1}, 8192);
  std::vector<float> out(72, -1.0f);
  h->processAndCopy(out.data(), x.data(), 8192);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(out[i], h->getData(3)[i]);
  EXPECT_EQ(argmax(out.data(), 72), 42u);
}

TEST(CHpcp, RaisedReferenceFrequencyShiftsThePitchClass) {
  auto h = systemHpcp(16384, false);
  h->setReferenceFrequency(static_cast<float>(noteFrequency(70)));  // B flat is now called A
  const auto x = harmonicTone(noteFrequency(70), {1}, 16384);
  h->processToHpcp(x.data(), 16384);
  EXPECT_EQ(argmax(h->getData(1), 12), 9u);
  EXPECT_EQ(h->getSize(3), 72);
}

TEST(CHpcp, WhiteningCanBeSwitchedOff) {
  auto h = systemHpcp();
  h->setWhitening(false);
  const auto x = harmonicTone(noteFrequency(60), {1}, 16384);
  h->process(x.data(), 16384);
  const float raw = h->getSemitonePower(60);
  h->setWhitening(true);
  h->process(x.data(), 16384);
  // The local average is removed only when whitening is on.
  EXPECT_GT(raw, h->getSemitonePower(60));
}

TEST(CHpcp, BadConfigurationLeavesTheConstructor) {
  EXPECT_THROW(CHpcp(12, 6, "C0", 0, false, 10, false, 3, 0, true, 44100.0f, 48.0f), std::invalid_argument);
  EXPECT_THROW(CHpcp(12, 6, "C0", 16384, false, 10, false, 0, 0, true, 44100.0f, 48.0f), std::invalid_argument);
  EXPECT_THROW(CHpcp(12, 6, "C0", 16384, false, 10, false, 3, 0, true, 200000.0f, 48.0f), std::invalid_argument);
  EXPECT_THROW(CHpcp(12, 6, "C#0", 16384, false, 10, false, 3, 0, true, 44100.0f, 48.0f), std::invalid_argument);
}

TEST(CHpcp, ReleasedFrontEndHasNoMethod) {
  auto h = systemHpcp();
  EXPECT_EQ(h->release(), 0);
  EXPECT_FLOAT_EQ(h->getSemitonePower(30), 0.0f);
  std::vector<float> mags(2048, 1.0f);
  EXPECT_EQ(thrownMessage([&] { h->processSpectrum(mags.data()); }), "ISemitone is not FFTSemitone");
  std::vector<float> x(16384, 0.0f);
  EXPECT_THROW(h->process(x.data(), 16384), std::logic_error);
  EXPECT_EQ(h->getSize(3), 0);
  EXPECT_EQ(h->getData(3), nullptr);
  EXPECT_EQ(h->getData(4), nullptr);
}

TEST(CHpcp, RangesWiderThan127SemitonesFitTheSemitoneCopy) {
  CHpcp h(12, 11, "C-2", 16384, false, 10, false, 3, 0, true, 44100.0f, 48.0f);
  EXPECT_EQ(h.getSize(3), 132);
  const auto x = harmonicTone(noteFrequency(69), {1}, 16384);
  h.processToHpcp(x.data(), 16384);
  EXPECT_EQ(argmax(h.getData(3), 132), 69u);
  EXPECT_FLOAT_EQ(h.getData(3)[131], h.getSemitonePower(131));
}
