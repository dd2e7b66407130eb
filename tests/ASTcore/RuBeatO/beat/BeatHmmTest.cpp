// The tempo/phase model against a plain Viterbi over its whole state space
// (every (tempo, phase) pair, a dense transition matrix built from the
// stated rules in double precision), against planted beat sequences, and
// with constraints and a fixed start. Small tempo ranges keep the reference
// cheap.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "BeatHmm.h"
#include "BeatPattern.h"

namespace {

using RuBeatO::BeatHmm;

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

struct Params {
  uint32_t W = 12;
  int32_t decimation = 4;
  int32_t fpbMin = 40;
  int32_t fpbMax = 60;
  float mean = 50.0f;
  float sd = 0.1f;
};

void setUp(BeatHmm& hmm, const Params& p) {
  hmm.init(p.W, 10, p.decimation, p.fpbMin, p.fpbMax, p.mean, p.sd);
}

void push(BeatHmm& hmm, const std::vector<float>& obs) {
  const boost::numeric::ublas::vector<float> none(3, 0.0f);
  for (float x : obs) hmm.pushData(x, none);
}

// Every state of the model as (tempo, phase), with the dense reference.
struct Reference {
  struct State {
    int fpb;
    int phase;
    int phases;
  };
  std::vector<State> states;
  std::vector<std::vector<double>> logA;  // [from][to]
  std::vector<double> initial;

  explicit Reference(const Params& p) {
    for (int fpb = p.fpbMin; fpb <= p.fpbMax; ++fpb)
      for (int q = 0; q < fpb / p.decimation; ++q) states.push_back({fpb, q, fpb / p.decimation});
    const size_t n = states.size();
    logA.assign(n, std::vector<double>(n, kNegInf));
    const double sigma = p.W / 5.0;
    for (size_t a = 0; a < n; ++a) {
      for (size_t b = 0; b < n; ++b) {
        const State& from = states[a];
        const State& to = states[b];
        if (from.phase == 0 && to.phase == to.phases - 1) {
          // Tempo change at a beat: within W tempi and 2W units of 1/500
          // octave, Gaussian in that distance.
          const double d = std::round(500.0 * std::fabs(std::log2(double(from.fpb)) -
                                                        std::log2(double(to.fpb))));
          if (std::abs(from.fpb - to.fpb) <= int(p.W) && d <= 2.0 * p.W)
            logA[a][b] = -0.5 * (d / sigma) * (d / sigma) - std::log(sigma) - 0.9186849902;
        } else if (from.fpb == to.fpb && from.phase == to.phase + 1) {
          logA[a][b] = 0.0;
        }
      }
      const State& s = states[a];
      initial.push_back(s.fpb == p.fpbMax
                            ? 0.0
                            : -0.5 * std::pow((s.fpb / double(p.mean) - 1.0) / p.sd, 2) -
                                  std::log(double(p.sd)) - 0.9186849902);
    }
  }

  static double emission(const State& s, double x) {
    double mu = 0.0;
    if (s.phase == 0) mu = 3.0;
    if (s.phase == s.phases / 2) mu = 1.5;
    return -0.9189385 - 0.5 * (x - mu) * (x - mu);
  }

  double bestScore(const std::vector<float>& obs) const {
    std::vector<double> delta = initial;
    for (float x : obs) {
      std::vector<double> next(states.size(), kNegInf);
      for (size_t b = 0; b < states.size(); ++b) {
        for (size_t a = 0; a < states.size(); ++a)
          next[b] = std::max(next[b], delta[a] + logA[a][b]);
        next[b] += emission(states[b], x);
      }
      delta.swap(next);
    }
    return *std::max_element(delta.begin(), delta.end());
  }

  size_t indexOf(int fpb, int phase) const {
    for (size_t i = 0; i < states.size(); ++i)
      if (states[i].fpb == fpb && states[i].phase == phase) return i;
    return states.size();
  }

  // Score of a path of (tempo, phase) pairs, with the best entry from the
  // initial scores; minus infinity for a path the model cannot take.
  double pathScore(const std::vector<std::pair<int, int>>& path,
                   const std::vector<float>& obs) const {
    std::vector<size_t> idx;
    for (const auto& tp : path) idx.push_back(indexOf(tp.first, tp.second));
    double entry = kNegInf;
    for (size_t a = 0; a < states.size(); ++a) entry = std::max(entry, initial[a] + logA[a][idx[0]]);
    double total = entry + emission(states[idx[0]], obs[0]);
    for (size_t t = 1; t < idx.size(); ++t)
      total += logA[idx[t - 1]][idx[t]] + emission(states[idx[t]], obs[t]);
    return total;
  }
};

std::vector<std::pair<int, int>> decodedPath(const BeatHmm& hmm) {
  std::vector<std::pair<int, int>> out;
  for (size_t t = 0; t < hmm.getPath().size(); ++t) {
    int32_t tempo = 0;
    int32_t phase = 0;
    hmm.getStateAt(t, &tempo, &phase);
    out.emplace_back(tempo, phase);
  }
  return out;
}

std::vector<size_t> beatSteps(const BeatHmm& hmm) {
  std::vector<size_t> beats;
  const auto path = decodedPath(hmm);
  for (size_t t = 0; t < path.size(); ++t)
    if (path[t].second == 0) beats.push_back(t);
  return beats;
}

// 3 at each planted beat, 1.5 half-way to the next, 0 elsewhere.
std::vector<float> planted(const std::vector<size_t>& beats, size_t length) {
  std::vector<float> obs(length, 0.0f);
  for (size_t i = 0; i < beats.size(); ++i) {
    obs[beats[i]] = 3.0f;
    if (i + 1 < beats.size()) obs[beats[i] + (beats[i + 1] - beats[i]) / 2] = 1.5f;
  }
  return obs;
}

TEST(BeatHmm, ViterbiFindsTheBestPathOfTheWholeStateSpace) {
  const Params p;
  const Reference ref(p);
  std::mt19937 gen(7);
  std::normal_distribution<float> noise(0.0f, 1.2f);
  for (int trial = 0; trial < 3; ++trial) {
    // Noisy beats every 12 or 13 steps, so tempo changes are worth taking.
    std::vector<float> obs(150);
    for (size_t t = 0; t < obs.size(); ++t)
      obs[t] = noise(gen) + ((t % (trial == 1 ? 13 : 12)) == 3 ? 3.0f : 0.0f);
    BeatHmm hmm;
    setUp(hmm, p);
    push(hmm, obs);
    hmm.infer();
    ASSERT_EQ(hmm.getPath().size(), obs.size());
    const double got = ref.pathScore(decodedPath(hmm), obs);
    const double best = ref.bestScore(obs);
    ASSERT_TRUE(std::isfinite(got)) << "decoded path uses a forbidden transition";
    EXPECT_NEAR(got, best, 1e-3 * std::fabs(best) + 1e-3);
  }
}

TEST(BeatHmm, PlantedBeatsDecodeToThePlantedPathAcrossATempoChange) {
  const Params p;
  std::vector<size_t> beats;
  for (size_t b = 5; b < 120; b += 12) beats.push_back(b);  // 12 phases: fpb 48..51
  for (size_t b = beats.back() + 13; b < 250; b += 13) beats.push_back(b);  // 13: 52..55
  const auto obs = planted(beats, beats.back() + 7);
  BeatHmm hmm;
  setUp(hmm, p);
  push(hmm, obs);
  hmm.infer();
  EXPECT_EQ(beatSteps(hmm), beats);
  const auto path = decodedPath(hmm);
  EXPECT_EQ(hmm.getPhaseCount(path[50].first - p.fpbMin), 12);
  EXPECT_EQ(hmm.getPhaseCount(path[beats.back()].first - p.fpbMin), 13);
}

TEST(BeatHmm, ConstraintsMoveAndRemoveBeats) {
  const Params p;
  std::vector<size_t> beats;
  for (size_t b = 5; b < 200; b += 12) beats.push_back(b);
  const auto obs = planted(beats, 200);

  BeatHmm keepAway;
  setUp(keepAway, p);
  push(keepAway, obs);
  const size_t t0 = beats[8];
  keepAway.addNoBeatConstraint(static_cast<int32_t>(t0) * p.decimation, 2 * p.decimation);
  keepAway.infer();
  for (size_t b : beatSteps(keepAway)) EXPECT_FALSE(b + 3 >= t0 && b <= t0 + 1) << b;

  BeatHmm near;
  setUp(near, p);
  push(near, obs);
  const size_t t1 = beats[8] + 6;  // half-way between two planted beats
  near.addBeatConstraint(static_cast<uint32_t>(t1 * p.decimation), 1 * p.decimation);
  near.infer();
  bool found = false;
  for (size_t b : beatSteps(near)) found = found || (b + 2 >= t1 && b <= t1);
  EXPECT_TRUE(found);

  near.clearConstraints();
  near.infer();
  EXPECT_EQ(beatSteps(near), beats);

  EXPECT_THROW(near.addBeatConstraint(10, 0), std::domain_error);
  EXPECT_THROW(near.addNoBeatConstraint(10, 0), std::domain_error);
}

TEST(BeatHmm, FixedStartHoldsTheFirstStateAndClampsItsPhase) {
  const Params p;
  std::vector<size_t> beats;
  for (size_t b = 5; b < 100; b += 12) beats.push_back(b);
  BeatHmm hmm;
  setUp(hmm, p);
  push(hmm, planted(beats, 100));
  // Tempo 100 is clamped to 60 (15 phases); phase 7 of it counts down to a
  // beat at step 6 (entered at step 0 from phase 7 one step earlier).
  EXPECT_EQ(hmm.setStartState(100, 7), 0);
  hmm.infer();
  const auto path = decodedPath(hmm);
  EXPECT_EQ(path[0], std::make_pair(60, 6));
  // A phase beyond the tempo's phase count is held at its top phase.
  BeatHmm clamped;
  setUp(clamped, p);
  push(clamped, std::vector<float>(5, 0.0f));
  clamped.setStartState(40, 35);
  clamped.infer();
  EXPECT_EQ(decodedPath(clamped)[0], std::make_pair(40, 8));
}

TEST(BeatHmm, SetUpRefusesBadParametersInOrder) {
  struct Case {
    uint32_t W;
    int32_t decimation, fpbMin, fpbMax;
    float sd;
    const char* message;
  };
  const Case cases[] = {
      {12, 1, 10, 20, 0.0f, "fpbStdDev should be positive."},
      {0, 1, 10, 20, 1.0f, "normalPdfLutSize should be positive."},
      {12, 0, 10, 20, 1.0f, "hmmDecimation should be positive"},
      {12, 1, 0, 0, 1.0f, "FPB_MIN < FPB_MAX failed"},
      {12, 1, 0, 20, 1.0f, "FPB_MIN > 0 failed"},
      {256, 1, 10, 20, 1.0f, "WINLEN too high (must be <256"},
      {12, 4, 3, 20, 1.0f, "FPB_MIN >= hmmDecimation failed"},
  };
  for (const Case& c : cases) {
    BeatHmm hmm;
    try {
      hmm.init(c.W, 10, c.decimation, c.fpbMin, c.fpbMax, 15.0f, c.sd);
      ADD_FAILURE() << c.message;
    } catch (const std::domain_error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  BeatHmm widest;
  EXPECT_NO_THROW(widest.init(255, 10, 1, 10, 20, 15.0f, 1.0f));
  BeatHmm comb;
  EXPECT_THROW(comb.init(12, 8193, 1, 10, 20, 15.0f, 1.0f), std::domain_error);
}

TEST(BeatHmm, EmptyDecodeAndOnePhaseTempi) {
  Params p;
  p.decimation = 3;
  p.fpbMin = 3;  // tempi 3..5 have a single phase: beat and top at once
  p.fpbMax = 8;
  p.mean = 5.0f;
  p.sd = 1.0f;
  BeatHmm hmm;
  setUp(hmm, p);
  hmm.infer();
  EXPECT_TRUE(hmm.getPath().empty());
  EXPECT_THROW(hmm.getStateAt(0, nullptr, nullptr), std::domain_error);

  std::mt19937 gen(3);
  std::uniform_real_distribution<float> level(0.0f, 3.0f);
  std::vector<float> obs(40);
  for (float& x : obs) x = level(gen);
  push(hmm, obs);
  hmm.infer();
  const Reference ref(p);
  EXPECT_NEAR(ref.pathScore(decodedPath(hmm), obs), ref.bestScore(obs), 1e-3);
}

TEST(BeatHmm, OnlineStepFollowsPlantedBeats) {
  const Params p;
  BeatHmm hmm;
  setUp(hmm, p);
  EXPECT_THROW(hmm.maxPhaseScore(50), std::logic_error);
  std::vector<size_t> beats;
  for (size_t b = 5; b < 200; b += 12) beats.push_back(b);
  const auto obs = planted(beats, 198);
  for (float x : obs) hmm.stepOnline(x);
  int32_t tempo = 0;
  int32_t phase = 0;
  hmm.getBestState(&tempo, &phase);
  EXPECT_EQ(hmm.getPhaseCount(tempo - p.fpbMin), 12);
  EXPECT_EQ(phase, 0);  // the last step, 197, is a planted beat
  std::vector<double> scores;
  hmm.getBeatScores(scores);
  EXPECT_EQ(scores.size(), size_t(p.fpbMax));
  EXPECT_FLOAT_EQ(static_cast<float>(scores[tempo]), 0.0f);
}

TEST(BeatPattern, WeightsNormaliseAndScoreFavoursTheMatchingSpacing) {
  RuBeatO::BeatPattern accent(std::vector<float>{2, 1, 1, 1});
  EXPECT_FLOAT_EQ(accent.weights()[0], 0.4f);
  RuBeatO::BeatPattern none(std::vector<float>{1, -1});
  EXPECT_EQ(none.weights(), std::vector<float>(2, 0.0f));
  EXPECT_EQ(accent.score({}, 0.0f), 0.0f);
  EXPECT_THROW(accent.score({1.0f}, 0.0f), std::domain_error);
  EXPECT_THROW(RuBeatO::BeatPattern(0), std::domain_error);

  std::vector<float> pulses(400, 0.0f);
  for (size_t i = 40; i < pulses.size(); i += 40) pulses[i] = 1.0f;
  const float match = accent.score(pulses, 40.0f);
  EXPECT_GT(match, accent.score(pulses, 47.0f));
  EXPECT_GT(match, accent.score(pulses, 33.0f));
  EXPECT_THROW(accent.score(std::vector<float>(10, 1.0f), 40.0f), std::logic_error);
}

}  // namespace
