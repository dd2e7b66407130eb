#include "JointHpcpPowPdf.h"

#include <stdexcept>

#include <boost/numeric/ublas/matrix_proxy.hpp>

namespace kelo {

constexpr std::size_t JointHpcpPowPdf::kFeatureSize;
constexpr std::size_t JointHpcpPowPdf::kChromaSize;

JointHpcpPowPdf::JointHpcpPowPdf()
    : bassMixture(1), trebleMixture(1), bass_(kChromaSize), treble_(kChromaSize) {
  bass_.clear();
  treble_.clear();
}

void JointHpcpPowPdf::load(std::istream& in) {
  bassMixture.read(in);
  trebleMixture.read(in);
}

void JointHpcpPowPdf::print(std::ostream& out) const {
  bassMixture.print(out);
  out << '\n';
  out.flush();
  trebleMixture.print(out);
}

double JointHpcpPowPdf::logPdf(const Vector& x) {
  if (x.size() < 2 * kChromaSize)
    throw std::invalid_argument("JointHpcpPowPdf::logPdf: feature shorter than 24 values");
  for (std::size_t i = 0; i < kChromaSize; ++i) {
    bass_(i) = x(i);
    treble_(i) = x(kChromaSize + i);
  }
  return bassMixture.logLikelihood(bass_) + trebleMixture.logLikelihood(treble_);
}

void JointHpcpPowPdf::setNumComponents(std::int32_t k1, std::int32_t k2) {
  bassMixture.setNumComponents(k1);
  trebleMixture.setNumComponents(k2);
}

double JointHpcpPowPdf::fit(const Matrix& X) {
  // A matrix of another shape is a caller's mix-up (often a transposed
  // one); training on the wrong columns would silently yield a useless
  // model.
  if (X.size2() != kFeatureSize)
    throw std::invalid_argument("The input data must be N-by-26dim");
  namespace ub = boost::numeric::ublas;
  const std::size_t rows = X.size1();
  const Matrix bass = ub::subrange(X, 0, rows, 0, kChromaSize);
  const Matrix treble = ub::subrange(X, 0, rows, kChromaSize, 2 * kChromaSize);
  return bassMixture.fit(bass) + trebleMixture.fit(treble);
}

}  // namespace kelo
