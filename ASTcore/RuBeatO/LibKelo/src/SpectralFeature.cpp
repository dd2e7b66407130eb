#include "SpectralFeature.h"

#include <algorithm>
#include <cmath>

namespace kelo {

SpectralFeature::SpectralFeature(int N) : CFft(static_cast<std::uint64_t>(N), 0), size_(N) {}

SpectralFeature::~SpectralFeature() = default;

SpectralFeature& SpectralFeature::setScale(float width) {
  if (width > 0.0f) width_ = width;
  return *this;
}

SpectralFeature& SpectralFeature::setRows(int rows) {
  rowBound_ = rows;
  return *this;
}

SpectralFeature& SpectralFeature::setColumns(int columns) {
  columnBound_ = columns;
  return *this;
}

SpectralFeature& SpectralFeature::setMatrix(const Eigen::MatrixXd& prior) {
  prior_ = prior;
  rowBound_ = static_cast<std::int32_t>(prior.rows()) + 1;
  columnBound_ = static_cast<std::int32_t>(prior.cols()) + 1;
  return *this;
}

// K(p, m) = exp(-width (p - N/m)^2), each row normalised to sum 1: bin m
// holds the periodicity at N / m rows, spread over the nearest periods.
void SpectralFeature::buildKernel(int periods, int bins) {
  kernel_ = Eigen::MatrixXf::Zero(periods, bins);
  for (int p = 1; p < periods; ++p) {
    float sum = 0.0f;
    for (int m = 1; m < bins; ++m) {
      const double d = p - static_cast<double>(size_) / m;
      kernel_(p, m) = static_cast<float>(std::exp(-width_ * d * d));
      sum += kernel_(p, m);
    }
    const float norm = static_cast<float>(static_cast<double>(sum) + 1e-10);
    for (int m = 1; m < bins; ++m) kernel_(p, m) /= norm;
  }
}

void SpectralFeature::process(const std::vector<Row>& rows) {
  if (prior_.rows() != rowBound_ - 1 || prior_.cols() != columnBound_ - 1)
    prior_ = Eigen::MatrixXd::Zero(std::max(rowBound_, 0), std::max(columnBound_, 0));
  scores_ = prior_;
  evidence_.clear();
  if (rows.empty()) return;

  const int periods = std::max(rowBound_ * columnBound_, 1);
  // Bins 0 .. N/2 - 1, as the transform gives them.
  const int bins = size_ / 2;
  buildKernel(periods, bins);

  const std::size_t dims = rows.front().size();
  const std::size_t used = std::min(rows.size(), static_cast<std::size_t>(size_));
  std::vector<float> series(static_cast<std::size_t>(size_));
  Eigen::VectorXf spectrum(bins);
  Eigen::VectorXf acc = Eigen::VectorXf::Zero(periods);
  for (std::size_t d = 0; d < dims; ++d) {
    std::fill(series.begin(), series.end(), 0.0f);
    for (std::size_t t = 0; t < used; ++t)
      series[t] = d < rows[t].size() ? static_cast<float>(rows[t](d)) : 0.0f;
    ComputeMagnitude(spectrum.data(), series.data(), static_cast<std::uint64_t>(size_), -1, false, 1);
    acc.noalias() += kernel_ * spectrum;
  }
  evidence_.assign(acc.data(), acc.data() + periods);

  for (Eigen::Index r = 0; r < scores_.rows(); ++r)
    for (Eigen::Index c = 0; c < scores_.cols(); ++c) {
      const Eigen::Index bar = r * c;
      if (bar > 16 || bar >= periods) continue;
      const float evidence = acc(r) + acc(bar);
      scores_(r, c) += evidence;
    }
}

void SpectralFeature::pickMeter(int& code, int& beats) const {
  const int lastRow = static_cast<int>(scores_.rows()) - 1;
  const int lastColumn = static_cast<int>(scores_.cols()) - 1;
  int rowFrom = 1, rowTo = lastRow;
  if (code > 0) {
    rowFrom = rowTo = std::min(code, lastRow);
  } else {
    code = 1;
  }
  int columnFrom = 1, columnTo = lastColumn;
  if (beats > 0) {
    columnFrom = columnTo = std::min(beats, lastColumn);
  } else {
    beats = 4;
  }
  float best = -1e20f;
  for (int r = rowFrom; r <= rowTo; ++r)
    for (int c = columnFrom; c <= columnTo; ++c)
      if (r >= 0 && c >= 0 && scores_(r, c) > best) {
        best = static_cast<float>(scores_(r, c));
        code = r;
        beats = c;
      }
}

}  // namespace kelo
