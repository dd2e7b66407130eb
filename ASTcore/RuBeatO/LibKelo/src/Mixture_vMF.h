#pragma once
// A weighted mixture of von Mises-Fisher components over one direction space,
// with its text form, its log-likelihood and expectation-maximisation
// training from a random start.
//
// Text form: the weights as "[K](w0,...)", a newline, then the K components
// (see Vmf) separated by newlines. Any white space may separate tokens when
// reading.

#include <cstdint>
#include <istream>
#include <ostream>
#include <vector>

#include <boost/numeric/ublas/matrix.hpp>
#include <boost/numeric/ublas/vector.hpp>

#include "Vmf.h"

class Mixture_vMF {
 public:
  using Vector = boost::numeric::ublas::vector<double>;
  using Matrix = boost::numeric::ublas::matrix<double>;

  // K weights (unset until read or initialised) and K default components.
  explicit Mixture_vMF(std::int32_t numComponents);

  // Resizes to K components (new ones default, surplus dropped from the
  // end), then re-initialises everything randomly.
  void setNumComponents(std::int32_t numComponents);

  // Writes the text form. Like every operation below except read, throws
  // std::length_error (message "ERROR: Mixture_vMF does not have same number
  // of elemnts for pdfs and weight") when the weight and component counts
  // differ; nothing is written then.
  void print(std::ostream& out) const;

  // Reads a mixture; the component list follows the number of weights read.
  // Reports nothing: a malformed text leaves the stream failed, and the
  // caller judges it by the stream.
  void read(std::istream& in);

  // Random unit means, kappas in [0.001, 1.001) and normalised weights, all
  // drawn from the process-wide rand() in a fixed order.
  void randomInit();

  // log sum_k weights[k] * f_k(x), computed stably; -infinity when the
  // largest term is not finite or there are no components. Records in
  // bestPeak the peak index of the best-scoring component.
  double logLikelihood(const Vector& x);

  // Responsibilities R (K x N) of every component for every row of X
  // (N x D); `l` is scratch. `l` and `R` are resized when they do not fit.
  void eStep(Vector& l, Matrix& R, const Matrix& X) const;

  // New means, kappas and weights from the responsibilities. Throws
  // std::invalid_argument unless R is K x N for the N rows of X.
  void mStep(const Matrix& R, const Matrix& X);

  // Nudges component k's mean randomly and renormalises it. Throws
  // std::out_of_range for an index outside the component list.
  void perturbMean(std::int32_t k, float scale);

  // Trains on the rows of X from a random start (20 EM iterations) and
  // returns the total log-likelihood of the rows, leaving out rows that
  // score -infinity.
  double fit(const Matrix& X);

  Vector weights;
  std::vector<Vmf> components;
  std::int32_t bestPeak;
};
