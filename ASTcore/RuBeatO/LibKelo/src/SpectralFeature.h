#pragma once
// Meter estimator: how periodic a sequence of beat-synchronous feature rows
// is at each candidate period (in tracker pulses), and from that the most
// likely (pulses per beat, beats per bar) pair. Each pair scores its prior
// plus the periodicity at the beat period plus the periodicity at the bar
// period. Rows of the score matrix stand for pulses per beat (the meter
// code), columns for beats per bar; row 0 and column 0 are never chosen.
//
// Periodicity at period p is read off the magnitude spectrum of each feature
// dimension over the first N rows, through a kernel that maps bin m (period
// N / m) onto p.

#include <cstdint>
#include <vector>

#include <Eigen/Dense>
#include <boost/numeric/ublas/vector.hpp>

#include "CFft.h"

namespace kelo {

class SpectralFeature : public CFft {
 public:
  using Row = boost::numeric::ublas::vector<double>;

  // N: transform size (power of two), also the number of rows looked at.
  explicit SpectralFeature(int N);
  ~SpectralFeature() override;

  // Sharpness of the bin-to-period kernel; values not above 0 are ignored.
  SpectralFeature& setScale(float width);
  // One more than the prior's row and column counts.
  SpectralFeature& setRows(int rows);
  SpectralFeature& setColumns(int columns);
  // Log-prior per (pulses per beat, beats per bar); sets the bounds to its
  // size plus one.
  SpectralFeature& setMatrix(const Eigen::MatrixXd& prior);

  // Scores every pair from the rows (all as long as the first). No rows
  // leave the scores equal to the prior.
  void process(const std::vector<Row>& rows);

  // The best pair. A positive `code` or `beats` on entry fixes that row or
  // column (held to the matrix); otherwise it is searched. Earlier cells
  // win ties.
  void pickMeter(int& code, int& beats) const;

  const Eigen::MatrixXd& scores() const { return scores_; }
  // Periodicity evidence per period in pulses, from the last process().
  const std::vector<float>& evidence() const { return evidence_; }

 private:
  void buildKernel(int periods, int bins);

  Eigen::MatrixXd prior_;
  Eigen::MatrixXd scores_;
  float width_ = 100.0f;
  std::int32_t rowBound_ = 4;
  std::int32_t columnBound_ = 5;
  int size_;
  Eigen::MatrixXf kernel_;
  std::vector<float> evidence_;
};

}  // namespace kelo
