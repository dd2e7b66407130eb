#include "Hsmm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace Numeric {

namespace {

// Stand-in for log(0): cells no path reaches keep this finite value, so the
// arithmetic of later frames never meets inf - inf.
constexpr double kLogZero = -1e100;

// Count terms this far below their frame's total are negligible.
constexpr double kCountCutoff = -30.0;
// A frame whose best transition is this far below its best continuation
// holds no segment boundary worth counting.
constexpr double kBoundaryMargin = 3.0;

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// log(exp(x) + exp(y)) without overflow.
double logAddPair(double x, double y) {
  const double hi = std::max(x, y);
  const double lo = std::min(x, y);
  return hi + std::log(std::exp(lo - hi) + 1.0);
}

// log(sum exp(x_k)) over n values spaced by stride. A non-finite maximum is
// returned as it is: an all -inf input stays -inf instead of becoming NaN.
double logSumExpOf(const double* x, Eigen::Index n, Eigen::Index stride = 1) {
  double m = kMinusInfinity;
  for (Eigen::Index k = 0; k < n; ++k) m = std::max(m, x[k * stride]);
  if (!std::isfinite(m)) return m;
  double sum = 0.0;
  for (Eigen::Index k = 0; k < n; ++k) sum += std::exp(x[k * stride] - m);
  return m + std::log(sum);
}

// A weight matrix of the wrong shape would leave the passes reading past
// its end, so it is refused whole.
void checkShape(const char* what, const Hsmm::Matrix& m, const Hsmm::Matrix& current) {
  if (m.rows() == current.rows() && m.cols() == current.cols()) return;
  throw std::domain_error(std::string(what) + ": Incompatible dimension " + std::to_string(m.rows()) + " " +
                          std::to_string(m.cols()));
}

}  // namespace

Hsmm::Hsmm(std::int32_t nStates_, std::int32_t maxDuration_)
    : nStates(nStates_), maxDuration(maxDuration_) {
  if (nStates < 1) throw std::domain_error("nStates must be positive");
  if (maxDuration < 1) throw std::domain_error("maxDuration must be positive");
  logTransition = Matrix::Zero(nStates, nStates);
  logDuration = Matrix::Zero(nStates, maxDuration);
  transitionCounts = Matrix::Zero(nStates, nStates);
  durationCounts = Matrix::Zero(nStates, maxDuration);
}

Hsmm::~Hsmm() = default;

void Hsmm::setTransition(const Matrix& m) {
  checkShape("setTransition", m, logTransition);
  logTransition = m;
}

void Hsmm::setDuration(const Matrix& m) {
  checkShape("setDuration", m, logDuration);
  logDuration = m;
}

void Hsmm::checkEmission(const Matrix& logEmission) const {
  if (logEmission.rows() > 0 && logEmission.cols() != nStates) {
    throw std::domain_error("logEmission must have one column per state");
  }
}

double Hsmm::infer(const Matrix& logEmission) {
  checkEmission(logEmission);
  const Eigen::Index T = logEmission.rows();
  const Eigen::Index cells = Eigen::Index(nStates) * maxDuration;
  logForward = Matrix::Zero(T, cells);
  logBackward = Matrix::Zero(T, cells);
  forward(logEmission);
  backward(logEmission);
  accumulateCounts(logEmission);
  return logScale.size() == 0 ? 0.0 : logScale.sum();
}

void Hsmm::forward(const Matrix& e) {
  const Eigen::Index T = logForward.rows();
  const int N = nStates;
  const int D = maxDuration;
  logScale.resize(T);
  if (T == 0) return;
  logScale(0) = 0.0;
  std::vector<double> terms(N);
  for (Eigen::Index t = 1; t < T; ++t) {
    for (int j = 0; j < N; ++j) {
      // Mass of segments ending at t-1 and handing over to j.
      for (int i = 0; i < N; ++i) terms[i] = logForward(t - 1, i * D) + logTransition(i, j);
      const double top = *std::max_element(terms.begin(), terms.end());
      const double s = top > kLogZero ? logSumExpOf(terms.data(), N) : kLogZero;
      const double ej = e(t, j);
      for (int d = 0; d + 1 < D; ++d) {
        logForward(t, j * D + d) =
            ej + logAddPair(logDuration(j, d) + s, logForward(t - 1, j * D + d + 1));
      }
      logForward(t, j * D + D - 1) = ej + (s + logDuration(j, D - 1));
    }
    const double c = logSumExpOf(&logForward(t, 0), logForward.cols());
    logForward.row(t).array() -= c;
    logScale(t) = c;
  }
}

void Hsmm::backward(const Matrix& e) {
  const Eigen::Index T = logBackward.rows();
  const int N = nStates;
  const int D = maxDuration;
  std::vector<double> u(N);
  std::vector<double> terms(std::max(N, D));
  for (Eigen::Index t = T - 2; t >= 0; --t) {
    for (int j = 0; j < N; ++j) {
      const double ej = e(t + 1, j);
      for (int d = 0; d < D; ++d) terms[d] = logDuration(j, d) + logBackward(t + 1, j * D + d) + ej;
      u[j] = logSumExpOf(terms.data(), D);
    }
    for (int i = 0; i < N; ++i) {
      for (int j = 0; j < N; ++j) terms[j] = logTransition(i, j) + u[j];
      const double top = *std::max_element(terms.begin(), terms.begin() + N);
      logBackward(t, i * D) = top > kLogZero ? logSumExpOf(terms.data(), N) : kLogZero;
      const double ei = e(t + 1, i);
      for (int d = 1; d < D; ++d) logBackward(t, i * D + d) = logBackward(t + 1, i * D + d - 1) + ei;
    }
  }
}

void Hsmm::accumulateCounts(const Matrix& e) {
  const Eigen::Index T = logForward.rows();
  const int N = nStates;
  const int D = maxDuration;
  // Rows i*N + j of C and S: a segment of i ends at t-1 and one of j starts
  // at t with residual duration d. K holds the continuations.
  Matrix C(Eigen::Index(N) * N, D);
  Matrix K(N, D - 1);
  Matrix S = Matrix::Zero(Eigen::Index(N) * N, D);
  for (Eigen::Index t = 1; t < T; ++t) {
    for (int i = 0; i < N; ++i) {
      for (int d = 0; d + 1 < D; ++d) {
        K(i, d) = logForward(t - 1, i * D + d + 1) + logBackward(t, i * D + d) + e(t, i);
      }
    }
    for (int i = 0; i < N; ++i) {
      const double from = logForward(t - 1, i * D);
      for (int j = 0; j < N; ++j) {
        for (int d = 0; d < D; ++d) {
          C(i * N + j, d) =
              from + logTransition(i, j) + logDuration(j, d) + e(t, j) + logBackward(t, j * D + d);
        }
      }
    }
    // With single-frame segments only there is no continuation at all.
    const double mK = K.size() > 0 ? K.maxCoeff() : kMinusInfinity;
    const double mC = C.maxCoeff();
    if (!(mC + kBoundaryMargin > mK)) continue;
    double zK = kMinusInfinity;
    if (std::isfinite(mK)) {
      double sum = 0.0;
      for (Eigen::Index k = 0; k < K.size(); ++k) {
        const double x = K.data()[k] - mK;
        if (x > kCountCutoff) sum += std::exp(x);
      }
      zK = mK + std::log(sum);
    }
    double sum = 0.0;
    for (Eigen::Index k = 0; k < C.size(); ++k) {
      const double x = C.data()[k] - mC;
      if (x > kCountCutoff) sum += std::exp(x);
    }
    const double zC = mC + std::log(sum);
    const double Z = logAddPair(zK, zC);
    for (Eigen::Index k = 0; k < C.size(); ++k) {
      const double x = C.data()[k] - Z;
      if (x > kCountCutoff) S.data()[k] += std::exp(x);
    }
  }
  transitionCounts = Matrix::Zero(N, N);
  durationCounts = Matrix::Zero(N, D);
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      transitionCounts(i, j) = S.row(i * N + j).sum();
      durationCounts.row(j) += S.row(i * N + j);
    }
  }
}

void Hsmm::collectStats(Matrix& transitionOut, Matrix& durationOut) const {
  transitionOut = transitionCounts;
  durationOut = durationCounts;
}

void Hsmm::statePosteriors(Matrix& out) const {
  const Eigen::Index T = logForward.rows();
  const int N = nStates;
  const int D = maxDuration;
  out = Matrix::Zero(T, N);
  if (logBackward.rows() != T) return;
  Eigen::RowVectorXd v(logForward.cols());
  for (Eigen::Index t = 0; t < T; ++t) {
    v = logForward.row(t) + logBackward.row(t);
    const double z = logSumExpOf(v.data(), v.size());
    for (int i = 0; i < N; ++i) {
      double p = 0.0;
      for (int d = 0; d < D; ++d) p += std::exp(v(i * D + d) - z);
      out(t, i) = p;
    }
  }
}

void Hsmm::decode(IntVector& durationIndex, IntVector& state, const Matrix& e) const {
  checkEmission(e);
  const Eigen::Index T = e.rows();
  const int N = nStates;
  const int D = maxDuration;
  const Eigen::Index cells = Eigen::Index(N) * D;
  durationIndex.resize(T);
  state.resize(T);
  if (T == 0) return;
  using IntMatrix = Eigen::Matrix<std::int32_t, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
  Matrix V = Matrix::Zero(T, cells);
  IntMatrix fromDuration = IntMatrix::Zero(T, cells);
  IntMatrix fromState = IntMatrix::Zero(T, cells);
  for (Eigen::Index t = 1; t < T; ++t) {
    for (int j = 0; j < N; ++j) {
      for (int d = 0; d < D; ++d) {
        double best = kLogZero;
        int bestD = 0;
        int bestI = j;
        if (d + 1 < D) {
          best = V(t - 1, j * D + d + 1);
          bestD = d + 1;
        }
        for (int i = 0; i < N; ++i) {
          const double candidate = V(t - 1, i * D) + logDuration(j, d) + logTransition(i, j);
          if (candidate > best) {
            best = candidate;
            bestD = 0;
            bestI = i;
          }
        }
        V(t, j * D + d) = best + e(t, j);
        fromDuration(t, j * D + d) = bestD;
        fromState(t, j * D + d) = bestI;
      }
    }
    V.row(t).array() -= V.row(t).maxCoeff();
  }
  Eigen::Index last = 0;
  for (Eigen::Index k = 1; k < cells; ++k) {
    if (V(T - 1, k) > V(T - 1, last)) last = k;
  }
  state(T - 1) = static_cast<std::int32_t>(last / D);
  durationIndex(T - 1) = static_cast<std::int32_t>(last % D);
  for (Eigen::Index t = T - 1; t >= 1; --t) {
    const Eigen::Index cell = Eigen::Index(state(t)) * D + durationIndex(t);
    durationIndex(t - 1) = fromDuration(t, cell);
    state(t - 1) = fromState(t, cell);
  }
}

}  // namespace Numeric
