#pragma once
// Emission density of one chord class over the 26-value joint chroma feature
// of a beat: a von Mises-Fisher mixture over the bass chroma (values 0..11)
// plus one over the treble chroma (values 12..23), summed in the log domain.
// The class is modelled with its root at pitch class 0; the decoders rotate
// the feature by each candidate root before scoring. Values 24 and 25 (the
// chroma sums) take no part.
//
// Text form: the bass mixture, a newline, the treble mixture (see
// Mixture_vMF). One object serves one thread at a time: scoring writes the
// scratch vectors and the mixtures' bestPeak.

#include <cstdint>
#include <istream>
#include <ostream>

#include <boost/numeric/ublas/matrix.hpp>
#include <boost/numeric/ublas/vector.hpp>

#include "Mixture_vMF.h"

namespace kelo {

class JointHpcpPowPdf {
 public:
  using Vector = boost::numeric::ublas::vector<double>;
  using Matrix = boost::numeric::ublas::matrix<double>;

  // Length of the joint chroma feature, and of one chroma in it.
  static constexpr std::size_t kFeatureSize = 26;
  static constexpr std::size_t kChromaSize = 12;

  // One component per mixture, weights unset until loaded or trained.
  JointHpcpPowPdf();

  // Reads the bass mixture, then the treble mixture, from the same stream.
  // Reports nothing: a malformed text leaves the stream failed and the
  // caller judges it by the stream.
  void load(std::istream& in);

  // Writes the text form. Throws std::length_error when a mixture's weight
  // and component counts differ (nothing of that mixture is written).
  void print(std::ostream& out) const;

  // log p(bass chroma) + log p(treble chroma) of x, which must hold at least
  // the 24 chroma values (std::invalid_argument otherwise). Afterwards
  // bassMixture.bestPeak names the peak pitch class of the best bass
  // component.
  double logPdf(const Vector& x);

  // Re-initialises the mixtures randomly with k1 bass and k2 treble
  // components (process-wide rand()).
  void setNumComponents(std::int32_t k1, std::int32_t k2);

  // Trains both mixtures on the rows of X (N x 26 joint chroma features) and
  // returns the sum of their total log-likelihoods. Throws
  // std::invalid_argument ("The input data must be N-by-26dim") for another
  // column count; nothing is changed then.
  double fit(const Matrix& X);

  Mixture_vMF bassMixture;
  Mixture_vMF trebleMixture;

 private:
  Vector bass_;
  Vector treble_;
};

}  // namespace kelo
