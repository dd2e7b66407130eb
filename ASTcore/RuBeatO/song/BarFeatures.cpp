#include "BarFeatures.h"

#include <cmath>

#include "FrameFeatureMaker.h"
#include "NumericUtilities.h"

namespace MzMir {

Eigen::VectorXd poolCell(const std::vector<Eigen::VectorXd>& hops, const std::vector<double>& D) {
  Eigen::VectorXd x = Eigen::VectorXd::Zero(hops.front().size());
  for (const Eigen::VectorXd& h : hops) x += h.head(x.size());
  x /= static_cast<double>(static_cast<float>(hops.size()));
  constexpr int B = FrameFeatureMaker::kBands;
  if (x.size() < B) return x;
  Eigen::VectorXd logBands(B);
  for (int j = 0; j < B; ++j) logBands[j] = std::log(x[j] + 0.0001);
  const Eigen::Map<const Eigen::Matrix<double, B, B, Eigen::RowMajor>> cosine(D.data());
  x.head(B) = cosine * logBands;
  return x;
}

FeatureMatrix reduceBarFeatures(const FeatureMatrix& cells, int gridPerBar, int ndim) {
  const Eigen::Index bars = gridPerBar > 0 ? cells.rows() / gridPerBar : 0;
  if (bars == 0) return FeatureMatrix(0, ndim);
  const Eigen::Index width = cells.cols();
  FeatureMatrix L(bars, gridPerBar * width);
  for (Eigen::Index b = 0; b < bars; ++b)
    for (int c = 0; c < gridPerBar; ++c) L.block(b, c * width, 1, width) = cells.row(b * gridPerBar + c);
  Numeric::standardizeColumns(L);

  FeatureMatrix features;
  const Eigen::Index keep = std::min<Eigen::Index>(ndim, L.cols());
  if (bars <= ndim) {
    features = L.leftCols(keep);
  } else {
    const Eigen::BDCSVD<FeatureMatrix> svd(L, Eigen::ComputeThinU);
    features = svd.matrixU().leftCols(std::min<Eigen::Index>(keep, svd.matrixU().cols()));
  }
  Numeric::standardizeColumns(features);
  return features;
}

}  // namespace MzMir
