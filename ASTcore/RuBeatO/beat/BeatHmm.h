// Hidden Markov model over (tempo, beat phase) that turns a sequence of
// per-step onset observations into beats.
//
// Tempo is counted in analysis frames per beat (fpb, FPB_MIN .. FPB_MAX);
// the model steps once per `hmmDecimation` frames, so a tempo of fpb frames
// has fpb / hmmDecimation phases. The phase counts down the steps left until
// the next beat: phase 0 is the beat, after which the model enters the top
// phase of a tempo close to the current one. Tempo can only change at a beat,
// and only within a window of W neighbours whose distance on a log2 tempo
// axis (1/500 octave units) is at most 2W, weighted by a Gaussian in that
// distance.
//
// Observations are normalised onset strengths: about 3 is expected at a
// beat, 1.5 half-way between beats and 0 elsewhere, each with unit variance.
//
// Offline use: pushData once per step, then infer() (Viterbi) and read the
// decoded states. Back-pointers are kept per tempo and step only (16 bits
// each), because within a tempo the phase moves deterministically. Scores are
// log-probabilities renormalised to a maximum of 0 at every step.
//
// Online use (forward, sum-product): stepOnline per observation and the
// readouts after it.
//
// One model serves one thread at a time.

#pragma once

#include <boost/numeric/ublas/vector.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <utility>
#include <vector>

#include "BeatPattern.h"
#include "CircularIndex.h"

namespace RuBeatO {

class BeatHmm {
 public:
  BeatHmm() = default;
  // The score pointers refer into the object's own vectors.
  BeatHmm(const BeatHmm&) = delete;
  BeatHmm& operator=(const BeatHmm&) = delete;

  // Sets the model up: W = normalPdfLutSize (half-width of the tempo-change
  // window, 1 .. 255), the tempo-evidence dimension (1 .. 8192), frames per
  // step (>= 1), the tempo range in frames per beat (FPB_MIN >= 1,
  // FPB_MIN < FPB_MAX, FPB_MAX < 65536, every tempo with at least one phase:
  // FPB_MIN >= hmmDecimation) and the tempo prior. Throws
  // std::domain_error for each violation and is then left unset.
  void init(uint32_t normalPdfLutSize, uint32_t combFilterDimension, int32_t hmmDecimation,
            int32_t fpbMin, int32_t fpbMax, float fpbMean, float fpbStdDev);

  // Appends one step's observation. The features (tempo evidence of the
  // owner) are kept only every 80th step; the decode does not read them.
  void pushData(float observation, const boost::numeric::ublas::vector<float>& features);

  // Starts every following decode in the single state (tempo, position mod
  // tempo); the tempo is clamped to FPB_MIN .. FPB_MAX and a phase beyond
  // that tempo's phases to its top phase. Returns position / tempo.
  int32_t setStartState(int32_t tempo, int32_t position);

  // Constraints on the next decodes, in frames (divided here by the
  // decimation): a beat within `radius` of `step`, or no beat near it.
  // Throws std::domain_error for a radius of 0 (beat) or below 1 (no beat).
  void addBeatConstraint(uint32_t step, uint32_t radius);
  void addNoBeatConstraint(int32_t step, int32_t radius);
  void clearConstraints();

  // Viterbi decode over every step pushed so far; may be repeated.
  void infer();

  // Steps pushed so far, and the decoded path of the last infer (one state
  // index per step; empty before the first).
  size_t getNumSteps() const { return records.size(); }
  float getObservation(size_t t) const { return records.at(t).observation; }
  const std::vector<int32_t>& getPath() const { return path; }
  // Tempo (frames per beat) and phase of decoded step t. Throws
  // std::domain_error for a step outside the decoded path.
  void getStateAt(size_t t, int32_t* tempo, int32_t* phase) const;
  // Tempo and phase of a state index (0 .. getStateCount()-1).
  void decompose(int32_t state, int32_t* tempo, int32_t* phase) const;

  // Tempo and phase of the last decoded step (unchanged by an empty decode).
  void getFinalState(int32_t* phase, int32_t* tempo) const;

  // Forward step of the online tracker; the first one starts it as
  // restartOnline does.
  void stepOnline(float observation);
  // The online start: the prior in both score vectors and the search and
  // active ranges back to the full tempo range. Throws std::logic_error
  // when the model is not set up.
  void restartOnline();
  // Online readouts; they throw std::logic_error before the first step of
  // either kind, and std::domain_error for a tempo outside the range.
  float maxPhaseScore(int32_t tempo) const;
  void penalizeOffBeat();
  void getBestState(int32_t* tempo, int32_t* phase) const;
  void getBeatScores(std::vector<double>& out) const;
  // Limits getBestState to lo .. hi (within the active range); a range with
  // lo > hi is ignored.
  void setSearchRange(int32_t lo, int32_t hi);

  // Accent-template evidence of each tempo in an onset curve (not used by
  // the decode).
  void tempoEvidence(const std::vector<float>& curve);
  const std::vector<float>& getTempoEvidence() const { return tempoEvidenceValues; }
  // Log-likelihood of a tempo change from a to b at the given scale; minus
  // infinity outside the table.
  float tempoLogLikelihood(float a, float b, float scale) const;
  // The accent template: 2, 1, 1, 1 normalised.
  void setAccentPattern();

  int32_t getFpbMin() const { return FPB_MIN; }
  int32_t getFpbMax() const { return FPB_MAX; }
  int32_t getDecimation() const { return hmmDecimation; }
  int32_t getStateCount() const { return stateCount; }
  int32_t getPhaseCount(int32_t tempoIndex) const { return phaseCount.at(tempoIndex); }
  int32_t getStateOffset(int32_t tempoIndex) const { return stateOffset.at(tempoIndex); }
  // Neighbour range [first, second) of tempo index k.
  std::pair<int32_t, int32_t> getNeighbourRange(int32_t k) const { return neighbours.at(k); }
  // Log-probability of moving from tempo index j to k (minus infinity
  // outside k's neighbour range).
  float transitionScore(int32_t k, int32_t j) const;

 private:
  struct FrameRecord {
    float observation;
    std::vector<float> features;
  };
  struct Constraint {
    int32_t step;
    int32_t radius;
  };

  void buildStateLayout();
  void buildTempoTransitions();
  void initScores(std::vector<float>& scores) const;
  void observe(float x, float* current) const;
  void viterbiTempoStep(const float* previous, uint16_t* backPointers);
  void forwardTempoStep(const float* previous);
  void advancePhases(const float* previous, float* current);
  void applyConstraint(const Constraint& c, float* current) const;
  void backtrack(const std::vector<uint16_t>& backPointers);
  void requireOnline() const;
  int32_t tempoIndex(int32_t tempo) const;

  bool constrainedStart = false;
  int32_t startTempo = 0;
  int32_t startPhase = 0;
  int32_t finalPhase = 0;
  int32_t finalTempo = 0;
  uint32_t normalPdfLutSize = 0;
  std::vector<float> tempoLut;
  std::vector<int32_t> phaseCount;
  int32_t FPB_MIN = 0;
  int32_t FPB_MAX = 0;
  int32_t nFpb = 0;
  std::pair<int32_t, int32_t> searchRange{0, 0};
  std::pair<int32_t, int32_t> activeRange{0, 0};
  std::vector<Constraint> constraints;
  std::vector<float> tempoEvidenceValues;
  Numeric::CircularIndex frameRing{80};
  std::vector<int32_t> path;
  std::vector<float> transitions;  // nFpb rows of (2W+2) columns
  int32_t transitionColumns = 0;
  std::vector<FrameRecord> records;
  int32_t hmmDecimation = 1;
  boost::shared_ptr<BeatPattern> accentPattern;
  std::vector<float> log2Fpb;
  float fpbMean = 0.0f;
  float fpbStdDev = 0.0f;
  std::vector<float> tempoScores;
  std::vector<float> beatScores;  // phase-0 scores of the previous step
  std::vector<int32_t> stateOffset;
  int32_t stateCount = 0;
  std::vector<float> scoresA;
  std::vector<float> scoresB;
  float* current = nullptr;
  float* previous = nullptr;
  std::vector<std::pair<int32_t, int32_t>> neighbours;
  bool onlineInitialised = false;
  int32_t bestState = 0;
};

}  // namespace RuBeatO
