// Tempo and phase model: set-up of the state layout and tempo transitions,
// the Viterbi decode with constraints and back-tracking, and the online
// forward step with its readouts.

#include "BeatHmm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "MovingStats.h"
#include "NumericUtilities.h"

namespace RuBeatO {

namespace {

// ln N(x; mu, 1) with the model's constant.
constexpr float kLogUnitNormal = -0.9189385f;
constexpr float kForbidden = -10000.0f;
constexpr float kImpossible = -1.0e30f;

float unitNormalLog(float x, float mu) {
  const float d = mu - x;
  return kLogUnitNormal - d * d / 2.0f;
}

// Rounds half away from zero.
int32_t roundAway(double x) { return static_cast<int32_t>(x + (x < 0.0 ? -0.5 : 0.5)); }

}  // namespace

void BeatHmm::init(uint32_t W, uint32_t combFilterDimension, int32_t decimation, int32_t fpbMin,
                   int32_t fpbMax, float mean, float stdDev) {
  normalPdfLutSize = W;
  hmmDecimation = decimation;
  FPB_MIN = fpbMin;
  FPB_MAX = fpbMax;
  fpbMean = mean;
  fpbStdDev = stdDev;
  nFpb = 0;
  stateCount = 0;

  if (!(stdDev > 0.0f)) throw std::domain_error("fpbStdDev should be positive.");
  if (W < 1 || W > 8192) throw std::domain_error("normalPdfLutSize should be positive.");
  if (combFilterDimension < 1 || combFilterDimension > 8192)
    throw std::domain_error("Comb Filter Dimension should be positive");
  if (decimation < 1) throw std::domain_error("hmmDecimation should be positive");
  if (fpbMax <= fpbMin) throw std::domain_error("FPB_MIN < FPB_MAX failed");
  if (fpbMin < 1) throw std::domain_error("FPB_MIN > 0 failed");
  if (2 * W + 1 >= 512) throw std::domain_error("WINLEN too high (must be <256");
  // A tempo without a phase has no state to be in, and back-pointers hold
  // tempi in 16 bits.
  if (fpbMin < decimation) throw std::domain_error("FPB_MIN >= hmmDecimation failed");
  if (fpbMax > std::numeric_limits<uint16_t>::max())
    throw std::domain_error("FPB_MAX must fit in 16 bits");

  nFpb = FPB_MAX - FPB_MIN + 1;
  neighbours.assign(static_cast<size_t>(nFpb), {0, 0});
  accentPattern.reset(new BeatPattern(4));
  tempoEvidenceValues.assign(static_cast<size_t>(nFpb), 0.0f);
  tempoLut.assign(2 * W + 1, 0.0f);
  transitionColumns = static_cast<int32_t>(2 * W + 2);
  transitions.assign(static_cast<size_t>(nFpb) * transitionColumns,
                     -std::numeric_limits<float>::infinity());
  beatScores.assign(static_cast<size_t>(nFpb), 0.0f);
  log2Fpb.resize(static_cast<size_t>(nFpb));
  for (int32_t k = 0; k < nFpb; ++k)
    log2Fpb[k] = std::log(static_cast<float>(FPB_MIN + k)) / 0.6931472f;
  buildStateLayout();
  setAccentPattern();
  buildTempoTransitions();

  constraints.clear();
  records.clear();
  path.clear();
  scoresA.clear();
  scoresB.clear();
  current = previous = nullptr;
  onlineInitialised = false;
  constrainedStart = false;
  frameRing.Reset(80);
}

void BeatHmm::buildStateLayout() {
  phaseCount.resize(static_cast<size_t>(nFpb));
  stateOffset.resize(static_cast<size_t>(nFpb));
  int32_t offset = 0;
  for (int32_t k = 0; k < nFpb; ++k) {
    phaseCount[k] = (FPB_MIN + k) / hmmDecimation;
    stateOffset[k] = offset;
    offset += phaseCount[k];
  }
  stateCount = offset;
}

void BeatHmm::setAccentPattern() {
  std::vector<float> pattern(accentPattern->weights().size(), 1.0f);
  for (size_t i = 0; i < pattern.size(); i += 4) pattern[i] = 2.0f;
  accentPattern->assign(pattern);
}

void BeatHmm::buildTempoTransitions() {
  const int32_t W = static_cast<int32_t>(normalPdfLutSize);
  for (int32_t d = 0; d <= 2 * W; ++d)
    tempoLut[d] = Numeric::log_normal<float>(static_cast<float>(d), 0.0f,
                                             static_cast<float>(W) / 5.0f);

  auto distance = [this](int32_t j, int32_t k) {
    return roundAway(500.0 * std::fabs(log2Fpb[j] - log2Fpb[k]));
  };
  for (int32_t k = 0; k < nFpb; ++k) {
    const int32_t first = std::max(0, k - W);
    const int32_t end = std::min(k + W + 1, nFpb);
    int32_t lo = k;
    for (int32_t j = k - 1; j >= first && distance(j, k) <= 2 * W; --j) lo = j;
    int32_t hi = k + 1;
    for (int32_t j = k + 1; j < end && distance(j, k) <= 2 * W; ++j) hi = j + 1;
    neighbours[k] = {lo, hi};
    float* row = &transitions[static_cast<size_t>(k) * transitionColumns];
    for (int32_t j = lo; j < hi; ++j) row[j - lo] = tempoLut[distance(k, j)];
  }
}

float BeatHmm::transitionScore(int32_t k, int32_t j) const {
  const auto& range = neighbours.at(k);
  if (j < range.first || j >= range.second) return -std::numeric_limits<float>::infinity();
  return transitions[static_cast<size_t>(k) * transitionColumns + (j - range.first)];
}

void BeatHmm::initScores(std::vector<float>& scores) const {
  if (constrainedStart) {
    std::fill(scores.begin(), scores.end(), kImpossible);
    scores[stateOffset[startTempo - FPB_MIN] + startPhase] = 0.0f;
    return;
  }
  std::fill(scores.begin(), scores.end(), 0.0f);
  // The slowest tempo keeps 0 rather than its prior, as the model was tuned.
  for (int32_t k = 0; k + FPB_MIN < FPB_MAX; ++k) {
    const float prior = Numeric::log_normal<float>(
        static_cast<float>(FPB_MIN + k) / fpbMean, 1.0f, fpbStdDev);
    std::fill_n(scores.begin() + stateOffset[k], phaseCount[k], prior);
  }
}

int32_t BeatHmm::setStartState(int32_t tempo, int32_t position) {
  if (nFpb == 0) throw std::logic_error("BeatHmm has not been set up");
  constrainedStart = true;
  startTempo = std::min(std::max(tempo, FPB_MIN), FPB_MAX);
  startPhase = Numeric::PositiveMod(position, startTempo);
  // With a decimation above 1 the tempo has fewer phases than frames.
  startPhase = std::min(startPhase, phaseCount[startTempo - FPB_MIN] - 1);
  return position / startTempo;
}

void BeatHmm::addBeatConstraint(uint32_t step, uint32_t radius) {
  if (radius == 0) throw std::domain_error("Non-Positive radius is not valid.");
  const uint32_t d = static_cast<uint32_t>(hmmDecimation);
  constraints.push_back({static_cast<int32_t>(step / d), static_cast<int32_t>(radius / d)});
}

void BeatHmm::addNoBeatConstraint(int32_t step, int32_t radius) {
  if (radius <= 0) throw std::domain_error("Non-Positive radius is not valid.");
  constraints.push_back({step / hmmDecimation, -radius / hmmDecimation});
}

void BeatHmm::clearConstraints() { constraints.clear(); }

void BeatHmm::pushData(float observation, const boost::numeric::ublas::vector<float>& features) {
  FrameRecord record{observation, {}};
  if (frameRing.GetPosition() == 0) record.features.assign(features.begin(), features.end());
  records.push_back(std::move(record));
  frameRing.Advance();
}

void BeatHmm::observe(float x, float* scores) const {
  const float background = unitNormalLog(x, 0.0f);
  const float beat = unitNormalLog(x, 3.0f);
  const float halfBeat = unitNormalLog(x, 1.5f);
  std::fill_n(scores, stateCount, background);
  for (int32_t k = 0; k < nFpb; ++k) {
    scores[stateOffset[k]] = beat;
    scores[stateOffset[k] + phaseCount[k] / 2] = halfBeat;
  }
}

void BeatHmm::viterbiTempoStep(const float* prev, uint16_t* backPointers) {
  for (int32_t j = 0; j < nFpb; ++j) beatScores[j] = prev[stateOffset[j]];
  for (int32_t k = 0; k < nFpb; ++k) {
    float best = beatScores[k] + tempoLut[0];
    int32_t arg = k;
    const int32_t lo = neighbours[k].first;
    const float* row = &transitions[static_cast<size_t>(k) * transitionColumns];
    for (int32_t j = lo; j < neighbours[k].second; ++j) {
      const float c = beatScores[j] + row[j - lo];
      if (c > best) {
        best = c;
        arg = j;
      }
    }
    tempoScores[k] = best;
    backPointers[k] = static_cast<uint16_t>(arg + FPB_MIN);
  }
}

void BeatHmm::forwardTempoStep(const float* prev) {
  for (int32_t j = 0; j < nFpb; ++j) beatScores[j] = prev[stateOffset[j]];
  for (int32_t k = 0; k < nFpb; ++k) {
    const int32_t lo = neighbours[k].first;
    const float* row = &transitions[static_cast<size_t>(k) * transitionColumns];
    float m = -std::numeric_limits<float>::infinity();
    for (int32_t j = lo; j < neighbours[k].second; ++j) m = std::max(m, beatScores[j] + row[j - lo]);
    double sum = 0.0;
    for (int32_t j = lo; j < neighbours[k].second; ++j)
      sum += std::exp(static_cast<double>(beatScores[j] + row[j - lo] - m));
    tempoScores[k] = m + static_cast<float>(std::log(sum));
  }
}

void BeatHmm::advancePhases(const float* prev, float* cur) {
  for (int32_t k = 0; k < nFpb; ++k) {
    const int32_t o = stateOffset[k];
    const int32_t n = phaseCount[k];
    for (int32_t p = 0; p < n - 1; ++p) cur[o + p] += prev[o + p + 1];
    cur[o + n - 1] += tempoScores[k];
  }
  int32_t best = 0;
  for (int32_t s = 1; s < stateCount; ++s)
    if (cur[s] > cur[best]) best = s;
  bestState = best;
  const float top = cur[best];
  for (int32_t s = 0; s < stateCount; ++s) cur[s] -= top;
}

void BeatHmm::applyConstraint(const Constraint& c, float* cur) const {
  const int32_t R = std::max(std::abs(c.radius), 1);
  for (int32_t k = 0; k < nFpb; ++k) {
    float* phases = cur + stateOffset[k];
    const int32_t n = phaseCount[k];
    if (c.radius < 1) {
      for (int32_t p = 0; p < std::min(R, n); ++p) phases[p] += kForbidden;
      for (int32_t p = std::max(n - R - 1, 0); p < n; ++p) phases[p] += kForbidden;
    } else if (R < n - 1 - R) {
      for (int32_t p = R; p <= n - 2 - R; ++p) phases[p] += kForbidden;
    }
  }
}

void BeatHmm::infer() {
  if (nFpb == 0) throw std::logic_error("BeatHmm has not been set up");
  while (frameRing.GetPosition() != 0) frameRing.Advance();

  const size_t T = records.size();
  tempoScores.assign(static_cast<size_t>(nFpb), 0.0f);
  std::vector<uint16_t> backPointers(static_cast<size_t>(nFpb) * T, 0);
  scoresA.assign(static_cast<size_t>(stateCount), 0.0f);
  scoresB.assign(static_cast<size_t>(stateCount), 0.0f);
  std::fill(tempoEvidenceValues.begin(), tempoEvidenceValues.end(), 0.0f);
  std::sort(constraints.begin(), constraints.end(), [](const Constraint& a, const Constraint& b) {
    return a.step != b.step ? a.step < b.step : a.radius < b.radius;
  });
  initScores(scoresA);
  initScores(scoresB);
  current = scoresA.data();
  previous = scoresB.data();

  auto cursor = constraints.begin();
  for (size_t t = 0; t < T; ++t) {
    std::swap(current, previous);
    observe(records[t].observation, current);
    viterbiTempoStep(previous, &backPointers[t * nFpb]);
    advancePhases(previous, current);
    if (cursor != constraints.end() && cursor->step == static_cast<int64_t>(t)) {
      applyConstraint(*cursor, current);
      ++cursor;
    }
  }
  backtrack(backPointers);
}

void BeatHmm::backtrack(const std::vector<uint16_t>& backPointers) {
  const size_t T = records.size();
  path.assign(T, 0);
  if (T == 0) return;
  int32_t s = 0;
  for (int32_t i = 1; i < stateCount; ++i)
    if (current[i] > current[s]) s = i;
  path[T - 1] = s;
  int32_t tempo = 0;
  int32_t phase = 0;
  decompose(s, &tempo, &phase);
  finalTempo = tempo;
  finalPhase = phase;
  for (size_t t = T - 1; t >= 1; --t) {
    const int32_t n = tempo / hmmDecimation;
    if (phase != n - 1) {
      ++phase;
      path[t - 1] = stateOffset[tempo - FPB_MIN] + phase;
    } else {
      const int32_t from = backPointers[t * nFpb + (tempo - FPB_MIN)];
      path[t - 1] = stateOffset[from - FPB_MIN];
      decompose(path[t - 1], &tempo, &phase);
    }
  }
}

void BeatHmm::decompose(int32_t state, int32_t* tempo, int32_t* phase) const {
  if (state < 0 || state >= stateCount) throw std::domain_error("state index out of range");
  // Offsets rise strictly (every tempo has a phase), so the tempo is the last
  // one whose first state is not above `state`.
  const auto it = std::upper_bound(stateOffset.begin(), stateOffset.end(), state) - 1;
  const int32_t k = static_cast<int32_t>(it - stateOffset.begin());
  *tempo = k + FPB_MIN;
  *phase = state - *it;
}

void BeatHmm::getStateAt(size_t t, int32_t* tempo, int32_t* phase) const {
  if (t >= path.size()) throw std::domain_error("step is not in the decoded path");
  decompose(path[t], tempo, phase);
}

void BeatHmm::getFinalState(int32_t* phase, int32_t* tempo) const {
  *phase = finalPhase;
  *tempo = finalTempo;
}

void BeatHmm::restartOnline() {
  if (nFpb == 0) throw std::logic_error("BeatHmm has not been set up");
  scoresA.assign(static_cast<size_t>(stateCount), 0.0f);
  scoresB.assign(static_cast<size_t>(stateCount), 0.0f);
  current = scoresA.data();
  previous = scoresB.data();
  activeRange = searchRange = {FPB_MIN, FPB_MAX};
  initScores(scoresA);
  initScores(scoresB);
  tempoScores.assign(static_cast<size_t>(stateCount), 0.0f);
  onlineInitialised = true;
}

void BeatHmm::stepOnline(float observation) {
  if (nFpb == 0) throw std::logic_error("BeatHmm has not been set up");
  if (!onlineInitialised) restartOnline();
  std::swap(current, previous);
  observe(observation, current);
  forwardTempoStep(previous);
  advancePhases(previous, current);
  frameRing.Advance();
}

void BeatHmm::requireOnline() const {
  if (current == nullptr) throw std::logic_error("no step has been taken yet");
}

int32_t BeatHmm::tempoIndex(int32_t tempo) const {
  if (tempo < FPB_MIN || tempo > FPB_MAX) throw std::domain_error("tempo out of range");
  return tempo - FPB_MIN;
}

float BeatHmm::maxPhaseScore(int32_t tempo) const {
  requireOnline();
  const int32_t k = tempoIndex(tempo);
  const float* first = current + stateOffset[k];
  return *std::max_element(first, first + phaseCount[k]);
}

void BeatHmm::penalizeOffBeat() {
  requireOnline();
  for (int32_t fpb = activeRange.first; fpb < activeRange.second; ++fpb) {
    const int32_t k = tempoIndex(fpb);
    for (int32_t p = 1; p < phaseCount[k]; ++p) current[stateOffset[k] + p] += -100.0f;
  }
}

void BeatHmm::getBestState(int32_t* tempo, int32_t* phase) const {
  requireOnline();
  const int32_t first = stateOffset[tempoIndex(searchRange.first)];
  const int32_t end = std::min(
      stateOffset[tempoIndex(searchRange.second)] + searchRange.second / hmmDecimation,
      stateCount);
  int32_t best = first;
  for (int32_t s = first + 1; s < end; ++s)
    if (current[s] > current[best]) best = s;
  decompose(best, tempo, phase);
}

void BeatHmm::getBeatScores(std::vector<double>& out) const {
  requireOnline();
  out.assign(static_cast<size_t>(std::max(activeRange.second, 0)), 0.0);
  for (int32_t fpb = activeRange.first; fpb < activeRange.second; ++fpb)
    out[fpb] = current[stateOffset[tempoIndex(fpb)]];
}

void BeatHmm::setSearchRange(int32_t lo, int32_t hi) {
  if (lo > hi) return;
  searchRange.first = std::max(lo, activeRange.first);
  searchRange.second = std::min(hi, activeRange.second);
}

void BeatHmm::tempoEvidence(const std::vector<float>& curve) {
  if (nFpb == 0) throw std::logic_error("BeatHmm has not been set up");
  std::vector<float> processed(curve);
  Numeric::MovingAverage<float> forward(20);
  for (float& v : processed) v = forward.update(v);
  Numeric::MovingAverage<float> backward(20);
  for (auto it = processed.rbegin(); it != processed.rend(); ++it) *it = backward.update(*it);
  double norm = 0.0;
  for (float v : processed) norm += static_cast<double>(v) * v;
  const float scale = static_cast<float>(1.0 / (std::sqrt(norm) + 1e-10));
  for (float& v : processed) v *= scale;
  std::fill(tempoEvidenceValues.begin(), tempoEvidenceValues.end(), 0.0f);
  for (int32_t k = 0; FPB_MIN + k < FPB_MAX; ++k)
    tempoEvidenceValues[k] =
        accentPattern->score(processed, static_cast<float>(FPB_MIN + k) * 0.5f);
}

float BeatHmm::tempoLogLikelihood(float a, float b, float scale) const {
  const int32_t size = static_cast<int32_t>(tempoLut.size());
  const double i = std::trunc(std::fabs(a - b) / scale / 5.0 * size + 0.5);
  if (!(i >= 0.0 && i < size)) return -std::numeric_limits<float>::infinity();
  return tempoLut[static_cast<size_t>(i)] - std::log(scale);
}

}  // namespace RuBeatO
