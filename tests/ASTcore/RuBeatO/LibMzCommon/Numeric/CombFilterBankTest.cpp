// The comb-filter bank against references computed another way: a naive
// resonator that keeps every output it ever produced, closed-form impulse
// responses, a backward pass built from a forward pass over the reversed
// input, and pulse trains that must resonate at their own period.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "CombFilterBank.h"
#include "ThrownMessage.h"

namespace {

using Numeric::CombFilterBank;
using Energies = boost::numeric::ublas::vector<float>;

float feedbackGain(int32_t k, float halfTime) { return std::pow(0.5f, k / halfTime); }

float noiseFloor(int32_t k, float halfTime) {
  const double a = feedbackGain(k, halfTime);
  return static_cast<float>((1.0 - a) / (1.0 + a));
}

// Resonator k run over the whole input, with silence before the first frame.
std::vector<double> naiveResonator(const std::vector<float>& x, int32_t k, float halfTime) {
  const double a = feedbackGain(k, halfTime);
  std::vector<double> y(x.size(), 0.0);
  for (size_t t = 0; t < x.size(); ++t) {
    const double back = t >= static_cast<size_t>(k) ? y[t - k] : 0.0;
    y[t] = (1.0 - a) * x[t] + a * back;
  }
  return y;
}

// Energy of resonator k after the last frame of x, from complete output
// histories instead of a ring.
double naiveEnergy(const std::vector<float>& x, int32_t k, float halfTime) {
  if (k == 0) return 0.0;
  const std::vector<double> y1 = naiveResonator(x, 1, halfTime);
  const std::vector<double> yk = naiveResonator(x, k, halfTime);
  const size_t now = x.size() - 1;
  const double level = std::max(y1[now] * y1[now], 1e-30);
  double sum = 0.0;
  for (int32_t j = 0; j < k && static_cast<size_t>(j) <= now; ++j) sum += yk[now - j] * yk[now - j];
  const double c = noiseFloor(k, halfTime);
  return (sum / k / level - c) / (1.0 - c);
}

std::vector<float> randomSignal(size_t n, unsigned seed, float lo = 0.1f, float hi = 1.0f) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(lo, hi);
  std::vector<float> x(n);
  for (float& v : x) v = dist(gen);
  return x;
}

std::vector<float> pulseTrain(size_t n, int32_t period, size_t phase = 0) {
  std::vector<float> x(n, 0.0f);
  for (size_t i = phase; i < n; i += period) x[i] = 1.0f;
  return x;
}

int32_t argmaxFrom(const std::vector<float>& v, int32_t from) {
  return static_cast<int32_t>(std::max_element(v.begin() + from, v.end()) - v.begin());
}

TEST(CombFilterBank, StreamingEnergiesMatchNaiveResonatorsFrameByFrame) {
  const int32_t nPeriod = 9;
  const float halfTime = 4.0f;
  CombFilterBank bank(nPeriod, halfTime);
  const std::vector<float> x = randomSignal(60, 7);
  std::vector<float> fed;
  Energies out;
  for (float v : x) {
    bank.push(v);
    fed.push_back(v);
    bank.getEnergies(out);
    ASSERT_EQ(out.size(), static_cast<size_t>(nPeriod));
    for (int32_t k = 0; k < nPeriod; ++k) {
      const double expected = naiveEnergy(fed, k, halfTime);
      const double tol = 1e-3 * std::max(1.0, std::fabs(expected));
      EXPECT_NEAR(out[k], expected, tol) << "frame " << fed.size() << " period " << k;
      EXPECT_NEAR(bank.getEnergy(k), out[k], tol) << "frame " << fed.size() << " period " << k;
    }
  }
}

TEST(CombFilterBank, SteadyInputDrivesEveryPeriodTowardsOne) {
  CombFilterBank bank(12, 2.0f);
  for (int i = 0; i < 2000; ++i) bank.push(0.75f);
  Energies out;
  bank.getEnergies(out);
  EXPECT_EQ(out[0], 0.0f);
  for (int32_t k = 1; k < 12; ++k) EXPECT_NEAR(out[k], 1.0f, 1e-3f) << k;
}

TEST(CombFilterBank, PulseTrainResonatesMostAtItsOwnPeriod) {
  // Periods below twice the pulse period, so no multiple of it competes; a
  // half time longer than every period, as the tracker uses, so the
  // resonators remember several pulses.
  for (int32_t period : {3, 5, 8, 11}) {
    for (size_t extra : {0u, 1u, 2u}) {
      const int32_t nPeriod = 2 * period;
      CombFilterBank bank(nPeriod, 30.0f);
      Energies out;
      for (float v : pulseTrain(60 * period + extra, period)) bank.push(v);
      bank.getEnergies(out);
      // Period 1 is the level reference and always 1; the search starts at 2.
      std::vector<float> e(out.begin(), out.end());
      EXPECT_EQ(argmaxFrom(e, 2), period) << extra;
    }
  }
}

TEST(CombFilterBank, SinglePeriodBankOnlyMovesItsIndex) {
  CombFilterBank bank(1, 3.0f);
  Energies out(5);
  for (int i = 0; i < 4; ++i) bank.push(1.0f);
  bank.getEnergies(out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(bank.getEnergy(0), 0.0f);
}

TEST(CombFilterBank, SilentBankGivesFiniteEnergies) {
  CombFilterBank bank(6, 3.0f);
  for (int i = 0; i < 10; ++i) bank.push(0.0f);
  Energies out;
  bank.getEnergies(out);
  for (int32_t k = 1; k < 6; ++k) {
    EXPECT_TRUE(std::isfinite(out[k]));
    EXPECT_NEAR(out[k], -noiseFloor(k, 3.0f) / (1.0f - noiseFloor(k, 3.0f)), 1e-6f);
  }
}

TEST(CombFilterBank, BadSizesAndHalfTimesAreRefusedWithTheirTexts) {
  EXPECT_EQ(thrownMessage([] { CombFilterBank(0, 1.0f); }), "nPeriod must be positive.");
  EXPECT_THROW(CombFilterBank(-3, 1.0f), std::domain_error);
  EXPECT_EQ(thrownMessage([] { CombFilterBank(4, 0.0f); }), "half_time must be positive.");
  EXPECT_THROW(CombFilterBank(4, -1.0f), std::domain_error);
  EXPECT_THROW(CombFilterBank(4, std::nanf("")), std::domain_error);
}

TEST(CombFilterBank, RefusedResizeLeavesTheBankWorking) {
  CombFilterBank bank(5, 2.0f);
  EXPECT_THROW(bank.setHalfTime(0, 2.0f), std::domain_error);
  EXPECT_THROW(bank.setHalfTime(5, 0.0f), std::domain_error);
  for (int i = 0; i < 300; ++i) bank.push(1.0f);
  Energies out;
  bank.getEnergies(out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_NEAR(out[4], 1.0f, 1e-3f);
}

TEST(CombFilterBank, ResizingRestartsSilentWithTheNewPeriodCount) {
  CombFilterBank bank(4, 2.0f);
  for (int i = 0; i < 7; ++i) bank.push(0.5f);
  bank.setHalfTime(11, 5.0f);
  EXPECT_EQ(bank.getPeriodCount(), 11);
  const std::vector<float> x = randomSignal(40, 3);
  for (float v : x) bank.push(v);
  Energies out;
  bank.getEnergies(out);
  ASSERT_EQ(out.size(), 11u);
  for (int32_t k = 1; k < 11; ++k) {
    const double expected = naiveEnergy(x, k, 5.0f);
    EXPECT_NEAR(out[k], expected, 1e-3 * std::max(1.0, std::fabs(expected))) << k;
  }
}

TEST(CombFilterBank, EnergyOfAPeriodOutsideTheBankIsRefused) {
  CombFilterBank bank(4, 2.0f);
  EXPECT_THROW(bank.getEnergy(4), std::out_of_range);
  EXPECT_THROW(bank.getEnergy(-1), std::out_of_range);
}

TEST(CombFilterBank, ForwardImpulseResponseIsAGeometricCombThatDecaysIntoThePad) {
  const float halfTime = 5.0f;
  CombFilterBank bank(8, halfTime);
  const int32_t k = 3;
  const double a = feedbackGain(k, halfTime);
  std::vector<float> in(10, 0.0f);
  in[0] = 1.0f;
  std::vector<float> out;
  bank.filterSequence(k, in, out, 20, true);
  ASSERT_EQ(out.size(), 30u);
  for (size_t i = 0; i < out.size(); ++i) {
    const double expected = i % k == 0 ? (1.0 - a) * std::pow(a, i / k) : 0.0;
    EXPECT_NEAR(out[i], expected, 1e-6) << i;
  }
}

TEST(CombFilterBank, BackwardImpulseResponseRunsTowardsTheStartAndIntoTheLeadingPad) {
  const float halfTime = 5.0f;
  CombFilterBank bank(8, halfTime);
  const int32_t k = 4;
  const double a = feedbackGain(k, halfTime);
  std::vector<float> in(10, 0.0f);
  in[9] = 1.0f;
  std::vector<float> out;
  bank.filterSequence(k, in, out, 7, false);
  ASSERT_EQ(out.size(), 17u);
  const size_t impulseAt = 7 + 9;
  for (size_t i = 0; i < out.size(); ++i) {
    const size_t dist = impulseAt - i;
    const double expected = (i <= impulseAt && dist % k == 0) ? (1.0 - a) * std::pow(a, dist / k) : 0.0;
    EXPECT_NEAR(out[i], expected, 1e-6) << i;
  }
}

TEST(CombFilterBank, ForwardFilteringMatchesTheNaiveResonatorPlusFreeDecay) {
  const float halfTime = 7.0f;
  CombFilterBank bank(10, halfTime);
  const std::vector<float> in = randomSignal(200, 11, -1.0f, 1.0f);
  for (int32_t k = 0; k < 10; ++k) {
    std::vector<float> out;
    bank.filterSequence(k, in, out, 50, true);
    ASSERT_EQ(out.size(), 250u);
    // Free decay is the resonator fed with silence.
    std::vector<float> extended = in;
    extended.resize(250, 0.0f);
    const std::vector<double> ref = k == 0 ? std::vector<double>(250, 0.0)
                                           : naiveResonator(extended, k, halfTime);
    if (k == 0) {
      // Slot 0 has no resonator: its gains pass nothing.
      for (float v : out) EXPECT_EQ(v, 0.0f);
      continue;
    }
    for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], ref[i], 1e-5) << k << " " << i;
  }
}

TEST(CombFilterBank, BackwardFilteringIsForwardFilteringOfTheReversedInputReversed) {
  CombFilterBank bank(12, 9.0f);
  const std::vector<float> in = randomSignal(150, 5, -1.0f, 1.0f);
  std::vector<float> reversed(in.rbegin(), in.rend());
  for (int32_t k = 1; k < 12; ++k) {
    std::vector<float> backward, forward;
    bank.filterSequence(k, in, backward, 30, false);
    bank.filterSequence(k, reversed, forward, 30, true);
    ASSERT_EQ(backward.size(), forward.size());
    std::reverse(forward.begin(), forward.end());
    for (size_t i = 0; i < backward.size(); ++i) EXPECT_FLOAT_EQ(backward[i], forward[i]) << k;
  }
}

TEST(CombFilterBank, InputShorterThanThePeriodIsCopiedUnfilteredInEitherDirection) {
  CombFilterBank bank(10, 3.0f);
  const std::vector<float> in = {0.5f, -2.0f, 3.0f};
  for (bool forward : {true, false}) {
    std::vector<float> out(99, 7.0f);
    bank.filterSequence(6, in, out, 4, forward);
    EXPECT_EQ(out, (std::vector<float>{0.5f, -2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 0.0f})) << forward;
  }
}

TEST(CombFilterBank, NegativePadActsAsNoPad) {
  CombFilterBank bank(6, 3.0f);
  const std::vector<float> in = randomSignal(30, 2);
  for (bool forward : {true, false}) {
    std::vector<float> unpadded, negative;
    bank.filterSequence(4, in, unpadded, 0, forward);
    bank.filterSequence(4, in, negative, -15, forward);
    EXPECT_EQ(unpadded.size(), in.size());
    EXPECT_EQ(negative, unpadded);
  }
}

TEST(CombFilterBank, FilteringInPlaceGivesTheSameAsIntoAnotherVector) {
  CombFilterBank bank(6, 3.0f);
  const std::vector<float> in = randomSignal(40, 9);
  for (bool forward : {true, false}) {
    std::vector<float> separate;
    bank.filterSequence(5, in, separate, 12, forward);
    std::vector<float> inPlace = in;
    bank.filterSequence(5, inPlace, inPlace, 12, forward);
    EXPECT_EQ(inPlace, separate) << forward;
  }
}

TEST(CombFilterBank, FilteringWithAPeriodOutsideTheBankIsRefused) {
  CombFilterBank bank(6, 3.0f);
  std::vector<float> out;
  EXPECT_EQ(thrownMessage([&] { bank.filterSequence(6, {1.0f}, out, 0, true); }),
            "filter_idx is out of range.");
  EXPECT_THROW(bank.filterSequence(-1, {1.0f}, out, 0, false), std::out_of_range);
}

TEST(CombFilterBank, RemoveDcMatchesWindowedMeanSquaresOverTheLevel) {
  const float halfTime = 4.0f;
  CombFilterBank bank(8, halfTime);
  const std::vector<float> filtered = randomSignal(300, 21, -1.0f, 1.0f);
  const std::vector<float> dc = randomSignal(300, 22, 0.2f, 1.0f);
  for (int32_t k = 1; k < 8; ++k) {
    std::vector<float> out;
    bank.removeDc(k, filtered, dc, out);
    ASSERT_EQ(out.size(), filtered.size());
    const double c = noiseFloor(k, halfTime);
    for (size_t i = 0; i < out.size(); ++i) {
      double sum = 0.0;
      for (size_t j = (i + 1 >= static_cast<size_t>(k)) ? i + 1 - k : 0; j <= i; ++j) {
        sum += double{filtered[j]} * filtered[j];
      }
      const double expected = (sum / k / (double{dc[i]} * dc[i]) - c) / (1.0 - c);
      EXPECT_NEAR(out[i], expected, 1e-4 * std::max(1.0, std::fabs(expected))) << k << " " << i;
    }
  }
}

TEST(CombFilterBank, RemoveDcOfASequenceAgainstItselfIsOneAtPeriodOne) {
  CombFilterBank bank(4, 2.0f);
  std::vector<float> x = randomSignal(50, 4, -1.0f, 1.0f);
  x[10] = 0.0f;
  std::vector<float> out;
  bank.removeDc(1, x, x, out);
  for (size_t i = 0; i < x.size(); ++i) {
    if (i == 10) continue;  // 0 / floor: the floor keeps it finite, not 1
    EXPECT_NEAR(out[i], 1.0f, 1e-5f) << i;
  }
  EXPECT_TRUE(std::isfinite(out[10]));
}

TEST(CombFilterBank, RemoveDcAtPeriodZeroGivesZeros) {
  CombFilterBank bank(4, 2.0f);
  const std::vector<float> x = randomSignal(17, 8);
  std::vector<float> out(3, 5.0f);
  bank.removeDc(0, x, x, out);
  EXPECT_EQ(out, std::vector<float>(17, 0.0f));
}

TEST(CombFilterBank, RemoveDcChecksTheSizesBeforeThePeriod) {
  CombFilterBank bank(4, 2.0f);
  std::vector<float> out;
  const std::vector<float> a(5, 1.0f), b(6, 1.0f);
  EXPECT_EQ(thrownMessage([&] { bank.removeDc(9, a, b, out); }),
            "Size of dc component and idx component does not match");
  EXPECT_THROW(bank.removeDc(1, a, b, out), std::logic_error);
  EXPECT_EQ(thrownMessage([&] { bank.removeDc(4, a, a, out); }), "Invalid filter_idx");
  EXPECT_THROW(bank.removeDc(-1, a, a, out), std::domain_error);
}

TEST(CombFilterBank, OfflineTrackingPassPeaksAtThePulsePeriod) {
  // The beat tracker's offline use: forward with a long pad, backward, then
  // relative to the period-1 result.
  const int32_t period = 7;
  const int32_t nPeriod = 2 * period;
  CombFilterBank bank(nPeriod, 20.0f);
  const std::vector<float> onsets = pulseTrain(400, period, 3);
  std::vector<float> dc;
  std::vector<double> meanEnergy(nPeriod, 0.0);
  for (int32_t k = 1; k < nPeriod; ++k) {
    std::vector<float> result, temp;
    bank.filterSequence(k, onsets, result, 1000, true);
    bank.filterSequence(k, result, temp, 0, false);
    if (k == 1) dc = temp;
    bank.removeDc(k, temp, dc, result);
    ASSERT_EQ(result.size(), onsets.size() + 1000);
    for (size_t i = 100; i < 300; ++i) meanEnergy[k] += result[i];
  }
  const auto best = std::max_element(meanEnergy.begin() + 2, meanEnergy.end()) - meanEnergy.begin();
  EXPECT_EQ(best, period);
}

}  // namespace
