// Explicit-duration hidden semi-Markov model in the log domain: the
// sequence model of the song-structure inference's variational EM loop.
//
// N states, segments of 1 to D frames. The model runs over residual-duration
// cells: cell (i, d) means "in state i, with d further frames of the current
// segment after this one", so a segment entered in cell (j, d) lasts d + 1
// frames and cell (j, 0) is the last frame of a segment. Column i*D + d of
// every T x (N*D) table is cell (i, d).
//
// Frame 0 is a free start: every cell is equally likely there and its
// emission takes part in no pass; the last frame may end anywhere inside a
// segment. Transition and duration weights are used as given (the EM loop
// passes Dirichlet expected logarithms, which are not normalised).
//
// One EM iteration: setTransition, setDuration, infer; then collectStats and
// statePosteriors for the caller's updates. decode once after the loop.
// One object serves one thread at a time; nothing is locked.

#pragma once

#include <Eigen/Dense>

#include <cstdint>

namespace Numeric {

class Hsmm {
public:
  using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
  using Vector = Eigen::VectorXd;
  using IntVector = Eigen::Matrix<std::int32_t, Eigen::Dynamic, 1>;

  // Throws std::domain_error unless nStates >= 1 and maxDuration >= 1.
  // Weights and counts start as zero matrices; the pass tables start empty.
  Hsmm(std::int32_t nStates, std::int32_t maxDuration);
  ~Hsmm();

  // Log weight of entering state j when a segment of state i ends (N x N;
  // i = j is a new segment of the same state). A matrix of any other shape
  // throws std::domain_error ("... Incompatible dimension <rows> <cols>")
  // and leaves the model unchanged.
  void setTransition(const Matrix& m);
  // Log weight of a segment of state j lasting d + 1 frames (N x D); a
  // wrong shape is refused as above.
  void setDuration(const Matrix& m);

  // logEmission is T x N, the log emission score of state j at frame t.
  // Runs both passes, replaces the expected transition and duration counts
  // and returns the log-likelihood (0.0 for T <= 1). Throws
  // std::domain_error when T > 0 and the column count is not N.
  double infer(const Matrix& logEmission);
  // The two passes of infer; public so the tables can be inspected, but
  // only meaningful in infer's order (forward first, tables sized by infer).
  void forward(const Matrix& logEmission);
  void backward(const Matrix& logEmission);

  // Copies the expected counts of the last infer: transitions N x N and
  // segment entries per state and residual duration N x D.
  void collectStats(Matrix& transitionOut, Matrix& durationOut) const;
  // Per-frame state posteriors of the last infer, (T x N); each row sums to 1.
  void statePosteriors(Matrix& out) const;
  // Most probable cell path (Viterbi): for every frame its state and its
  // residual-duration index. Keeps nothing in the object. Same input
  // requirements as infer.
  void decode(IntVector& durationIndex, IntVector& state, const Matrix& logEmission) const;

  std::int32_t numStates() const { return nStates; }
  std::int32_t numDurations() const { return maxDuration; }
  // Scaled forward table of the last infer: row 0 all zeros, every later row
  // with a log-sum-exp of 0.
  const Matrix& forwardTable() const { return logForward; }
  // Unscaled backward table of the last infer; row T-1 all zeros.
  const Matrix& backwardTable() const { return logBackward; }
  // Log normaliser of every forward row; entry 0 is 0.
  const Vector& scales() const { return logScale; }
  const Matrix& transitionWeights() const { return logTransition; }
  const Matrix& durationWeights() const { return logDuration; }

private:
  void checkEmission(const Matrix& logEmission) const;
  void accumulateCounts(const Matrix& logEmission);

  std::int32_t nStates;
  std::int32_t maxDuration;
  Matrix logForward;
  Matrix logBackward;
  Vector logScale;
  Matrix logTransition;
  Matrix logDuration;
  Matrix transitionCounts;
  Matrix durationCounts;
};

}  // namespace Numeric
