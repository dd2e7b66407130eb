#pragma once
// The per-bar song-structure features: hop vectors of the frame feature
// maker pooled into one vector per sixteenth-note cell, the cells of a bar
// joined into one row, and the rows reduced to a few standardised columns.

#include <Eigen/Dense>

#include <vector>

namespace MzMir {

using FeatureMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

// Mean of the hop vectors (at least one, all as long as the first); the 22
// band values then become log energies (plus 0.0001) turned by the cosine
// matrix `D` (22 x 22, row-major). The pitch-class values stay means.
Eigen::VectorXd poolCell(const std::vector<Eigen::VectorXd>& hops, const std::vector<double>& D);

// cells: one row per grid cell. Joins each run of `gridPerBar` cells into
// one row per whole bar (cells past the last whole bar are dropped),
// standardises every column, keeps the first `ndim` left singular vectors
// (or the first `ndim` columns when there are no more bars than that) and
// standardises those. No whole bar gives a 0 x ndim matrix.
FeatureMatrix reduceBarFeatures(const FeatureMatrix& cells, int gridPerBar, int ndim);

}  // namespace MzMir
