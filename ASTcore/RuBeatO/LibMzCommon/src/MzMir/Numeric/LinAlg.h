// Small dense linear algebra over ublas matrices (row-major): the Cholesky
// factor of a symmetric positive definite matrix and forward substitution
// with a lower-triangular one.

#pragma once

#include <boost/numeric/ublas/matrix.hpp>
#include <boost/numeric/ublas/vector.hpp>

namespace Numeric {
namespace LinAlg {

// L (resized to A's size) = the lower-triangular factor with L L^T = A.
// Positive definiteness is not tested: a non-positive pivot gives NaN or an
// infinity. Throws std::invalid_argument for a non-square A.
template <typename T>
void cholesky(boost::numeric::ublas::matrix<T>& L, const boost::numeric::ublas::matrix<T>& A);

// Solves L x = b for the first x.size() unknowns. Throws
// std::invalid_argument when b or L is smaller than x.
template <typename T>
void forward_solve(boost::numeric::ublas::vector<T>& x, const boost::numeric::ublas::vector<T>& b,
                   const boost::numeric::ublas::matrix<T>& L);

}  // namespace LinAlg
}  // namespace Numeric
