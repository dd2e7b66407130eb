#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/NoisePhases.h"
#include "engine/PeakTracking.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPeriod = 256.0 / 44100.0;

std::unique_ptr<SMSFrame> frame(std::int64_t bins, double time, float level, float phase) {
  auto f = std::make_unique<SMSFrame>();
  f->Allocate(SMSFrame::kMagnitudes | SMSFrame::kPhases, bins, true);
  f->time = time;
  for (std::int64_t k = 0; k < bins; ++k) {
    f->magnitudes[k] = level;
    f->phases[k] = phase;
  }
  return f;
}

// Phase difference folded into (-pi, pi], worked out on the unit circle.
double circularDistance(double a, double b) { return std::arg(std::polar(1.0, a) / std::polar(1.0, b)); }

// The move as the band stretch makes it: planned, then applied; the share
// of the top band's energy moved.
double moveToInputTime(const PeakRegionTable& table, SMSFrame* const* framesA, SMSFrame* const* output,
                       const float* nyquist, int bands, double lowerEdgeHz, double inputTime, double framePeriod,
                       const NoisePhases::SteadyLimits& limits) {
  auto plan = std::make_unique<NoisePhases::MovePlan>();
  NoisePhases::PlanMoves(table, framesA, output, nyquist, bands, inputTime, framePeriod, limits, *plan);
  return NoisePhases::ApplyMoves(*plan, output, nyquist, lowerEdgeHz, inputTime);
}

}  // namespace

TEST(NoisePhases, OnlyAPeakCloseToItsOwnPredictionIsASteadyPartial) {
  const double nyquist = 22050.0;
  const std::int64_t n = 1025;
  const double f = 3000.0;
  const auto a = frame(n, 1.0, -20.0f, 0.25f);
  const std::int64_t k = std::lround(f * (n - 1) / nyquist);
  struct Case {
    const char* what;
    double phaseStep;  // added to the tone's own advance
    float rise;        // dB
    double fB;
    bool steady;
  };
  const Case cases[] = {
      {"a steady tone", 0.0, 0.0f, f, true},
      {"a little off its path", 0.09, 0.0f, f, true},
      {"a tenth of a radian off", 0.11, 0.0f, f, false},
      {"the other way", -0.11, 0.0f, f, false},
      {"rising 4 dB", 0.0, 4.0f, f, false},
      {"falling 5 dB", 0.0, -5.0f, f, false},
      {"a 20 Hz jump", 0.0, 0.0f, f + 20.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto b = frame(n, 1.0 + kPeriod, -20.0f + c.rise, 0.0f);
    const double advance = kTwoPi * (f + c.fB) / 2.0 * kPeriod + c.phaseStep;
    const std::int64_t kB = std::lround(c.fB * (n - 1) / nyquist);
    b->phases[kB] = static_cast<float>(std::fmod(a->phases[k] + advance + 10.0 * kTwoPi, kTwoPi));
    EXPECT_EQ(NoisePhases::IsSteadyPeak(*a, *b, f, c.fB, nyquist, kPeriod, NoisePhases::SteadyLimits{}), c.steady);
  }
  SMSFrame empty;
  EXPECT_FALSE(NoisePhases::IsSteadyPeak(empty, *a, f, f, nyquist, kPeriod, NoisePhases::SteadyLimits{}));
}

// Two bands: a low band of 257 bins to 5512.5 Hz and a top band of 1025
// bins to 22050 Hz. Region 0 lies in the low band, regions 1-3 in the top
// band: 1 is noise, 2 a steady partial, 3 flagged to keep its analysed
// phases. Region 1's bins move, and region 2's but for the main lobe of
// its partial (two bins on either side of its own), each by its own
// frequency times the distance from frame B to the input time.
TEST(NoisePhases, OnlyTheTopBandsNoiseMovesToTheInputTime) {
  const float nyquist[2] = {5512.5f, 22050.0f};
  const std::int64_t bins[2] = {257, 1025};
  const double timeB = 2.0, inputTime = 2.0 - 0.6 * kPeriod;
  std::unique_ptr<SMSFrame> a[2], b[2], out[2];
  for (int band = 0; band < 2; ++band) {
    a[band] = frame(bins[band], timeB - kPeriod, -30.0f, 0.0f);
    b[band] = frame(bins[band], timeB, -30.0f, 0.0f);
    out[band] = frame(bins[band], timeB, -30.0f, 0.0f);
    for (std::int64_t k = 0; k < bins[band]; ++k) {
      b[band]->phases[k] = static_cast<float>(std::fmod(0.37 * static_cast<double>(k * k % 97), kTwoPi));
      out[band]->phases[k] = 1.0f;  // what the locking gave
    }
  }
  SMSFrame* framesA[2] = {a[0].get(), a[1].get()};
  SMSFrame* output[2] = {out[0].get(), out[1].get()};

  auto table = std::make_unique<PeakRegionTable>();
  const double centres[4] = {1000.0, 4000.0, 6000.0, 8000.0};
  table->count = 4;
  for (int r = 0; r < 4; ++r) {
    table->centre[r] = table->source[r] = centres[r];
    table->band[r] = r == 0 ? 0 : 1;
    table->spectrum[r] = b[table->band[r]].get();
    table->lowerExtent[r] = r == 0 ? centres[0] : (centres[r] - centres[r - 1]) / 2.0;
    table->upperExtent[r] = r == 3 ? 22050.0 - centres[3] : (centres[r + 1] - centres[r]) / 2.0;
  }
  table->flags[3] = 1;
  // Region 2 goes on from frame A as a tone does; region 1 does not.
  auto binOf = [&](double f, int band) { return std::lround(f * static_cast<double>(bins[band] - 1) / nyquist[band]); };
  const std::int64_t k2 = binOf(centres[2], 1);
  a[1]->phases[k2] = static_cast<float>(
      std::fmod(b[1]->phases[k2] - kTwoPi * centres[2] * kPeriod + 100.0 * kTwoPi, kTwoPi));
  const std::int64_t k1 = binOf(centres[1], 1);
  a[1]->phases[k1] = static_cast<float>(
      std::fmod(b[1]->phases[k1] - kTwoPi * centres[1] * kPeriod + 1.5 + 100.0 * kTwoPi, kTwoPi));

  const double share =
      moveToInputTime(*table, framesA, output, nyquist, 2, 1500.0, inputTime, kPeriod, NoisePhases::SteadyLimits{});
  const std::int64_t from = binOf(2500.0, 1), to = binOf(7000.0, 1);
  auto moves = [&](std::int64_t k) { return k >= from && k <= to && (k < k2 - 2 || k > k2 + 2); };
  // Every bin at one level: the moved bins over the band's bins from its
  // lower edge (1500 Hz, bin 70) up.
  const double movedBins = static_cast<double>(to - from + 1 - 5);
  EXPECT_NEAR(share, movedBins / static_cast<double>(1025 - 70), 1e-5);

  for (std::int64_t k = 0; k < bins[1]; ++k) {
    if (moves(k)) {
      // Frame B's bin turned on the unit circle by the time it is moved.
      const double f = static_cast<double>(k) * 22050.0 / 1024.0;
      const std::complex<double> moved =
          std::polar(1.0, static_cast<double>(b[1]->phases[k])) * std::polar(1.0, kTwoPi * f * (inputTime - timeB));
      ASSERT_NEAR(circularDistance(out[1]->phases[k], std::arg(moved)), 0.0, 2e-4) << "bin " << k;
      ASSERT_GE(out[1]->phases[k], 0.0f);
      ASSERT_LT(out[1]->phases[k], static_cast<float>(kTwoPi));
    } else {
      ASSERT_EQ(out[1]->phases[k], 1.0f) << "bin " << k;
    }
  }
  for (std::int64_t k = 0; k < bins[0]; ++k) ASSERT_EQ(out[0]->phases[k], 1.0f) << "low band bin " << k;

  // The share weighs the bins by their energy (to within a few per cent):
  // moved bins 10 dB below the rest.
  for (std::int64_t k = 0; k < bins[1]; ++k) out[1]->magnitudes[k] = moves(k) ? -30.0f : -20.0f;
  const double weighed =
      moveToInputTime(*table, framesA, output, nyquist, 2, 1500.0, inputTime, kPeriod, NoisePhases::SteadyLimits{});
  const double expected = movedBins * 1e-3 / (movedBins * 1e-3 + (1025.0 - 70.0 - movedBins) * 1e-2);
  EXPECT_NEAR(weighed / expected, 1.0, 0.06);

  // No input time, or a single band: nothing moves.
  for (std::int64_t k = 0; k < bins[1]; ++k) out[1]->phases[k] = 1.0f;
  EXPECT_EQ(moveToInputTime(*table, framesA, output, nyquist, 2, 1500.0,
                                         std::numeric_limits<double>::quiet_NaN(), kPeriod, NoisePhases::SteadyLimits{}),
            0.0);
  EXPECT_EQ(moveToInputTime(*table, framesA, output + 1, nyquist + 1, 1, 0.0, inputTime, kPeriod,
                                         NoisePhases::SteadyLimits{}),
            0.0);
  for (std::int64_t k = 0; k < bins[1]; ++k) ASSERT_EQ(out[1]->phases[k], 1.0f) << "bin " << k;
}

// The locking skips the bins between two regions that the plan says move
// (they get phases of their own afterwards); a skipped bin that no run
// moves would keep whatever phase the frame came with. Over tables of
// noise, steady and flagged regions at random spacings, every bin of every
// gap lies in a run, and the runs are what the move changes.
TEST(NoisePhases, EveryBinThePlanSaysMovesBetweenRegionsIsMoved) {
  const float nyquist[2] = {5512.5f, 22050.0f};
  const std::int64_t bins[2] = {257, 1025};
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> spacing(10.0, 400.0), phase(0.0, kTwoPi);
  for (int round = 0; round < 40; ++round) {
    std::unique_ptr<SMSFrame> a[2], b[2], out[2];
    for (int band = 0; band < 2; ++band) {
      a[band] = frame(bins[band], 2.0 - kPeriod, -30.0f, 0.0f);
      b[band] = frame(bins[band], 2.0, -30.0f, 0.0f);
      out[band] = frame(bins[band], 2.0, -30.0f, 0.0f);
      for (std::int64_t k = 0; k < bins[band]; ++k) {
        a[band]->phases[k] = static_cast<float>(phase(gen));
        b[band]->phases[k] = static_cast<float>(phase(gen));
        out[band]->phases[k] = -1.0f;  // what the locking would have left
      }
    }
    auto table = std::make_unique<PeakRegionTable>();
    std::vector<double> centres{700.0};
    while (centres.back() < 21000.0) centres.push_back(centres.back() + spacing(gen));
    centres.pop_back();
    table->count = static_cast<std::int32_t>(centres.size());
    for (std::int32_t r = 0; r < table->count; ++r) {
      const double c = centres[static_cast<std::size_t>(r)];
      table->centre[r] = table->source[r] = c;
      table->band[r] = c < 1500.0 ? 0 : 1;
      table->spectrum[r] = b[table->band[r]].get();
      table->lowerExtent[r] = r == 0 ? c : (c - centres[static_cast<std::size_t>(r - 1)]) / 2.0;
      table->upperExtent[r] =
          r + 1 == table->count ? 22050.0 - c : (centres[static_cast<std::size_t>(r + 1)] - c) / 2.0;
      table->flags[r] = gen() % 7 == 0 ? 1 : 0;
      if (table->band[r] == 1 && gen() % 2 == 0) {
        // A steady partial: frame A's phase where its frequency leads.
        const std::int64_t k = std::lround(c * 1024.0 / 22050.0);
        a[1]->phases[k] = static_cast<float>(std::fmod(b[1]->phases[k] - kTwoPi * c * kPeriod + 100.0 * kTwoPi, kTwoPi));
      }
    }
    SMSFrame* framesA[2] = {a[0].get(), a[1].get()};
    SMSFrame* output[2] = {out[0].get(), out[1].get()};
    auto plan = std::make_unique<NoisePhases::MovePlan>();
    NoisePhases::PlanMoves(*table, framesA, output, nyquist, 2, 2.0 - 0.3 * kPeriod, kPeriod,
                           NoisePhases::SteadyLimits{}, *plan);
    ASSERT_EQ(plan->band, 1);
    ASSERT_GT(plan->runs, 0);
    std::vector<bool> inRun(static_cast<std::size_t>(bins[1]), false);
    for (std::int32_t i = 0; i < plan->runs; ++i) {
      ASSERT_LE(plan->from[i], plan->to[i]);
      if (i > 0) {
        ASSERT_GT(plan->from[i], plan->to[i - 1] + 1) << "runs that touch are one";
      }
      for (std::int64_t k = plan->from[i]; k <= plan->to[i]; ++k) inRun[static_cast<std::size_t>(k)] = true;
    }
    std::int32_t first = 0;
    while (table->band[first] == 0) ++first;
    for (std::int32_t r = first; r <= table->count; ++r)
      for (std::int64_t k = plan->gapFrom[r]; k <= plan->gapTo[r]; ++k)
        ASSERT_TRUE(inRun[static_cast<std::size_t>(k)]) << "gap " << r << " bin " << k << " round " << round;
    NoisePhases::ApplyMoves(*plan, output, nyquist, 1500.0, 2.0 - 0.3 * kPeriod);
    for (std::int64_t k = 0; k < bins[1]; ++k)
      ASSERT_EQ(out[1]->phases[k] != -1.0f, inRun[static_cast<std::size_t>(k)]) << "bin " << k;
  }
}

// The vector copy of the region test against the one-by-one copy, on
// regions of every kind: noise, steady partials (frame A's phase where the
// frequency leads, within and just outside the limits), flagged regions,
// regions without a source or of another spectrum, and frequencies below
// 0, past the top bin, not finite, or on a bin's rounding edge.
TEST(NoisePhases, TheFourRegionCopyClassifiesAsOneByOne) {
  const std::int64_t n = 1025;
  const double nyquist = 22050.0, binsPerHz = static_cast<double>(n - 1) / nyquist;
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const NoisePhases::SteadyLimits limits{};
  int steadySeen = 0, wholeSeen = 0, noneSeen = 0;
  for (int round = 0; round < 30; ++round) {
    auto a = frame(n, 2.0 - kPeriod, -30.0f, 0.0f), b = frame(n, 2.0, -30.0f, 0.0f), other = frame(n, 2.0, 0.0f, 0.0f);
    for (std::int64_t k = 0; k < n; ++k) {
      a->magnitudes[k] = static_cast<float>(-60.0 + 50.0 * unit(gen));
      b->magnitudes[k] = static_cast<float>(a->magnitudes[k] + 12.0 * unit(gen) - 7.0);
      a->phases[k] = static_cast<float>(kTwoPi * unit(gen));
      b->phases[k] = static_cast<float>(kTwoPi * unit(gen));
    }
    auto table = std::make_unique<PeakRegionTable>();
    table->count = 3 + round * 7;
    for (std::int32_t r = 0; r < table->count; ++r) {
      double f = nyquist * unit(gen);
      switch (gen() % 12) {
        case 0: f = -5.0; break;
        case 1: f = nyquist * 3.0; break;
        case 2: f = (static_cast<double>(gen() % n) + 0.5) / binsPerHz; break;  // a rounding edge
        case 3: f = std::numeric_limits<double>::quiet_NaN(); break;
        default: break;
      }
      table->centre[r] = f;
      table->lowerExtent[r] = gen() % 7 == 0 ? 1e6 : 300.0 * unit(gen);
      table->upperExtent[r] = gen() % 7 == 0 ? 5e5 : 300.0 * unit(gen);
      table->source[r] = gen() % 9 == 0 ? PeakTracking::kNoSource : f + 40.0 * unit(gen) - 20.0;
      table->flags[r] = gen() % 8 == 0 ? 1 : 0;
      table->spectrum[r] = gen() % 10 == 0 ? other.get() : b.get();
      if (gen() % 2 == 0 && std::isfinite(f) && f > 0.0 && f < nyquist) {
        // A steady partial, or one a little off its path.
        table->source[r] = f;
        const std::int64_t k = std::lround(f * binsPerHz);
        const double off = gen() % 3 == 0 ? 0.1 * unit(gen) + 0.05 : 0.0;
        a->phases[k] = static_cast<float>(
            std::fmod(b->phases[k] - kTwoPi * f * kPeriod + off + 100.0 * kTwoPi, kTwoPi));
        a->magnitudes[k] = b->magnitudes[k];
      }
    }
    for (std::int32_t first : {0, 1, 2, 3}) {
      if (first >= table->count) continue;
      const auto count = static_cast<std::size_t>(table->count - first);
      std::vector<std::uint8_t> moves(count, 9), movesPlain(count, 9);
      // Centres, lower and upper ends of the vector copy, then of the plain one.
      std::vector<std::int64_t> bins[6];
      for (auto& v : bins) v.assign(count, -7);
      NoisePhases::ClassifyRegions(*table, first, *a, *b, binsPerHz, n - 1, kPeriod, limits, moves.data(),
                                   {bins[0].data(), bins[1].data(), bins[2].data()});
      NoisePhases::ClassifyRegionsPlain(*table, first, *a, *b, binsPerHz, n - 1, kPeriod, limits,
                                        movesPlain.data(), {bins[3].data(), bins[4].data(), bins[5].data()});
      for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(moves[i], movesPlain[i]) << "region " << first + static_cast<std::int32_t>(i) << " round " << round;
        for (int e = 0; e < 3; ++e) {
          ASSERT_EQ(bins[e][i], bins[e + 3][i]) << "region " << first + static_cast<std::int32_t>(i) << " end " << e;
          ASSERT_GE(bins[e][i], 0);
          ASSERT_LT(bins[e][i], n);
        }
        steadySeen += moves[i] == NoisePhases::kMoveSkirts;
        wholeSeen += moves[i] == NoisePhases::kMoveWhole;
        noneSeen += moves[i] == NoisePhases::kMoveNone;
      }
      // The plain copy's steady peaks are IsSteadyPeak's.
      for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t r = first + static_cast<std::int32_t>(i);
        if (movesPlain[i] == NoisePhases::kMoveNone || !std::isfinite(table->centre[r])) continue;
        ASSERT_EQ(movesPlain[i] == NoisePhases::kMoveSkirts,
                  NoisePhases::IsSteadyPeak(*a, *b, table->source[r], table->centre[r], nyquist, kPeriod, limits))
            << "region " << r;
      }
    }
  }
  EXPECT_GT(steadySeen, 100);
  EXPECT_GT(wholeSeen, 100);
  EXPECT_GT(noneSeen, 50);
}
