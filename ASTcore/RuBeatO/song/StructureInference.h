#pragma once
// One round of the song-structure model: a Bayesian hidden semi-Markov model
// over per-bar feature rows, fitted by variational expectation-maximisation
// from a random start and then decoded. Every state stands for one kind of
// song part; a visit lasts 1 to maxDuration bars; a state's bars follow a
// mixture of numMixtures diagonal Gaussian components.
//
// Random starts draw from the calling thread's Numeric::randomInt sequence
// in a fixed order, so a seeded sequence gives a repeatable round. A model
// serves one round on one thread; estimate rebuilds everything each call.

#include <Eigen/Dense>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Dirichlet.h"
#include "StateEmission.h"

namespace Numeric {
class Hsmm;
}

class StructureInference {
 public:
  using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
  using IntVector = Eigen::Matrix<std::int32_t, Eigen::Dynamic, 1>;

  // Throws std::domain_error unless every count is at least 1.
  StructureInference(int numStates, int maxDuration, int numMixtures);
  ~StructureInference();

  // Each stores its value only when it is greater than 0.
  StructureInference& setObservationPriors(double a, double b, double c);
  StructureInference& setMixtureWeightPrior(double prior);
  StructureInference& setInferenceParamC(double value);
  StructureInference& setInferenceParamD(double value);

  // Fits the model to `features` (one row per bar) and decodes it into
  // `labels` and `countdown` (one value per bar each). Returns the final
  // score (0 when no iteration runs).
  double estimate(const Matrix& features);

  // The model's transition and duration posteriors, on the standard error
  // stream.
  void print() const;

  // Prior concentration of each state's segment lengths, 1 to maxDuration
  // bars.
  static Eigen::VectorXd durationPrior(int maxDuration);

  const IntVector& getLabels() const { return labels; }
  const IntVector& getCountdown() const { return countdown; }
  int iterationsRun() const { return iterations; }

  std::int32_t maxIterations = 20;

 private:
  void setUpModel(Eigen::Index featureColumns);
  void emissionStep(const Matrix& features, Matrix& componentLogLik, Matrix& stateLogLik) const;
  double transitionAndDurationStep(const Matrix& stateLogLik);
  double emissionUpdate(const Matrix& componentLogLik, const Matrix& features);

  std::vector<Numeric::Dirichlet> transitionPosteriors;
  std::vector<Numeric::Dirichlet> durationPosteriors;
  std::vector<std::vector<Numeric::StateEmission>> emissions;
  std::vector<Numeric::Dirichlet> mixtureWeightPosteriors;
  std::shared_ptr<Numeric::Hsmm> hsmm;
  std::int32_t numStates;
  std::int32_t maxDuration;
  std::int32_t numMixtures;
  std::array<double, 3> observationPriors{1.0, 0.01, 0.01};
  double paramD = 0.1;
  double paramC = 0.1;  // kept for the settings' sake; no step reads it
  double mixtureWeightPrior = 1.0;
  IntVector countdown;
  IntVector labels;
  int iterations = 0;
};
