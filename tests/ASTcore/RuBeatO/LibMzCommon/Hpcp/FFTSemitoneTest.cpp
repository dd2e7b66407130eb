// Semitone power against tones of known notes, an independent double-precision
// model of the band analysis, and the configuration limits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "Hpcp/CHpcp.h"
#include "Hpcp/FFTSemitone.h"
#include "MzMir/Numeric/PitchConversion.h"
#include "ThrownMessage.h"

namespace {

using Hpcp::FFTSemitone;

const double kPi = 3.14159265358979323846;

Hpcp::HpcpParams systemParams(int32_t frameSize = 16384) {
  Hpcp::HpcpParams p;
  p.binsPerOctave = 12;
  p.octaves = 6;
  p.lowestNote = 24;
  p.frameSize = frameSize;
  p.oversample = 3;
  p.fs = 44100.0f;
  p.refFreq = 440.0f;
  return p;
}

std::vector<float> tone(double freq, std::size_t n, double fs = 44100.0, double amplitude = 0.5) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = static_cast<float>(amplitude * std::sin(2 * kPi * freq * static_cast<double>(i) / fs));
  return x;
}

double noteFrequency(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

std::size_t argmax(const float* v, std::size_t n) { return static_cast<std::size_t>(std::max_element(v, v + n) - v); }

// The band analysis written out plainly in double precision: the spline in
// its textbook form, the whitening average as a direct 65-tap sum with a
// freshly computed Hann kernel, the band of each bin from its frequency.
std::vector<double> referenceBands(const std::vector<float>& mags, int r, double fs, int lowNote, int count,
                                   bool whitening) {
  const int m = static_cast<int>(mags.size());
  const int nb = m * r;
  const double nyq = fs / 8.0;
  std::vector<double> db(m + 3, 0.0);
  for (int k = 0; k < m; ++k) db[k] = 10.0 * std::log10(mags[k] + 1.0);
  const int k2 = std::min(nb, static_cast<int>(nb * 2640.0 / nyq));
  std::vector<double> s(nb, 0.0);
  if (r == 1) {
    for (int k = 0; k < m; ++k) s[k] = db[k];
  } else {
    const int kk = std::min(m - 1, static_cast<int>(m * 2640.0 / nyq));
    for (int k = 0; k < kk; ++k)
      for (int j = 0; j < r; ++j) {
        const double t = static_cast<double>(j) / r;
        const double p0 = db[k], p1 = db[k + 1], p2 = db[k + 2], p3 = db[k + 3];
        s[r * (k + 1) + j] = 0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                                    (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
      }
    for (int i = 0; i < r * kk; ++i) s[i] = std::max(s[i], 0.0);
  }
  if (whitening) {
    std::vector<double> h(65);
    double sum = 0;
    for (int k = 0; k < 65; ++k) sum += h[k] = 0.5 - 0.5 * std::cos(k * 6.28318 / 64.0);
    std::vector<double> avg(k2, 0.0);
    for (int i = 0; i < k2; ++i)
      for (int k = 0; k < 65; ++k) {
        const int p = i - 32 + k;
        if (p >= 0 && p < k2) avg[i] += h[k] / sum * s[p];
      }
    for (int i = 0; i < k2; ++i) s[i] = std::max(0.0, s[i] - avg[i]);
  }
  auto bandOf = [&](int b) {
    int band = -1;
    for (int i = 0; i < count; ++i) {
      const double f = 440.0 * std::pow(2.0, (lowNote + i - 69) / 12.0);
      const double lo = f / std::pow(2.0, 1.0 / 24) * nb / nyq + 0.5;
      const double hi = nb * f * std::pow(2.0, 1.0 / 24) / nyq + 0.5;
      if (b >= static_cast<int>(lo) && b < static_cast<int>(hi) + 1) band = i;
    }
    return band;
  };
  std::vector<double> powers(count, 0.0001);
  for (int i = 2; i < k2;) {
    const bool peak = i + 2 < nb && s[i] > s[i - 2] && s[i] > s[i - 1] && s[i] > s[i + 1] && s[i] > s[i + 2];
    if (!peak) {
      ++i;
      continue;
    }
    const int band = bandOf(i);
    if (band >= 13) powers[band] = std::max(powers[band], s[i]);
    i += 3;
  }
  return powers;
}

}  // namespace

TEST(FFTSemitone, BandMapPutsEachBinInTheSemitoneWhoseBandHoldsItsFrequency) {
  FFTSemitone s;
  s.setParams(systemParams());
  const auto& map = s.getBandMap();
  const double nyq = 44100.0 / 8;
  const double edge = std::pow(2.0, 1.0 / 24);
  int checked = 0;
  for (std::size_t b = 0; b < map.size(); ++b) {
    const double f = static_cast<double>(b) * nyq / static_cast<double>(map.size());
    const double note = 69 + 12 * std::log2(f / 440.0);
    const int nearest = static_cast<int>(std::lround(note));
    if (f <= 0 || nearest < 24 || nearest > 95) continue;
    // Bins right at an edge may go either way by the rounding of the edges.
    const double fc = noteFrequency(nearest);
    const double binWidth = nyq / static_cast<double>(map.size());
    if (std::fabs(f - fc / edge) < 1.5 * binWidth || std::fabs(f - fc * edge) < 1.5 * binWidth) continue;
    EXPECT_EQ(map[b], nearest - 24) << "bin " << b;
    ++checked;
  }
  EXPECT_GT(checked, 1800);
  // Centres are the equal-tempered frequencies of the range.
  for (uint32_t i = 0; i < s.getCount(); ++i)
    EXPECT_NEAR(s.getCentres()[i], noteFrequency(24 + static_cast<int>(i)), 1e-3 * noteFrequency(24 + static_cast<int>(i)));
}

TEST(FFTSemitone, SilentFrameGivesTheFloorEverywhere) {
  FFTSemitone s;
  s.setParams(systemParams());
  std::vector<float> silence(16384, 0.0f);
  s.compute(silence.data(), 16384);
  for (uint32_t i = 0; i < s.getCount(); ++i) EXPECT_FLOAT_EQ(s.getPowers()[i], 0.0001f);
}

TEST(FFTSemitone, PureToneOfAKnownNoteIsStrongestInItsSemitone) {
  for (int frameSize : {16384, 8192}) {
    for (bool whitening : {true, false}) {
      FFTSemitone s;
      s.setParams(systemParams(frameSize));
      s.setWhitening(whitening);
      for (int index : {20, 27, 33, 40, 52, 64, 71}) {
        const auto x = tone(noteFrequency(24 + index), static_cast<std::size_t>(frameSize));
        s.compute(x.data(), frameSize);
        EXPECT_EQ(argmax(s.getPowers(), s.getCount()), static_cast<std::size_t>(index))
            << "frame " << frameSize << " whitening " << whitening;
        EXPECT_GT(s.getPowers()[index], 1.0f);
      }
    }
  }
}

TEST(FFTSemitone, ToneAboveTheDecimatedNyquistLeavesThePowersAndChromaNearTheFloor) {
  // Each tone lies above fs/8 and, read every fourth sample, would fold onto
  // the in-band frequency beside it.
  const std::pair<double, double> folding[] = {{9000.0, 2025.0}, {10000.0, 1025.0}, {13000.0, 1975.0}};
  for (const auto& [above, folded] : folding) {
    double chromaSum[2] = {};
    float strongest[2] = {};
    int k = 0;
    for (double hz : {folded, above}) {
      FFTSemitone s;
      s.setParams(systemParams());
      const auto x = tone(hz, 16384);
      s.compute(x.data(), 16384);
      strongest[k] = *std::max_element(s.getPowers(), s.getPowers() + 72);
      const std::vector<double> powers(s.getPowers(), s.getPowers() + 72);
      std::vector<double> chroma(24);
      double trebleSum = 0, bassSum = 0;
      Hpcp::CHpcp::convertToHpcpfeature<double>(chroma.data(), trebleSum, bassSum, powers.data(), 6, 12, 72, true);
      chromaSum[k++] = trebleSum + bassSum;
    }
    EXPECT_GT(strongest[0], 12.0f) << folded;
    EXPECT_LT(strongest[1], 0.15f * strongest[0]) << above;
    EXPECT_LT(chromaSum[1], 0.15 * chromaSum[0]) << above;
  }
}

TEST(FFTSemitone, TonesInTheLowestThirteenSemitonesChangeNoPower) {
  FFTSemitone s;
  s.setParams(systemParams());
  const auto x = tone(noteFrequency(24 + 6), 16384);
  s.compute(x.data(), 16384);
  for (int i = 0; i < 13; ++i) EXPECT_FLOAT_EQ(s.getPowers()[i], 0.0001f) << i;
}

TEST(FFTSemitone, BandAnalysisMatchesAPlainDoublePrecisionModel) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> dist(0.0f, 30.0f);
  for (int r : {1, 2, 3}) {
    for (bool whitening : {true, false}) {
      Hpcp::HpcpParams p = systemParams(8192);
      p.oversample = r;
      FFTSemitone s;
      s.setParams(p);
      s.setWhitening(whitening);
      std::vector<float> mags(1024);
      for (auto& v : mags) v = dist(gen) * dist(gen);
      s.computeBands(mags.data());
      const auto ref = referenceBands(mags, r, 44100.0, 24, 72, whitening);
      int peaks = 0;
      for (int i = 0; i < 72; ++i) {
        EXPECT_NEAR(s.getPowers()[i], ref[i], 1e-3 * std::max(1.0, ref[i])) << "r " << r << " semitone " << i;
        peaks += ref[i] > 0.001;
      }
      EXPECT_GT(peaks, 30);
    }
  }
}

TEST(FFTSemitone, PeaksThreePositionsApartAreBothCounted) {
  Hpcp::HpcpParams p = systemParams(8192);
  p.oversample = 1;
  FFTSemitone s;
  s.setParams(p);
  s.setWhitening(false);
  const auto& map = s.getBandMap();
  std::size_t at = 0;
  for (std::size_t b = 2; b + 5 < 400; ++b)
    if (map[b] >= 20 && map[b] == map[b + 3]) {
      at = b;
      break;
    }
  ASSERT_NE(at, 0u);
  std::vector<float> mags(1024, 0.0f);
  mags[at] = 10.0f;
  mags[at + 3] = 99.0f;  // only the second peak can give 20 dB
  s.computeBands(mags.data());
  EXPECT_FLOAT_EQ(s.getPowers()[map[at]], 20.0f);
  mags[at] = 99.0f;
  mags[at + 3] = 10.0f;
  s.computeBands(mags.data());
  EXPECT_FLOAT_EQ(s.getPowers()[map[at]], 20.0f);
}

TEST(FFTSemitone, FrameSizeOutsideOneTo65535IsRejected) {
  FFTSemitone s;
  const char* msg = "Framesize should be positive and less than 65535";
  EXPECT_EQ(thrownMessage([&] { s.setRange(24, 95, 65536, 3, 44100.0f); }), msg);
  EXPECT_EQ(thrownMessage([&] { s.setRange(24, 95, 0, 3, 44100.0f); }), msg);
  // 65535 passes that check; its quarter is no power of two, which the
  // transform refuses, and the previous frame size stays.
  s.setRange(24, 95, 16384, 3, 44100.0f);
  const std::string other = thrownMessage([&] { s.setRange(24, 95, 65535, 3, 44100.0f); });
  EXPECT_NE(other, "");
  EXPECT_NE(other, msg);
  EXPECT_EQ(s.getFrameSize(), 16384);
  EXPECT_EQ(s.getTransformSize(), 4096u);
}

TEST(FFTSemitone, SamplingRateMustLieAboveZeroAndAtMost192kHz) {
  FFTSemitone s;
  EXPECT_NO_THROW(s.setFs(192000.0f));
  const char* msg = "Fs should be between 0 and 192kHz";
  EXPECT_EQ(thrownMessage([&] { s.setFs(0.0f); }), msg);
  EXPECT_EQ(thrownMessage([&] { s.setFs(192000.02f); }), msg);
  EXPECT_EQ(thrownMessage([&] { s.setFs(-1.0f); }), msg);
  EXPECT_EQ(thrownMessage([&] { s.setFs(std::nanf("")); }), msg);
}

TEST(FFTSemitone, ZeroOversamplingIsRejectedAfterTheFrameSizeIsApplied) {
  FFTSemitone s;
  s.setRange(24, 95, 16384, 3, 44100.0f);
  EXPECT_EQ(thrownMessage([&] { s.setRange(24, 95, 8192, 0, 44100.0f); }), "Oversample Ratio should be positive");
  EXPECT_EQ(s.getFrameSize(), 8192);
  EXPECT_EQ(s.getOversample(), 3);
  EXPECT_EQ(s.getSpectrum().size(), 3072u);
}

TEST(FFTSemitone, GetPowerCoversExactlyTheConfiguredRange) {
  FFTSemitone s;
  s.setParams(systemParams());
  const auto x = tone(noteFrequency(60), 16384);
  s.compute(x.data(), 16384);
  EXPECT_EQ(s.getPower(24), s.getPowers());
  EXPECT_EQ(*s.getPower(60), s.getPowers()[36]);
  EXPECT_EQ(s.getPower(95), s.getPowers() + 71);
  EXPECT_EQ(thrownMessage([&] { s.getPower(96); }), "index out of range!");
  EXPECT_THROW(s.getPower(23), std::out_of_range);
}

TEST(FFTSemitone, AnEmptyRangeKeepsThePreviousOne) {
  FFTSemitone s;
  s.setRange(24, 95, 16384, 3, 44100.0f);
  s.setRange(50, 50, 16384, 3, 44100.0f);
  EXPECT_EQ(s.getLowestNote(), 24);
  EXPECT_EQ(s.getHighestNote(), 95);
  EXPECT_EQ(s.getPowers(), nullptr);
  EXPECT_THROW(s.getPower(30), std::out_of_range);
  std::vector<float> x(16384, 0.25f);
  s.compute(x.data(), 16384);  // no powers to write, no fault
}

TEST(FFTSemitone, ShortFrameWarnsAndIsZeroPadded) {
  FFTSemitone s;
  s.setParams(systemParams());
  auto x = tone(noteFrequency(60), 16384);
  std::fill(x.begin() + 8000, x.end(), 0.0f);
  s.compute(x.data(), 16384);
  std::vector<float> padded(s.getPowers(), s.getPowers() + 72);
  testing::internal::CaptureStdout();
  s.compute(x.data(), 8000);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: Invalid len_signal\n");
  for (int i = 0; i < 72; ++i) EXPECT_FLOAT_EQ(s.getPowers()[i], padded[i]);
}

TEST(FFTSemitone, UnconfiguredOrMisusedComputeThrows) {
  FFTSemitone s;
  std::vector<float> x(16384, 0.0f);
  EXPECT_THROW(s.compute(x.data(), 16384), std::logic_error);
  s.setParams(systemParams());
  EXPECT_THROW(s.compute(x.data(), -4), std::invalid_argument);
  s.releaseFft();
  EXPECT_THROW(s.compute(x.data(), 16384), std::logic_error);
  s.setParams(systemParams());
  EXPECT_NO_THROW(s.compute(x.data(), 16384));
}

TEST(FFTSemitone, ReferenceFrequencyMovesTheBands) {
  Hpcp::HpcpParams p = systemParams();
  p.refFreq = 440.0f * std::pow(2.0f, 1.0f / 12);  // every band one semitone higher
  FFTSemitone s;
  s.setParams(p);
  const auto x = tone(noteFrequency(61), 16384);  // note 60 at the raised reference
  s.compute(x.data(), 16384);
  EXPECT_EQ(argmax(s.getPowers(), 72), 36u);
}

TEST(FFTSemitone, PowerToDecibelIsRelativeToTheFloor) {
  std::vector<float> v = {0.0f, 1.0f, 99.0f, 0.5f};
  Hpcp::powerToDecibel(v.data(), 4, 1.0f);
  EXPECT_NEAR(v[0], 0.0, 1e-6);
  EXPECT_NEAR(v[1], 10 * std::log10(2.0), 1e-5);
  EXPECT_NEAR(v[2], 20.0, 1e-5);
  EXPECT_NEAR(v[3], 10 * std::log10(1.5), 1e-5);
}

TEST(FFTSemitone, ALowPassedFrameGivesWhatComputeGivesOnTheRawFrame) {
  // A note with a strong tone above fs / 8 that only the low-pass keeps out.
  auto raw = tone(noteFrequency(64), 16384);
  const auto high = tone(9000.0, 16384);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] += high[i];
  FFTSemitone perFrame, lowPassed;
  perFrame.setParams(systemParams());
  lowPassed.setParams(systemParams());
  perFrame.compute(raw.data(), 16384);
  auto filtered = raw;
  Hpcp::lowPassForDecimation(filtered.data(), 16384);
  lowPassed.computeLowPassed(filtered.data(), 16384);
  EXPECT_EQ(std::vector<float>(lowPassed.getPowers(), lowPassed.getPowers() + 72),
            std::vector<float>(perFrame.getPowers(), perFrame.getPowers() + 72));
  EXPECT_EQ(lowPassed.getSpectrum(), perFrame.getSpectrum());
  EXPECT_EQ(argmax(lowPassed.getPowers(), 72), 40u);

  // A short low-passed frame is padded with zeros after the filter.
  std::fill(filtered.begin() + 9000, filtered.end(), 0.0f);
  lowPassed.computeLowPassed(filtered.data(), 16384);
  const std::vector<float> padded(lowPassed.getPowers(), lowPassed.getPowers() + 72);
  testing::internal::CaptureStdout();
  lowPassed.computeLowPassed(filtered.data(), 9000);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: Invalid len_signal\n");
  EXPECT_EQ(std::vector<float>(lowPassed.getPowers(), lowPassed.getPowers() + 72), padded);

  FFTSemitone unconfigured;
  EXPECT_THROW(unconfigured.computeLowPassed(filtered.data(), 16384), std::logic_error);
  EXPECT_THROW(lowPassed.computeLowPassed(filtered.data(), -1), std::invalid_argument);
  EXPECT_THROW(lowPassed.computeLowPassed(nullptr, 16384), std::invalid_argument);
}

TEST(FFTSemitone, SemitoneLevelsOfTonesMatchADirectDftOfTheLowPassedStride) {
  // Two notes a major third apart at the centres of semitones 33 and 37.
  const int n = 8192, m = 1024;
  auto frame = tone(noteFrequency(24 + 33), n);
  const auto third = tone(noteFrequency(24 + 37), n, 44100.0, 0.3);
  for (int i = 0; i < n; ++i) frame[i] += third[i];
  Hpcp::lowPassForDecimation(frame.data(), n);

  // 2 |X[k]| (the front end's transform doubles its input) of every fourth
  // low-passed sample under the symmetric Hann window, summed directly in
  // double precision.
  const int points = n / 4;
  std::vector<float> mags(m);
  for (int k = 0; k < m; ++k) {
    double re = 0, im = 0;
    for (int j = 0; j < points; ++j) {
      const double w = 0.5 - 0.5 * std::cos(2 * kPi * j / (points - 1));
      const double v = w * frame[static_cast<std::size_t>(4 * j)];
      re += v * std::cos(2 * kPi * k * j / points);
      im -= v * std::sin(2 * kPi * k * j / points);
    }
    mags[k] = static_cast<float>(2.0 * std::hypot(re, im));
  }
  FFTSemitone fromFrame, fromDft;
  fromFrame.setParams(systemParams(n));
  fromDft.setParams(systemParams(n));
  fromFrame.computeLowPassed(frame.data(), n);
  fromDft.computeBands(mags.data());
  for (int i = 0; i < 72; ++i)
    EXPECT_NEAR(fromFrame.getPowers()[i], fromDft.getPowers()[i], 2e-3 * std::max(1.0f, fromDft.getPowers()[i]))
        << i;
  EXPECT_EQ(argmax(fromFrame.getPowers(), 72), 33u);
  EXPECT_GT(fromFrame.getPowers()[37], 10.0f);
}

TEST(FFTSemitone, WhiteningRemovesTheHannAverageSummedTapByTapOverTheClippedSpectrum) {
  // The whitened spectrum against the unwhitened one of the same bands, the
  // 65-tap average summed in single precision in tap order with reads
  // outside the first K2 positions taken as zero: bit for bit.
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> dist(0.0f, 40.0f);
  float taps[65];
  float sum = 0.0f;
  for (int k = 0; k < 65; ++k) sum += taps[k] = static_cast<float>(0.5 - 0.5 * std::cos(k * 6.28318 * 0.015625));
  for (int frameSize : {8192, 16384}) {
    for (int r : {1, 3}) {
      Hpcp::HpcpParams p = systemParams(frameSize);
      p.oversample = r;
      FFTSemitone plain, whitened;
      plain.setParams(p);
      whitened.setParams(p);
      plain.setWhitening(false);
      std::vector<float> mags(static_cast<std::size_t>(frameSize / 8));
      for (auto& v : mags) v = dist(gen) * dist(gen);
      plain.computeBands(mags.data());
      whitened.computeBands(mags.data());
      const std::vector<float>& s = plain.getSpectrum();
      const int nb = static_cast<int>(s.size());
      const int k2 = std::min(nb, static_cast<int>(static_cast<float>(nb) * 2640.0f / 5512.5f));
      int differing = 0;
      for (int i = 0; i < nb; ++i) {
        float expected = s[i];
        if (i < k2) {
          float avg = 0.0f;
          for (int k = 0; k < 65; ++k) {
            const int at = i - 32 + k;
            avg += taps[k] / sum * (at >= 0 && at < k2 ? s[at] : 0.0f);
          }
          expected = std::max(0.0f, s[i] - avg);
        }
        differing += whitened.getSpectrum()[i] != expected;
      }
      EXPECT_EQ(differing, 0) << frameSize << " r " << r;
    }
  }
}

TEST(FFTSemitone, EachBandTakesItsHighestPeakFoundByTheLiteralScan) {
  // The scan written out as it reads: positions 2 .. K2-1, a peak above the
  // two neighbours on either side, three positions on after a peak; bands
  // from 13 up keep their highest peak over the floor. Bit for bit on the
  // spectrum the analysis leaves behind.
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> dist(0.0f, 30.0f);
  for (int frameSize : {8192, 16384}) {
    for (int r : {1, 3}) {
      for (bool whitening : {true, false}) {
        Hpcp::HpcpParams p = systemParams(frameSize);
        p.oversample = r;
        FFTSemitone s;
        s.setParams(p);
        s.setWhitening(whitening);
        std::vector<float> mags(static_cast<std::size_t>(frameSize / 8));
        for (auto& v : mags) v = dist(gen) * dist(gen) * (dist(gen) < 3.0f ? 40.0f : 1.0f);
        s.computeBands(mags.data());
        const std::vector<float>& x = s.getSpectrum();
        const std::vector<int32_t>& band = s.getBandMap();
        const int nb = static_cast<int>(x.size());
        const int k2 = std::min(nb, static_cast<int>(static_cast<float>(nb) * 2640.0f / 5512.5f));
        std::vector<float> expected(72, 0.0001f);
        int peaks = 0;
        for (int i = 2; i < k2;) {
          if (i + 2 < nb && x[i] > x[i - 2] && x[i] > x[i - 1] && x[i] > x[i + 1] && x[i] > x[i + 2]) {
            if (band[i] >= 13) expected[band[i]] = std::max(expected[band[i]], x[i]);
            ++peaks;
            i += 3;
          } else {
            ++i;
          }
        }
        EXPECT_GT(peaks, 50);
        EXPECT_EQ(std::vector<float>(s.getPowers(), s.getPowers() + 72), expected)
            << frameSize << " r " << r << " whitening " << whitening;
      }
    }
  }
}
