// Dirichlet prior and variational posterior over a discrete distribution of
// K outcomes: the transition rows, segment durations and mixture weights of
// the song-structure inference's variational EM loop.
//
// A plain value, copied member by member. The fields are open so the
// inference can read them, but expectedLog and boundValue are derived from
// posterior: change posterior only through update, or call
// updateExpectations afterwards.

#pragma once

#include <Eigen/Dense>

#include <cstdint>

namespace Numeric {

class Dirichlet {
public:
  using Vector = Eigen::VectorXd;
  using Matrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

  // K outcomes of prior concentration alpha. The posterior starts at the
  // prior plus a draw from {0, 0.01, ..., 0.99} per outcome (from
  // Numeric::randomInt) so that symmetric states can separate. K = 0 gives
  // empty vectors; a negative K throws std::bad_alloc.
  Dirichlet(std::int32_t K, float alpha);
  // Prior concentrations v, with the same posterior perturbation.
  explicit Dirichlet(const Vector& v);

  // Recomputes expectedLog (psi(alpha_k) - psi(sum alpha)) and boundValue
  // from the current posterior.
  void updateExpectations();

  // Minus the Kullback-Leibler divergence of Dir(q) from Dir(p), computed in
  // double and returned in single precision: E_q[log p(pi)] - E_q[log q(pi)].
  // q and p must have the same size (std::invalid_argument otherwise).
  static float negativeKl(const Vector& q, const Vector& p);

  // Posterior = prior + counts, rebuilt from the prior every time (never
  // accumulated), then updateExpectations. counts must have K entries
  // (std::invalid_argument otherwise; nothing changes).
  void update(const Vector& counts);

  // E[log pi_k] of the current posterior, as a copy.
  Vector getExpectedLog() const { return expectedLog; }
  // This distribution's lower-bound term: minus the KL divergence of the
  // posterior from the prior (0 when they are equal, negative otherwise).
  float bound() const { return boundValue; }

  // out_t = sum over k of expectedLog_k * M(t, k); M must have K columns
  // (std::invalid_argument otherwise). out is resized to M's rows.
  void expectedLogProduct(const Matrix& M, Vector& out) const;
  Vector expectedLogProduct(const Matrix& M) const;
  // sum over the entries of v of expectedLog_k * v_k; 0 for an empty v. v may
  // be shorter than K but not longer (std::invalid_argument).
  float expectedLogDot(const Vector& v) const;

  Vector prior;
  Vector posterior;
  Vector expectedLog;
  float boundValue = 0.0f;
};

// log(exp(a) + exp(b)) without overflow.
double logAdd(double a, double b);

}  // namespace Numeric
