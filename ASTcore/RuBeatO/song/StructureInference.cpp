#include "StructureInference.h"

#include <cmath>
#include <iostream>
#include <limits>
#include <stdexcept>

#include "Hsmm.h"

namespace {

// log sum exp of a row, minus infinity when its largest value is not finite.
template <typename Row>
double logSumExpRow(const Row& row) {
  const double top = row.maxCoeff();
  if (!std::isfinite(top)) return -std::numeric_limits<double>::infinity();
  return top + std::log((row.array() - top).exp().sum());
}

}  // namespace

StructureInference::StructureInference(int numStates, int maxDuration, int numMixtures)
    : numStates(numStates), maxDuration(maxDuration), numMixtures(numMixtures) {
  if (numStates < 1 || maxDuration < 1 || numMixtures < 1)
    throw std::domain_error("StructureInference - counts must be positive");
}

StructureInference::~StructureInference() = default;

StructureInference& StructureInference::setObservationPriors(double a, double b, double c) {
  if (a > 0.0) observationPriors[0] = a;
  if (b > 0.0) observationPriors[1] = b;
  if (c > 0.0) observationPriors[2] = c;
  return *this;
}

StructureInference& StructureInference::setMixtureWeightPrior(double prior) {
  if (prior > 0.0) mixtureWeightPrior = prior;
  return *this;
}

StructureInference& StructureInference::setInferenceParamC(double value) {
  if (value > 0.0) paramC = value;
  return *this;
}

StructureInference& StructureInference::setInferenceParamD(double value) {
  if (value > 0.0) paramD = value;
  return *this;
}

Eigen::VectorXd StructureInference::durationPrior(int D) {
  if (D == 8) return Eigen::VectorXd::Constant(D, 0.8);
  if (D < 4) return Eigen::VectorXd::Constant(D, 1e-10);
  // Three- and four-bar visits are the ones this prior favours.
  Eigen::VectorXd p = Eigen::VectorXd::Constant(D, 0.1);
  p[2] = 0.9;
  p[3] = 1.0;
  return p;
}

void StructureInference::setUpModel(Eigen::Index featureColumns) {
  const auto S = static_cast<std::size_t>(numStates);
  hsmm = std::make_shared<Numeric::Hsmm>(numStates, maxDuration);
  transitionPosteriors.clear();
  durationPosteriors.clear();
  mixtureWeightPosteriors.clear();

  durationPosteriors.assign(S, Numeric::Dirichlet(durationPrior(maxDuration)));

  transitionPosteriors.assign(S, Numeric::Dirichlet(numStates, 1.0f / static_cast<float>(numStates)));
  for (std::size_t s = 0; s < S; ++s) {
    // A slight preference for staying in a state.
    Eigen::VectorXd prior = Eigen::VectorXd::Constant(numStates, paramD);
    prior[static_cast<Eigen::Index>(s)] = 1.1 * paramD;
    transitionPosteriors[s] = Numeric::Dirichlet(prior);
  }

  mixtureWeightPosteriors.assign(
      S, Numeric::Dirichlet(numMixtures, static_cast<float>(mixtureWeightPrior / numMixtures)));

  emissions.assign(S, {});
  for (std::size_t s = 0; s < S; ++s) {
    const Numeric::StateEmission component(static_cast<std::int32_t>(featureColumns), observationPriors[0],
                                           observationPriors[1], observationPriors[2]);
    emissions[s].assign(static_cast<std::size_t>(numMixtures), component);
  }
}

void StructureInference::emissionStep(const Matrix& X, Matrix& componentLogLik, Matrix& stateLogLik) const {
  const Eigen::Index T = X.rows();
  componentLogLik.resize(static_cast<Eigen::Index>(numStates) * T, numMixtures);
  stateLogLik.resize(T, numStates);
  Eigen::VectorXd ll;
  for (int s = 0; s < numStates; ++s) {
    const Eigen::VectorXd w = mixtureWeightPosteriors[static_cast<std::size_t>(s)].getExpectedLog();
    for (int m = 0; m < numMixtures; ++m) {
      emissions[static_cast<std::size_t>(s)][static_cast<std::size_t>(m)].expectedLogLik(X, ll);
      componentLogLik.col(m).segment(s * T, T) = ll.array() + w[m];
    }
    for (Eigen::Index t = 0; t < T; ++t) stateLogLik(t, s) = logSumExpRow(componentLogLik.row(s * T + t));
  }
}

double StructureInference::transitionAndDurationStep(const Matrix& stateLogLik) {
  Matrix A(numStates, numStates), Dm(numStates, maxDuration);
  for (int s = 0; s < numStates; ++s) {
    A.row(s) = transitionPosteriors[static_cast<std::size_t>(s)].getExpectedLog().transpose();
    Dm.row(s) = durationPosteriors[static_cast<std::size_t>(s)].getExpectedLog().transpose();
  }
  hsmm->setTransition(A);
  hsmm->setDuration(Dm);
  double result = hsmm->infer(stateLogLik);
  Matrix transitionCounts, durationCounts;
  hsmm->collectStats(transitionCounts, durationCounts);
  for (int s = 0; s < numStates; ++s) {
    Numeric::Dirichlet& d = transitionPosteriors[static_cast<std::size_t>(s)];
    d.update(transitionCounts.row(s).transpose());
    result += d.bound();
  }
  for (int s = 0; s < numStates; ++s) {
    Numeric::Dirichlet& d = durationPosteriors[static_cast<std::size_t>(s)];
    d.update(durationCounts.row(s).transpose());
    result += d.bound();
  }
  return result;
}

double StructureInference::emissionUpdate(const Matrix& componentLogLik, const Matrix& X) {
  const Eigen::Index T = X.rows();
  Matrix G;
  hsmm->statePosteriors(G);
  double result = 0.0;
  Eigen::VectorXd v(T);
  for (int s = 0; s < numStates; ++s) {
    const auto occupancy = G.col(s);
    Eigen::VectorXd E(numMixtures);
    for (int m = 0; m < numMixtures; ++m) E[m] = occupancy.dot(componentLogLik.col(m).segment(s * T, T));
    const double z = logSumExpRow(E.transpose());
    const Eigen::VectorXd r = (E.array() - z).exp();
    for (int m = 0; m < numMixtures; ++m) {
      Numeric::StateEmission& component = emissions[static_cast<std::size_t>(s)][static_cast<std::size_t>(m)];
      v = r[m] * occupancy;
      const double V = v.sum();
      if (V > 0.0) {
        const Eigen::VectorXd mu = (X.transpose() * v) / V;
        const Matrix dev = X.rowwise() - mu.transpose();
        const Eigen::VectorXd var = (dev.array().square().matrix().transpose() * v) / V;
        component.update(mu, var, V);
      }
      result += component.klDivergence();
    }
    const double n = occupancy.sum();
    Numeric::Dirichlet& weights = mixtureWeightPosteriors[static_cast<std::size_t>(s)];
    weights.update(r * n);
    result += weights.bound();
  }
  return result;
}

double StructureInference::estimate(const Matrix& features) {
  setUpModel(features.cols());
  Matrix componentLogLik, stateLogLik;
  double prev = -1e50;
  double score = 0.0;
  iterations = 0;
  for (int i = 0; i < maxIterations; ++i) {
    emissionStep(features, componentLogLik, stateLogLik);
    const double a = transitionAndDurationStep(stateLogLik);
    const double b = emissionUpdate(componentLogLik, features);
    score = a + b;
    ++iterations;
    if (std::fabs(score - prev) < 0.01) break;
    prev = score;
  }
  // Without an iteration the decoding sees the untrained start.
  if (iterations == 0) emissionStep(features, componentLogLik, stateLogLik);
  hsmm->decode(countdown, labels, stateLogLik);
  return score;
}

void StructureInference::print() const {
  // Eigen's default stream layout: a vector's values one per line.
  std::cerr << "StructureInference Instance at " << static_cast<const void*>(this) << "\n";
  std::cerr << "[Transition]\n";
  for (std::size_t i = 0; i < transitionPosteriors.size(); ++i)
    std::cerr << "TR(" << i << "):" << transitionPosteriors[i].prior << ":" << transitionPosteriors[i].posterior
              << "\n";
  std::cerr << "[Duration]\n";
  for (std::size_t i = 0; i < durationPosteriors.size(); ++i)
    std::cerr << "DR(" << i << "):" << durationPosteriors[i].prior << ":" << durationPosteriors[i].posterior << "\n";
}
