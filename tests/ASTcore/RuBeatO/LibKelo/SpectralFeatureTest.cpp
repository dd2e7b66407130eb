// The meter estimator: its periodicity evidence against a naive DFT and
// kernel, its choice on synthesised pulse-rate feature rows of 4/4, 3/4 and
// 6/8 songs, and the mapping of meters onto those the model can decode.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "ModelMeter.h"
#include "SpectralFeature.h"

namespace {

using kelo::SpectralFeature;
using Row = SpectralFeature::Row;

// The engine's prior: 3/4 and 4/4 with two pulses per beat, 6/8 and 9/8 with three.
Eigen::MatrixXd enginePrior() {
  Eigen::MatrixXd prior = Eigen::MatrixXd::Constant(4, 5, -10000.0);
  prior(2, 3) = prior(2, 4) = prior(3, 2) = prior(3, 3) = 0.0;
  return prior;
}

// Periodicity evidence per period, in double precision from a plain DFT
// (twice its magnitude over bins 0 .. n/2 - 1, the Nyquist bin left out)
// and the Gaussian kernel.
std::vector<double> naiveEvidence(const std::vector<Row>& rows, int n, int periods, double width) {
  const int bins = n / 2;
  std::vector<double> evidence(static_cast<std::size_t>(periods), 0.0);
  for (std::size_t d = 0; d < rows.front().size(); ++d) {
    std::vector<double> magnitude(static_cast<std::size_t>(bins), 0.0);
    for (int m = 0; m < bins; ++m) {
      std::complex<double> x = 0.0;
      for (std::size_t t = 0; t < rows.size() && t < static_cast<std::size_t>(n); ++t)
        x += rows[t](d) * std::polar(1.0, -2.0 * M_PI * m * static_cast<double>(t) / n);
      magnitude[static_cast<std::size_t>(m)] = 2.0 * std::abs(x);
    }
    for (int p = 1; p < periods; ++p) {
      double sum = 0.0, weighted = 0.0;
      for (int m = 1; m < bins; ++m) {
        const double k = std::exp(-width * std::pow(p - static_cast<double>(n) / m, 2));
        sum += k;
        weighted += k * magnitude[static_cast<std::size_t>(m)];
      }
      evidence[static_cast<std::size_t>(p)] += weighted / (sum + 1e-10);
    }
  }
  return evidence;
}

std::vector<Row> randomRows(std::size_t count, std::size_t dims, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Row> rows(count, Row(dims));
  for (Row& r : rows)
    for (std::size_t d = 0; d < dims; ++d) r(d) = u(rng);
  return rows;
}

TEST(SpectralFeature, EvidenceMatchesANaiveDftThroughTheKernelAndOnlyTheFirstNRowsCount) {
  const int n = 64;
  std::vector<Row> rows = randomRows(50, 3, 7);
  SpectralFeature meter(n);
  meter.setScale(2.0f).setMatrix(enginePrior());
  meter.process(rows);
  const std::vector<double> expected = naiveEvidence(rows, n, 30, 2.0);
  ASSERT_EQ(meter.evidence().size(), 30u);
  for (int p = 1; p < 30; ++p)
    EXPECT_NEAR(meter.evidence()[p], expected[p], 1e-3 * (1.0 + expected[p])) << "period " << p;
  // Score = prior + evidence at the beat period + evidence at the bar period.
  EXPECT_NEAR(meter.scores()(2, 4), expected[2] + expected[8], 1e-3 * (1.0 + expected[8]));
  EXPECT_NEAR(meter.scores()(1, 1), -10000.0 + 2 * expected[1], 1e-2);

  // Rows beyond the transform size are not looked at.
  std::vector<Row> longer = randomRows(n, 3, 7);
  std::copy(rows.begin(), rows.end(), longer.begin());
  std::vector<Row> longest = longer;
  longest.resize(n + 20, Row(3, 1e6));
  SpectralFeature a(n), b(n);
  a.setMatrix(enginePrior()).process(longer);
  b.setMatrix(enginePrior()).process(longest);
  EXPECT_EQ(a.evidence(), b.evidence());
}

TEST(SpectralFeature, APeriodOfExactlyTwoRowsLiesInTheLeftOutNyquistBin) {
  // Rows alternating over the whole transform hold all their change in the
  // Nyquist bin, which the spectrum leaves out: only the constant part (bin
  // 0, outside the kernel) remains, so no period gets evidence. A rise at
  // period 2 here would mean the Nyquist bin was counted.
  const int n = 64;
  std::vector<Row> rows(n, Row(2));
  for (int t = 0; t < n; ++t) {
    rows[t](0) = t % 2 == 0 ? 1.0 : -1.0;
    rows[t](1) = t % 2 == 0 ? 3.0 : 1.0;
  }
  SpectralFeature meter(n);
  meter.setScale(2.0f).setMatrix(enginePrior());
  meter.process(rows);
  const std::vector<double> expected = naiveEvidence(rows, n, 30, 2.0);
  for (int p = 1; p < 30; ++p) {
    EXPECT_NEAR(expected[p], 0.0, 1e-9) << "period " << p;
    EXPECT_NEAR(meter.evidence()[p], 0.0, 1e-3) << "period " << p;
  }
}

TEST(SpectralFeature, WithoutRowsThePriorDecidesAndAGivenValueFixesItsRowOrColumn) {
  SpectralFeature meter(1024);
  meter.setScale(0.0f).setScale(-1.0f).setMatrix(enginePrior());
  meter.process({});
  EXPECT_TRUE(meter.scores().isApprox(enginePrior()));
  int code = -1, beats = -1;
  meter.pickMeter(code, beats);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(beats, 3);

  code = -1;
  beats = 4;
  meter.pickMeter(code, beats);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(beats, 4);

  code = 3;
  beats = -1;
  meter.pickMeter(code, beats);
  EXPECT_EQ(code, 3);
  EXPECT_EQ(beats, 2);
}

// Octave-profile-like rows, one per tracker pulse (half a beat of a simple
// meter): a bass band on the bar's strong pulses, a middle band on the
// beats, a high band on every pulse, and noise.
std::vector<Row> pulseRows(int pulsesPerBar, const std::vector<int>& bassPulses,
                           const std::vector<int>& beatPulses, int bars, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(0.0, 0.2);
  std::vector<Row> rows;
  for (int i = 0; i < bars * pulsesPerBar; ++i) {
    const int p = i % pulsesPerBar;
    Row r(7);
    for (std::size_t d = 0; d < 7; ++d) r(d) = noise(rng);
    for (int b : bassPulses) r(1) += p == b ? 3.0 : 0.0;
    for (int b : beatPulses) r(4) += p == b ? 1.5 : 0.0;
    r(6) += 0.5;
    rows.push_back(r);
  }
  return rows;
}

TEST(SpectralFeature, SynthesisedPulseRowsOfFourFourThreeFourAndSixEightArePicked) {
  struct Case {
    const char* meter;
    int pulsesPerBar;
    std::vector<int> bass, beats;
    int code, beatsPerBar;
  };
  const Case cases[] = {{"4/4", 8, {0}, {0, 2, 4, 6}, 2, 4},
                        {"3/4", 6, {0}, {0, 2, 4}, 2, 3},
                        {"6/8", 6, {0, 3}, {0, 3}, 3, 2}};
  for (const Case& c : cases) {
    SpectralFeature meter(1024);
    meter.setScale(100.0f).setMatrix(enginePrior());
    meter.process(pulseRows(c.pulsesPerBar, c.bass, c.beats, 60, 3));
    int code = -1, beats = -1;
    meter.pickMeter(code, beats);
    EXPECT_EQ(code, c.code) << c.meter;
    EXPECT_EQ(beats, c.beatsPerBar) << c.meter;
  }
}

TEST(ModelMeter, MetersOutsideTheModelAreMappedOntoItsTwoThreeOrFourBeats) {
  struct Case {
    int code, beats, wantCode, wantBeats;
  };
  const Case cases[] = {
      {2, 4, 2, 4}, {3, 3, 3, 3}, {2, 2, 2, 2},   // decodable as given
      {3, 6, 3, 2}, {3, 9, 3, 3}, {3, 12, 3, 4},  // compound bars given in eighths
      {2, 8, 2, 4}, {2, 6, 2, 3}, {2, 9, 2, 3},   // long bars halved or cut in thirds
      {2, 5, 2, 4}, {2, 7, 2, 4}, {2, 1, 2, 2},   // no even split: four beats; one beat: two
      {1, 4, 2, 4}, {1, 3, 2, 3},                 // a pulse per beat decodes as simple
  };
  for (const Case& c : cases) {
    const kelo::ModelMeter m = kelo::modelMeter(c.code, c.beats);
    EXPECT_EQ(m.code, c.wantCode) << c.code << " " << c.beats;
    EXPECT_EQ(m.beats, c.wantBeats) << c.code << " " << c.beats;
  }
  EXPECT_EQ(kelo::modelBeatsBeforeEstimate(-1, -1), 4);
  EXPECT_EQ(kelo::modelBeatsBeforeEstimate(-1, 6), 3);
  EXPECT_EQ(kelo::modelBeatsBeforeEstimate(3, 6), 2);
}

}  // namespace
